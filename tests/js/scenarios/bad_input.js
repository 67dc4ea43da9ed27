// Every function called with every kind of junk: before any project, on a
// project whose sources do not exist, and on a simulated project. Each call
// must answer (JSON, where the function answers text) or raise a JavaScript
// exception; the process lives on.
'use strict';

const assert = require('node:assert/strict');
const path = require('node:path');
const { loadModule, PASS_MARK, counterFiles, writeSources } = require('../support');

const wexla = loadModule();
const dir = process.cwd();

const throwingGetter = { get file() { throw new Error('getter'); }, toString() { throw new Error('toString'); } };
const JUNK = [
  undefined, null, true, 0, -1, 3.9, 1e300, -1e300, 2 ** 53, NaN, Infinity, -Infinity,
  '', 'module', 'x'.repeat(100000), '\u0000\u00ff"\\', 10n, Symbol('junk'), () => 1,
  {}, [], [[]], [1, 'a', null], [[[{ a: [{}] }]]], { length: 1e9 }, [NaN, 1e300, -1e300],
  throwingGetter, [throwingGetter], new Proxy({}, { get() { throw new Error('proxy'); } }),
  { file: 1, module: {}, line: NaN, property_list: [{}], label_list: 5 },
  [{ file: 'nowhere.sv', module: 'top', line: 1e300, property_list: ['x'], label_list: ['l'] }],
  { db_path: 1e300, sources: [1, null, {}], start_time: 'soon', max_sim_time: 1e300,
    waveform_window_size: -1e300, max_sim_cycles: NaN, time_unit: {} },
];

const outcomes = { answered: 0, raised: 0 };

function call(name, args) {
  try {
    const value = wexla[name](...args);
    const type = value === null ? 'null' : Array.isArray(value) ? 'array' : typeof value;
    assert.ok(['string', 'array', 'undefined', 'null'].includes(type), `${name} answered a ${type}`);
    // Every answer is JSON but the value a query selects.
    if (type === 'string' && name !== 'processSQLQuery') JSON.parse(value);
    if (name === 'tokenize') assert.equal(type, 'array');
    outcomes.answered++;
  } catch (err) {
    assert.ok(err instanceof Error, `${name} raised a non-error`);
    outcomes.raised++;
  }
}

function hammer(stage) {
  for (const name of Object.keys(wexla)) {
    if (name === 'json2_callback' && stage !== 'unconfigured') continue;  // keeps the project
    call(name, []);
    for (const junk of JUNK) {
      call(name, [junk]);
      call(name, [junk, junk, junk]);
    }
    call(name, [5, 2, 'label', 'extra']);
  }
}

// No project yet (the junk configurations may only start one inside this folder).
hammer('unconfigured');

// A project whose sources are missing.
const missing = JSON.parse(wexla.json2_callback({
  db_path: path.join(dir, 'missing.db'), sources: [path.join(dir, 'nope.sv')],
}));
assert.equal(missing.status, 499);
hammer('missing sources');

// A simulated project.
const sources = writeSources(dir, counterFiles);
const compiled = JSON.parse(wexla.json2_callback({
  db_path: path.join(dir, 'project.db'), sources, max_sim_time: 100, time_unit: 'ns',
  waveform_window_size: 1000,
}));
assert.equal(compiled.status, 200);
assert.equal(JSON.parse(wexla.init()).success, true);
hammer('simulated');
assert.deepEqual(JSON.parse(wexla.shutdown()), { success: true, error: '' });

assert.ok(outcomes.answered > 500 && outcomes.raised > 500, JSON.stringify(outcomes));
console.log(JSON.stringify(outcomes));
console.log(PASS_MARK);
