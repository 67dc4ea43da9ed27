// The run's limits and the first window are given in the configured time
// unit, whatever precision the design counts its time in.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { loadModule, PASS_MARK } = require('../support');

const wexla = loadModule();
const dir = process.cwd();

// Timescale directive -> kernel ticks in one nanosecond.
const cases = [['`timescale 1ns/1ns', 1], ['`timescale 1ns/1ps', 1000],
  ['`timescale 1ns/1fs', 1000000], ['', 1]];
const finalTimes = [];
for (const [directive, ticksPerNs] of cases) {
  const source = path.join(dir, `clock${finalTimes.length}.sv`);
  fs.writeFileSync(source, `${directive}
module top; logic clk = 0; always #5 clk = ~clk; endmodule
`);
  const compiled = JSON.parse(wexla.json2_callback({
    db_path: path.join(dir, 'project.db'), sources: [source], time_unit: 'ns',
    max_sim_time: 200, start_time: 100, waveform_window_size: 20, working_hierarchy: 'top',
  }));
  assert.equal(compiled.status, 200);
  const init = JSON.parse(wexla.init());
  assert.equal(init.meta.stopReason, 'time limit', directive);
  finalTimes.push(init.meta.finalTime / ticksPerNs);
  // The first window: the steps from 100 ns to 120 ns.
  const times = init.steps.map((s) => s.simulationTime / ticksPerNs);
  assert.ok(times.length > 0, directive);
  assert.equal(Math.min(...times), 100, directive);
  assert.equal(Math.max(...times), 120, directive);
}
assert.deepEqual(finalTimes, [200, 200, 200, 200], 'every run ends at 200 ns');
assert.deepEqual(JSON.parse(wexla.shutdown()), { success: true, error: '' });
console.log(PASS_MARK);
