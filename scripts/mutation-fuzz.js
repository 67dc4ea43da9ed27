#!/usr/bin/env node
// Mutation fuzzer, run by hand (never by CI). It mutates the corpus designs
// (tests/designs/*.sv and examples/) and odd designs of its own, runs each
// case through the engine the way a front end does (json2_callback, then
// init(), sometimes steps; at times after other designs in the same process)
// in a Node process of its own with a time limit, against the sanitizer
// build, and flags:
//   crash      the process died of a signal or exited with an error
//   sanitizer  AddressSanitizer or UndefinedBehaviorSanitizer reported
//   hang       the case ran past the time limit
//   memory     the case held more memory than the limit (it would take the
//              host down with it)
//   bad-json   an answer is not valid JSON
//   no-answer  the process ended without answering
//   no-reason  init() answered success with no stop reason
//
//   WEXLA_SANITIZE=1 bash scripts/build.sh
//   node scripts/mutation-fuzz.js [--cases N] [--seed S] [--jobs J] [--timeout SECONDS]
//                                 [--memory GIGABYTES] [--build DIR] [--out DIR]
//   node scripts/mutation-fuzz.js --replay case.sv [config.json]   (earlier-N.sv beside it run first)
//
// Each flagged case is kept under the output folder (default out/mutation-fuzz)
// with its design, its configuration, its verdict and the tail of its
// standard error; the summary groups the findings by signature.
'use strict';

const { spawn, execSync } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { makeRng, pick, int } = require('./mutation-fuzz/random');
const { mutate } = require('./mutation-fuzz/mutations');
const { oddModule } = require('./mutation-fuzz/odd_designs');

const root = path.resolve(__dirname, '..');

// ---- The engine side: one case in this process ----

// Runs the designs one after the other in this one process, as an editor
// does while its user edits; the last is the case, those before it leave
// the engine in the state a session would.
function runEngine(modulePath, designs, config) {
  const wexla = require(modulePath);
  const mark = (name, text) => fs.writeFileSync(name, text);
  mark('started', '');
  designs.forEach((design, n) => {
    const last = n === designs.length - 1;
    const suffix = last ? '' : `-${n}`;
    let compiled;
    try {
      compiled = wexla.json2_callback({ ...config.project, db_path: path.resolve('project.db'), sources: [design] });
    } catch (err) {
      // A configuration the engine refuses (a negative cycle count) is an answer too.
      if (!(err instanceof RangeError)) throw err;
      mark(`compile${suffix}.json`, JSON.stringify({ refused: err.message }));
      return;
    }
    mark(`compile${suffix}.json`, String(compiled));
    let status = null;
    try { status = JSON.parse(compiled).status; } catch { return; }
    if (status !== 200) return;
    mark(`init${suffix}.json`, String(wexla.init()));
    const steps = [];
    for (let i = 0; i < config.forward; i++) steps.push(String(wexla.stepForward()));
    for (let i = 0; i < config.backward; i++) steps.push(String(wexla.stepBackward()));
    if (steps.length) mark(`steps${suffix}.json`, JSON.stringify(steps));
  });
  mark('done', '');
}

// ---- Cases ----

function corpusDesigns() {
  const designs = [];
  const dir = path.join(root, 'tests', 'designs');
  for (const f of fs.readdirSync(dir).sort())
    if (f.endsWith('.sv')) designs.push({ name: f, text: fs.readFileSync(path.join(dir, f), 'utf8') });
  designs.push({ name: 'counter.sv', text: fs.readFileSync(path.join(root, 'examples', 'counter.sv'), 'utf8') });
  const alu = path.join(root, 'examples', 'alu_fifo');
  designs.push({
    name: 'alu_fifo',
    text: ['alu.sv', 'fifo.sv', 'tb_top.sv'].map((f) => fs.readFileSync(path.join(alu, f), 'utf8')).join('\n'),
  });
  return designs;
}

const UNITS = ['ns', 'ns', 'ns', 'ps', 'us', 's', 'fs', 'bogus'];

function makeConfig(rng) {
  const project = { time_unit: pick(rng, UNITS), start_time: 0, working_hierarchy: 'top' };
  const limits = int(rng, 0, 5);
  if (limits === 1) Object.assign(project, { max_sim_time: 200, max_sim_cycles: 1000, waveform_window_size: 50 });
  if (limits === 2) Object.assign(project, { max_sim_cycles: 100000 });
  if (limits === 3) Object.assign(project, { max_sim_time: pick(rng, [1, 1e6, 2 ** 62, -5]), max_sim_cycles: pick(rng, [0, 1, 5000, -1]) });
  if (limits === 4) Object.assign(project, { start_time: pick(rng, [10, 1e15]), waveform_window_size: pick(rng, [0, 1, 1e9]) });
  const walk = rng() < 0.3;
  // A long walk from a short run: steps past the end resume the halted run.
  if (walk && rng() < 0.2) {
    project.max_sim_cycles = int(rng, 1, 50);
    return { project, file: 'case.sv', forward: 300, backward: int(rng, 0, 300) };
  }
  // File names that must be escaped wherever they reach JSON.
  const file = rng() < 0.8 ? 'case.sv' : pick(rng, ['ca"se.sv', 'c\\ase.sv', 'ça sé.sv', 'ca\tse.sv', 'case\u0001.sv']);
  return { project, file, forward: walk ? int(rng, 1, 4) : 0, backward: walk ? int(rng, 0, 2) : 0 };
}

function makeCase(rng, designs, id) {
  if (rng() < 0.15) {
    const design = oddModule(rng, id);
    return { origin: 'odd design', mutations: design.kinds, held: design.kinds, text: design.text };
  }
  const seed = pick(rng, designs);
  let text = seed.text;
  const names = [];
  for (let i = 0, n = int(rng, 1, 6); i < n; i++) {
    const m = mutate(text, rng, `${id}_${i}`);
    text = m.text;
    names.push(m.name);
  }
  const held = names.filter((n) => n.startsWith('insertSnippet:')).flatMap((n) => n.slice(14).split('+'));
  return { origin: seed.name, mutations: names, held, text };
}

// ---- Running one case in a child process ----

function sanitizerEnv(buildDir) {
  const env = { ...process.env };
  if (/asan/.test(path.basename(buildDir))) {
    const lib = (name) => execSync(`gcc -print-file-name=${name}`).toString().trim();
    env.LD_PRELOAD = `${lib('libasan.so')} ${lib('libubsan.so')}`;
    env.ASAN_OPTIONS = 'detect_leaks=0:abort_on_error=0';
    env.UBSAN_OPTIONS = 'print_stacktrace=1';
  }
  return env;
}

const SANITIZER_MARKS = ['ERROR: AddressSanitizer', 'runtime error:', 'ERROR: LeakSanitizer', 'UndefinedBehaviorSanitizer'];

// The first line of the file that holds any of `marks`, read in pieces
// (the engine's log can be large).
function findMark(file, marks) {
  if (!fs.existsSync(file)) return null;
  const fd = fs.openSync(file, 'r');
  const chunk = Buffer.alloc(8 << 20);
  let carry = '';
  try {
    for (;;) {
      const n = fs.readSync(fd, chunk, 0, chunk.length, null);
      if (n <= 0) return null;
      const text = carry + chunk.toString('latin1', 0, n);
      for (const mark of marks) {
        const at = text.indexOf(mark);
        if (at >= 0) {
          const start = text.lastIndexOf('\n', at) + 1;
          const end = text.indexOf('\n', at);
          return text.slice(start, end < 0 ? undefined : end);
        }
      }
      carry = text.slice(-200);
    }
  } finally {
    fs.closeSync(fd);
  }
}

function tail(file, bytes) {
  if (!fs.existsSync(file)) return '';
  const size = fs.statSync(file).size;
  const fd = fs.openSync(file, 'r');
  const buffer = Buffer.alloc(Math.min(size, bytes));
  fs.readSync(fd, buffer, 0, buffer.length, size - buffer.length);
  fs.closeSync(fd);
  return buffer.toString('utf8');
}

// The first frame of a sanitizer report inside the engine's own sources.
function engineFrame(stderrTail) {
  const m = stderrTail.match(/#\d+ 0x[0-9a-f]+ in (\S+) (\S*\/src\/[^\s:]+:\d+)/);
  if (m) return `${m[1]} ${path.basename(m[2])}`;
  const u = stderrTail.match(/(\S*\/src\/[^\s:]+:\d+):\d+: runtime error: ([^\n]*)/);
  return u ? `${path.basename(u[1])} ${u[2].replace(/[-\d]+/g, 'N')}` : '';
}

function residentBytes(pid) {
  try {
    const m = fs.readFileSync(`/proc/${pid}/status`, 'utf8').match(/VmRSS:\s+(\d+) kB/);
    return m ? Number(m[1]) * 1024 : 0;
  } catch {
    return 0;
  }
}

function runCase(c, options) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'wexla-fuzz-'));
  const design = path.join(dir, c.config.file || 'case.sv');
  fs.writeFileSync(design, c.text);
  const earlier = (c.earlier || []).map((text, n) => {
    const file = path.join(dir, `earlier-${n}.sv`);
    fs.writeFileSync(file, text);
    return file;
  });
  fs.writeFileSync(path.join(dir, 'config.json'), JSON.stringify(c.config));
  const out = fs.openSync(path.join(dir, 'stdout.txt'), 'w');
  const err = fs.openSync(path.join(dir, 'stderr.txt'), 'w');
  const started = Date.now();
  return new Promise((resolve) => {
    const child = spawn(process.execPath, [__filename, '--engine', options.modulePath, ...earlier, design], {
      cwd: dir, stdio: ['ignore', out, err], env: options.env,
    });
    let timedOut = false;
    let peakBytes = 0;
    const timer = setTimeout(() => {
      timedOut = true;
      child.kill('SIGKILL');
    }, options.timeout * 1000);
    // Watched from outside: a limit set inside would also bind the
    // sanitizer's own reservations.
    const watch = setInterval(() => {
      peakBytes = Math.max(peakBytes, residentBytes(child.pid));
      if (peakBytes > options.memory * 2 ** 30) child.kill('SIGKILL');
    }, 250);
    child.on('exit', (code, signal) => {
      clearTimeout(timer);
      clearInterval(watch);
      fs.closeSync(out);
      fs.closeSync(err);
      const overMemory = peakBytes > options.memory * 2 ** 30;
      const verdict = judge(dir, { code, signal, timedOut, overMemory });
      verdict.seconds = (Date.now() - started) / 1000;
      resolve({ dir, verdict });
    });
  });
}

function readIf(dir, name) {
  const file = path.join(dir, name);
  return fs.existsSync(file) ? fs.readFileSync(file, 'utf8') : null;
}

function validJson(text) {
  try {
    JSON.parse(text);
    return true;
  } catch {
    return false;
  }
}

function judge(dir, { code, signal, timedOut, overMemory }) {
  const stderrFile = path.join(dir, 'stderr.txt');
  const report = findMark(stderrFile, SANITIZER_MARKS);
  const stderrTail = tail(stderrFile, 16000);
  const v = { flags: [], detail: '', stopReason: null, compiled: null, success: null };
  if (report) {
    v.flags.push('sanitizer');
    v.detail = `${report.trim()} | ${engineFrame(stderrTail)}`;
  }
  const reached = ['done', 'init.json', 'compile.json', 'started'].find((f) => fs.existsSync(path.join(dir, f))) || 'nothing';
  if (overMemory) {
    v.flags.push('memory');
    v.detail ||= `held more than the memory limit; reached ${reached}`;
  } else if (timedOut) {
    v.flags.push('hang');
    v.detail ||= `stopped after the time limit; reached ${reached}`;
  } else if (signal || code !== 0) {
    if (!report) v.flags.push('crash');
    v.detail ||= `${signal || `exit ${code}`}: ${stderrTail.trim().split('\n').slice(-3).join(' / ').slice(0, 300)}`;
  }
  for (const f of fs.readdirSync(dir).filter((name) => /^(compile|init|steps)-\d+\.json$/.test(name))) {
    const text = readIf(dir, f);
    const answers = f.startsWith('steps') ? JSON.parse(text) : [text];
    if (answers.some((a) => !validJson(a))) {
      v.flags.push('bad-json');
      v.detail ||= `an earlier design's answer (${f}) is not JSON: ${text.slice(0, 200)}`;
    }
  }
  const compiled = readIf(dir, 'compile.json');
  const init = readIf(dir, 'init.json');
  const steps = readIf(dir, 'steps.json');
  if (compiled !== null) {
    if (!validJson(compiled)) v.flags.push('bad-json'), v.detail ||= `compile answer: ${compiled.slice(0, 200)}`;
    else v.compiled = JSON.parse(compiled).status;
  }
  if (init !== null) {
    if (!validJson(init)) {
      v.flags.push('bad-json');
      v.detail ||= `init answer: ${init.slice(0, 200)}`;
    } else {
      const answer = JSON.parse(init);
      v.success = answer.success;
      v.stopReason = answer.meta?.stopReason ?? null;
      if (answer.success === false) v.failure = String(answer.error ?? '').slice(0, 80);
      if (answer.success === true && (!v.stopReason || v.stopReason === 'none')) {
        v.flags.push('no-reason');
        v.detail ||= `success with stop reason ${JSON.stringify(v.stopReason)}`;
      }
    }
  }
  if (steps !== null && JSON.parse(steps).some((s) => !validJson(s))) {
    v.flags.push('bad-json');
    v.detail ||= 'a step answer is not JSON';
  }
  if (!timedOut && !signal && code === 0 && !fs.existsSync(path.join(dir, 'done')) &&
      !(v.compiled !== null && v.compiled !== 200)) {
    v.flags.push('no-answer');
    v.detail ||= 'the process ended before answering';
  }
  return v;
}

// Findings of one kind share a signature. A hang says little about where it
// stalled, so the odd constructs its case held group it instead.
function signatureOf(verdict, c) {
  const held = verdict.flags.some((f) => f === 'hang' || f === 'memory') ? [...new Set(c.held)].sort().join(' ') : '';
  const text = `${verdict.flags.join('+')} ${verdict.detail.replace(/0x[0-9a-f]+/g, '').replace(/\d+/g, 'N')} ${held}`;
  return crypto.createHash('sha1').update(text).digest('hex').slice(0, 10);
}

// ---- Main ----

function parseOptions(argv) {
  const options = {
    cases: 1000, seed: Date.now() % 2147483647, jobs: 3, timeout: 30, memory: 4,
    build: process.env.WEXLA_BUILD_DIR || 'build-asan', out: path.join(root, 'out', 'mutation-fuzz'), replay: null,
  };
  for (let i = 0; i < argv.length; i++) {
    const key = argv[i].replace(/^--/, '');
    if (key === 'replay') {
      options.replay = argv[++i];
      options.replayConfig = argv[i + 1] && !argv[i + 1].startsWith('--') ? argv[++i] : null;
    } else if (key in options) {
      const value = argv[++i];
      options[key] = typeof options[key] === 'number' ? Number(value) : value;
    } else {
      throw new Error(`unknown option ${argv[i]}`);
    }
  }
  options.buildDir = path.resolve(root, options.build);
  options.modulePath = path.join(options.buildDir, 'wexla.node');
  options.env = sanitizerEnv(options.buildDir);
  return options;
}

async function replay(options) {
  const config = options.replayConfig ? JSON.parse(fs.readFileSync(options.replayConfig, 'utf8'))
    : { project: { time_unit: 'ns' }, forward: 0, backward: 0 };
  // A kept case's earlier designs sit beside it.
  const folder = path.dirname(options.replay);
  const earlier = fs.readdirSync(folder).filter((f) => /^earlier-\d+\.sv$/.test(f)).sort()
    .map((f) => fs.readFileSync(path.join(folder, f), 'utf8'));
  const { dir, verdict } = await runCase({ text: fs.readFileSync(options.replay, 'utf8'), earlier, config }, options);
  console.log(JSON.stringify(verdict, null, 2));
  console.log(`kept in ${dir}`);
}

async function fuzz(options) {
  if (!fs.existsSync(options.modulePath)) throw new Error(`no module at ${options.modulePath}; build it first`);
  const designs = corpusDesigns();
  fs.mkdirSync(options.out, { recursive: true });
  console.log(`seed ${options.seed}, ${options.cases} cases, ${options.jobs} at a time, ${options.timeout} s each, module ${options.modulePath}`);
  const findings = new Map();
  const counts = { cases: 0, flagged: 0, compiled: 0, ran: 0, stopReasons: {}, failures: {} };
  let next = 0;
  async function worker() {
    while (next < options.cases) {
      const id = next++;
      const rng = makeRng(options.seed * 7919 + id);
      const c = makeCase(rng, designs, id);
      c.config = makeConfig(rng);
      // Some cases come after other designs in the same process.
      if (rng() < 0.2) c.earlier = Array.from({ length: int(rng, 1, 2) }, (_, n) => makeCase(rng, designs, `${id}e${n}`).text);
      const { dir, verdict } = await runCase(c, options);
      counts.cases++;
      if (verdict.compiled === 200) counts.compiled++;
      if (verdict.failure !== undefined) {
        const key = `${verdict.stopReason}: ${verdict.failure.replace(/\d+/g, 'N')}`;
        counts.failures[key] = (counts.failures[key] || 0) + 1;
      }
      if (verdict.stopReason) {
        counts.ran++;
        counts.stopReasons[verdict.stopReason] = (counts.stopReasons[verdict.stopReason] || 0) + 1;
      }
      if (verdict.flags.length) {
        counts.flagged++;
        const sig = signatureOf(verdict, c);
        const keep = path.join(options.out, `${sig}-case${id}`);
        if (!findings.has(sig)) findings.set(sig, { verdict, cases: [] });
        findings.get(sig).cases.push(id);
        if (findings.get(sig).cases.length <= 3) {
          fs.mkdirSync(keep, { recursive: true });
          fs.writeFileSync(path.join(keep, 'case.sv'), c.text);
          (c.earlier || []).forEach((text, n) => fs.writeFileSync(path.join(keep, `earlier-${n}.sv`), text));
          for (const f of ['config.json', 'compile.json', 'init.json', 'steps.json'])
            if (fs.existsSync(path.join(dir, f))) fs.copyFileSync(path.join(dir, f), path.join(keep, f));
          fs.writeFileSync(path.join(keep, 'stderr-tail.txt'), tail(path.join(dir, 'stderr.txt'), 20000));
          fs.writeFileSync(path.join(keep, 'verdict.json'), JSON.stringify({ id, origin: c.origin, mutations: c.mutations, ...verdict }, null, 2));
        }
        console.log(`case ${id} [${verdict.flags.join(', ')}] ${c.origin} (${c.mutations.join(', ')}): ${verdict.detail.slice(0, 200)}`);
      }
      fs.rmSync(dir, { recursive: true, force: true });
      if (counts.cases % 100 === 0) console.log(`... ${counts.cases} cases, ${counts.flagged} flagged`);
    }
  }
  await Promise.all(Array.from({ length: options.jobs }, worker));
  console.log(`\n${counts.cases} cases: ${counts.compiled} compiled, ${counts.ran} simulated, ${counts.flagged} flagged`);
  console.log(`stop reasons: ${JSON.stringify(counts.stopReasons)}`);
  console.log(`runs answering failure, by stop reason and error: ${JSON.stringify(counts.failures, null, 1)}`);
  for (const [sig, f] of findings)
    console.log(`${sig} [${f.verdict.flags.join(', ')}] ${f.cases.length} case(s), first ${f.cases[0]}: ${f.verdict.detail.slice(0, 300)}`);
  fs.writeFileSync(path.join(options.out, 'summary.json'), JSON.stringify({ seed: options.seed, counts, findings: [...findings] }, null, 2));
  return findings.size === 0;
}

if (process.argv[2] === '--engine') {
  const [modulePath, ...designs] = process.argv.slice(3);
  runEngine(modulePath, designs, JSON.parse(fs.readFileSync('config.json', 'utf8')));
} else {
  const options = parseOptions(process.argv.slice(2));
  (options.replay ? replay(options) : fuzz(options)).then(
    (clean) => { process.exitCode = clean === false ? 1 : 0; },
    (e) => { console.error(e.message); process.exitCode = 2; });
}
