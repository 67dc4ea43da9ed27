// Failures that used to pass as success: a save of the project database that
// fails, and a recorder that stopped at its row limit before the run ended.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { loadModule, PASS_MARK } = require('../support');

const wexla = loadModule();
const dir = process.cwd();

// Fifty signals that change at every nanosecond until $finish at 500 ns: the
// recorder's 20,000 rows hold only the first part of the run.
const names = Array.from({ length: 50 }, (_, i) => `s${i}`);
const design = `module top;
  logic ${names.map((n) => `${n} = 0`).join(', ')};
  always #1 begin ${names.map((n) => `${n} = ~${n};`).join(' ')} end
  initial #500 $finish;
endmodule
`;

function checkRecordedPart(meta, finalTime, stopReason, lastStep) {
  assert.equal(finalTime, 500, 'the time the run reached');
  assert.equal(meta.stopReason, 'finish');
  assert.deepEqual(meta.recordedUntil, lastStep);
  assert.ok(lastStep.time < 500, 'recording stopped before the run ended');
}

// A project of that design.
const projectDir = path.join(dir, 'project');
fs.mkdirSync(projectDir);
const source = path.join(dir, 'top.sv');
fs.writeFileSync(source, design);
const dbPath = path.join(projectDir, 'project.db');
assert.equal(JSON.parse(wexla.json2_callback({ db_path: dbPath, sources: [source] })).status, 200);
// A text run (which needs a project to exist) answers the same.
const text = JSON.parse(wexla.run(design));
const steps = text.simulation.timeline;
checkRecordedPart(text.meta, text.finalTime, 'finish',
  { step: steps.at(-1).step, time: steps.at(-1).simulationTime });
const init = JSON.parse(wexla.init());
checkRecordedPart(init.meta, init.meta.finalTime, 'finish', JSON.parse(wexla.processSQLQuery(
  "SELECT json_object('step', MAX(step), 'time', MAX(time)) FROM timeline")));

// A project halted at its cycle limit, whose folder then goes away.
const clock = path.join(dir, 'clock.sv');
fs.writeFileSync(clock, 'module top; logic clk = 0; always #5 clk = ~clk; endmodule\n');
assert.equal(JSON.parse(wexla.json2_callback({
  db_path: dbPath, sources: [clock], max_sim_cycles: 3, working_hierarchy: 'top',
})).status, 200);
assert.equal(JSON.parse(wexla.init()).meta.stopReason, 'cycle limit');
fs.rmSync(projectDir, { recursive: true });
const lost = `the project database could not be saved to ${dbPath}`;
assert.deepEqual(JSON.parse(wexla.stepForward([1])), {
  success: false, error: `${lost} before the run went on: unable to open database file`,
});
assert.deepEqual(JSON.parse(wexla.shutdown()),
  { success: false, error: `${lost}: unable to open database file` });

// With the folder back, the same calls save and go on.
fs.mkdirSync(projectDir);
assert.ok(Array.isArray(JSON.parse(wexla.stepForward([1]))));
assert.deepEqual(JSON.parse(wexla.shutdown()), { success: true, error: '' });
assert.ok(fs.existsSync(dbPath));
console.log(PASS_MARK);
