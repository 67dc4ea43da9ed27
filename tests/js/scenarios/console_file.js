// The console file as the host reads it: whole whenever a call returns (after
// a halt at the cycle limit, after a forward step that resumes the run), never
// written through a link at its name, and output it could not take (a folder
// at its name, a full disk) said in the answer, a run's or a forward step's,
// with the bytes lost.
//
// The full disk is a limit on file sizes (`ulimit -f`) for a child process:
//   node console_file.js --limited KB CYCLES
'use strict';

const assert = require('node:assert/strict');
const { spawnSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { loadModule, PASS_MARK } = require('../support');

const CONSOLE = 'wexla_sim_console.txt';
const LINE = 'y'.repeat(99);
// Ten lines of 100 bytes a nanosecond.
const PRINTER = `module top; always #1 begin ${Array(10).fill(`$display("${LINE}");`).join(' ')} end endmodule\n`;

function project(wexla, dir, design, cycles) {
  fs.mkdirSync(dir, { recursive: true });
  const source = path.join(dir, 'top.sv');
  fs.writeFileSync(source, design);
  const compiled = JSON.parse(wexla.json2_callback({
    db_path: path.join(dir, 'project.db'), sources: [source], max_sim_cycles: cycles,
    working_hierarchy: 'top',
  }));
  assert.equal(compiled.status, 200);
  return path.join(dir, CONSOLE);
}

// The engine's banner: ten lines between two rules, and an empty line.
function bannerBytes(text) {
  const rule = `${'='.repeat(62)}\n`;
  return text.indexOf(rule, rule.length) + rule.length + 1;
}

function printedLines(consolePath) {
  const text = fs.readFileSync(consolePath, 'utf8');
  assert.ok(text.endsWith('\n'), 'the file ends with a whole line');
  return text.slice(bannerBytes(text)).split('\n').slice(0, -1);
}

// In the child: what a run under the file size limit answers.
if (process.argv[2] === '--limited') {
  // The limit's signal would end the process; ignored, the write fails instead.
  process.on('SIGXFSZ', () => {});
  const cycles = Number(process.argv[4]);
  const wexla = loadModule();
  const consolePath = project(wexla, process.cwd(), PRINTER, cycles);
  const init = JSON.parse(wexla.init());
  process.stdout.write(JSON.stringify({
    success: init.success, error: init.error, stopReason: init.meta.stopReason,
    size: fs.statSync(consolePath).size,
  }));
  process.exit(0);
}

const wexla = loadModule();
const dir = process.cwd();

// A halt at the cycle limit, then forward steps that resume the run: every
// line printed until the time reached is in the file, and no line is cut.
const counter = project(wexla, path.join(dir, 'resume'),
  'module top; logic [15:0] n = 0; always #1 begin n = n + 1; $display("n=%0d", n); end endmodule\n', 40);
const halted = JSON.parse(wexla.init());
assert.equal(halted.meta.stopReason, 'cycle limit');
const upTo = (t) => Array.from({ length: t }, (_, i) => `n=${i + 1}`);
assert.deepEqual(printedLines(counter), upTo(halted.meta.finalTime));
const BANNER_BYTES = bannerBytes(fs.readFileSync(counter, 'utf8'));
assert.ok(Array.isArray(JSON.parse(wexla.stepForward([1]))));
const resumed = printedLines(counter);
assert.ok(resumed.length > halted.meta.finalTime, 'the forward step resumed the run');
assert.deepEqual(resumed, upTo(resumed.length));

// A link at the console file's name: its target keeps what it held, and the
// run's output is in a file of its own at that name.
const linked = path.join(dir, 'linked');
fs.mkdirSync(linked);
const precious = path.join(dir, 'precious.txt');
fs.writeFileSync(precious, 'precious\n');
fs.symlinkSync(precious, path.join(linked, CONSOLE));
const linkedConsole = project(wexla, linked, PRINTER, 5);
const linkedRun = JSON.parse(wexla.init());
assert.equal(linkedRun.success, true, linkedRun.error);
assert.equal(fs.readFileSync(precious, 'utf8'), 'precious\n');
assert.ok(fs.lstatSync(linkedConsole).isFile());
// A run of N cycles prints in nanoseconds 1 to N - 1.
assert.equal(printedLines(linkedConsole).length, 40);

// A folder at the console file's name: the run answers failure, naming it.
const blocked = path.join(dir, 'blocked');
fs.mkdirSync(path.join(blocked, CONSOLE), { recursive: true });
project(wexla, blocked, PRINTER, 5);
const blockedRun = JSON.parse(wexla.init());
assert.equal(blockedRun.success, false);
assert.equal(blockedRun.meta.stopReason, 'cycle limit');
assert.equal(blockedRun.error, `the console file ${path.join(blocked, CONSOLE)} could not be opened: ` +
  `it is a directory; ${BANNER_BYTES + 4 * 1000} bytes of the run's output were lost`);
// A forward step that resumes that run answers the same failure.
const resumedBlocked = JSON.parse(wexla.stepForward([1]));
assert.equal(resumedBlocked.success, false);
assert.equal(resumedBlocked.error, `the console file ${path.join(blocked, CONSOLE)} could not be opened: ` +
  'it is a directory; 5000 bytes of the run\'s output were lost');

// A full disk: the file holds what fitted, and the answer says how much was
// lost; whether the write that failed was a flush during the run (200 kB of
// output) or the last one, as the run ended (40 kB, less than one buffer).
for (const cycles of [200, 40]) {
  const cwd = path.join(dir, `limited-${cycles}`);
  fs.mkdirSync(cwd);
  const child = spawnSync('bash', ['-c', `ulimit -f 16 && exec "${process.execPath}" "${__filename}" --limited 16 ${cycles}`],
    { cwd, encoding: 'utf8', maxBuffer: 1 << 26 });
  assert.equal(child.status, 0, child.stderr.slice(-3000));
  const answer = JSON.parse(child.stdout.slice(child.stdout.lastIndexOf('{"success"')));
  const kept = 16 * 1024;
  assert.equal(answer.success, false);
  assert.equal(answer.stopReason, 'cycle limit');
  assert.equal(answer.size, kept);
  const total = BANNER_BYTES + (cycles - 1) * 1000;
  assert.equal(answer.error, `the console file ${path.join(cwd, CONSOLE)} could not be written: File too large; ` +
    `${total - kept} bytes of the run's output were lost`);
  assert.match(child.stderr, /\[SIM\] the console file \S+ could not be written: File too large \(t=\d+\); the output it did not take is lost, and the run's answer says how much\./);
}

console.log(PASS_MARK);
