// Designs nested ten times deeper than Node's stack used to survive, through
// the project and the text road: every answer names the nesting limit, and
// the process goes on to simulate a sound project.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { loadModule, PASS_MARK, counterFiles, writeSources } = require('../support');

const wexla = loadModule();
const dir = process.cwd();
const dbPath = path.join(dir, 'project.db');
const configure = (sources) => JSON.parse(wexla.json2_callback({
  db_path: dbPath, sources, time_unit: 'ns', max_sim_time: 200, working_hierarchy: 'top',
}));
const limit = /nesting limit exceeded: .* more than 10000 levels deep/;

const designs = {
  'generate.sv': `module top;\n${'if (1) begin : g\n'.repeat(140000)}logic x;\n${'end\n'.repeat(140000)}endmodule\n`,
  'sum.sv': `module top;\n  logic [7:0] a = 1, b;\n  assign b = a${' + a'.repeat(399999)};\nendmodule\n`,
};
for (const [name, text] of Object.entries(designs)) {
  const [file] = writeSources(dir, { [name]: text });
  const started = Date.now();
  const compiled = configure([file]);
  assert.equal(compiled.status, 501, name);
  assert.match(compiled.errors[0].description, limit, name);
  assert.equal(compiled.errors[0].file_name, file);

  const init = JSON.parse(wexla.init());
  assert.equal(init.success, false, name);
  assert.match(init.error, /the sources did not compile \(compile status 501\)/);
  assert.equal(init.meta.stopReason, 'none');

  for (const answer of [wexla.run(text), wexla.init(text)]) {
    const parsed = JSON.parse(answer);
    assert.equal(parsed.success, false, name);
    assert.match(parsed.error, limit, name);
  }
  console.error(`${name}: answered in ${Date.now() - started} ms`);
}

// Inside the engine's limit but past the parser's own: both roads name it.
const statements = `module top;\n  logic a = 1;\n  initial begin\n${'if (a) begin\n'.repeat(1000)}${'end\n'.repeat(1000)}  end\nendmodule\n`;
const [statementsFile] = writeSources(dir, { 'statements.sv': statements });
const parserLimit = /language constructs are too deeply nested/;
assert.match(configure([statementsFile]).errors[0].description, parserLimit);
assert.match(JSON.parse(wexla.run(statements)).error, parserLimit);

const sound = configure(writeSources(dir, counterFiles));
assert.equal(sound.status, 200);
const run = JSON.parse(wexla.init());
assert.equal(run.success, true, run.error);
assert.equal(run.meta.stopReason, 'time limit');
wexla.shutdown();

console.log(PASS_MARK);
