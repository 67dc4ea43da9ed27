// The API reference (docs/api-reference.md) against the module: it names
// every function the module exports, and each of its example answers has the
// shape (members, their order and the types of their values, all the way
// down) that the engine answers to the same call, and its error texts.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { root, loadModule, runScenario, tempDir, PASS_MARK } = require('./support');

const referencePath = path.join(root, 'docs', 'api-reference.md');
const reference = fs.readFileSync(referencePath, 'utf8');

// The fenced blocks of the text, each with its language, its text, the line
// it starts on, the session it belongs to (the last `<!-- session: NAME -->`
// before it) and whether only blank lines separate it from the block before.
function fencedBlocks(markdown) {
  const blocks = [];
  const lines = markdown.split('\n');
  let session = null;
  let adjacent = false;
  for (let i = 0; i < lines.length; i++) {
    const marker = /^<!-- session: (.+) -->$/.exec(lines[i]);
    if (marker) {
      session = marker[1];
      adjacent = false;
      continue;
    }
    const open = /^```(\w*)$/.exec(lines[i]);
    if (!open) {
      if (lines[i].trim() !== '') adjacent = false;
      continue;
    }
    const start = i + 1;
    let end = start;
    while (end < lines.length && lines[end] !== '```') end++;
    blocks.push({ lang: open[1], text: lines.slice(start, end).join('\n'), line: i + 1, session, adjacent });
    i = end;
    adjacent = true;
  }
  return blocks;
}

// Every `js` block inside a session is an example that runs there; a `json`
// or `text` block right after it is its answer.
function sessionsOf(markdown) {
  const sessions = new Map();
  const blocks = fencedBlocks(markdown);
  blocks.forEach((block, index) => {
    if (block.lang !== 'js' || block.session === null) return;
    const next = blocks[index + 1];
    const answer = next && next.adjacent && ['json', 'text'].includes(next.lang) ? next : null;
    if (!sessions.has(block.session)) sessions.set(block.session, []);
    sessions.get(block.session).push({ code: block.text, line: block.line, answer });
  });
  return sessions;
}

function kindOf(value) {
  if (value === null) return 'null';
  return Array.isArray(value) ? 'array' : typeof value;
}

// A last member named "..." in an example object stands for the engine's
// further members, each of the shape of its value.
const MORE = '...';

// Where `actual` differs in shape from `expected`: an array in the example may
// be cut short, but every element it shows must have the shape of the
// engine's element at that place.
function shapeDifferences(expected, actual, where = 'answer') {
  const expectedKind = kindOf(expected);
  const actualKind = kindOf(actual);
  if (expectedKind !== actualKind) return [`${where}: the example has a ${expectedKind}, the engine a ${actualKind}`];
  if (expectedKind === 'array') {
    if (expected.length > actual.length) {
      return [`${where}: the example shows ${expected.length} elements, the engine answered ${actual.length}`];
    }
    return expected.flatMap((element, i) => shapeDifferences(element, actual[i], `${where}[${i}]`));
  }
  if (expectedKind === 'object') {
    const expectedKeys = Object.keys(expected);
    const more = expectedKeys.at(-1) === MORE;
    const shown = more ? expectedKeys.slice(0, -1) : expectedKeys;
    const actualKeys = Object.keys(actual);
    const compared = more ? actualKeys.slice(0, shown.length) : actualKeys;
    if (shown.join('\n') !== compared.join('\n')) {
      return [`${where}: the example has the members ${JSON.stringify(expectedKeys)}, the engine ${JSON.stringify(actualKeys)}`];
    }
    const rest = more ? actualKeys.slice(shown.length) : [];
    return [
      ...shown.flatMap((key) => shapeDifferences(expected[key], actual[key], `${where}.${key}`)),
      ...rest.flatMap((key) => shapeDifferences(expected[MORE], actual[key], `${where}.${key}`)),
    ];
  }
  return [];
}

// The error texts an example shows (members named "error" or "description")
// are the engine's, word for word: a host matches on them, and a reworded
// refusal must be reworded here too.
const WORDED = new Set(['error', 'description']);

function wordingDifferences(expected, actual, where = 'answer') {
  if (kindOf(expected) !== kindOf(actual) || expected === null || typeof expected !== 'object') return [];
  return Object.keys(expected).flatMap((key) => {
    if (!(key in actual)) return [];
    const at = Array.isArray(expected) ? `${where}[${key}]` : `${where}.${key}`;
    if (WORDED.has(key) && typeof expected[key] === 'string' && typeof actual[key] === 'string') {
      return expected[key] === actual[key] ? [] : [`${at}: the example says ${JSON.stringify(expected[key])}, the engine ${JSON.stringify(actual[key])}`];
    }
    return wordingDifferences(expected[key], actual[key], at);
  });
}

// What one example's answer has to say against what the engine answered.
function exampleDifferences(example, outcome) {
  const at = `docs/api-reference.md:${example.line}`;
  if ('raised' in outcome) return [`${at}: raised ${outcome.raised}`];
  if (!example.answer) return [];
  const { value } = outcome;
  if (example.answer.lang === 'text') {
    return typeof value === 'string' ? [] : [`${at}: the example shows text, the engine answered a ${kindOf(value)}`];
  }
  let actual = value;
  if (typeof value === 'string') {
    try {
      actual = JSON.parse(value);
    } catch {
      return [`${at}: the engine's answer is not JSON: ${value.slice(0, 200)}`];
    }
  }
  const expected = JSON.parse(example.answer.text);
  return [...shapeDifferences(expected, actual), ...wordingDifferences(expected, actual)]
    .map((d) => `${at}: ${d}`);
}

function runSession(name, examples) {
  const dir = tempDir('wexla-reference-');
  const examplesPath = path.join(dir, 'examples.json');
  const answersPath = path.join(dir, 'answers.json');
  fs.writeFileSync(examplesPath, JSON.stringify(examples.map((e) => e.code)));
  try {
    const run = runScenario('reference_session', [examplesPath, answersPath]);
    assert.equal(run.status, 0, `session "${name}":\n${run.tail}`);
    assert.ok(run.stdout.includes(PASS_MARK), run.tail);
    return JSON.parse(fs.readFileSync(answersPath, 'utf8'));
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

const exported = Object.keys(loadModule());
const sessions = sessionsOf(reference);

test('the reference documents every function the module exports, and only those', () => {
  const documented = new Set([...reference.matchAll(/^### `(\w+)\(/gm)].map((m) => m[1]));
  assert.deepEqual([...documented].sort(), [...exported].sort());
});

test('every function has an example answer in the reference', () => {
  const answered = [...sessions.values()].flat().filter((e) => e.answer);
  for (const name of exported) {
    assert.ok(answered.some((e) => e.code.includes(`wexla.${name}(`)), `no example answer of ${name}`);
  }
});

test('each example answer has the shape the engine answers to the same call', () => {
  assert.ok(sessions.size >= 2, 'the sessions of the reference');
  const differences = [];
  for (const [name, examples] of sessions) {
    const outcomes = runSession(name, examples);
    examples.forEach((example, i) => differences.push(...exampleDifferences(example, outcomes[i])));
  }
  assert.deepEqual(differences, []);
});

test('the wording check sees an error text that differs, at any depth, and nothing else', () => {
  const answer = { success: false, error: 'no such file', errors: [{ description: 'error: x', line: 3 }] };
  assert.deepEqual(wordingDifferences({ success: true, error: 'no such file', errors: [{ description: 'error: x', line: 9 }] }, answer), []);
  assert.equal(wordingDifferences({ error: 'no such folder' }, answer).length, 1);
  assert.equal(wordingDifferences({ errors: [{ description: 'error: y' }] }, answer).length, 1);
});

test('the shape check sees a moved, missing or retyped member, a longer array and further members of another type', () => {
  const answer = { a: 1, b: [{ c: 'x' }, { c: 'y' }] };
  assert.deepEqual(shapeDifferences({ a: 2, b: [{ c: 'z' }] }, answer), []);
  assert.equal(shapeDifferences({ b: [], a: 1 }, answer).length, 1);
  assert.equal(shapeDifferences({ a: 1 }, answer).length, 1);
  assert.equal(shapeDifferences({ a: '1', b: [] }, answer).length, 1);
  assert.equal(shapeDifferences({ a: 1, b: [{ c: 1 }] }, answer).length, 1);
  assert.equal(shapeDifferences({ a: 1, b: [{}, {}, {}] }, answer).length, 1);
  const values = { x: 1, y: 2, z: 3 };
  assert.deepEqual(shapeDifferences({ x: 0, [MORE]: 0 }, values), []);
  assert.equal(shapeDifferences({ y: 0, [MORE]: 0 }, values).length, 1);
  assert.equal(shapeDifferences({ x: 0, [MORE]: 'text' }, values).length, 2);
});
