// A hostile or careless host: files that are no project database, damaged or
// crafted ones, sources that are no files, escaping property text, copies
// left by a killed process, host SQL that keeps rows out, odd limits and
// queries. Each gets a clear answer, nothing is lost, no success is claimed
// that did not happen, and standard output stays quiet throughout.
'use strict';

const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { loadModule, PASS_MARK, counterFiles, writeSources } = require('../support');

const wexla = loadModule();
const dir = process.cwd();
const sources = writeSources(dir, counterFiles);
const [, , topFile] = sources;
const sql = (query) => wexla.processSQLQuery(query);
const configure = (dbPath, extra = {}) => JSON.parse(wexla.json2_callback({
  db_path: dbPath, sources, max_sim_time: 100, time_unit: 'ns', working_hierarchy: 'top', ...extra,
}));
const sqliteFile = (file, script) => execFileSync('sqlite3', [file, script], { encoding: 'utf8' });

// Another program's database, and one whose table names hold SQL, are left
// as they are: nothing runs, nothing is dropped, nothing is written.
const accounts = path.join(dir, 'accounts.db');
const attached = path.join(dir, 'attached.db');
sqliteFile(accounts, "CREATE TABLE accounts (name TEXT); INSERT INTO accounts VALUES ('kept');" +
  `CREATE TABLE "x; ATTACH '${attached}' AS e; --" (a);`);
const before = fs.readFileSync(accounts);
const refused = configure(accounts);
assert.match(refused.error, /^the project database .*accounts\.db holds other tables \(accounts, x; ATTACH/);
assert.deepEqual(fs.readFileSync(accounts), before);
assert.equal(fs.existsSync(attached), false);
assert.equal(JSON.parse(wexla.init()).success, false);
assert.equal(JSON.parse(wexla.shutdown()).success, false, 'nothing was saved');
assert.equal(configure(':memory:').error,
  'the project database :memory: would live in memory only and never be saved: give a file path');

const dbPath = path.join(dir, 'project.db');
assert.equal(configure(dbPath).status, 200);

// Queries of no statement answer no row.
for (const text of ['', '   ', '-- just a comment', ';', '; ;']) assert.equal(sql(text), '[]', text);

// Host SQL that keeps the run's rows out fails the run, and says why.
sql("CREATE TRIGGER no_rows BEFORE INSERT ON timeline BEGIN SELECT RAISE(ABORT, 'kept out'); END");
const blocked = JSON.parse(wexla.init());
assert.equal(blocked.success, false);
assert.match(blocked.error, /the run's rows did not all reach the project database: \d+ writes .* the first: kept out/);
sql('DROP TRIGGER no_rows');
assert.equal(JSON.parse(wexla.init()).success, true);

// No limit on cycles: the run goes on to the testbench's end, past the
// default 1,000 cycles.
const long = path.join(dir, 'long.sv');
fs.writeFileSync(long, 'module top; logic clk = 0; always #1 clk = ~clk; initial #3000 $finish; endmodule\n');
const runLong = (cycles) => {
  assert.equal(JSON.parse(wexla.json2_callback({ db_path: dbPath, sources: [long], ...cycles })).status, 200);
  return JSON.parse(wexla.init()).meta.stopReason;
};
assert.equal(runLong({}), 'cycle limit');
assert.equal(runLong({ max_sim_cycles: Infinity }), 'finish');
assert.equal(sql('SELECT default_max_simulation_cycle FROM projectstate'), '2147483647');

// The tables, instances' line ranges and configuration go to the engine's
// log beside the database, not to standard output (the test checks it is quiet).
assert.equal(configure(dbPath).status, 200);
const log = fs.readFileSync(path.join(dir, 'wexla_engine.log'), 'utf8');
assert.match(log, /=== projectstate ===/);
assert.match(log, /\[LOC\] \d+ \d+/);
assert.match(log, /\[CAPTURE YAML DATA\] db_path=.*project\.db/);
assert.equal(JSON.parse(wexla.init()).success, true);

// Property text that would close the module and run modules of its own is
// refused; the answer says why.
const escape = 'assert property (@(posedge clk) 1); endmodule module evil; initial $display("EVIL");';
const topLines = fs.readFileSync(topFile, 'utf8').split('\n');
const endLine = topLines.indexOf('endmodule') + 1;
const injected = JSON.parse(wexla.injectAndSim([{
  file: topFile, module: 'top', line: endLine, property_list: [escape], label_list: ['p_evil'],
}]));
assert.equal(injected.success, 0);
assert.match(injected.error, /^injection failed: the property p_evil is refused: it is not one labelled assertion item/);
assert.doesNotMatch(fs.readFileSync(path.join(dir, 'wexla_sim_console.txt'), 'utf8'), /EVIL/);

// A copy a killed injection left is replaced, and removed after the run.
const copy = path.join(dir, 'top(copy).sv');
fs.writeFileSync(copy, [...topLines.slice(0, endLine - 1), 'p_old: assert property (1);',
  ...topLines.slice(endLine - 1)].join('\n'));
const again = JSON.parse(wexla.injectAndSim([{ file: topFile, module: 'top', line: endLine,
  property_list: ['assert property (@(posedge clk) 1);'], label_list: ['p_clk'] }]));
assert.equal(again.success, 1, again.error);
assert.equal(fs.existsSync(copy), false);

// Sources that are no regular files, or none at all, are refused naming them
// (a FIFO would block the engine for good).
const fifo = path.join(dir, 'fifo.sv');
execFileSync('mkfifo', [fifo]);
for (const [file, problem] of [[fifo, 'is not a regular file (a device, FIFO or socket)'],
  [path.join(dir, 'missing.sv'), 'no such file or directory']]) {
  const answer = JSON.parse(wexla.json2_callback({ db_path: dbPath, sources: [file] }));
  assert.equal(answer.status, 499, file);
  assert.deepEqual(answer.errors, [{ description: `error: cannot read source "${file}": ${problem}`,
    file_name: file, line: 0, column: 0 }]);
}

// A failed save's reason is escaped in its answer.
const oddDir = path.join(dir, 'we"ird\\dir');
fs.mkdirSync(oddDir);
assert.equal(configure(path.join(oddDir, 'p.db')).status, 200);
fs.rmSync(oddDir, { recursive: true });
const failed = JSON.parse(wexla.shutdown());
assert.equal(failed.success, false);
assert.ok(failed.error.includes(path.join(oddDir, 'p.db')), failed.error);

console.log(PASS_MARK);
