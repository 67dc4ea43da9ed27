// json2_callback: defaults for absent keys, the run limits in the configured
// unit, what the project row keeps, and a refused configuration that
// leaves the current project alone.
'use strict';

const assert = require('node:assert/strict');
const path = require('node:path');
const { loadModule, PASS_MARK, counterFiles, writeSources } = require('../support');

const wexla = loadModule();
const dir = process.cwd();
const sources = writeSources(dir, counterFiles);
const dbPath = path.join(dir, 'project.db');

const projectRow = () => JSON.parse(wexla.processSQLQuery(`SELECT json_object(
  'max', default_max_simulation_time, 'cycles', default_max_simulation_cycle,
  'start', default_simulation_start_time, 'window', waveform_window_size,
  'unit', default_simulation_time_unit, 'hierarchy', default_working_hierarchy)
  FROM projectstate`));

// The run limits are only visible in the log line, so each configuration
// prints a marker the parent test pairs with the "[CONFIG]" line after it.
function configure(label, config) {
  process.stderr.write(`\nCASE ${label}\n`);
  return JSON.parse(wexla.json2_callback({ db_path: dbPath, sources, ...config }));
}

// Absent integer keys take their defaults; a key that is not a number is ignored.
assert.equal(configure('defaults', { start_time: '7', max_sim_cycles: null }).status, 200);
assert.deepEqual(projectRow(),
  { max: 0, cycles: 1000, start: 0, window: -1, unit: '', hierarchy: '' });

configure('us', { time_unit: 'us', max_sim_time: 5, start_time: 2, max_sim_cycles: 77.9 });
assert.deepEqual(projectRow(),
  { max: 5, cycles: 77, start: 2, window: -1, unit: 'us', hierarchy: '' });
configure('ps', { time_unit: 'ps', max_sim_time: 5 });
configure('fs', { time_unit: 'fs', max_sim_time: 5 });
configure('unknown', { time_unit: 'minutes', max_sim_time: 5 });
// Times beyond 32 bits reach the kernel whole; the row keeps what fits.
configure('huge', { time_unit: 'ns', max_sim_time: 5e9, max_sim_cycles: 1e12 });
assert.equal(projectRow().max, 2147483647);
assert.equal(projectRow().cycles, 2147483647);
configure('overflow', { time_unit: 's', max_sim_time: 5e9, start_time: -3 });
assert.equal(projectRow().start, -3);

// Without a window the cursor starts on the first step at the start time,
// and a new project steps forward without a save first.
configure('window-less run', { time_unit: 'ns', max_sim_time: 50, working_hierarchy: 'top' });
const init = JSON.parse(wexla.init());
assert.equal(init.success, true, init.error);
assert.deepEqual(init.steps, []);
const first = JSON.parse(wexla.stepForward());
assert.equal(first[0].step, 0);
assert.equal(JSON.parse(wexla.stepForward())[0].step, 1);
assert.equal(JSON.parse(wexla.stepBackward())[0].step, 1);
assert.equal(JSON.parse(wexla.stepBackward())[0].step, 0);
assert.equal(JSON.parse(wexla.stepBackward())[0].step, 0, 'never below step 0');

// A refused configuration changes nothing.
const before = wexla.processSQLQuery('SELECT json_group_array(file_path) FROM projectstructure');
assert.throws(() => wexla.json2_callback({ db_path: path.join(dir, 'other.db'), sources: 'a.v' }),
  { name: 'TypeError', message: 'expected property to be an array' });
assert.equal(wexla.processSQLQuery('SELECT json_group_array(file_path) FROM projectstructure'),
  before);
assert.equal(JSON.parse(wexla.stepBackward())[0].step, 0, 'the run is still there');

wexla.shutdown();
console.log(PASS_MARK);
