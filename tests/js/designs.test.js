// The design corpus (tests/designs/): every design is simulated the way a
// front end does it, and what it printed is compared with what Icarus Verilog
// prints for it (NAME.expected), or what the engine reports as left out of
// the model is compared with NAME.notmodelled. Where NAME.assertions exists,
// the concurrent assertions' recorded results are compared with it too.
//
// Each design runs in a Node process of its own (scenarios/run_design.js):
// the engine keeps the simulation in process-wide state, and a design that
// crashes or hangs the engine must fail its own test only, with the others
// still judged. A few children run at once, so the corpus takes seconds.
//
// Designs listed in tests/designs/known-failures.txt are skipped while they
// fail, and fail the run once they pass, so that the list only shrinks.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { root, tempDir } = require('./support');

const designsDir = path.join(root, 'tests', 'designs');
const runner = path.join(__dirname, 'scenarios', 'run_design.js');
const knownFailuresFile = path.join(designsDir, 'known-failures.txt');
const CHILD_TIMEOUT_MS = 60000;
const CONCURRENCY = Math.max(1, Math.min(4, os.cpus().length));

// The fixed banner the kernel writes at the top of the console file
// (src/kernel_console.cpp), followed by one empty line.
const BANNER = [
  '==============================================================',
  '  wexla event-driven simulation',
  '--------------------------------------------------------------',
  '  Regions: active, inactive, NBA, monitor, observed, future',
  '  Output of $display, $write and $monitor follows below.',
  '  Every scheduler step is recorded in the project timeline.',
  '--------------------------------------------------------------',
  '  Simulation time is counted in the design\'s time precision.',
  '  Limits: cycles, time and delta cycles per time step.',
  '==============================================================',
  '',
  '',
].join('\n');

const designs = fs.readdirSync(designsDir)
  .filter((file) => file.endsWith('.sv'))
  .map((file) => file.slice(0, -'.sv'.length))
  .sort();

function readKnownFailures() {
  return fs.readFileSync(knownFailuresFile, 'utf8').split('\n')
    .map((line) => line.replace(/#.*/, '').trim())
    .filter((line) => line.length > 0);
}

// Simulates one design in a child process; answers what run_design.js saved,
// or a description of how the child ended without an answer.
function simulate(name) {
  const cwd = tempDir(`wexla-design-${name}-`);
  const log = fs.openSync(path.join(cwd, 'engine.log'), 'w');
  return new Promise((resolve) => {
    const child = spawn(process.execPath, [runner, path.join(designsDir, `${name}.sv`)], {
      cwd, stdio: ['ignore', log, log], timeout: CHILD_TIMEOUT_MS,
    });
    child.on('close', (code, signal) => {
      fs.closeSync(log);
      const resultFile = path.join(cwd, 'result.json');
      const result = fs.existsSync(resultFile) ? JSON.parse(fs.readFileSync(resultFile, 'utf8')) : {};
      if (code !== 0 || signal) {
        const tail = fs.readFileSync(path.join(cwd, 'engine.log'), 'utf8').slice(-1500);
        result.crash = `the engine process ended with ${signal || `exit ${code}`}; its log ends:\n${tail}`;
      }
      fs.rmSync(cwd, { recursive: true, force: true });
      resolve(result);
    });
  });
}

function firstDifference(expected, got) {
  const want = expected.split('\n');
  const have = got.split('\n');
  for (let i = 0; i < Math.max(want.length, have.length); i++) {
    if (want[i] !== have[i]) {
      const show = (line) => (line === undefined ? '<end of output>' : JSON.stringify(line));
      return `first difference at line ${i + 1}\n  expected: ${show(want[i])}\n  got:      ${show(have[i])}`;
    }
  }
  return null;
}

function printed(result) {
  if (typeof result.console !== 'string') return null;
  return result.console.startsWith(BANNER) ? result.console.slice(BANNER.length) : null;
}

function formatReport(entries) {
  return entries.map((entry) => `${entry.line}: ${entry.construct}`).sort();
}

// NAME.assertions holds one line per property label, its recorded results
// in order: `pa: 15=FAIL 25=PASS` (a label alone: no result). Every label
// that records a result must be listed. Answers null when they agree.
function assertionsVerdict(name, result) {
  const file = path.join(designsDir, `${name}.assertions`);
  if (!fs.existsSync(file)) return null;
  if (!Array.isArray(result.assertionEvents)) return 'getPropertyResults() answered no "assertionEvents" list';
  const got = new Map();
  for (const e of result.assertionEvents) {
    got.set(e.label, [...(got.get(e.label) ?? []), `${e.time}=${e.result}`]);
  }
  const want = new Map();
  const problems = [];
  for (const line of fs.readFileSync(file, 'utf8').split('\n').filter((l) => l.trim())) {
    const at = line.indexOf(':');
    if (at < 0) problems.push(`${name}.assertions: no "label:" in ${JSON.stringify(line)}`);
    else want.set(line.slice(0, at).trim(), line.slice(at + 1).trim());
  }
  for (const [label, events] of want) {
    const have = (got.get(label) ?? []).join(' ');
    if (have !== events) problems.push(`${label}: expected "${events}", got "${have}"`);
  }
  for (const [label, events] of got) {
    if (!want.has(label)) problems.push(`${label} is not listed but recorded "${events.join(' ')}"`);
  }
  return problems.length ? `assertion results differ:\n  ${problems.join('\n  ')}` : null;
}

// Answers null when the design behaves as its files say, else why not.
function verdict(name, result) {
  if (result.crash) return result.crash;
  if (result.compiled !== 200) return `json2_callback answered status ${result.compiled}`;
  const left = path.join(designsDir, `${name}.notmodelled`);
  if (fs.existsSync(left)) {
    if (!Array.isArray(result.notModelled)) return 'init() has no "meta"."notModelled" list';
    const stray = result.notModelled.find((entry) => path.basename(entry.file) !== `${name}.sv`);
    if (stray) return `an entry names another file: ${JSON.stringify(stray)}`;
    const want = fs.readFileSync(left, 'utf8').split('\n').filter((line) => line.trim()).sort();
    const got = formatReport(result.notModelled);
    const same = want.length === got.length && want.every((line, i) => line === got[i]);
    return same ? null : `reported as left out:\n  expected: ${JSON.stringify(want)}\n  got:      ${JSON.stringify(got)}`;
  }
  if (!result.success) return `init() failed: ${result.error}`;
  const output = printed(result);
  if (output === null) {
    return result.console === null ? 'no console file was written'
      : `the console file does not start with the banner:\n${result.console.slice(0, 300)}`;
  }
  const difference = firstDifference(fs.readFileSync(path.join(designsDir, `${name}.expected`), 'utf8'), output);
  if (difference) return `${difference}\n--- printed ---\n${output.split('\n').slice(0, 40).join('\n')}`;
  const assertions = assertionsVerdict(name, result);
  if (assertions) return assertions;
  if (Array.isArray(result.notModelled) && result.notModelled.length > 0) {
    return `printed the right output but reports left-out constructs: ${formatReport(result.notModelled).join('; ')}`;
  }
  return null;
}

test('every design has either an expected output or a left-out report, and the known failures exist', () => {
  for (const name of designs) {
    const expected = fs.existsSync(path.join(designsDir, `${name}.expected`));
    const left = fs.existsSync(path.join(designsDir, `${name}.notmodelled`));
    assert.ok(expected !== left, `${name} needs exactly one of ${name}.expected and ${name}.notmodelled`);
    const assertions = fs.existsSync(path.join(designsDir, `${name}.assertions`));
    assert.ok(!assertions || expected, `${name}.assertions goes with ${name}.expected`);
  }
  for (const file of fs.readdirSync(designsDir).filter((f) => f.endsWith('.assertions'))) {
    assert.ok(designs.includes(file.slice(0, -'.assertions'.length)), `${file} belongs to no design`);
  }
  for (const name of readKnownFailures()) {
    assert.ok(designs.includes(name), `known-failures.txt names ${name}, which is no design`);
  }
});

test('corpus designs', { concurrency: CONCURRENCY }, async (t) => {
  const known = new Set(readKnownFailures());
  await Promise.all(designs.map((name) => t.test(name, async (st) => {
    const problem = verdict(name, await simulate(name));
    if (known.has(name)) {
      assert.ok(problem !== null,
        `${name} passes now: remove it from tests/designs/known-failures.txt`);
      st.skip(`known failure: ${problem.split('\n').slice(0, 3).join(' | ')}`);
      return;
    }
    if (problem) assert.fail(`${name}: ${problem}`);
  })));
});
