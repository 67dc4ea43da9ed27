#!/usr/bin/env node
// Times the engine from Node, as a front end sees it: configuration plus the
// initial simulation (json2_callback + init) on the example and on a generated
// design of 1,000 counter instances, then the median latency of stepForward,
// stepBackward and getTimelineWindow on runs that hold the full 20,000
// timeline rows, and tokenize on 200,000 tokens on one line and one a line.
// Run by hand after a build:
//
//   node bench/bindings.js [--module PATH]
//
// (--module: another build of wexla.node than build/'s, to compare.)
//
// The engine's own log goes to a file (bench/out/bindings.log); it runs in a
// child process that sends its timings back.
'use strict';

const { fork } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { performance } = require('node:perf_hooks');

const root = path.resolve(__dirname, '..');
const ENGINE_FLAG = '--engine';
const SETUP_REPEATS = 3;
const STEP_REPEATS = 200;
const ROW_LIMIT = 20000;

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

function timed(fn) {
  const start = performance.now();
  const value = fn();
  return { ms: performance.now() - start, value };
}

function counterArray(count) {
  const cells = Array.from({ length: count }, (_, i) => `  counter c${i}(.clk(clk), .q());`);
  return `\`timescale 1ns/1ps
module counter(input logic clk, output logic q);
  always @(posedge clk) q <= ~q;
endmodule

module top;
  logic clk = 0;
  always #5 clk = ~clk;
${cells.join('\n')}
endmodule
`;
}

// ---- The engine side (child process) ----

function engine(workDir, modulePath) {
  const wexla = require(modulePath);
  const sql = (query) => wexla.processSQLQuery(query);
  const counterSources = [path.join(root, 'examples', 'counter.sv')];
  const arrayFile = path.join(workDir, 'counter_array.sv');
  fs.writeFileSync(arrayFile, counterArray(1000));

  function setup(name, sources, maxSimTime) {
    const config = {
      start_time: 0, max_sim_time: maxSimTime, max_sim_cycles: 100000, time_unit: 'ns',
      working_hierarchy: 'top', db_path: path.join(workDir, `${name}.db`), sources,
    };
    const configure = timed(() => JSON.parse(wexla.json2_callback(config)));
    if (configure.value.status !== 200) throw new Error(`${name}: compile status ${configure.value.status}`);
    const init = timed(() => JSON.parse(wexla.init()));
    if (!init.value.success) throw new Error(`${name}: ${init.value.error}`);
    return { configureMs: configure.ms, initMs: init.ms, init: init.value };
  }

  function setupTimes(name, sources, maxSimTime) {
    const runs = Array.from({ length: SETUP_REPEATS }, () => setup(name, sources, maxSimTime));
    const last = runs[runs.length - 1];
    return {
      name,
      // Every run but the first finds the last run's rows in the project.
      againMs: median(runs.slice(1).map((r) => r.configureMs)),
      configureMs: median(runs.map((r) => r.configureMs)),
      initMs: median(runs.map((r) => r.initMs)),
      totalMs: median(runs.map((r) => r.configureMs + r.initMs)),
      steps: last.init.meta.totalCycles,
      rows: Number(sql('SELECT COUNT(*) FROM timeline')),
      signals: Number(sql('SELECT COUNT(*) FROM signals')),
    };
  }

  // Steps, windows and the instance-list forms on the project as it stands.
  function stepLatencies(name) {
    const rows = Number(sql('SELECT COUNT(*) FROM timeline'));
    const maxStep = Number(sql('SELECT MAX(step) FROM timeline'));
    const maxTime = Number(sql('SELECT MAX(time) FROM timeline'));
    const topId = Number(sql("SELECT instance_id FROM instances WHERE instance_path = 'top'"));
    // A property in the top module gives the window a label to look up.
    const file = JSON.parse(sql('SELECT json_group_array(file_path) FROM projectstructure'))[0];
    const line = fs.readFileSync(file, 'utf8').split('\n').findIndex((l) => l.includes('always #5')) + 1;
    const injected = JSON.parse(wexla.injectAndSim([{
      file, module: 'top', line, property_list: ['assert property (@(posedge clk) clk);'],
      label_list: ['p_clk'],
    }]));
    if (injected.success !== 1) throw new Error(`${name}: the injected run failed: ${injected.error}`);
    const measure = (fn) => median(Array.from({ length: STEP_REPEATS }, () => timed(fn).ms));
    let bytes = 0;
    const forward = measure(() => { bytes = wexla.stepForward().length; });
    const stepBytes = bytes;
    const backward = measure(() => wexla.stepBackward());
    const forwardTop = measure(() => wexla.stepForward([topId]));
    let windowSteps = 0;
    const windowMs = measure(() => {
      windowSteps = JSON.parse(wexla.getTimelineWindow(Math.floor(maxTime / 2), 50000, 'p_clk')).steps.length;
    });
    return {
      name, rows, maxStep, stepBytes, windowSteps,
      rowsAfterInjection: Number(sql('SELECT COUNT(*) FROM timeline')),
      forwardMs: forward, backwardMs: backward, forwardTopMs: forwardTop, windowMs,
    };
  }

  const setups = [
    setupTimes('example (counter.sv, 200 ns)', counterSources, 200),
    setupTimes('1,000 counter instances (200 ns)', [arrayFile], 200),
  ];
  setup('example-full', counterSources, 5000);
  const full = [stepLatencies('example, 5,000 ns')];
  setup('array-full', [arrayFile], 5000);
  full.push(stepLatencies('1,000 counter instances, 5,000 ns'));
  wexla.shutdown();
  const tokens = {
    oneLineMs: timed(() => wexla.tokenize('a '.repeat(200000))).ms,
    lineEachMs: timed(() => wexla.tokenize('a\n'.repeat(200000))).ms,
  };
  return { setups, full, tokens };
}

// ---- Report (this process) ----

function report({ setups, full, tokens }) {
  const f = (ms) => `${ms.toFixed(2)} ms`.padStart(11);
  console.log(`json2_callback + init(), median of ${SETUP_REPEATS}:`);
  for (const s of setups) {
    console.log(`  ${s.name.padEnd(36)} json2_callback ${f(s.configureMs)}  init ${f(s.initMs)}  total ${f(s.totalMs)}`);
    console.log(`  ${''.padEnd(36)} json2_callback on the project holding a run ${f(s.againMs)} (goal: under 100 ms)`);
    console.log(`  ${''.padEnd(36)} ${s.signals} signals, ${s.steps} steps, ${s.rows} timeline rows`);
  }
  console.log(`\nmedian latency of ${STEP_REPEATS} calls on full runs (goal: under 1 ms each):`);
  for (const r of full) {
    const full = r.rows >= ROW_LIMIT ? 'full' : 'NOT full';
    console.log(`  ${r.name}: ${r.rows} timeline rows (${full}), steps 0..${r.maxStep}`);
    console.log(`    stepForward()            ${f(r.forwardMs)}   (${r.stepBytes} bytes a step)`);
    console.log(`    stepBackward()           ${f(r.backwardMs)}`);
    console.log(`    stepForward([top])       ${f(r.forwardTopMs)}`);
    console.log(`    getTimelineWindow        ${f(r.windowMs)}   (${r.windowSteps} steps in the window; ${r.rowsAfterInjection} rows after the injected run)`);
  }
  console.log(`\ntokenize, 200,000 tokens: on one line ${f(tokens.oneLineMs)}, one a line ${f(tokens.lineEachMs)}`);
  console.log(`\n${os.cpus().length} cores, ${os.cpus()[0].model}; Node ${process.version}`);
}

function main() {
  if (process.argv[2] === ENGINE_FLAG) {
    process.send(engine(process.argv[3], process.argv[4]), () => process.exit(0));
    return;
  }
  const outDir = path.join(__dirname, 'out');
  fs.mkdirSync(outDir, { recursive: true });
  const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'wexla-bench-'));
  const logPath = path.join(outDir, 'bindings.log');
  const log = fs.openSync(logPath, 'w');
  const at = process.argv.indexOf('--module');
  const modulePath = at > 0 ? path.resolve(process.argv[at + 1]) : path.join(root, 'build', 'wexla.node');
  const child = fork(__filename, [ENGINE_FLAG, workDir, modulePath],
    { stdio: ['ignore', log, log, 'ipc'] });
  let result = null;
  child.on('message', (message) => { result = message; });
  child.on('exit', (code, signal) => {
    fs.closeSync(log);
    fs.rmSync(workDir, { recursive: true, force: true });
    if (!result) {
      console.error(`the engine stopped without an answer (${signal || `exit ${code}`}); see ${logPath}`);
      process.exit(1);
    }
    report(result);
  });
}

main();
