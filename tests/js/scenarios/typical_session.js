// A front end's whole session over a project of three source files, from the
// configuration to shutdown, then the database file as the sqlite3 tool sees it.
'use strict';

const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { loadModule, PASS_MARK, counterFiles, writeSources } = require('../support');

const wexla = loadModule();
const dir = process.cwd();
const sources = writeSources(dir, counterFiles);
const [tffFile, , topFile] = sources;
const dbPath = path.join(dir, 'out', 'project.db');
fs.mkdirSync(path.dirname(dbPath));

const sql = (query) => wexla.processSQLQuery(query);
const sqlJson = (query) => JSON.parse(sql(query));
const stepOf = (answer) => {
  const parsed = JSON.parse(answer);
  return Array.isArray(parsed) ? parsed[0].step : parsed.step;
};

// ---- Configuration: every key (the row it leaves: configuration.js) ----
const compiled = JSON.parse(wexla.json2_callback({
  start_time: 5,
  waveform_window_size: 20,
  max_sim_time: 200,
  max_sim_cycles: 1000,
  time_unit: 'ns',
  working_hierarchy: 'top',
  db_path: dbPath,
  sources,
}));
assert.equal(compiled.status, 200);
assert.equal(sql('SELECT COUNT(*) FROM projectstructure'), '3');
assert.deepEqual(sqlJson('SELECT json_group_array(instance_path) FROM (SELECT instance_path FROM instances ORDER BY instance_path)'),
  ['counter', 'counter.bit0', 'counter.bit1', 'counter.bit2', 'counter.bit3', 'top']);
const idOf = (instancePath) =>
  Number(sql(`SELECT instance_id FROM instances WHERE instance_path = '${instancePath}'`));

// ---- The initial simulation: 200 ns of a 1 ps-precision design ----
const init = JSON.parse(wexla.init());
assert.equal(init.success, true, init.error);
assert.equal(init.meta.finalTime, 200000);
assert.equal(init.meta.stopReason, 'time limit');
assert.equal(init.meta.totalCycles, Number(sql('SELECT COUNT(DISTINCT step) FROM timeline')));
assert.ok(init.meta.totalChanges > 0, 'the run\'s changes are counted');
const signalNames = init.signals.map((s) => s.name);
for (const name of ['clk', 'count', 'counter.bit0.q', 'counter.bit3.q']) {
  assert.ok(signalNames.includes(name), name);
}
assert.ok(init.steps.length > 0);
// The window holds the steps from 5 ns to 25 ns (5000 to 25000 in the 1 ps precision).
for (const step of init.steps) {
  assert.ok(step.simulationTime >= 5000 && step.simulationTime <= 25000, 'inside the window');
}
const firstWindowStep = init.steps[0].step;
assert.ok(firstWindowStep > 0);
const lastWindowStep = init.steps[init.steps.length - 1].step;
const maxStep = Number(sql('SELECT MAX(step) FROM timeline'));
assert.ok(lastWindowStep < maxStep);

// ---- Stepping to both ends ----
assert.equal(stepOf(wexla.stepForward()), lastWindowStep, 'forward starts at the window\'s end');
let previous = lastWindowStep;
for (let guard = 0; guard <= maxStep + 1; guard++) {
  const step = stepOf(wexla.stepForward());
  if (step === previous) break;
  assert.equal(step, previous + 1);
  previous = step;
}
assert.equal(previous, maxStep, 'forward stops at the last recorded step');
assert.equal(stepOf(wexla.stepForward(null)), maxStep);

for (let guard = 0; guard <= maxStep + 1; guard++) {
  const step = stepOf(wexla.stepBackward());
  if (step === previous) break;
  assert.equal(step, previous - 1);
  previous = step;
}
assert.equal(previous, firstWindowStep, 'backward stops at the window\'s first step');

// The instance-list forms and the current step follow the same cursor.
const ids = [idOf('top'), idOf('counter.bit0')];
const listed = JSON.parse(wexla.stepForward(ids));
assert.equal(listed[0].step, firstWindowStep);
assert.ok('clk' in listed[0].signalState && 'counter.bit0.q' in listed[0].signalState);
assert.ok(!('counter.bit1.q' in listed[0].signalState), 'only the listed instances');
assert.equal(stepOf(wexla.getCurrentStep(ids)), firstWindowStep + 1);
assert.equal(stepOf(wexla.stepBackward(ids)), firstWindowStep);
assert.equal(stepOf(wexla.getCurrentStep(idOf('top'))), firstWindowStep);

// ---- Windows, hierarchies, modules ----
const empty = JSON.parse(wexla.getTimelineWindow(100000, 5000, 'no_such_label'));
assert.deepEqual(empty, { centerTime: 100000, windowStart: 95000, windowEnd: 105000, steps: [] });
assert.equal(JSON.parse(wexla.getTimelineWindow(10, 20, 'x')).windowStart, 0);
assert.deepEqual(JSON.parse(wexla.getTimelineWindow(2 ** 33, 2 ** 32, 'x')),
  { centerTime: 8589934592, windowStart: 4294967296, windowEnd: 12884901888, steps: [] });

const top = JSON.parse(wexla.getHierarchy(idOf('top')));
assert.equal(JSON.stringify(top).includes('"bit3"'), true);
const counter = JSON.parse(wexla.getHierarchy('top.counter'));
assert.equal(JSON.stringify(counter).includes('"bit0"'), true);
assert.equal(JSON.stringify(counter).includes('"top"'), false);
assert.ok(wexla.getParentHierarchy(idOf('counter.bit2')).includes('counter'));
assert.equal(wexla.setCurrentHierarchy(idOf('counter')), 'null');

const tff = JSON.parse(wexla.getModuleByName('tff'));
assert.equal(tff.status, 200);
assert.equal(JSON.parse(wexla.getModuleByName('no_such_module')).status, 502);

const tokens = wexla.tokenize(fs.readFileSync(tffFile, 'utf8'));
assert.ok(tokens.length > 10 && tokens.every((t) => t.length === 5));

// ---- Injection, then the property results ----
const injected = JSON.parse(wexla.injectAndSim([{
  file: topFile,
  module: 'top',
  line: 6,
  property_list: ['assert property (@(posedge clk) count != 4\'b1111);'],
  label_list: ['p_not_full'],
}]));
assert.equal(injected.success, 1);
assert.ok(Array.isArray(injected.timeline) && injected.timeline.length > 0);
// Its meta is that of any project run, beside the members it always had.
assert.equal(injected.meta.stopReason, 'time limit');
assert.equal(injected.meta.finalTime, injected.finalTime);
assert.equal(injected.meta.totalCycles, injected.timeline.length);
assert.equal(sql("SELECT label FROM properties WHERE id = 'p_not_full'"), 'p_not_full');
const results = JSON.parse(wexla.getPropertyResults());
assert.ok(Array.isArray(results.assertionEvents));
// Events need the model builder's concurrent assertions; the window needs only the label.
assert.ok(Array.isArray(JSON.parse(wexla.getTimelineWindow(50000, 50000, 'p_not_full')).steps));
assert.ok(!fs.readdirSync(dir).some((name) => name.includes('(copy)')), 'copies removed');

// ---- SQL over the project ----
const tables = sqlJson("SELECT json_group_array(name) FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'");
assert.equal(tables.length, 10);
assert.equal(sql('SELECT name FROM modules WHERE 0'), '[]');
const timelineRows = Number(sql('SELECT COUNT(*) FROM timeline'));
assert.ok(timelineRows > 0);

// ---- Compile with errors leaves the project alone ----
const broken = path.join(dir, 'broken.sv');
fs.writeFileSync(broken, 'module broken(input a);\n  assign b = ;\nendmodule\n');
const diagnostics = JSON.parse(wexla.compile([broken]));
assert.equal(diagnostics.status, 501);
assert.equal(JSON.parse(wexla.compile([])).status, 498);

// ---- Shutdown: the file holds the schema and the run's rows ----
assert.deepEqual(JSON.parse(wexla.shutdown()), { success: true, error: '' });
const cli = (query) => execFileSync('sqlite3', [dbPath, query], { encoding: 'utf8' }).trim();
const schema = cli('.schema');
for (const table of tables) assert.ok(schema.includes(`CREATE TABLE ${table}`) ||
  schema.includes(`CREATE TABLE IF NOT EXISTS ${table}`), table);
assert.equal(Number(cli('SELECT COUNT(*) FROM timeline;')), timelineRows);
assert.equal(cli('SELECT COUNT(*) FROM instances;'), '6');
assert.equal(cli("SELECT label FROM properties WHERE id = 'p_not_full';"), 'p_not_full');

// ---- The module goes on after a shutdown ----
const text = fs.readFileSync(topFile, 'utf8') + counterFiles['ripple4.sv'] + counterFiles['tff.sv'];
const ran = JSON.parse(wexla.run(text));
assert.equal(ran.success, true, ran.error);
assert.ok(ran.simulation.timeline.length > 0);

assert.deepEqual(JSON.parse(wexla.shutdown()), { success: true, error: '' });

console.log(PASS_MARK);
