#!/usr/bin/env node
// Runs the cell-chain testbench (bench/cell_chain.js) in the engine and in
// Icarus Verilog, checks that both print the same lines, and prints both
// times, their ratio and the engine's peak memory. Run by hand after a build:
//
//   node bench/compare.js CELLS CYCLES
//
// The engine's time is json2_callback + init() from Node; Icarus's is
// `iverilog -g2012` plus `vvp -n`. The engine runs in a child process of its
// own, so its peak memory (VmHWM) is the run's; its log goes to
// bench/out/compare.log. Exits 1 when the printed values differ.
'use strict';

const { fork, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { performance } = require('node:perf_hooks');
const { cellChain } = require('./cell_chain');

const root = path.resolve(__dirname, '..');
const ENGINE_FLAG = '--engine';
const SHOWN_DIFFERENCES = 20;

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

function engine(source, workDir, cycles) {
  const wexla = require(path.join(root, 'build', 'wexla.node'));
  const start = performance.now();
  const compiled = JSON.parse(wexla.json2_callback({
    db_path: path.join(workDir, 'chain.db'), sources: [source], time_unit: 'ns',
    start_time: 0, max_sim_cycles: 4 * cycles + 1000, working_hierarchy: 'top',
  }));
  if (compiled.status !== 200) return { error: `compile status ${compiled.status}` };
  const run = JSON.parse(wexla.init());
  const ms = performance.now() - start;
  const consoleText = fs.readFileSync(path.join(workDir, 'wexla_sim_console.txt'), 'utf8');
  return {
    ms, peakKb: peakMemoryKb(), success: run.success, error: run.error,
    steps: run.meta.totalCycles, lines: designLines(consoleText),
  };
}

function runEngine(source, workDir, cycles, logPath) {
  return new Promise((resolve) => {
    const log = fs.openSync(logPath, 'w');
    const child = fork(__filename, [ENGINE_FLAG, source, workDir, String(cycles)],
      { stdio: ['ignore', log, log, 'ipc'] });
    let result = null;
    child.on('message', (message) => { result = message; });
    child.on('exit', (code, signal) => {
      fs.closeSync(log);
      resolve(result || { error: `the engine stopped without an answer (${signal || `exit ${code}`})` });
    });
  });
}

// ---- Icarus Verilog ----

function runIcarus(source, workDir) {
  const binary = path.join(workDir, 'chain.vvp');
  const start = performance.now();
  const compile = spawnSync('iverilog', ['-g2012', '-o', binary, source], { encoding: 'utf8' });
  if (compile.status !== 0) return { error: `iverilog failed: ${compile.stderr || compile.error}` };
  const run = spawnSync('vvp', ['-n', binary], { encoding: 'utf8', maxBuffer: 1 << 30 });
  const ms = performance.now() - start;
  if (run.status !== 0) return { error: `vvp failed: ${run.stderr || run.error}` };
  const lines = run.stdout.split('\n').filter((l) => l.trim() !== '' && !/\$finish called/.test(l));
  return { ms, lines };
}

// ---- Comparison and report ----

function differences(engineLines, icarusLines) {
  const found = [];
  const count = Math.max(engineLines.length, icarusLines.length);
  for (let i = 0; i < count; ++i) {
    if (engineLines[i] !== icarusLines[i]) {
      found.push({ line: i + 1, engine: engineLines[i], icarus: icarusLines[i] });
    }
  }
  return found;
}

async function main() {
  const [cells, cycles] = process.argv.slice(2).map(Number);
  if (!(Number.isInteger(cells) && cells >= 1 && Number.isInteger(cycles) && cycles >= 1)) {
    console.error('usage: node bench/compare.js CELLS CYCLES');
    process.exit(2);
  }
  const outDir = path.join(__dirname, 'out');
  fs.mkdirSync(outDir, { recursive: true });
  const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'wexla-compare-'));
  try {
    const source = path.join(workDir, 'chain.sv');
    fs.writeFileSync(source, cellChain(cells, cycles));
    const logPath = path.join(outDir, 'compare.log');
    const eng = await runEngine(source, workDir, cycles, logPath);
    const ica = runIcarus(source, workDir);

    console.log(`cell chain: ${cells} cells x ${cycles} cycles`);
    if (eng.error && !eng.lines) throw new Error(`engine: ${eng.error} (see ${logPath})`);
    if (ica.error) throw new Error(`icarus: ${ica.error}`);
    if (!eng.success) console.log(`engine run reported failure: ${eng.error}`);

    const diff = differences(eng.lines, ica.lines);
    if (diff.length === 0) {
      console.log(`values: SAME (${ica.lines.length} lines)`);
    } else {
      console.log(`values: MISMATCH (${diff.length} of ${Math.max(eng.lines.length, ica.lines.length)} lines differ)`);
      for (const d of diff.slice(0, SHOWN_DIFFERENCES)) {
        console.log(`  line ${d.line}: engine "${d.engine ?? '(none)'}"  icarus "${d.icarus ?? '(none)'}"`);
      }
      if (diff.length > SHOWN_DIFFERENCES) console.log(`  ... ${diff.length - SHOWN_DIFFERENCES} more`);
    }
    const s = (ms) => `${(ms / 1000).toFixed(2)} s`;
    console.log(`engine (json2_callback + init): ${s(eng.ms)}, ${eng.steps} recorded steps`);
    console.log(`icarus (compile + run):         ${s(ica.ms)}`);
    console.log(`ratio engine / icarus:          ${(eng.ms / ica.ms).toFixed(1)}x`);
    console.log(`engine peak memory:             ${(eng.peakKb / 1024).toFixed(0)} MB`);
    process.exitCode = diff.length === 0 ? 0 : 1;
  } finally {
    fs.rmSync(workDir, { recursive: true, force: true });
  }
}

if (process.argv[2] === ENGINE_FLAG) {
  const [source, workDir, cycles] = process.argv.slice(3);
  process.send(engine(source, workDir, Number(cycles)), () => process.exit(0));
} else {
  main().catch((e) => { console.error(e.message); process.exit(1); });
}
