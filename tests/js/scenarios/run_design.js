// Simulates one corpus design the way a front end does and writes what came
// out to result.json in the current folder (the engine's own logging owns
// standard output and standard error).
//
//   node run_design.js <design.sv>
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const { loadModule } = require('../support');

const design = path.resolve(process.argv[2]);
const dir = process.cwd();
const dbPath = path.join(dir, 'project.db');
const result = {
  compiled: null, success: null, error: null, notModelled: null, console: null, assertionEvents: null,
};
const save = () => fs.writeFileSync(path.join(dir, 'result.json'), JSON.stringify(result));

// Every corpus design ends well within this many cycles; a run that reaches
// it stops there, and its output shows where.
const MAX_CYCLES = 1000000;

const wexla = loadModule();
const compiled = JSON.parse(wexla.json2_callback({
  db_path: dbPath,
  sources: [design],
  time_unit: 'ns',
  max_sim_cycles: MAX_CYCLES,
}));
result.compiled = compiled.status;
save();
if (compiled.status === 200) {
  const init = JSON.parse(wexla.init());
  result.success = init.success;
  result.error = init.error ?? null;
  result.notModelled = init.meta?.notModelled ?? null;
  const consolePath = path.join(dir, 'wexla_sim_console.txt');
  result.console = fs.existsSync(consolePath) ? fs.readFileSync(consolePath, 'utf8') : null;
  result.assertionEvents = JSON.parse(wexla.getPropertyResults()).assertionEvents ?? null;
  save();
}
