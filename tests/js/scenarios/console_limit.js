// A design that prints without end fills its console file up to the limit of
// 1 GB (1,073,741,824 bytes), and no further: the run stops there and says so.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { loadModule, PASS_MARK, writeSources } = require('../support');

const LIMIT = 1073741824;
const wexla = loadModule();
const dir = process.cwd();

// 100 kB a nanosecond.
const line = `$display("${'x'.repeat(999)}");`;
const sources = writeSources(dir, {
  'flood.sv': `module top; always #1 begin ${Array(100).fill(line).join(' ')} end endmodule\n`,
});
assert.equal(JSON.parse(wexla.json2_callback({
  db_path: path.join(dir, 'project.db'), sources, max_sim_cycles: 1000000,
})).status, 200);
const init = JSON.parse(wexla.init());
assert.equal(init.success, true, init.error);
assert.equal(init.meta.stopReason, 'console limit');
assert.equal(init.meta.finalTime, 10738, 'the 10,738th nanosecond did not fit');

const consolePath = path.join(dir, 'wexla_sim_console.txt');
const closing = `\n[the console file reached its limit of ${LIMIT} bytes; the run stopped here]\n`;
assert.equal(fs.statSync(consolePath).size, LIMIT + closing.length);
const fd = fs.openSync(consolePath, 'r');
const tail = Buffer.alloc(closing.length);
fs.readSync(fd, tail, 0, closing.length, LIMIT);
fs.closeSync(fd);
assert.equal(tail.toString(), closing);
fs.rmSync(consolePath);
console.log(PASS_MARK);
