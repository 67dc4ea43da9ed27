// Answers past the limit of one answer (256 MB) come back as an error that
// names their size; Node would abort the whole process on a string past about
// 536 million characters. Both answers here are larger than that.
'use strict';

const assert = require('node:assert/strict');
const path = require('node:path');
const { loadModule, PASS_MARK, writeSources } = require('../support');

const wexla = loadModule();
const dir = process.cwd();

function refusal(answer, bytes, narrow) {
  const parsed = JSON.parse(answer);
  assert.equal(parsed.error, `the answer would be ${bytes} bytes, more than the 268435456 ` +
    `bytes one answer may hold: ${narrow}`);
}

// Ten blocks of a 1,000-branch else-if chain each: the statement JSON indents
// deeper at every branch, 567 million characters in all.
const chain = ['    if (s == 0) y <= 0;'];
for (let i = 1; i < 1000; i++) chain.push(`    else if (s == ${i}) y <= ${i};`);
const block = `  always @(posedge clk) begin\n${chain.join('\n')}\n  end\n`;
const sources = writeSources(dir, {
  'chains.sv': 'module top(input logic clk, input logic [15:0] s, output logic [15:0] y);\n' +
    block.repeat(10) + 'endmodule\n',
});
const compiled = JSON.parse(wexla.json2_callback({
  db_path: path.join(dir, 'project.db'), sources, time_unit: 'ns',
}));
assert.equal(compiled.status, 200);

const sql = wexla.processSQLQuery("SELECT printf('%.*c', 600000000, 'x')");
refusal(sql, 600000000, 'narrow the query');
const moduleAnswer = wexla.getModuleByName('top');
assert.ok(moduleAnswer.length < 1000, 'the refusal is short');
const size = Number(/would be (\d+) bytes/.exec(moduleAnswer)?.[1]);
assert.ok(size > 536870888, `the module's answer (${size} bytes) is past Node's own limit`);
refusal(moduleAnswer, size, "read the module's rows from the project database (processSQLQuery) instead");

// The process lives on and answers as before.
assert.equal(wexla.processSQLQuery("SELECT name FROM modules"), 'top');
wexla.shutdown();
console.log(PASS_MARK);
