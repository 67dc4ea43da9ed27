// The module object and the argument checks of its functions. Every call here
// is refused before it reaches the engine, so one process serves them all.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { loadModule } = require('./support');

const wexla = loadModule();

const FUNCTIONS = [
  'run', 'runMultiFile', 'init', 'compile', 'getModuleByName', 'injectAndSim',
  'getHierarchy', 'getParentHierarchy', 'json2_callback', 'processSQLQuery',
  'stepForward', 'stepBackward', 'getCurrentStep', 'setCurrentHierarchy',
  'getPropertyResults', 'getTimelineWindow', 'tokenize', 'shutdown',
];

function typeError(message) {
  return (err) => err instanceof TypeError && err.message === message;
}

test('the module offers exactly the eighteen functions, in registration order', () => {
  assert.deepEqual(Object.keys(wexla), FUNCTIONS);
  for (const name of FUNCTIONS) assert.equal(typeof wexla[name], 'function', name);
  if (!process.env.WEXLA_BUILD_DIR) {
    assert.equal(require('../..'), wexla, 'package.json names the module as its entry point');
  }
});

test('a missing argument is refused with the function\'s own message', () => {
  const cases = {
    run: 'expected 1 argument (verilog string)',
    compile: 'expected 1 argument (pathlist)',
    getModuleByName: 'expected 1 argument (module name)',
    injectAndSim: 'Expected an array of JSON objects',
    getHierarchy: 'expected 1 argument (integer id or string instance path)',
    getParentHierarchy: 'expected 1 argument (instance id)',
    json2_callback: 'expected 1 argument (JSON string)',
    processSQLQuery: 'expected 1 argument (string sql query)',
    getCurrentStep: "expected 1 argument (list of instance id's)",
    setCurrentHierarchy: 'expected 1 argument (instance_id)',
    getTimelineWindow: 'expected 3 arguments(centerTime number, radius number, label string)',
    tokenize: 'expected 1 argument (string document)',
  };
  for (const [name, message] of Object.entries(cases)) {
    assert.throws(() => wexla[name](), typeError(message), name);
  }
});

test('arguments of the wrong type raise the converters\' TypeErrors', () => {
  assert.throws(() => wexla.run(42), typeError('Expected a string'));
  assert.throws(() => wexla.init(undefined), typeError('Expected a string'));
  assert.throws(() => wexla.getModuleByName(null), typeError('Expected a string'));
  assert.throws(() => wexla.tokenize({}), typeError('Expected a string'));
  assert.throws(() => wexla.processSQLQuery(1), typeError('Expected a string'));
  // The element converter's error is the one raised; the list's own comes second.
  assert.throws(() => wexla.compile(7), typeError('Expected a string'));
  assert.throws(() => wexla.compile(['a.sv', 1]), typeError('Expected a string'));
  assert.throws(() => wexla.getHierarchy(true), typeError('expected integer or string'));
  assert.throws(() => wexla.getHierarchy({}), typeError('expected integer or string'));
  assert.throws(() => wexla.getParentHierarchy('3'),
    typeError('NapiValueToInt: expected a number'));
  assert.throws(() => wexla.setCurrentHierarchy('3'),
    typeError('NapiValueToInt: expected a number'));
  assert.throws(() => wexla.getTimelineWindow(10, 2), typeError(
    'expected 3 arguments(centerTime number, radius number, label string)'));
  assert.throws(() => wexla.getTimelineWindow('10', 2, 'p'),
    typeError('NapiValueToInt: expected a number'));
  assert.throws(() => wexla.getTimelineWindow(10, 2, 3), typeError('Expected a string'));
  assert.throws(() => wexla.getCurrentStep(Symbol('s')), TypeError);
});

test('the configuration must be an object', () => {
  assert.throws(() => wexla.json2_callback('{"db_path": "x.db"}'),
    typeError('expected a JSON object'));
  assert.throws(() => wexla.json2_callback(null), typeError('expected a JSON object'));
  assert.throws(() => wexla.json2_callback(5), typeError('expected a JSON object'));
});

test('injection requests are checked element by element', () => {
  const good = { file: 'a.sv', module: 'top', line: 3, property_list: ['p'], label_list: ['l'] };
  const cases = [
    ['not an array', 'Expected an array of JSON objects'],
    [[1], 'element must be an JSON object'],
    [[{}], "'file' must be a string"],
    [[{ ...good, file: 1 }], "'file' must be a string"],
    [[{ ...good, module: undefined }], "'module' must be a string"],
    [[{ ...good, line: '3' }], "'line' must be a number"],
    [[{ ...good, property_list: 'p' }], "'property_list' must be an array of strings"],
    [[{ ...good, property_list: ['p', 2] }], "'property_list' elements must be strings"],
    [[{ ...good, label_list: {} }], "'label_list' must be an array of strings"],
    [[{ ...good, label_list: [null] }], "'label_list' elements must be strings"],
    [[{ ...good, property_list: ['p', 'q'], label_list: ['l'] }],
      "'label_list' must have one label per property"],
    [[good, { ...good, line: null }], "'line' must be a number"],
  ];
  for (const [requests, message] of cases) {
    assert.throws(() => wexla.injectAndSim(requests), typeError(message), message);
  }
});

test('an unusable sources list is refused', () => {
  assert.throws(() => wexla.json2_callback({ db_path: 'never.db', sources: 'a.v' }),
    typeError('expected property to be an array'));
  assert.throws(() => wexla.json2_callback({ db_path: 'never.db', sources: [Symbol('s')] }),
    TypeError);
  const throwing = { get db_path() { throw new Error('getter failed'); } };
  assert.throws(() => wexla.json2_callback(throwing), /getter failed/);
});

test('a text or path holding a NUL character is refused, naming the argument', () => {
  const nul = (name) => typeError(`'${name}' must not contain a NUL character`);
  // The engine would take the text before the NUL and answer for it alone.
  assert.throws(() => wexla.run('module top; endmodule\0 ((('), nul('source'));
  assert.throws(() => wexla.init('module top;\0'), nul('source'));
  assert.throws(() => wexla.compile(['a.sv', 'b\0.sv']), nul('paths'));
  assert.throws(() => wexla.compile('a\0.sv'), nul('paths'));
  assert.throws(() => wexla.getModuleByName('top\0x'), nul('name'));
  assert.throws(() => wexla.getHierarchy('top\0'), nul('path'));
  assert.throws(() => wexla.processSQLQuery('SELECT 1;\0DROP TABLE x'), nul('sql'));
  assert.throws(() => wexla.getTimelineWindow(1, 1, 'p\0'), nul('label'));
  assert.throws(() => wexla.tokenize('module\0'), nul('document'));
  for (const key of ['db_path', 'time_unit', 'working_hierarchy']) {
    assert.throws(() => wexla.json2_callback({ db_path: 'never.db', sources: [], [key]: 'x\0y' }),
      nul(key), key);
  }
  assert.throws(() => wexla.json2_callback({ db_path: 'never.db', sources: ['a.sv', '\0'] }),
    nul('sources'));
  const good = { file: 'a.sv', module: 'top', line: 3, property_list: ['p'], label_list: ['l'] };
  for (const [key, value] of [['file', 'a\0.sv'], ['module', 't\0'],
    ['property_list', ['p\0']], ['label_list', ['\0']]]) {
    assert.throws(() => wexla.injectAndSim([{ ...good, [key]: value }]), nul(key), key);
  }
  // Nothing reached the engine: no project was opened at the refused path.
  assert.equal(require('node:fs').existsSync('never.db'), false);
});

test('tokenize refuses a document past its size limit before copying it', () => {
  const limit = 32 * 1024 * 1024;
  assert.throws(() => wexla.tokenize('x'.repeat(limit + 1)), (err) => err instanceof RangeError &&
    err.message === `tokenize: the document is ${limit + 1} bytes; at most ${limit} are tokenized`);
  // Bytes, not characters: two bytes each in UTF-8.
  assert.throws(() => wexla.tokenize('é'.repeat(limit / 2 + 1)), RangeError);
  assert.equal(wexla.tokenize('x'.repeat(limit)).length, 2, 'one identifier and the end of file');
});

test('a database path that is not a string, or a cycle limit that is no count, is refused', () => {
  // Made a string, they would name files such as "null" or "[object Object]".
  for (const db_path of [null, {}, 7, ['a.db'], true]) {
    assert.throws(() => wexla.json2_callback({ db_path, sources: [] }),
      typeError("'db_path' must be a string"), String(db_path));
  }
  for (const [cycles, what] of [[NaN, 'NaN'], [-1, 'a negative number'],
    [-Infinity, 'a negative number'], [-0.5, 'a negative number']]) {
    assert.throws(() => wexla.json2_callback({ db_path: 'never.db', sources: [], max_sim_cycles: cycles }),
      (err) => err instanceof RangeError && err.message ===
        `'max_sim_cycles' must be a count of 0 or more (Infinity for no limit), not ${what}`,
      String(cycles));
  }
  const fs = require('node:fs');
  for (const name of ['never.db', 'null', '[object Object]', '7']) {
    assert.equal(fs.existsSync(name), false, name);
  }
});
