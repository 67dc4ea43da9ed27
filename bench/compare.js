#!/usr/bin/env node
// Runs the cell-chain testbench (bench/cell_chain.js) and the printing
// testbench (bench/printing_bench.js) in the engine, in Icarus Verilog and,
// when it is installed, in Verilator; checks that all of them print the same
// lines, and prints the times, their ratios and the engine's peak memory. Run
// by hand after a build:
//
//   node bench/compare.js                  the table of sizes below
//   node bench/compare.js CELLS CYCLES     one size of the cell chain
//   node bench/compare.js --print CYCLES   the printing testbench alone
//   node bench/compare.js --sweep          the engine's cost per instance-clock
//                                          as the design grows
// Options:
//   --runs N           times are the least of N runs (default 3)
//   --module PATH      the engine build to time (default build/wexla.node)
//   --baseline PATH    another build, timed beside it in the same runs (a
//                      copy of an older build/ directory's wexla.node)
//   --no-verilator     leave Verilator out
//
// The engine's time is json2_callback + init() from Node; "init" is init()
// alone. Icarus's is `iverilog -g2012` plus `vvp -n`. Verilator's is the run
// of the binary `verilator --binary --timing` built, whose build is kept in
// bench/out/verilator/ and not timed. Each engine run is a child process of
// its own, so its peak memory (VmHWM) is the run's; its log goes to
// bench/out/compare.log. Exits 1 when printed values differ.
'use strict';

const { fork, spawnSync } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { performance } = require('node:perf_hooks');
const { cellChain } = require('./cell_chain');
const { printingBench } = require('./printing_bench');

const root = path.resolve(__dirname, '..');
const outDir = path.join(__dirname, 'out');
const ENGINE_FLAG = '--engine';
const SHOWN_DIFFERENCES = 20;
const TABLE = [[1, 100000], [100, 1000], [200, 2000], [1000, 1000], [100, 100000], [1000, 10000]];
// Beside the table: four printed lines a clock, and a design of 10,000 instances.
const PRINT_CYCLES = 50000;
const BESIDE_TABLE = [[10000, 1000]];
// Verilator's build of a larger chain ran for more than half an hour without
// an end in sight: such a design is compared with Icarus alone.
const VERILATOR_MAX_CELLS = 3000;
// Sweep: the same design at two lengths; the difference is the cost of the
// extra clock cycles alone, without compiling, building or recording. The
// extra cycles come to some five million instance-clocks at every size (half
// a second or more), so that the load of a shared machine moves the figures
// little.
const SWEEP_CELLS = (process.env.SWEEP_CELLS || "100,300,1000,3000,10000").split(",").map(Number);
const SWEEP_INSTANCE_CLOCKS = 5000000;
function sweepCycles(cells) {
  const extra = Math.max(500, Math.round(SWEEP_INSTANCE_CLOCKS / cells));
  const short = Math.max(100, Math.round(extra / 4));
  return [short, short + extra];
}

function peakMemoryKb() {
  const status = fs.readFileSync('/proc/self/status', 'utf8');
  const match = /VmHWM:\s+(\d+) kB/.exec(status);
  return match ? Number(match[1]) : -1;
}

// What the design printed: the console file without the engine's banner.
function designLines(consoleText) {
  const lines = consoleText.split('\n');
  const rules = lines.reduce((found, line, i) => (/^=+$/.test(line) ? [...found, i] : found), []);
  const body = rules.length >= 2 ? lines.slice(rules[1] + 1) : lines;
  return body.filter((line) => line.trim() !== '');
}

// ---- The engine side (child process) ----

function engine(modulePath, source, workDir, cycles) {
  const wexla = require(modulePath);
  const start = performance.now();
  const compiled = JSON.parse(wexla.json2_callback({
    db_path: path.join(workDir, 'chain.db'), sources: [source], time_unit: 'ns',
    start_time: 0, max_sim_cycles: 4 * cycles + 1000, working_hierarchy: 'top',
  }));
  if (compiled.status !== 200) return { error: `compile status ${compiled.status}` };
  const initStart = performance.now();
  const run = JSON.parse(wexla.init());
  const end = performance.now();
  const consoleText = fs.readFileSync(path.join(workDir, 'wexla_sim_console.txt'), 'utf8');
  return {
    ms: end - start, initMs: end - initStart, peakKb: peakMemoryKb(), success: run.success,
    error: run.error, steps: run.meta.totalCycles, lines: designLines(consoleText),
  };
}

function runEngine(modulePath, source, cycles) {
  const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'wexla-compare-'));
  return new Promise((resolve) => {
    const log = fs.openSync(path.join(outDir, 'compare.log'), 'w');
    const child = fork(__filename, [ENGINE_FLAG, modulePath, source, workDir, String(cycles)],
      { stdio: ['ignore', log, log, 'ipc'] });
    let result = null;
    child.on('message', (message) => { result = message; });
    child.on('exit', (code, signal) => {
      fs.closeSync(log);
      fs.rmSync(workDir, { recursive: true, force: true });
      resolve(result || { error: `the engine stopped without an answer (${signal || `exit ${code}`})` });
    });
  });
}

// ---- Icarus Verilog and Verilator ----

function printedLines(stdout) {
  return stdout.split('\n')
    .filter((l) => l.trim() !== '' && !/\$finish called/.test(l) && !/Verilog \$finish/.test(l));
}

function runIcarus(source, workDir) {
  const binary = path.join(workDir, 'chain.vvp');
  const start = performance.now();
  const compile = spawnSync('iverilog', ['-g2012', '-o', binary, source], { encoding: 'utf8' });
  if (compile.status !== 0) return { error: `iverilog failed: ${compile.stderr || compile.error}` };
  const run = spawnSync('vvp', ['-n', binary], { encoding: 'utf8', maxBuffer: 1 << 30 });
  const ms = performance.now() - start;
  if (run.status !== 0) return { error: `vvp failed: ${run.stderr || run.error}` };
  return { ms, lines: printedLines(run.stdout) };
}

function verilatorInstalled() {
  return spawnSync('verilator', ['--version'], { encoding: 'utf8' }).status === 0;
}

// Builds the design once (kept by its text's hash: large designs take minutes).
function verilatorBinary(text, source) {
  const hash = crypto.createHash('sha1').update(text).digest('hex').slice(0, 16);
  const dir = path.join(outDir, 'verilator', hash);
  const binary = path.join(dir, 'chain');
  if (fs.existsSync(binary)) return { binary };
  fs.mkdirSync(dir, { recursive: true });
  const build = spawnSync('verilator', ['--binary', '--timing', '-Wno-fatal', '-Wno-lint',
    '--Mdir', dir, '-o', 'chain', source], { encoding: 'utf8', maxBuffer: 1 << 28 });
  if (build.status !== 0 || !fs.existsSync(binary)) {
    return { error: `verilator failed: ${(build.stderr || String(build.error)).slice(-2000)}` };
  }
  return { binary };
}

function runVerilator(binary) {
  const start = performance.now();
  const run = spawnSync(binary, [], { encoding: 'utf8', maxBuffer: 1 << 30 });
  const ms = performance.now() - start;
  if (run.status !== 0) return { error: `the Verilator binary failed: ${run.stderr || run.error}` };
  return { ms, lines: printedLines(run.stdout) };
}

// ---- Comparison and report ----

function differences(lines, reference) {
  const found = [];
  const count = Math.max(lines.length, reference.length);
  for (let i = 0; i < count; ++i) {
    if (lines[i] !== reference[i]) found.push({ line: i + 1, got: lines[i], expected: reference[i] });
  }
  return found;
}

function reportDifferences(who, lines, reference) {
  const diff = differences(lines, reference);
  if (diff.length === 0) return true;
  console.log(`  ${who}: MISMATCH with Icarus (${diff.length} of ${Math.max(lines.length, reference.length)} lines differ)`);
  for (const d of diff.slice(0, SHOWN_DIFFERENCES)) {
    console.log(`    line ${d.line}: ${who} "${d.got ?? '(none)'}"  icarus "${d.expected ?? '(none)'}"`);
  }
  if (diff.length > SHOWN_DIFFERENCES) console.log(`    ... ${diff.length - SHOWN_DIFFERENCES} more`);
  return false;
}

function least(runs, key) {
  return Math.min(...runs.map((r) => r[key]));
}

const chainDesign = (cells, cycles) => ({
  label: `${cells} x ${cycles}`, text: cellChain(cells, cycles), cycles, verilator: cells <= VERILATOR_MAX_CELLS,
});
const printingDesign = (cycles) => ({ label: `print x ${cycles}`, text: printingBench(cycles), cycles, verilator: true });

// Times one design: every simulator `runs` times, alternating, least time kept.
async function measure({ label, text, cycles, verilator: withVerilator }, options) {
  const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'wexla-compare-'));
  try {
    const source = path.join(workDir, 'chain.sv');
    fs.writeFileSync(source, text);
    let verilator = null;
    if (options.verilator && withVerilator) {
      verilator = verilatorBinary(text, source);
      if (verilator.error) throw new Error(verilator.error);
    }
    const builds = [options.module, ...(options.baseline ? [options.baseline] : [])];
    const engineRuns = builds.map(() => []);
    const icarusRuns = [];
    const verilatorRuns = [];
    for (let r = 0; r < options.runs; ++r) {
      for (let b = 0; b < builds.length; ++b) {
        const eng = await runEngine(builds[b], source, cycles);
        if (eng.error && !eng.lines) throw new Error(`engine ${builds[b]}: ${eng.error} (see bench/out/compare.log)`);
        engineRuns[b].push(eng);
      }
      if (!options.engineOnly) {
        const ica = runIcarus(source, workDir);
        if (ica.error) throw new Error(`icarus: ${ica.error}`);
        icarusRuns.push(ica);
      }
      if (verilator) {
        const ver = runVerilator(verilator.binary);
        if (ver.error) throw new Error(ver.error);
        verilatorRuns.push(ver);
      }
    }
    let same = true;
    if (!options.engineOnly) {
      const reference = icarusRuns[0].lines;
      builds.forEach((b, i) => {
        if (!engineRuns[i][0].success) console.log(`  engine ${b} reported failure: ${engineRuns[i][0].error}`);
        same = reportDifferences(`engine ${path.relative(root, b)}`, engineRuns[i][0].lines, reference) && same;
      });
      // Blocks that print at the same time may run in any order: Verilator's
      // lines are compared as a set.
      if (verilator) {
        same = reportDifferences('verilator', [...verilatorRuns[0].lines].sort(), [...reference].sort()) && same;
      }
    }
    return {
      label, same,
      lines: icarusRuns.length ? icarusRuns[0].lines.length : engineRuns[0][0].lines.length,
      engines: engineRuns.map((runs) => ({
        ms: least(runs, 'ms'), initMs: least(runs, 'initMs'), peakKb: least(runs, 'peakKb'),
      })),
      icarusMs: icarusRuns.length ? least(icarusRuns, 'ms') : NaN,
      verilatorMs: verilatorRuns.length ? least(verilatorRuns, 'ms') : NaN,
    };
  } finally {
    fs.rmSync(workDir, { recursive: true, force: true });
  }
}

const sec = (ms) => (Number.isNaN(ms) ? '-' : (ms / 1000).toFixed(2));
const ratio = (a, b) => (Number.isNaN(b) ? '-' : (a / b).toFixed(2));

function printTable(rows, options) {
  const names = [options.module, ...(options.baseline ? [options.baseline] : [])]
    .map((m) => path.relative(root, m) || m);
  console.log('| design | build | engine s | init s | icarus s | engine/icarus | verilator run s | engine/verilator | init/verilator | peak MB | values |');
  console.log('|---|---|---|---|---|---|---|---|---|---|---|');
  for (const r of rows) {
    r.engines.forEach((e, i) => {
      console.log(`| ${r.label} | ${names[i]} | ${sec(e.ms)} | ${sec(e.initMs)} | ${sec(r.icarusMs)} | ` +
        `${ratio(e.ms, r.icarusMs)} | ${sec(r.verilatorMs)} | ${ratio(e.ms, r.verilatorMs)} | ` +
        `${ratio(e.initMs, r.verilatorMs)} | ${(e.peakKb / 1024).toFixed(0)} | ${r.same ? 'same' : 'DIFFER'} |`);
    });
  }
}

async function sweep(options) {
  const engineOnly = { ...options, verilator: false, engineOnly: true };
  const names = [options.module, ...(options.baseline ? [options.baseline] : [])]
    .map((m) => path.relative(root, m) || m);
  console.log('engine time per instance-clock: (init at the long run - init at the short run) / (N x the extra cycles)');
  console.log('| N | cycles | build | ns per instance-clock |');
  console.log('|---|---|---|---|');
  for (const cells of SWEEP_CELLS) {
    const [shortCycles, longCycles] = sweepCycles(cells);
    const short = await measure(chainDesign(cells, shortCycles), engineOnly);
    const long = await measure(chainDesign(cells, longCycles), engineOnly);
    names.forEach((name, i) => {
      const ns = ((long.engines[i].initMs - short.engines[i].initMs) * 1e6) /
        (cells * (longCycles - shortCycles));
      console.log(`| ${cells} | ${shortCycles}, ${longCycles} | ${name} | ${ns.toFixed(0)} |`);
    });
  }
}

function parseOptions(argv) {
  const options = { runs: 3, module: path.join(root, 'build', 'wexla.node'), baseline: null,
    verilator: true, sweep: false, designs: [] };
  const numbers = [];
  for (let i = 0; i < argv.length; ++i) {
    const a = argv[i];
    if (a === '--runs') options.runs = Number(argv[++i]);
    else if (a === '--module') options.module = path.resolve(argv[++i]);
    else if (a === '--baseline') options.baseline = path.resolve(argv[++i]);
    else if (a === '--no-verilator') options.verilator = false;
    else if (a === '--sweep') options.sweep = true;
    else if (a === '--print') options.designs.push(printingDesign(Number(argv[++i])));
    else numbers.push(Number(a));
  }
  const valid = (n) => Number.isInteger(n) && n >= 1;
  if (!valid(options.runs) || numbers.length % 2 !== 0 || !numbers.every(valid)) return null;
  if (!options.designs.every((d) => valid(d.cycles))) return null;
  for (let i = 0; i < numbers.length; i += 2) options.designs.push(chainDesign(numbers[i], numbers[i + 1]));
  if (options.designs.length === 0) {
    options.designs = [...TABLE, ...BESIDE_TABLE].map(([cells, cycles]) => chainDesign(cells, cycles));
    options.designs.splice(TABLE.length, 0, printingDesign(PRINT_CYCLES));
  }
  return options;
}

async function main() {
  const options = parseOptions(process.argv.slice(2));
  if (!options) {
    console.error('usage: node bench/compare.js [CELLS CYCLES]... [--print CYCLES] [--sweep] [--runs N] ' +
      '[--module PATH] [--baseline PATH] [--no-verilator]');
    process.exit(2);
  }
  fs.mkdirSync(outDir, { recursive: true });
  if (options.verilator && !verilatorInstalled()) {
    console.log('Verilator is not installed: its columns stay empty');
    options.verilator = false;
  }
  if (options.sweep) {
    await sweep(options);
  } else {
    const rows = [];
    for (const design of options.designs) rows.push(await measure(design, options));
    console.log(`least of ${options.runs} runs; engine = json2_callback + init()`);
    printTable(rows, options);
    process.exitCode = rows.every((r) => r.same) ? 0 : 1;
  }
  const load = os.loadavg().map((l) => l.toFixed(1)).join(' ');
  console.log(`${os.cpus().length} cores, ${os.cpus()[0].model}; load average ${load}; Node ${process.version}`);
}

if (process.argv[2] === ENGINE_FLAG) {
  const [modulePath, source, workDir, cycles] = process.argv.slice(3);
  process.send(engine(modulePath, source, workDir, Number(cycles)), () => process.exit(0));
} else {
  main().catch((e) => { console.error(e.message); process.exit(1); });
}
