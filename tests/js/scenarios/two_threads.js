// Two worker threads load the module and run whole sessions at the same time.
// The engine keeps one project per process, so their calls take turns: no
// crash, and every answer is JSON (or a TypeError for a bad argument).
'use strict';

const assert = require('node:assert/strict');
const path = require('node:path');
const { Worker, isMainThread, workerData, parentPort } = require('node:worker_threads');
const { loadModule, PASS_MARK, counterFiles, writeSources } = require('../support');

const ROUNDS = 4;

function session({ dir, round }) {
  const wexla = loadModule();
  const sources = writeSources(dir, counterFiles);
  const answers = [];
  const json = (text) => { answers.push(text); return JSON.parse(text); };
  json(wexla.json2_callback({
    db_path: path.join(dir, `project${round}.db`), sources, time_unit: 'ns',
    max_sim_time: 100, waveform_window_size: 20, working_hierarchy: 'top',
  }));
  json(wexla.init());
  for (let i = 0; i < 5; i++) json(wexla.stepForward());
  json(wexla.stepBackward([1, 2]));
  json(wexla.getHierarchy('top'));
  json(wexla.getModuleByName('ripple4'));
  json(wexla.getTimelineWindow(50, 20, 'none'));
  json(wexla.processSQLQuery('SELECT json_group_array(name) FROM signals'));
  json(wexla.run('module t; logic a = 0; initial #3 a = 1; endmodule'));
  assert.ok(Array.isArray(wexla.tokenize(counterFiles['top.sv'])));
  assert.throws(() => wexla.run(7), TypeError);
  json(wexla.shutdown());
  return answers.length;
}

if (isMainThread) {
  const dir = process.cwd();
  const runs = [0, 1].map((id) => new Promise((resolve, reject) => {
    const worker = new Worker(__filename, { workerData: { dir: path.join(dir, `w${id}`) } });
    worker.on('message', resolve);
    worker.on('error', reject);
    worker.on('exit', (code) => { if (code !== 0) reject(new Error(`worker ${id} exit ${code}`)); });
  }));
  Promise.all(runs).then((counts) => {
    assert.deepEqual(counts, [ROUNDS * 14, ROUNDS * 14]);
    console.log(PASS_MARK);
  }, (err) => { console.error(err); process.exit(1); });
} else {
  require('node:fs').mkdirSync(workerData.dir, { recursive: true });
  let count = 0;
  for (let round = 0; round < ROUNDS; round++) count += session({ dir: workerData.dir, round });
  parentPort.postMessage(count);
}
