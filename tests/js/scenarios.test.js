// Scenarios that depend on the module's process-wide state, each in a Node
// process of its own (tests/js/scenarios/).
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { runScenario, PASS_MARK } = require('./support');

function expectPassed(run) {
  assert.equal(run.signal, null, `killed by ${run.signal}\n${run.tail}`);
  assert.equal(run.status, 0, run.tail);
  assert.ok(run.stdout.includes(PASS_MARK), run.tail);
}

test('a front end\'s whole session over a three-file project, standard output quiet', () => {
  const run = runScenario('typical_session');
  expectPassed(run);
  assert.equal(run.stdout, `${PASS_MARK}\n`);
});

test('junk arguments to every function never bring the process down', () => {
  expectPassed(runScenario('bad_input'));
});

test('designs nested far beyond the limit answer naming it, and the process lives on', () => {
  expectPassed(runScenario('deep_nesting'));
});

// Building answers of hundreds of megabytes takes the sanitizer build the better part of an hour.
const underSanitizer = /libasan/.test(process.env.LD_PRELOAD || '');

test('answers past the answer limit are refused by size (slow: makes answers of 567 and 600 MB)',
  { skip: underSanitizer && 'too slow under the sanitizer build' }, () => {
  expectPassed(runScenario('large_answers'));
});

test('two worker threads running whole sessions at once take turns', () => {
  expectPassed(runScenario('two_threads'));
});

test('the console file stops the run at its limit (slow: writes 1 GB)', () => {
  const run = runScenario('console_limit');
  expectPassed(run);
  assert.match(run.stderr, /\[SIM\] the console file reached its limit of 1073741824 bytes at t=10738 — stopping\./);
});

test('the console file is whole at every answer, never written through a link, and lost output is said', () => {
  const run = runScenario('console_file');
  expectPassed(run);
  assert.match(run.stderr, /\[SIM\] the console file \S+linked\/wexla_sim_console\.txt was a symbolic link to \S+precious\.txt: it is replaced by a new file, and nothing is written through it\./);
  assert.match(run.stderr, /\[SIM\] the console file \S+blocked\/wexla_sim_console\.txt could not be opened: it is a directory \(t=0\)/);
});

test('failed saves and a recorder stopped at its limit are said in the answers', () => {
  expectPassed(runScenario('said_out_loud'));
});

test('the time limit and the window mean the configured unit at any design precision', () => {
  expectPassed(runScenario('time_units'));
});

test('configuration keys and their defaults; the limits stay in the configured unit', () => {
  const run = runScenario('configuration');
  expectPassed(run);
  // Each case's marker is followed by the run limits the kernel received, in
  // the configured unit: each run counts them in its design's ticks.
  const limits = {};
  let current = null;
  for (const line of run.stderr.split('\n')) {
    if (line.startsWith('CASE ')) current = line.slice(5);
    else if (current && line.startsWith('[CONFIG] max_time=')) {
      limits[current] = line.slice('[CONFIG] '.length);
      current = null;
    }
  }
  assert.deepEqual(limits, {
    defaults: 'max_time=0 max_cycle=1000 unit= start=0',
    us: 'max_time=5 max_cycle=77 unit=us start=2',
    ps: 'max_time=5 max_cycle=1000 unit=ps start=0',
    fs: 'max_time=5 max_cycle=1000 unit=fs start=0',
    unknown: 'max_time=5 max_cycle=1000 unit=minutes start=0',
    huge: 'max_time=5000000000 max_cycle=2147483647 unit=ns start=0',
    overflow: 'max_time=5000000000 max_cycle=1000 unit=s start=0',
    'window-less run': 'max_time=50 max_cycle=1000 unit=ns start=0',
  });
  assert.match(run.stderr, /\[CONFIG\] 'start_time' is not a number; the default is used/);
});

test('a project opened broken, edited and compiled again, then injected twice', () => {
  expectPassed(runScenario('edit_and_inject'));
});

test('a hostile or careless host gets clear answers, and standard output stays quiet', () => {
  const run = runScenario('hostile_host');
  expectPassed(run);
  assert.equal(run.stdout, `${PASS_MARK}\n`);
});
