#!/usr/bin/env node
// Drives the engine the way a front end does: configures a project over the
// example design, runs the initial simulation, steps through the recorded run,
// and prints a short summary.
//
//   node examples/simulate_counter.js [database path] [source files...]
//
// The engine logs a great deal on standard error (and its bulkier lines to
// wexla_engine.log beside the database); it runs in a child process whose
// output goes to a log file beside the database, and sends its findings back
// to this one.
'use strict';

const { fork } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');

const root = path.resolve(__dirname, '..');
const ENGINE_FLAG = '--engine';

function parseArgs(argv) {
  const [dbArg, ...sourceArgs] = argv;
  const dbPath = path.resolve(dbArg || path.join(root, 'out', 'example.db'));
  const sources = (sourceArgs.length ? sourceArgs : [path.join(root, 'examples', 'counter.sv')])
    .map((file) => path.resolve(file));
  return { dbPath, sources };
}

// ---- The engine side (child process) ----

function describeStep(answer) {
  const [step] = JSON.parse(answer);
  if (!step) return null;
  return {
    step: step.step,
    time: step.simulationTime,
    file: step.currentFile ? path.basename(step.currentFile) : null,
    line: step.currentLine,
    signals: step.signalState,
  };
}

function runEngine({ dbPath, sources }) {
  const wexla = require(path.join(root, 'build', 'wexla.node'));
  const compiled = JSON.parse(wexla.json2_callback({
    start_time: 0,
    max_sim_time: 200,
    max_sim_cycles: 1000,
    time_unit: 'ns',
    working_hierarchy: 'top',
    db_path: dbPath,
    sources,
  }));
  if (compiled.status !== 200) return { compiled };

  const init = JSON.parse(wexla.init());
  const walk = [];
  for (let i = 0; i < 5; i++) walk.push({ direction: 'forward', ...describeStep(wexla.stepForward()) });
  for (let i = 0; i < 2; i++) walk.push({ direction: 'backward', ...describeStep(wexla.stepBackward()) });

  // The recorder may have stopped before the run ended (init.meta.recordedUntil):
  // these are the values at the last step it kept.
  const lastStep = JSON.parse(wexla.processSQLQuery(
    'SELECT json_object(\'step\', step, \'time\', time) FROM timeline ORDER BY step DESC LIMIT 1'));
  const lastValues = JSON.parse(wexla.processSQLQuery(
    `SELECT json_group_object(s.name, t.signal_val) FROM timeline t
       JOIN signals s ON s.signal_id = t.signal_id
      WHERE t.step = (SELECT MAX(step) FROM timeline)`));
  const properties = JSON.parse(wexla.getPropertyResults()).assertionEvents;
  const windows = properties.length === 0 ? null : windowsAround(wexla, properties[0]);
  const saved = JSON.parse(wexla.shutdown());
  return { compiled, init, walk, lastStep, lastValues, properties, windows, saved };
}

// Windows around a property's first result: their times count ticks of the
// design's precision, like every recorded time, not the configured time unit.
function windowsAround(wexla, event) {
  const count = (center, radius) =>
    JSON.parse(wexla.getTimelineWindow(center, radius, event.label)).steps.length;
  const inTicks = { center: event.time, radius: 1000 };
  const asIfUnits = { center: Math.floor(event.time / 1000), radius: 1 };
  return {
    event,
    inTicks: { ...inTicks, steps: count(inTicks.center, inTicks.radius) },
    asIfUnits: { ...asIfUnits, steps: count(asIfUnits.center, asIfUnits.radius) },
  };
}

// ---- The summary side (this process) ----

function printSummary(options, logPath, outcome) {
  const out = (label, value) => console.log(`${label.padEnd(17)}${value}`);
  out('design:', options.sources.map((file) => path.relative(process.cwd(), file)).join(', '));
  if (outcome.compiled.status !== 200) {
    out('compile status:', outcome.compiled.status);
    for (const error of outcome.compiled.errors || []) console.log(`  ${error.description || JSON.stringify(error)}`);
    return false;
  }
  const { init, walk, lastStep, lastValues, properties, windows, saved } = outcome;
  out('success:', init.success ? 'yes' : `no (${init.error})`);
  out('final time:', `${init.meta.finalTime} (in the design's time precision)`);
  out('stopped by:', init.meta.stopReason);
  const leftOut = init.meta.notModelled || [];
  out('left out:', leftOut.length === 0 ? 'nothing' : `${leftOut.length} construct(s)`);
  for (const entry of leftOut.slice(0, 5))
    console.log(`  ${path.basename(entry.file)}:${entry.line}: ${entry.construct}`);
  if (leftOut.length > 5) console.log(`  ... and ${leftOut.length - 5} more`);
  const until = init.meta.recordedUntil;
  out('steps recorded:', init.meta.totalCycles + (until
    ? ` (the recorder's limit stopped it at step ${until.step}, t=${until.time})` : ''));
  out('signal changes:', init.meta.totalChanges);
  console.log(`signals (${init.signals.length}), with their values at the last recorded step` +
    (lastStep ? ` (step ${lastStep.step}, t=${lastStep.time}):` : ':'));
  if (until) console.log(`  (not the end of the run: that came at t=${init.meta.finalTime})`);
  for (const signal of init.signals) {
    const value = lastValues[signal.name];
    console.log(`  ${signal.name.padEnd(20)} width ${String(signal.width).padEnd(3)} value ${value ?? '-'}`);
  }
  console.log('stepping through the run:');
  for (const step of walk) {
    const where = step.line === null || step.line === undefined ? 'end of a region'
      : `${step.file ? `${step.file}:` : 'line '}${step.line}`;
    console.log(`  ${step.direction.padEnd(9)} step ${String(step.step).padStart(3)}  t=${String(step.time).padEnd(6)} ${where}`);
  }
  if (properties.length === 0) {
    out('properties:', 'no assertion results recorded');
  } else {
    const tally = {};
    for (const event of properties) {
      tally[event.label] = tally[event.label] || {};
      tally[event.label][event.result] = (tally[event.label][event.result] || 0) + 1;
    }
    console.log('properties:');
    for (const [label, results] of Object.entries(tally)) {
      console.log(`  ${label}: ${Object.entries(results).map(([r, n]) => `${n} ${r}`).join(', ')}`);
    }
    const { event, inTicks, asIfUnits } = windows;
    const call = ({ center, radius }) => `getTimelineWindow(${center}, ${radius}, "${event.label}")`;
    console.log(`windows around ${event.label} ${event.result} at t=${event.time} (times in ticks of the design's precision):`);
    console.log(`  ${call(inTicks)} finds ${inTicks.steps} steps`);
    console.log(`  ${call(asIfUnits)} finds ${asIfUnits.steps} (its times are not in time_unit)`);
  }
  const dir = path.dirname(options.dbPath);
  out('database:', path.relative(process.cwd(), options.dbPath) +
    (saved.success ? '' : ` (not saved: ${saved.error})`));
  out('console file:', path.relative(process.cwd(), path.join(dir, 'wexla_sim_console.txt')));
  out('standard error:', path.relative(process.cwd(), logPath));
  out('engine log:', path.relative(process.cwd(), path.join(dir, 'wexla_engine.log')));
  return init.success && saved.success;
}

function main() {
  const argv = process.argv.slice(2);
  if (argv[0] === ENGINE_FLAG) {
    process.send(runEngine(parseArgs(argv.slice(1))), () => process.exit(0));
    return;
  }
  const options = parseArgs(argv);
  fs.mkdirSync(path.dirname(options.dbPath), { recursive: true });
  const logPath = path.join(path.dirname(options.dbPath), 'example.log');
  const log = fs.openSync(logPath, 'w');
  const child = fork(__filename, [ENGINE_FLAG, ...argv], { stdio: ['ignore', log, log, 'ipc'] });
  let outcome = null;
  child.on('message', (message) => { outcome = message; });
  child.on('exit', (code, signal) => {
    fs.closeSync(log);
    if (!outcome) {
      console.error(`the engine stopped without an answer (${signal || `exit ${code}`}); see ${logPath}`);
      process.exit(1);
    }
    process.exit(printSummary(options, logPath, outcome) ? 0 : 1);
  });
}

main();
