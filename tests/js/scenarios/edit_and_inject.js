// A front end's second round on a project: opened broken, fixed, edited and
// compiled again, then assertions tried one after the other.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { loadModule, PASS_MARK, counterFiles, writeSources } = require('../support');

const wexla = loadModule();
const dir = process.cwd();
const sources = writeSources(dir, counterFiles);
const [tffFile, rippleFile, topFile] = sources;
const sql = (query) => wexla.processSQLQuery(query);
const configure = (files) => JSON.parse(wexla.json2_callback({
  start_time: 0, waveform_window_size: 20, max_sim_time: 100, time_unit: 'ns',
  working_hierarchy: 'top.counter', db_path: path.join(dir, 'project.db'), sources: files,
})).status;
const inject = (file, line, label) => JSON.parse(wexla.injectAndSim([{
  file, module: 'm', line, property_list: ['assert property (@(negedge clk) 1);'], label_list: [label],
}]));

// Opened with an error, an injection says why it cannot run.
fs.writeFileSync(path.join(dir, 'broken.sv'), 'module top;\n  assign a = ;\nendmodule\n');
assert.equal(configure([path.join(dir, 'broken.sv')]), 501);
assert.deepEqual(inject(path.join(dir, 'broken.sv'), 2, 'p'), { success: 0, finalTime: 0, timeline: [],
  error: 'the sources did not compile (compile status 501); the compile answer lists why',
  meta: { finalTime: 0, totalCycles: 0, totalChanges: 0, stopReason: 'none', notModelled: [] } });

// An edit compiled again moves the ids; the working hierarchy is found again.
assert.equal(configure(sources), 200);
fs.writeFileSync(rippleFile, fs.readFileSync(rippleFile, 'utf8')
  .replace('  logic q0, q1, q2, q3;', '  logic q0, q1, q2, q3;\n  logic spare = 1;'));
assert.equal(JSON.parse(wexla.compile(sources)).status, 200);
const init = JSON.parse(wexla.init());
assert.ok(init.signals.some((s) => s.name === 'counter.spare'));
assert.ok(!init.signals.some((s) => s.name === 'clk'), 'the subtree of top.counter only');
assert.ok('counter.spare' in init.steps[0].signalState);

// Each injection starts from the sources: the one before's properties are gone.
assert.equal(inject(tffFile, 3, 'p_tff').success, 1);
assert.ok(JSON.parse(wexla.getTimelineWindow(40000, 10000, 'p_tff')).steps.length > 0);
assert.equal(inject(topFile, 6, 'p_top').success, 1);
assert.equal(sql('SELECT json_group_array(id) FROM properties'), '["p_top"]');
assert.deepEqual(JSON.parse(wexla.getTimelineWindow(40000, 10000, 'p_tff')).steps, []);

wexla.shutdown();
console.log(PASS_MARK);
