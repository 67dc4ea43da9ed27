// Runs one session of the API reference's examples in this process, in a
// folder holding the example counter as counter.sv, and writes what each
// example answered (or raised) to a JSON file.
//
//   node reference_session.js <examples.json> <answers.json>
//
// examples.json holds an array of code texts; each runs in one shared context
// where `wexla` is the module, and its last expression is its answer.
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const vm = require('node:vm');
const { loadModule, root, PASS_MARK } = require('../support');

const [examplesPath, answersPath] = process.argv.slice(2);
const examples = JSON.parse(fs.readFileSync(examplesPath, 'utf8'));
fs.copyFileSync(path.join(root, 'examples', 'counter.sv'), 'counter.sv');

const context = vm.createContext({ wexla: loadModule() });
const answers = examples.map((code) => {
  try {
    return { value: vm.runInContext(code, context) };
  } catch (err) {
    return { raised: `${err.name}: ${err.message}` };
  }
});
fs.writeFileSync(answersPath, JSON.stringify(answers));
console.log(PASS_MARK);
