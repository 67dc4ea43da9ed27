// Token-level and structural mutations of SystemVerilog source text. Each
// mutation takes the text and a random source and answers new text (or the
// same text when it found nothing to change); none of them tries to keep the
// design legal.
'use strict';

const { oddSnippet, oddModule } = require('./odd_designs');
const { pick } = require('./random');

// ---- Tokens ----

const TOKEN = new RegExp([
  String.raw`(?<comment>//[^\n]*|/\*[\s\S]*?\*/)`,
  String.raw`(?<string>"(?:[^"\\\n]|\\.)*")`,
  String.raw`(?<number>\d*\s*'[sS]?[bBoOdDhH]\s*[0-9a-fA-FxXzZ_?]+|\d[\d_]*(?:\.\d+)?(?:[eE][+-]?\d+)?(?:fs|ps|ns|us|ms|s)?\b|'[01xXzZ])`,
  String.raw`(?<ident>[A-Za-z_$][A-Za-z0-9_$]*)`,
  String.raw`(?<op><<<=|>>>=|===|!==|==\?|!=\?|<<=|>>=|<<<|>>>|\|->|\|=>|->|<->|\*\*|&&|\|\||==|!=|<=|>=|<<|>>|~&|~\||~\^|\^~|\+=|-=|\*=|/=|%=|&=|\|=|\^=|[-+*/%&|^~!<>=?:])`,
  String.raw`(?<space>\s+)`,
  String.raw`(?<other>.)`,
].join('|'), 'g');

function tokenize(text) {
  const tokens = [];
  for (const m of text.matchAll(TOKEN)) {
    const kind = Object.keys(m.groups).find((k) => m.groups[k] !== undefined);
    tokens.push({ kind, text: m[0], at: m.index });
  }
  return tokens;
}

// Replaces the text of the `index`th token among those of `kind`.
function replaceToken(text, tokens, token, replacement) {
  return text.slice(0, token.at) + replacement + text.slice(token.at + token.text.length);
}

const KEYWORDS = new Set(('module endmodule input output inout wire logic reg bit int integer ' +
  'always always_ff always_comb always_latch initial final begin end if else case casez casex ' +
  'endcase default assign posedge negedge or and not function endfunction task endtask return ' +
  'generate endgenerate genvar for parameter localparam signed unsigned assert property ' +
  'disable iff automatic void inside timescale').split(' '));

// ---- Interesting values ----

const NUMBERS = [
  '0', '1', '2', '-1', '7', '31', '32', '63', '64', '65', '100', '255', '256', '1000',
  '4294967295', '4294967296', '9223372036854775807', '9223372036854775808',
  '18446744073709551615', '18446744073709551616', '99999999999999999999999',
  "1'b0", "1'b1", "1'bx", "1'bz", "8'hFF", "8'sh80", "32'hFFFFFFFF", "32'sh80000000",
  "64'hFFFFFFFFFFFFFFFF", "64'sh8000000000000000", "64'h7FFFFFFFFFFFFFFF", "65'h1FFFFFFFFFFFFFFFF",
  "128'hFFFF_FFFF_FFFF_FFFF_FFFF_FFFF_FFFF_FFFF", "'0", "'1", "'x", "'z", "0'd1", "4'b1x0z",
  "-64'sd1", "3'd9", "16'hDEAD", '1.5', '0.0001', '1e30', '1e-30', "'d0",
];

const OPERATORS = [
  '+', '-', '*', '/', '%', '**', '&', '|', '^', '~^', '<<', '>>', '<<<', '>>>', '&&', '||',
  '==', '!=', '===', '!==', '==?', '<', '<=', '>', '>=', '~', '!', '->', '<->', '?',
];

const DELAYS = [
  '#0', '#1', '#(0)', '#2', '#1.5', '#0.5', '#0.0001', '#100000000', '#(64\'hFFFFFFFFFFFFFFFF)',
  '#18446744073709551615', '#9223372036854775807', '#(-1)', '#(1e30)', '#(1, 2)', '#1ns', '#1ps',
  '#1s', '#1step', '#(1:2:3)', "#(32'sd-5)", '#(2**63)', "#1'bx",
];

const RANGES = [
  '[0:0]', '[1:0]', '[7:0]', '[0:7]', '[63:0]', '[64:0]', '[0:63]', '[127:0]', '[-1:0]', '[3:-4]',
  '[-8:-1]', '[31:16]', '[1023:0]', '[65535:0]', '[100:37]', '[0:-1]', '[2147483647:2147483640]',
];

function pickToken(rng, tokens, predicate) {
  const candidates = tokens.filter(predicate);
  return candidates.length ? pick(rng, candidates) : null;
}

// ---- Token-level mutations ----

function changeNumber(text, rng) {
  const tokens = tokenize(text);
  const t = pickToken(rng, tokens, (k) => k.kind === 'number');
  return t ? replaceToken(text, tokens, t, pick(rng, NUMBERS)) : text;
}

function changeOperator(text, rng) {
  const tokens = tokenize(text);
  const t = pickToken(rng, tokens, (k) => k.kind === 'op' && !['=', '<=', ':', '?'].includes(k.text) || (k.kind === 'op' && rng() < 0.1));
  return t ? replaceToken(text, tokens, t, pick(rng, OPERATORS)) : text;
}

function changeIdentifier(text, rng) {
  const tokens = tokenize(text);
  const names = [...new Set(tokens.filter((t) => t.kind === 'ident' && !KEYWORDS.has(t.text)).map((t) => t.text))];
  const t = pickToken(rng, tokens, (k) => k.kind === 'ident' && !KEYWORDS.has(k.text));
  return t && names.length ? replaceToken(text, tokens, t, pick(rng, names)) : text;
}

function deleteToken(text, rng) {
  const tokens = tokenize(text);
  const t = pickToken(rng, tokens, (k) => k.kind !== 'space' && k.kind !== 'comment');
  return t ? replaceToken(text, tokens, t, '') : text;
}

function duplicateToken(text, rng) {
  const tokens = tokenize(text);
  const t = pickToken(rng, tokens, (k) => k.kind !== 'space' && k.kind !== 'comment');
  return t ? replaceToken(text, tokens, t, `${t.text} ${t.text}`) : text;
}

const FORMAT_PIECES = ['%d', '%0d', '%b', '%0b', '%h', '%o', '%t', '%s', '%c', '%e', '%m', '%%', '%v', '%z',
  '%-3d', '%09h', '%1024d', '%99999999999d', '%', '\\n', '\\', '\\x7F', '\\0'];

// Puts odd conversions into a format string, or takes its conversions out.
function changeFormat(text, rng) {
  const tokens = tokenize(text);
  const t = pickToken(rng, tokens, (k) => k.kind === 'string');
  if (!t) return text;
  const inner = t.text.slice(1, -1);
  const at = Math.floor(rng() * (inner.length + 1));
  const changed = rng() < 0.2 ? inner.replace(/%/g, '')
    : inner.slice(0, at) + pick(rng, FORMAT_PIECES) + inner.slice(at);
  return replaceToken(text, tokens, t, `"${changed}"`);
}

// Replaces one match of `regex` (global) with what `make` answers for it.
function replaceOneMatch(text, rng, regex, make) {
  const matches = [...text.matchAll(regex)];
  if (!matches.length) return text;
  const m = pick(rng, matches);
  return text.slice(0, m.index) + make(m) + text.slice(m.index + m[0].length);
}

function changeWidth(text, rng) {
  return replaceOneMatch(text, rng, /\[\s*[^\[\]:]+\s*:\s*[^\[\]:]+\s*\]/g, () => pick(rng, RANGES));
}

function changeDelay(text, rng) {
  return replaceOneMatch(text, rng, /#\s*(\d[\d_.]*(?:fs|ps|ns|us|ms|s)?|\([^()]*\))/g, () => pick(rng, DELAYS));
}

function changeEdge(text, rng) {
  return replaceOneMatch(text, rng, /\b(posedge|negedge|edge)\s+/g, () =>
    pick(rng, ['posedge ', 'negedge ', 'edge ', '', 'posedge ', 'negedge ']));
}

function changeEventControl(text, rng) {
  return replaceOneMatch(text, rng, /@\s*(\([^()]*\)|\*)/g, (m) => pick(rng, [
    '@*', '@(*)', m[0].replace(')', ' or posedge clk)'), m[0].replace(')', ', negedge rst)'),
    '@(posedge 1\'b1)', '@(posedge (a & b))', m[0].replace('(', '(negedge '),
  ]));
}

function changeConnection(text, rng) {
  return replaceOneMatch(text, rng, /\.(\w+)\s*\(([^()]*)\)/g, (m) => {
    const inner = m[2].trim();
    const replacement = pick(rng, [
      '', '1\'b1', '0', "64'hFFFFFFFFFFFFFFFF", inner ? `~${inner}` : 'x', inner ? `{${inner}, ${inner}}` : '',
      inner ? `${inner}[0]` : '', inner ? `${inner} + 1` : '', inner ? `${inner}[70:3]` : '', 'undeclared_net',
    ]);
    return `.${m[1]}(${replacement})`;
  });
}

function swapConnections(text, rng) {
  const matches = [...text.matchAll(/\.(\w+)\s*\(([^()]*)\)/g)];
  if (matches.length < 2) return text;
  const a = pick(rng, matches);
  const b = pick(rng, matches);
  if (a === b) return text;
  const [first, second] = a.index < b.index ? [a, b] : [b, a];
  const firstNew = `.${first[1]}(${second[2]})`;
  const secondNew = `.${second[1]}(${first[2]})`;
  return text.slice(0, first.index) + firstNew + text.slice(first.index + first[0].length, second.index) +
    secondNew + text.slice(second.index + second[0].length);
}

// ---- Structural mutations (on statement lines) ----

function statementLines(lines) {
  const out = [];
  lines.forEach((line, i) => {
    const t = line.trim();
    if (t.endsWith(';') && !/^(module|`|\/\/)/.test(t)) out.push(i);
  });
  return out;
}

function withLines(text, rng, change) {
  const lines = text.split('\n');
  const statements = statementLines(lines);
  if (!statements.length) return text;
  change(lines, statements);
  return lines.join('\n');
}

function deleteStatement(text, rng) {
  return withLines(text, rng, (lines, s) => { lines.splice(pick(rng, s), 1); });
}

function duplicateStatement(text, rng) {
  return withLines(text, rng, (lines, s) => {
    const i = pick(rng, s);
    lines.splice(pick(rng, s), 0, lines[i]);
  });
}

function swapStatements(text, rng) {
  return withLines(text, rng, (lines, s) => {
    const a = pick(rng, s);
    const b = pick(rng, s);
    [lines[a], lines[b]] = [lines[b], lines[a]];
  });
}

// Wraps a statement in begin/end, if/else, a delay or an event control, as
// many times over as the depth says.
function nestStatement(text, rng) {
  return withLines(text, rng, (lines, s) => {
    const i = pick(rng, s);
    const depth = pick(rng, [1, 2, 5, 50, 500]);
    let body = lines[i].trim();
    if (/^(input|output|inout|wire|logic|reg|bit|int|integer|parameter|localparam|assign|genvar)\b/.test(body)) return;
    for (let d = 0; d < depth; d++) {
      body = pick(rng, [
        `begin ${body} end`,
        `if (1) ${body}`,
        `if (0) ; else ${body}`,
        `begin : fz_blk${d} ${body} end`,
        `case (1'b1) 1'b1: ${body} default: ; endcase`,
      ]);
    }
    lines[i] = body;
  });
}

function addTiming(text, rng) {
  return withLines(text, rng, (lines, s) => {
    const i = pick(rng, s);
    const body = lines[i].trim();
    if (/^(input|output|inout|wire|logic|reg|bit|int|integer|parameter|localparam|assign|genvar)\b/.test(body)) return;
    lines[i] = `${pick(rng, ['#0 ', '#1 ', '@(*) ', '#3 ', '#0 #0 '])}${body}`;
  });
}

// Puts an odd construct into a random module of the design.
function insertSnippet(text, rng, id) {
  const ends = [...text.matchAll(/\bendmodule\b/g)];
  if (!ends.length) {
    const design = oddModule(rng, id);
    return { text: `${text}\n${design.text}`, name: `insertSnippet:${design.kinds.join('+')}` };
  }
  const end = pick(rng, ends);
  const names = [...new Set([...text.slice(0, end.index).matchAll(/\b(?:logic|reg|wire|bit)\s*(?:signed\s*)?(?:\[[^\]]*\]\s*)?([A-Za-z_]\w*)/g)].map((m) => m[1]))];
  const snippet = oddSnippet(rng, `fz${id}`, names);
  return {
    text: text.slice(0, end.index) + snippet.body + '\n' + text.slice(end.index) + '\n' + snippet.after,
    name: `insertSnippet:${snippet.kind}`,
  };
}

const MUTATIONS = [
  [changeNumber, 6], [changeOperator, 5], [changeIdentifier, 3], [deleteToken, 2], [duplicateToken, 1],
  [changeWidth, 4], [changeDelay, 4], [changeEdge, 3], [changeEventControl, 2], [changeConnection, 3],
  [swapConnections, 2], [changeFormat, 3], [deleteStatement, 4], [duplicateStatement, 4], [swapStatements, 4],
  [nestStatement, 3], [addTiming, 2], [insertSnippet, 8],
];
const TOTAL_WEIGHT = MUTATIONS.reduce((sum, [, w]) => sum + w, 0);

// Applies one weighted random mutation; answers the new text and its name.
function mutate(text, rng, id) {
  let r = rng() * TOTAL_WEIGHT;
  for (const [fn, weight] of MUTATIONS) {
    r -= weight;
    if (r < 0) {
      const out = fn(text, rng, id);
      return typeof out === 'string' ? { text: out, name: fn.name } : out;
    }
  }
  return { text, name: 'none' };
}

module.exports = { mutate, tokenize };
