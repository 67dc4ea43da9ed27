// Shared by the JavaScript tests: where the module is, scenario child
// processes, temporary folders and the example design split over files.
'use strict';

const { spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const root = path.resolve(__dirname, '..', '..');
// WEXLA_BUILD_DIR (absolute, or from the repository's root) points the tests
// at another build, a sanitizer build for one.
const modulePath = path.join(path.resolve(root, process.env.WEXLA_BUILD_DIR || 'build'), 'wexla.node');

function loadModule() {
  return require(modulePath);
}

function tempDir(prefix = 'wexla-js-') {
  return fs.mkdtempSync(path.join(os.tmpdir(), prefix));
}

// Runs tests/js/scenarios/<name>.js in a Node process of its own, in a fresh
// folder, and answers its exit status and output. The child's streams go to
// files, not pipes: the engine writes them from C++ while Node writes them
// too, and only a file keeps both writers blocking and in order under load.
// The engine logs a great deal, so only the tail is kept for failure messages.
function runScenario(name, args = []) {
  const cwd = tempDir(`wexla-${name}-`);
  const script = path.join(__dirname, 'scenarios', `${name}.js`);
  const outPath = path.join(cwd, 'scenario.stdout');
  const errPath = path.join(cwd, 'scenario.stderr');
  const out = fs.openSync(outPath, 'w');
  const err = fs.openSync(errPath, 'w');
  let child;
  try {
    child = spawnSync(process.execPath, [script, ...args], {
      cwd,
      stdio: ['ignore', out, err],
      timeout: 120000,
    });
  } finally {
    fs.closeSync(out);
    fs.closeSync(err);
  }
  const stdout = fs.readFileSync(outPath, 'utf8');
  const stderr = fs.readFileSync(errPath, 'utf8');
  fs.rmSync(cwd, { recursive: true, force: true });
  return {
    status: child.status,
    signal: child.signal,
    stdout,
    stderr,
    tail: `${stderr.slice(-4000)}\n--- stdout ---\n${stdout.slice(-2000)}`,
  };
}

// The scenario's verdict line on standard output.
const PASS_MARK = 'SCENARIO PASSED';

// The example counter split over three files, as a project's sources are.
const counterFiles = {
  'tff.sv': `\`timescale 1ns/1ps
module tff(input logic clk, output logic q);
  always @(negedge clk) q <= ~q;
endmodule
`,
  'ripple4.sv': `\`timescale 1ns/1ps
module ripple4(input logic clk, output logic [3:0] count);
  logic q0, q1, q2, q3;
  tff bit0(.clk(clk), .q(q0));
  tff bit1(.clk(q0), .q(q1));
  tff bit2(.clk(q1), .q(q2));
  tff bit3(.clk(q2), .q(q3));
  assign count = {q3, q2, q1, q0};
endmodule
`,
  'top.sv': `\`timescale 1ns/1ps
module top;
  logic clk = 0;
  logic [3:0] count;
  ripple4 counter(.clk(clk), .count(count));
  always #5 clk = ~clk;
endmodule
`,
};

// Writes the files into `dir`; answers their paths in the order given.
function writeSources(dir, files) {
  return Object.entries(files).map(([name, text]) => {
    const file = path.join(dir, name);
    fs.writeFileSync(file, text);
    return file;
  });
}

module.exports = {
  root,
  modulePath,
  loadModule,
  tempDir,
  runScenario,
  PASS_MARK,
  counterFiles,
  writeSources,
};
