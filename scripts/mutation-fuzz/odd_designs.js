// Valid-but-odd SystemVerilog: snippets put inside a module of a design
// (`body`), with any modules they need put after it (`after`), and whole
// designs made of them. Every name a snippet declares starts with its prefix.
'use strict';

const { pick, int } = require('./random');

const BINARY = ['+', '-', '*', '/', '%', '&', '|', '^', '<<', '>>', '>>>', '**', '==', '<', '>=', '&&', '||'];

function deepExpression(rng, leaf, depth) {
  let e = leaf;
  for (let i = 0; i < depth; i++) {
    const shape = int(rng, 0, 4);
    if (shape === 0) e = `(${e} ${pick(rng, BINARY)} ${int(rng, 0, 9)})`;
    else if (shape === 1) e = `(${int(rng, 1, 9)} ${pick(rng, BINARY)} ${e})`;
    else if (shape === 2) e = `(${leaf} ? ${e} : ${int(rng, 0, 3)})`;
    else if (shape === 3) e = `${pick(rng, ['~', '-', '!', '&', '^'])}(${e})`;
    else e = `{${e}}`;
  }
  return e;
}

function someSignal(rng, names, fallback) {
  return names.length && rng() < 0.6 ? pick(rng, names) : fallback;
}

// Each answers { body, after }.
const SNIPPETS = {
  deepExpression(rng, p) {
    const depth = pick(rng, [10, 60, 300, 2000, 6000]);
    return { body: `logic [31:0] ${p}_a = 32'd3;\nwire [31:0] ${p}_d = ${deepExpression(rng, `${p}_a`, depth)};\ninitial #1 $display("${p} %0d", ${p}_d);`, after: '' };
  },
  longChain(rng, p) {
    const n = pick(rng, [100, 3000, 9000, 12000]);
    const op = pick(rng, ['+', '^', '&&', '|', '*']);
    return { body: `logic [15:0] ${p}_a = 16'd1;\nwire [15:0] ${p}_s = ${Array(n).fill(`${p}_a`).join(` ${op} `)};\ninitial #1 $display("%0d", ${p}_s);`, after: '' };
  },
  selfAssign(rng, p, names) {
    const shapes = [
      `wire [7:0] ${p}_w;\nassign ${p}_w = ${p}_w + 8'd1;`,
      `wire ${p}_b;\nassign ${p}_b = ~${p}_b;`,
      `wire ${p}_x, ${p}_y;\nassign ${p}_x = ${p}_y;\nassign ${p}_y = ~${p}_x;`,
      `wire [63:0] ${p}_q;\nassign ${p}_q = {${p}_q[62:0], ~${p}_q[63]};`,
      `wire ${p}_m;\nassign ${p}_m = 1'b0;\nassign ${p}_m = 1'b1;`,
      `wire [3:0] ${p}_v;\nassign ${p}_v[0] = ~${p}_v[3];\nassign ${p}_v[3:1] = ${p}_v[2:0];`,
      `assign ${someSignal(rng, names, `${p}_z`)} = ~${someSignal(rng, names, `${p}_z`)};`,
      `wire ${p}_d;\nassign #1 ${p}_d = ~${p}_d;`,
      `wire ${p}_e;\nassign #0 ${p}_e = ~${p}_e;`,
    ];
    return { body: pick(rng, shapes), after: '' };
  },
  zeroDelayLoop(rng, p, names) {
    const s = someSignal(rng, names, `${p}_r`);
    const shapes = [
      `always #0 ${s} = ~${s};`,
      `always @(${s}) ${s} <= ~${s};`,
      `always @(${s}) ${s} = ~${s};`,
      `always @* ${p}_r = ~${p}_r;`,
      `always_comb ${p}_r = ~${p}_r;`,
      `always @(${s}) #0 ${s} = ~${s};`,
      `always begin #0; end`,
      `always ${p}_r = ~${p}_r;`,
      `always @(posedge ${s}) ${s} <= 0; always @(negedge ${s}) ${s} <= 1;`,
      `initial begin ${p}_r = 1; #0 ${p}_r = 0; #0 ${p}_r = 1; end always @(${p}_r) $display("${p} %0d", ${p}_r);`,
      `always @(${p}_r) ${p}_r2 = ~${p}_r; always @(${p}_r2) ${p}_r = ${p}_r2;`,
    ];
    return { body: `logic ${p}_r = 0, ${p}_r2 = 0;\n${pick(rng, shapes)}`, after: '' };
  },
  recursiveFunction(rng, p) {
    const shapes = [
      `function automatic integer ${p}_f(input integer n); if (n <= 0) ${p}_f = 1; else ${p}_f = n * ${p}_f(n - 1); endfunction\ninitial $display("%0d", ${p}_f(5));`,
      `function integer ${p}_f(input integer n); ${p}_f = ${p}_f(n); endfunction\ninitial $display("%0d", ${p}_f(1));`,
      `function automatic integer ${p}_f(input integer n); return n == 0 ? 0 : ${p}_g(n - 1); endfunction\nfunction automatic integer ${p}_g(input integer n); return ${p}_f(n); endfunction\nwire [31:0] ${p}_o = ${p}_f(3);`,
      `function automatic [7:0] ${p}_f(input [7:0] n); ${p}_f = n + 1; endfunction\nwire [7:0] ${p}_o = ${p}_f(${p}_f(${p}_f(${p}_f(8'd1))));\ninitial #1 $display("%0d", ${p}_o);`,
    ];
    return { body: pick(rng, shapes), after: '' };
  },
  recursiveTask(rng, p) {
    const shapes = [
      `task automatic ${p}_t(input integer n); if (n > 0) ${p}_t(n - 1); $display("${p} %0d", n); endtask\ninitial ${p}_t(3);`,
      `task ${p}_t; ${p}_t; endtask\ninitial ${p}_t;`,
      `task ${p}_a(input integer n); #1 ${p}_b(n); endtask\ntask ${p}_b(input integer n); ${p}_a(n); endtask\ninitial ${p}_a(1);`,
    ];
    return { body: pick(rng, shapes), after: '' };
  },
  // Each task calls the next twice: inlining doubles at every level.
  taskFanout(rng, p) {
    const depth = pick(rng, [4, 10, 16, 24, 40]);
    const tasks = [];
    for (let i = 0; i < depth; i++) tasks.push(`task ${p}_t${i}; ${p}_t${i + 1}; ${p}_t${i + 1}; endtask`);
    tasks.push(`task ${p}_t${depth}; ${p}_n = ${p}_n + 1; endtask`);
    return { body: `logic [63:0] ${p}_n = 0;\n${tasks.join('\n')}\ninitial begin ${p}_t0; $display("%0d", ${p}_n); end`, after: '' };
  },
  functionWritesGlobal(rng, p, names) {
    const g = someSignal(rng, names, `${p}_g`);
    const shapes = [
      `function integer ${p}_f(input integer x); ${p}_g = ${p}_g + 1; ${p}_f = x + ${p}_g; endfunction\nwire [31:0] ${p}_o = ${p}_f(${p}_g);\ninitial #1 $display("%0d", ${p}_o);`,
      `function void ${p}_f(); ${g} = ~${g}; endfunction\nalways @(${g}) ${p}_f();`,
      `function integer ${p}_f(input integer x); ${p}_g = x; return x; endfunction\nalways_comb ${p}_h = ${p}_f(${p}_h + 1);`,
      `function [7:0] ${p}_f(input [7:0] x); ${p}_g = ${p}_g + x; ${p}_f = ${p}_g; endfunction\nassign ${p}_w = ${p}_f(8'd1);`,
    ];
    return { body: `logic [31:0] ${p}_g = 0, ${p}_h = 0;\nwire [7:0] ${p}_w;\n${pick(rng, shapes)}`, after: '' };
  },
  generateBlocks(rng, p) {
    const n = pick(rng, [0, 1, 7, 100, 2000, 40000]);
    const shapes = [
      `for (genvar i = 0; i < ${n}; i++) begin : ${p}_g logic [3:0] r = 0; always @(posedge ${p}_clk) r <= r + i; end`,
      `if (${n} > 5) begin : ${p}_y logic q = 1; end else begin : ${p}_n logic q = 0; end`,
      `case (${n} % 3) 0: begin : ${p}_c0 wire k = 1; end 1: begin : ${p}_c1 wire k = 0; end default: begin : ${p}_cd end endcase`,
      `for (genvar i = 0; i < ${Math.min(n, 50)}; i++) begin : ${p}_o for (genvar j = 0; j < ${Math.min(n, 50)}; j++) begin : ${p}_i wire w = i ^ j; end end`,
      `for (genvar i = 0; i < ${n}; i++) begin : ${p}_g initial #(i) ${p}_n = ${p}_n + 1; end`,
    ];
    return { body: `logic ${p}_clk = 0;\nlogic [31:0] ${p}_n = 0;\nalways #1 ${p}_clk = ~${p}_clk;\n${pick(rng, shapes)}`, after: '' };
  },
  instanceLoops(rng, p) {
    const n = pick(rng, [1, 5, 64, 1000, 5000]);
    const leaf = `module ${p}_leaf(input logic a, output logic b); assign b = ~a; endmodule`;
    const rec = (d) => `module ${p}_rec #(parameter int N = ${d})(input logic x, output logic y);\n  if (N > 0) begin : r ${p}_rec #(N - 1) u(.x(x), .y(y)); end else begin : l assign y = ~x; end\nendmodule`;
    const shapes = [
      { body: `wire [${n}:0] ${p}_c;\nassign ${p}_c[0] = 1'b1;\nfor (genvar i = 0; i < ${n}; i++) begin : ${p}_g ${p}_leaf u(.a(${p}_c[i]), .b(${p}_c[i + 1])); end`, after: leaf },
      { body: `wire [${n}:0] ${p}_c;\nassign ${p}_c[0] = ${p}_c[${n}];\nfor (genvar i = 0; i < ${n}; i++) begin : ${p}_g ${p}_leaf u(.a(${p}_c[i]), .b(${p}_c[i + 1])); end`, after: leaf },
      { body: `wire ${p}_y;\n${p}_rec #(${pick(rng, [3, 50, 127, 200, 1000])}) ${p}_u(.x(1'b1), .y(${p}_y));\ninitial #1 $display("%0d", ${p}_y);`, after: rec(2) },
      { body: `wire ${p}_y;\n${p}_inf ${p}_u(.x(1'b1), .y(${p}_y));`, after: `module ${p}_inf(input logic x, output logic y); ${p}_inf u(.x(x), .y(y)); endmodule` },
      { body: `wire ${p}_y;\n${p}_leaf ${p}_u[3:0](.a(1'b1), .b(${p}_y));`, after: leaf },
      { body: `wire ${p}_b;\n${p}_leaf ${p}_u(.a(${p}_b), .b(${p}_b));`, after: leaf },
    ];
    return pick(rng, shapes);
  },
  wideVectors(rng, p) {
    const w = pick(rng, [64, 65, 128, 4096, 1 << 16]);
    const shapes = [
      `logic [${w - 1}:0] ${p}_v = '1;\ninitial #1 $display("%h", ${p}_v + 1);`,
      `logic [63:0] ${p}_m = 64'hFFFF_FFFF_FFFF_FFFF;\ninitial $display("%0d %0d %0d %b", ${p}_m * ${p}_m, -${p}_m, ${p}_m ** 64'd3, ${p}_m);`,
      `logic signed [63:0] ${p}_s = 64'sh8000_0000_0000_0000;\ninitial $display("%0d %0d %0d", ${p}_s / -64'sd1, ${p}_s % -64'sd1, -${p}_s);`,
      `logic [0:63] ${p}_u = 64'h1;\nlogic [-10:10] ${p}_n = 21'h1ABCD;\ninitial $display("%0d %0d %0d", ${p}_u[63], ${p}_n[-10], ${p}_n[-3 +: 4]);`,
      `logic [63:0] ${p}_a = 64'd5;\nwire [63:0] ${p}_sh = ${p}_a << 64'hFFFFFFFFFFFFFFFF;\nwire [63:0] ${p}_sr = ${p}_a >>> 200;\nwire [63:0] ${p}_pw = 64'd2 ** 64'd200;\ninitial #1 $display("%0d %0d %0d", ${p}_sh, ${p}_sr, ${p}_pw);`,
      `logic [${w - 1}:0] ${p}_v;\nassign ${p}_v = {${w}{1'b1}};`,
      `logic [63:0] ${p}_r = {64{1'b1}};\nwire [127:0] ${p}_c = {${p}_r, ${p}_r};\ninitial #1 $display("%h", ${p}_c[100:37]);`,
    ];
    return { body: pick(rng, shapes), after: '' };
  },
  oddSelects(rng, p) {
    const idx = pick(rng, ["64'hFFFFFFFFFFFFFFFF", "64'h8000000000000000", "64'h7FFFFFFFFFFFFFFF", "-1", "32'hFFFFFFFF", '1000000', "64'sh8000000000000000"]);
    const shapes = [
      `logic [63:0] ${p}_i = ${idx};\nlogic [7:0] ${p}_v = 8'hA5;\ninitial $display("%0d %0d %0d", ${p}_v[${p}_i], ${p}_v[${p}_i +: 4], ${p}_v[${p}_i -: 3]);`,
      `logic signed [63:0] ${p}_i = ${idx};\nlogic [7:0] ${p}_v = 8'hA5;\ninitial begin ${p}_v[${p}_i] = 1; ${p}_v[${p}_i +: 4] = 4'hF; ${p}_v[${p}_i -: 2] = 0; $display("%0d", ${p}_v); end`,
      `logic [63:0] ${p}_i = ${idx};\nlogic [0:7] ${p}_v = 8'hA5;\nwire ${p}_b = ${p}_v[${p}_i];\nalways @(posedge ${p}_v[${p}_i]) $display("edge");\ninitial ${p}_v[${p}_i + 1] <= 1;`,
      `logic [63:0] ${p}_i = ${idx};\nlogic [7:0] ${p}_v = 0;\nassign ${p}_w[${p}_i] = 1'b1;\nwire [7:0] ${p}_w;`,
      `logic [7:0] ${p}_v = 8'hFF;\nlogic [63:0] ${p}_i = ${idx};\ninitial $display("%0d", ${p}_v[${p}_i * 2 +: 2]);`,
    ];
    return { body: pick(rng, shapes), after: '' };
  },
  hugeDelays(rng, p) {
    const shapes = [
      `logic ${p}_r = 0;\nalways #(64'd9223372036854775807) ${p}_r = ~${p}_r;`,
      `initial #18446744073709551615 $display("late");`,
      `initial begin #(64'hFFFFFFFFFFFFFFF0); #100; $display("%t", $time); end`,
      `initial begin #1e300; $display("far"); end`,
      `initial begin #0.0000001; $display("%t", $realtime); end`,
      `logic ${p}_r = 0;\nalways #1 ${p}_r = ~${p}_r;\ninitial #(64'hFFFFFFFFFFFFFFFF) $finish;`,
      `wire ${p}_d;\nassign #(64'hFFFFFFFFFFFFFFFF) ${p}_d = 1'b1;`,
      `initial repeat (3) #5 $display("rep");`,
    ];
    return { body: pick(rng, shapes), after: '' };
  },
  oddDisplays(rng, p, names) {
    const specs = ['%d', '%0d', '%b', '%0b', '%h', '%0h', '%o', '%x', '%t', '%s', '%c', '%e', '%f', '%g', '%m', '%%', '%v', '%l', '%u', '%z', '%p',
      '%-5d', '%05d', '%999d', '%2147483648d', '%0t', '%10t', '%', '%.3f', '%+d', '%#x', '\\n', '\\t', '\\\\', '\\"', '\\x41', '\\101', '\\'];
    const args = ['1', "64'hFFFFFFFFFFFFFFFF", "-64'sd1", '$time', '$stime', '$realtime', '"str"', "8'hFF", '1.5', "1'bx", someSignal(rng, names, "4'd3"), "128'h1", "''"];
    const count = int(rng, 0, 8);
    let fmt = '';
    for (let i = 0; i < int(rng, 0, 6); i++) fmt += pick(rng, specs) + pick(rng, [' ', '', 'x', ':']);
    const list = [];
    for (let i = 0; i < count; i++) list.push(pick(rng, args));
    const task = pick(rng, ['$display', '$write', '$monitor', '$displayb', '$displayh', '$strobe']);
    const call = rng() < 0.2 ? `${task}(${list.join(', ')});` : rng() < 0.1 ? `${task}(,,);` : `${task}("${fmt}"${list.map((a) => `, ${a}`).join('')});`;
    return { body: `initial begin #1 ${call} end`, after: '' };
  },
  oddAssertions(rng, p, names) {
    const s = someSignal(rng, names, `${p}_s`);
    const shapes = [
      `${p}_a: assert property (@(posedge ${p}_clk) ${s} |-> ##100000 ${s});`,
      `${p}_a: assert property (@(posedge ${p}_clk) ${s} |-> ##0 ${s});`,
      `${p}_a: assert property (@(posedge ${p}_clk) disable iff (${s}) $rose(${p}_v) |=> $stable(${p}_v));`,
      `${p}_a: assert property (@(posedge ${p}_clk) ${Array(int(rng, 2, 60)).fill(s).join(' ##1 ')});`,
      `${p}_a: assert property (@(posedge ${p}_clk or negedge ${p}_clk) ${s});`,
      `${p}_a: assert property (@(${p}_v) ${s} |-> ${s});`,
      `assert property (@(posedge ${p}_clk) 1'b0);`,
      `${p}_a: assert property (@(posedge ${p}_clk) $changed(${p}_v) |-> ##[0:$] ${s});`,
    ];
    return { body: `logic ${p}_clk = 0, ${p}_s = 0;\nlogic [63:0] ${p}_v = 0;\nalways #1 ${p}_clk = ~${p}_clk;\nalways #3 ${p}_v = ${p}_v * 3 + 1;\n${pick(rng, shapes)}`, after: '' };
  },
  finishAndFinal(rng, p) {
    const shapes = [
      `final $display("${p} final");\nfinal $finish;`,
      `always #0 $finish;`,
      `initial begin $finish; $display("after finish"); end`,
      `initial $finish(2);`,
      `final begin #1 $display("delayed final"); end`,
      `initial begin $monitor("%0d", $time); #5 $monitor("%0d %0d", $time, $time * 2); end`,
      `logic [7:0] ${p}_c = 0;\nalways #1 ${p}_c = ${p}_c + 1;\ninitial $monitor("${p} %0d %0d", ${p}_c, $time);`,
    ];
    return { body: pick(rng, shapes), after: '' };
  },
  deepNesting(rng, p) {
    const depth = pick(rng, [50, 500, 3000, 9990, 10010, 20000]);
    const kind = int(rng, 0, 3);
    let body;
    if (kind === 0) body = `${'begin '.repeat(depth)}${p}_r = 1;${' end'.repeat(depth)}`;
    else if (kind === 1) body = `${'if (1) '.repeat(depth)}${p}_r = 1;`;
    else if (kind === 2) body = `${p}_r = ${'(1 ? '.repeat(depth)}1${' : 0)'.repeat(depth)};`;
    else body = `${p}_r = ${'('.repeat(depth)}1${')'.repeat(depth)};`;
    return { body: `logic ${p}_r = 0;\ninitial begin ${body} end`, after: '' };
  },
  manyProcesses(rng, p) {
    const n = pick(rng, [100, 3000, 30000]);
    const lines = [];
    for (let i = 0; i < n; i++) lines.push(`always @(${p}_c) ${p}_v[${i % 64}] = ~${p}_v[${i % 64}];`);
    return { body: `logic [63:0] ${p}_v = 0;\nlogic ${p}_c = 0;\nalways #1 ${p}_c = ~${p}_c;\n${lines.join('\n')}`, after: '' };
  },
  oddCases(rng, p, names) {
    const s = someSignal(rng, names, `${p}_x`);
    const n = pick(rng, [1, 10, 1000, 20000]);
    const items = [];
    for (let i = 0; i < n; i++) items.push(`${i % 7}: ${p}_y = ${i};`);
    const shapes = [
      `always @* case (${s}) ${items.join(' ')} default: ${p}_y = 0; endcase`,
      `always @* casez (${p}_x) 4'b1???: ${p}_y = 1; 4'b?1??: ${p}_y = 2; 4'bzzzz: ${p}_y = 3; endcase`,
      `always @* casex (${p}_x) 4'bx1x1: ${p}_y = 1; 4'b0x0x: ${p}_y = 2; default ${p}_y = 9; endcase`,
      `always @* case (${p}_x) inside [0:3]: ${p}_y = 1; 4'b1?00: ${p}_y = 2; endcase`,
      `always @* case (1'b1) ${p}_x[0]: ${p}_y = 0; ${p}_x[1]: ${p}_y = 1; ${p}_x[70]: ${p}_y = 5; endcase`,
      `initial case (${p}_x) endcase`,
    ];
    return { body: `logic [3:0] ${p}_x = 4'd5;\nlogic [31:0] ${p}_y = 0;\n${pick(rng, shapes)}`, after: '' };
  },
  oddEvents(rng, p, names) {
    const s = someSignal(rng, names, `${p}_a`);
    const shapes = [
      `always @(posedge (${p}_a & ${p}_b)) $display("and");`,
      `always @(posedge ${p}_v[70]) $display("far bit");`,
      `always @(negedge ${p}_v) ${p}_v <= ${p}_v + 1;`,
      `always @(edge ${p}_a) ${p}_b = ~${p}_b;`,
      `always @(${s} or ${s} or posedge ${s}) ${p}_b <= !${p}_b;`,
      `always @(posedge ${p}_a iff ${p}_b) ${p}_b = 0;`,
      `always @(${p}_v + 1) ${p}_v = ${p}_v + 1;`,
      `always @(${p}_f(${p}_v)) ${p}_a = ~${p}_a;\nfunction [7:0] ${p}_f(input [7:0] x); ${p}_f = x + 1; endfunction`,
      `initial forever @(${p}_a) ${p}_a = ~${p}_a;`,
      `initial @(posedge ${p}_a) @(negedge ${p}_a) @(${p}_a) $display("waited");`,
    ];
    return { body: `logic ${p}_a = 0, ${p}_b = 1;\nlogic [7:0] ${p}_v = 0;\nalways #2 ${p}_a = ~${p}_a;\n${pick(rng, shapes)}`, after: '' };
  },
  oddParameters(rng, p) {
    const w = pick(rng, ['0', '-1', '1', '64', '65', "32'hFFFFFFFF", '100000']);
    const shapes = [
      { body: `${p}_m #(.W(${w})) ${p}_u();`, after: `module ${p}_m #(parameter W = 8)(); logic [W-1:0] r = '1; initial $display("%0d", r); endmodule` },
      { body: `localparam int ${p}_N = ${w};\nlogic [${p}_N:0] ${p}_r = 0;\nalways #1 ${p}_r = ${p}_r + ${p}_N;`, after: '' },
      { body: `parameter ${p}_P = 1 / 0;\nlogic [7:0] ${p}_r = ${p}_P;`, after: '' },
    ];
    return pick(rng, shapes);
  },
  tasksWithTiming(rng, p) {
    const shapes = [
      `task ${p}_t(output logic [7:0] o, input logic [7:0] i); #1 o = i; #1 o = o + 1; endtask\nlogic [7:0] ${p}_v = 0;\nalways #3 ${p}_t(${p}_v[3:0], ${p}_v);`,
      `task ${p}_t; @(posedge ${p}_c); ${p}_n = ${p}_n + 1; endtask\nlogic ${p}_c = 0;\nlogic [7:0] ${p}_n = 0;\nalways #1 ${p}_c = ~${p}_c;\nalways ${p}_t;`,
      `task ${p}_t(input integer n); return; $display("never"); endtask\ninitial ${p}_t(1);`,
      `task automatic ${p}_t(inout logic [3:0] x); x = x + 1; endtask\nlogic [3:0] ${p}_x = 0;\ninitial begin ${p}_t(${p}_x); ${p}_t(${p}_x); $display("%0d", ${p}_x); end`,
    ];
    return { body: pick(rng, shapes), after: '' };
  },
  // Names and texts that must be escaped wherever they reach JSON.
  oddNames(rng, p) {
    const names = ['\\a"b ', '\\back\\slash ', '\\{x}[0] ', '\\tab\u0001 ', '\\ü ', '\\a/*b ', '\\"" '];
    const n = pick(rng, names);
    const shapes = [
      `logic [7:0] ${n}= 8'd3;\ninitial #1 $display("%0d", ${n});`,
      `wire ${n};\nassign ${n}= 1'b1;`,
      `${p}_leaf ${n}(.a(1'b1));`,
      `logic ${p}_c = 0;\nalways #1 ${p}_c = ~${p}_c;\n${n}: assert property (@(posedge ${p}_c) ${p}_c);`,
      `initial $display("quote \\" backslash \\\\ tab \\t bell \\007 high \\377 %s", "\\"");`,
      `initial $display("${'x'.repeat(int(rng, 1000, 100000))}");`,
    ];
    return { body: pick(rng, shapes), after: `module ${p}_leaf(input logic a); endmodule` };
  },
  preprocessor(rng, p) {
    const shapes = [
      `\`define ${p}_A \`${p}_A\nlogic ${p}_x = \`${p}_A;`,
      `\`include "case.sv"`,
      `\`include "/nonexistent/${p}.svh"`,
      `\`ifdef ${p}_NOPE\nlogic ${p}_y;\n\`else\nlogic ${p}_z = 1;\n\`endif`,
      `\`line 99999999 "${p}\\"odd.sv" 0\nlogic ${p}_w = 1;\ninitial #1 $display("%0d", ${p}_w);`,
      `\`timescale 1fs/1fs\nlogic ${p}_t = 0;`,
      `\`__FILE__ \`__LINE__`,
    ];
    return { body: pick(rng, shapes), after: '' };
  },
  compoundAssignments(rng, p) {
    const ops = ['+=', '-=', '*=', '/=', '%=', '&=', '|=', '^=', '<<=', '>>=', '<<<=', '>>>='];
    const lines = [];
    for (let i = 0; i < int(rng, 1, 8); i++) lines.push(`${p}_v ${pick(rng, ops)} ${pick(rng, ['0', '1', "64'hFFFFFFFFFFFFFFFF", `${p}_v`, '70'])};`);
    return { body: `logic signed [63:0] ${p}_v = -5;\ninitial begin ${lines.join(' ')} $display("%0d", ${p}_v); end`, after: '' };
  },
};

const NAMES = Object.keys(SNIPPETS);

// Answers { body, after, kind }.
function oddSnippet(rng, prefix, names = []) {
  const kind = pick(rng, NAMES);
  return { ...SNIPPETS[kind](rng, prefix, names), kind };
}

// A whole design made of odd snippets, under a testbench that may or may
// not finish: { text, kinds }.
function oddModule(rng, id) {
  const parts = [];
  const after = [];
  const kinds = [];
  for (let i = 0, n = int(rng, 1, 4); i < n; i++) {
    const s = oddSnippet(rng, `fz${id}_${i}`, []);
    parts.push(s.body);
    kinds.push(s.kind);
    if (s.after) after.push(s.after);
  }
  const ending = pick(rng, ['initial #100 $finish;', 'initial #5 $finish;', '', 'initial $finish;']);
  const timescale = pick(rng, ['`timescale 1ns/1ps', '`timescale 1ns/1ns', '`timescale 1s/1fs', '`timescale 10us/1ns', '']);
  return { text: `${timescale}\nmodule fz${id}_top;\n${parts.join('\n')}\n${ending}\nendmodule\n${after.join('\n')}\n`, kinds };
}

module.exports = { oddSnippet, oddModule, SNIPPET_NAMES: NAMES };
