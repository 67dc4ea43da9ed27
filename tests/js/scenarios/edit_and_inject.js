// A front end's second round on a project: the user edits a source and
// compiles again, then tries assertions on a module placed several times.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { loadModule, PASS_MARK, counterFiles, writeSources } = require('../support');

const wexla = loadModule();
const dir = process.cwd();
const sources = writeSources(dir, counterFiles);
const [tffFile, rippleFile] = sources;
const sql = (query) => wexla.processSQLQuery(query);

// ---- The project first opened with an error: an injection says why it failed ----
const brokenFile = path.join(dir, 'broken.sv');
fs.writeFileSync(brokenFile, 'module top;\n  assign a = ;\nendmodule\n');
assert.equal(JSON.parse(wexla.json2_callback({
  time_unit: 'ns', working_hierarchy: 'top', db_path: path.join(dir, 'broken.db'), sources: [brokenFile],
})).status, 501);
const early = JSON.parse(wexla.injectAndSim([{
  file: brokenFile, module: 'top', line: 2, property_list: ['assert property (1);'], label_list: ['p'],
}]));
assert.deepEqual(early, { success: 0, finalTime: 0, timeline: [],
  error: 'the sources did not compile (compile status 501); the compile answer lists why' });

assert.equal(JSON.parse(wexla.json2_callback({
  start_time: 0,
  waveform_window_size: 20,
  max_sim_time: 100,
  time_unit: 'ns',
  working_hierarchy: 'top.counter',
  db_path: path.join(dir, 'project.db'),
  sources,
})).status, 200);
const before = JSON.parse(wexla.init());
assert.ok(before.signals.some((s) => s.name === 'counter.bit3.q'));

// ---- Edit and compile again: the ids move, the working hierarchy stays ----
fs.writeFileSync(rippleFile, fs.readFileSync(rippleFile, 'utf8')
  .replace('  logic q0, q1, q2, q3;', '  logic q0, q1, q2, q3;\n  logic spare = 1;')
  .replace('  tff bit3(.clk(q2), .q(q3));\n', ''));
assert.equal(JSON.parse(wexla.compile(sources)).status, 200);
const after = JSON.parse(wexla.init());
assert.equal(after.success, true, after.error);
const names = after.signals.map((s) => s.name);
for (const name of ['counter.spare', 'counter.q0', 'counter.bit2.q']) assert.ok(names.includes(name), name);
assert.ok(!names.includes('counter.bit3.q') && !names.includes('clk'), 'the subtree of top.counter only');
assert.ok(after.steps.length > 0 && 'counter.spare' in after.steps[0].signalState);

// ---- An assertion injected into a module with four instances ----
const injected = JSON.parse(wexla.injectAndSim([{
  file: tffFile,
  module: 'tff',
  line: 3,
  property_list: ['assert property (@(negedge clk) q == q);'],
  label_list: ['p_tff'],
}]));
assert.equal(injected.success, 1, injected.error);
// Each instance's copy is a property of its own, kept with its instance.
assert.deepEqual(JSON.parse(sql("SELECT json_group_array(id || '@' || instance_id) FROM " +
  "(SELECT * FROM properties WHERE id LIKE 'p_tff%' ORDER BY id)")),
['p_tff@top.counter.bit0', 'p_tff_2@top.counter.bit1', 'p_tff_3@top.counter.bit2']);
const window = JSON.parse(wexla.getTimelineWindow(40000, 10000, 'p_tff')).steps;
assert.ok(window.length > 0, 'the window of an injected property shows its instance');
for (const step of window) {
  assert.deepEqual(Object.keys(step.signalState), ['counter.bit0.clk', 'counter.bit0.q']);
  assert.ok(step.simulationTime >= 30000 && step.simulationTime <= 50000);
}
const events = JSON.parse(wexla.getPropertyResults()).assertionEvents;
assert.ok(events.some((e) => e.label === 'p_tff_3' && e.result === 'PASS'));

// ---- A line the file does not have: refused, not a run without the property ----
const lines = fs.readFileSync(tffFile, 'utf8').split('\n').length;
for (const line of [0, lines + 1]) {
  const refused = JSON.parse(wexla.injectAndSim([{
    file: tffFile, module: 'tff', line, property_list: ['assert property (@(negedge clk) 1);'],
    label_list: ['p_nowhere'],
  }]));
  assert.equal(refused.success, 0);
  assert.equal(refused.error, `injection failed: ${tffFile}`);
  assert.deepEqual(refused.timeline, []);
}
assert.equal(sql("SELECT COUNT(*) FROM properties WHERE id = 'p_nowhere'"), '0');
assert.ok(!fs.readdirSync(dir).some((name) => name.includes('(copy)')), 'no copy left');

// ---- Each injection starts from the sources: the run before's properties are gone ----
const topFile = sources[2];
assert.equal(JSON.parse(wexla.injectAndSim([{
  file: topFile, module: 'top', line: 6, property_list: ['assert property (@(posedge clk) 1);'],
  label_list: ['p_top'],
}])).success, 1);
assert.equal(sql('SELECT json_group_array(id) FROM properties'), '["p_top"]');
assert.deepEqual(JSON.parse(wexla.getTimelineWindow(40000, 10000, 'p_tff')).steps, []);

wexla.shutdown();
console.log(PASS_MARK);
