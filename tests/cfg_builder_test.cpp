#include "cfg_builder.h"
#include "project_support.h"

#include <slang/ast/Compilation.h>
#include <slang/syntax/SyntaxTree.h>
#include <slang/text/SourceManager.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>

using namespace wexla_test;

namespace {

std::string canonical(const std::string& path) {
    return std::filesystem::weakly_canonical(path).string();
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

using Values = std::vector<std::pair<std::string, std::string>>;

// Each path of the document holds its value (see jsonAt).
void expectValues(const std::string& json, const Values& values) {
    for (const auto& [path, value] : values)
        EXPECT_EQ(jsonAt(json, path), value) << path;
}

// A parsed and elaborated file list, its source files in the project database,
// and the exporter after both passes.
struct Exported {
    explicit Exported(const std::vector<std::string>& paths) {
        std::vector<std::string_view> views(paths.begin(), paths.end());
        auto loaded = slang::syntax::SyntaxTree::fromFiles(views, sm);
        if (!loaded)
            throw std::runtime_error("cannot load sources");
        tree = *loaded;
        compilation.addSyntaxTree(tree);
        builder = std::make_unique<CFGBuilder>(&tree->sourceManager());
        compilation.getRoot().visit(*builder);
        // The line ranges go to the engine's log; standard output stays quiet.
        const std::string quiet = stdoutOf([&] {
            rangeLog = engineLogOf([&] {
                for (const auto* top : compilation.getRoot().topInstances)
                    builder->elaborateInstanceTree(*top, -1, "");
            });
        });
        EXPECT_EQ(quiet, "");
    }

    slang::SourceManager sm;
    std::shared_ptr<slang::syntax::SyntaxTree> tree;
    slang::ast::Compilation compilation;
    std::unique_ptr<CFGBuilder> builder;
    std::string rangeLog;
};

class CFGBuilderTest : public ProjectTest {
protected:
    std::string source(const std::string& name, const std::string& text) {
        writeFile(dir.path() / name, text);
        return dir.file(name);
    }
    // Exports the files after listing them as the project's sources.
    std::unique_ptr<Exported> exportDesign(const std::vector<std::string>& paths) {
        Database::instance().insertProjectStructure(paths);
        return std::make_unique<Exported>(paths);
    }
};

const char* const kSmallDesign = R"(module leaf (input a, output reg y);
  always @(a) y = a;
endmodule

module top;
  logic clk;
  wire q;
  leaf u (.a(clk), .y(q));
  initial begin : boot
    clk = 0;
    if (clk) $display("hi");
  end
endmodule
)";

const char* const kSmallDesignJson = R"({
  "design": {
    "top": "top"
  },
  "modules": {
    "leaf": {
      "name": "leaf",
      "file": "FILE",
      "line": 3,
      "ports": [
        {
          "name": "a",
          "direction": "input",
          "width": 1,
          "line": 1
        },
        {
          "name": "y",
          "direction": "output",
          "width": 1,
          "line": 1
        }
      ],
      "signals": [
        {
          "name": "a",
          "kind": "wire",
          "width": 1,
          "line": 1
        },
        {
          "name": "y",
          "kind": "reg",
          "width": 1,
          "line": 1
        }
      ],
      "blocks": [
        {
          "id": "blk_always_6",
          "kind": "always",
          "label": "",
          "trigger": "a",
          "line": 2,
          "statements": [
            {
              "id": "stmt_7",
              "kind": "blocking_assign",
              "line": 2,
              "lhs": "y",
              "rhs":               {
                "kind": "signal",
                "name": "a"
              }
            }
          ]
        }
      ],
      "instances": []
    },
    "top": {
      "name": "top",
      "file": "FILE",
      "line": 13,
      "ports": [
      ],
      "signals": [
        {
          "name": "clk",
          "kind": "reg",
          "width": 1,
          "line": 6
        },
        {
          "name": "q",
          "kind": "wire",
          "width": 1,
          "line": 7
        }
      ],
      "blocks": [
        {
          "id": "blk_initial_1",
          "kind": "initial",
          "label": "boot",
          "trigger": "",
          "line": 9,
          "statements": [
            {
              "id": "stmt_2",
              "kind": "blocking_assign",
              "line": 10,
              "lhs": "clk",
              "rhs":               {
                "kind": "constant",
                "value": "0"
              }
            },
            {
              "id": "stmt_3",
              "kind": "if_branch",
              "line": 11,
              "condition": "clk",
              "condition_expr":               {
                "kind": "signal",
                "name": "clk"
              },
              "true_branch": [
                {
                  "id": "stmt_4",
                  "kind": "display",
                  "line": 11
                }
              ]
            }
          ]
        }
      ],
      "instances": []
    }
  },
  "instances": {
    "8": {
      "instance_name": "u",
      "module": "leaf",
      "parent": "top",
      "line": 8,
      "port_bindings": [
        {
          "port": "a",
          "kind": "input",
          "connects_module": "top",
          "connects_signal": "clk"
        },
        {
          "port": "y",
          "kind": "output",
          "connects_module": "top",
          "connects_signal": "q"
        }
      ]
    }
  },
  "dataflow": [
    {
      "kind": "port_drive",
      "from": {
        "module": "top",
        "signal": "clk"
      },
      "to": {
        "instance": "8",
        "port": "a"
      }
    },
    {
      "kind": "port_drive",
      "from": {
        "instance": "8",
        "port": "y"
      },
      "to": {
        "module": "top",
        "signal": "q"
      }
    }
  ]
}
)";

// Three files, two levels of instances below the top, a taken and an untaken
// generate branch.
const char* const kTopFile = R"(module top;
  logic clk, rst;
  wire [3:0] bus;
  logic [7:0] count;
  wire done;
  wire [1:0] pad;
  mid u_mid (.clk(clk), .rst(rst),
             .bus_in(bus),
             .done(done), .pad(pad));
  initial begin
    clk = 0;
    rst = 1;
    #10 rst = 0;
    #100 $finish;
  end
  always #5 clk = ~clk;
  assign bus = count[3:0];
  always @(posedge clk or negedge rst)
    if (rst) count <= 0;
    else count <= count + 1;
  if (1) begin : g_on
    leaf g_leaf (.a(clk), .y());
  end
  if (0) begin : g_off
    spare u_off (.a(clk));
  end
endmodule
)";

const char* const kMidFile = R"(module mid (
  input clk,
  input rst,
  input [3:0] bus_in,
  output done,
  inout [1:0] pad
);
  wire [1:0] inner;
  leaf u_leaf (.a(bus_in[0]), .y(done));
  leaf u_leaf2 (.a(1'b0), .y());
  assign inner = {clk, rst};
endmodule
)";

const char* const kLeafFile = R"(module leaf (input a, output reg y);
  always @(a) y = a;
endmodule

module spare (input a);
endmodule
)";

} // namespace

// Records built by hand: the empty document, texts escaped (keys and control
// bytes too), and a branch whose only arm is its else arm.
TEST(CFGBuilderJson, HandBuiltRecords) {
    CFGBuilder builder(nullptr);
    EXPECT_EQ(builder.to_json(), "{\n  \"design\": {\n    \"top\": \"\"\n  },\n"
                                 "  \"modules\": {\n  },\n"
                                 "  \"instances\": {\n  },\n"
                                 "  \"dataflow\": [\n  ]\n}\n");
    EXPECT_EQ(builder.getLine(slang::SourceLocation()), 0);
    EXPECT_EQ(builder.getFile(slang::SourceLocation()), "source");

    CFGModuleDef def;
    def.name = "m\"q\\";
    def.file = "dir\\a\tb.sv";
    def.line = -1;
    def.instance_ids = {"1", "x\"y"};
    EXPECT_EQ(builder.moduleToJson(def, "   "), "   \"m\\\"q\\\\\": {\n"
                                                "     \"name\": \"m\\\"q\\\\\",\n"
                                                "     \"file\": \"dir\\\\a\\tb.sv\",\n"
                                                "     \"line\": -1,\n"
                                                "     \"ports\": [\n     ],\n"
                                                "     \"signals\": [\n     ],\n"
                                                "     \"blocks\": [\n     ],\n"
                                                "     \"instances\": [\"1\", \"x\\\"y\"]\n"
                                                "   }");

    CFGDataflowEdge edge{"p\"m", "s\n", "", "", "", "", "7", "o\x01", "port_drive"};
    EXPECT_NE(builder.dataflowEdgeToJson(edge, "").find("\"port\": \"o\\u0001\""),
              std::string::npos);
    CFGInstance inst{12, "u\"1", "m\\", "p", 0, {{"a", "input", "p\"", "s"}}};
    EXPECT_NE(builder.instanceToJson(inst, "").find("\"connects_module\": \"p\\\"\""),
              std::string::npos);

    CFGStatement finish{"stmt_1", "finish", "ignored", {}, 4, {}, {}, ""};
    CFGStatement branch{"stmt_2", "if_branch", "", {"unknown", "", "", "", "", "", ""},
                        5,        {},          {finish}, ""};
    EXPECT_EQ(builder.stmtToJson(branch, ""), "{\n  \"id\": \"stmt_2\",\n"
                                              "  \"kind\": \"if_branch\",\n  \"line\": 5,\n"
                                              "  \"condition\": \"\",\n"
                                              "  \"condition_expr\":   {\n"
                                              "    \"kind\": \"unknown\"\n  },\n"
                                              "  \"true_branch\": [\n  ],\n"
                                              "  \"false_branch\": [\n"
                                              "    {\n      \"id\": \"stmt_1\",\n"
                                              "      \"kind\": \"finish\",\n"
                                              "      \"line\": 4\n    }\n  ]\n}");
}

TEST_F(CFGBuilderTest, SmallDesignJsonByteForByte) {
    const std::string path = source("small.sv", kSmallDesign);
    auto design = exportDesign({path});
    EXPECT_EQ(design->builder->to_json(), replaceAll(kSmallDesignJson, "FILE", canonical(path)));

    const std::string leaf = design->builder->getModuleByName("leaf");
    EXPECT_TRUE(leaf.starts_with("\"modules\": {\n   \"leaf\": {\n     \"name\": \"leaf\",\n"))
        << leaf;
    EXPECT_TRUE(leaf.ends_with("               \"name\": \"a\"\n             }\n           }\n"
                               "         ]\n       }\n     ],\n     \"instances\": []\n   }}\n"))
        << leaf;
    EXPECT_EQ(design->builder->getModuleByName("nope"), "{}\n");

    // A second export after purging matches the new design.
    writeFile(path, "module top;\n  logic only;\nendmodule\n");
    for (const char* table : {"signals", "instances", "modules"})
        db().purge(table);
    const std::string errors = stderrOf([&] { Exported again({path}); });
    EXPECT_EQ(errors.find("failed"), std::string::npos) << errors;
    EXPECT_EQ(rows("SELECT * FROM instances"), (std::vector<std::string>{"1|top|1|1|3|top|NULL|top"}));
    EXPECT_EQ(rows("SELECT name, signal_id, instance_id FROM signals"),
              (std::vector<std::string>{"only|2|1"}));
}

TEST_F(CFGBuilderTest, ThreeFileHierarchyRows) {
    const std::string top = source("top.sv", kTopFile);
    const std::string mid = source("mid.sv", kMidFile);
    const std::string leaf = source("leaf.sv", kLeafFile);
    std::unique_ptr<Exported> design;
    const std::string errors = stderrOf([&] { design = exportDesign({top, mid, leaf}); });
    EXPECT_EQ(errors.find("failed"), std::string::npos) << errors;

    // The visit drew 24 ids; the database pass continues from there.
    EXPECT_EQ(rows("SELECT module_id, name, file_id, start_line, end_line FROM modules "
                   "ORDER BY module_id"),
              (std::vector<std::string>{"24|top|1|1|27", "32|mid|2|1|12", "40|leaf|3|1|3"}));
    EXPECT_EQ(rows("SELECT * FROM instances ORDER BY instance_id"),
              (std::vector<std::string>{"24|top|1|1|27|top|NULL|top",
                                        "31|u_mid|1|7|9|mid|24|u_mid",
                                        "39|u_leaf|2|9|9|leaf|31|u_mid.u_leaf",
                                        "43|u_leaf2|2|10|10|leaf|31|u_mid.u_leaf2",
                                        "47|g_on.g_leaf|1|22|22|leaf|24|g_on.g_leaf"}));
    EXPECT_EQ(design->rangeLog, "[LOC] 7 9\n[LOC] 9 9\n[LOC] 10 10\n[LOC] 22 22\n");
    // Port nets and port variables alike are ports.
    EXPECT_EQ(rows("SELECT COUNT(*) FROM signals"), std::vector<std::string>{"18"});
    EXPECT_EQ(rows("SELECT * FROM signals WHERE name IN ('clk', 'bus', 'u_mid.clk', "
                   "'u_mid.inner', 'u_mid.u_leaf.y', 'u_mid.u_leaf2.a') ORDER BY signal_id"),
              (std::vector<std::string>{"clk|25|1|2|1|1|0|reg|top|24", "bus|27|1|3|4|0|0|wire|top|24",
                                        "u_mid.clk|33|2|2|1|0|1|wire|mid|31",
                                        "u_mid.inner|38|2|8|2|0|0|wire|mid|31",
                                        "u_mid.u_leaf.y|42|3|1|1|1|1|reg|leaf|39",
                                        "u_mid.u_leaf2.a|45|3|1|1|0|1|wire|leaf|43"}));

    // The taken generate branch's instance is in the document and has a row
    // named with the branch (g_on.g_leaf); the untaken branch is nowhere. A part
    // select binds its signal, an inout counts as an output, and a constant or
    // an open port binds nothing; a concatenation is an unknown expression.
    const std::string json = design->builder->to_json();
    EXPECT_EQ(json.find("u_off"), std::string::npos);
    EXPECT_EQ(json.find("spare"), std::string::npos);
    expectValues(json, {
        {"$.instances.\"23\"", R"({"instance_name":"g_leaf","module":"leaf","parent":"top","line":22,)"
                               R"("port_bindings":[{"port":"a","kind":"input","connects_module":"top",)"
                               R"("connects_signal":"clk"}]})"},
        {"$.modules.top.blocks[1].id", "blk_always_6"},
        {"$.modules.top.blocks[1].trigger", "delay:5"},
        {"$.modules.top.blocks[3].trigger", "clk,rst"},
        {"$.modules.top.blocks[1].statements[0].rhs", R"({"kind":"unary_op","op":"~","operand":"clk"})"},
        {"$.modules.mid.blocks[0].statements[0].rhs", R"({"kind":"unknown"})"},
        {"$.instances.\"21\".port_bindings[0].connects_signal", "bus_in"},
        {"$.instances.\"22\".port_bindings", "[]"},
        {"$.dataflow[4]", R"({"kind":"port_drive","from":{"instance":"17","port":"pad"},)"
                          R"("to":{"module":"top","signal":"pad"}})"},
    });
}

TEST_F(CFGBuilderTest, StatementsConditionsAndTriggers) {
    const std::string path = source("stmts.sv", R"(module s;
  logic a, b, c, d, e;
  logic [7:0] v, n;
  logic [127:0] wide;
  always @* c = a & b;
  always_comb begin
    if (a && b) v = 8'hxx;
    case (v)
      8'd1: d = 1;
      default: d = 0;
    endcase
    for (int i = 0; i < 2; i++) d = ~d;
  end
  always @(posedge a) begin : named
    n += 1;
    wide <= 128'hffffffffffffffffffffffffffffffff;
    if (!b) e <= 1; else if (b == a) e <= 0;
    $monitor("%d", n);
    $write("ignored");
  end
  wire \odd"name ;
  bus_if ifc ();
  prog p ();
endmodule
interface bus_if;
  logic s;
endinterface
program prog;
endprogram
)");
    auto design = exportDesign({path});
    const std::string json = design->builder->to_json();
    // An implicit event list gives no trigger; an event control names its
    // signal. A condition of two signals has no condition signal; x bits keep
    // their text; case, loop and $write record nothing; a compound assignment
    // reads its target through an lvalue reference; else-if nests a branch in
    // the false branch. Interfaces and programs are modules without a line.
    const std::string blocks = "$.modules.s.blocks";
    expectValues(json, {
        {blocks + "[0].trigger", ""},
        {blocks + "[0].statements[0].rhs", R"({"kind":"binary_op","op":"&","left":"a","right":"b"})"},
        {blocks + "[1].statements[0].condition", ""},
        {blocks + "[1].statements[0].condition_expr.op", "&&"},
        {blocks + "[1].statements[0].true_branch[0].rhs.value", "x"},
        {blocks + "[1].statements[1]", "NULL"},
        {blocks + "[2].label", "named"},
        {blocks + "[2].trigger", "a"},
        {blocks + "[2].statements[0].rhs", R"({"kind":"binary_op","op":"+","left":"","right":""})"},
        {blocks + "[2].statements[1].rhs.value", "340282366920938463463374607431768211455"},
        {blocks + "[2].statements[2].condition_expr", R"({"kind":"unary_op","op":"!","operand":"b"})"},
        {blocks + "[2].statements[2].false_branch[0].condition_expr.op", "=="},
        {blocks + "[2].statements[3].kind", "monitor"},
        {blocks + "[2].statements[4]", "NULL"},
        {"$.modules.bus_if.file", canonical(path)},
        {"$.modules.bus_if.line", "-1"},
        {"$.modules.prog.line", "-1"},
    });
    EXPECT_NE(json.find("\"name\": \"odd\\\"name\""), std::string::npos);
    EXPECT_EQ(rows("SELECT name, start_line, end_line FROM modules ORDER BY module_id"),
              (std::vector<std::string>{"s|1|24", "bus_if|25|-1", "prog|28|-1"}));
    EXPECT_EQ(rows("SELECT name FROM signals WHERE name LIKE '%odd%' OR name LIKE 'ifc%' "
                   "ORDER BY signal_id"),
              (std::vector<std::string>{"odd\"name", "ifc.s"}));
}

TEST_F(CFGBuilderTest, BadInputNeverCrashes) {
    const std::string broken = source("broken.sv", R"(module broken (input a, output b;
  wire [3:0] w = ;
  missing_mod m (.x(a));
  always @(posedge a) begin
    if () b <= ;
  end
  assign = a;
endmodule
module half
)");
    auto design = exportDesign({broken});
    EXPECT_FALSE(design->builder->to_json().empty());
    EXPECT_EQ(design->builder->getModuleByName("missing_mod"), "{}\n");

    // Sources missing from the project's file list: rows are refused, and
    // reported, but the passes go on.
    const std::string unlisted = source("unlisted.sv", kSmallDesign);
    std::unique_ptr<Exported> orphan;
    EXPECT_NE(stderrOf([&] { orphan = std::make_unique<Exported>(std::vector{unlisted}); })
                  .find("[DATABASE] Insert module failed: FOREIGN KEY"),
              std::string::npos);
    EXPECT_NE(orphan->builder->getModuleByName("leaf"), "{}\n");
}

TEST_F(CFGBuilderTest, DeeplyNestedStatementsCostWhatTheirTextWeighs) {
    // 1,000 nested ifs used to take 27 s: every level copied its subtree.
    std::string body;
    for (int i = 0; i < 1000; ++i)
        body += "if (a)\n";
    const std::string path =
        source("deep.sv", "module top;\n  logic a, b;\n  initial begin\n" + body + "b = 1;\n  end\nendmodule\n");
    auto design = exportDesign({path});
    const auto started = std::chrono::steady_clock::now();
    const std::string json = design->builder->getModuleByName("top");
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_LT(std::chrono::duration<double>(elapsed).count(), 3.0);

    // The innermost assignment sits at its depth: 11 blanks, then four per level.
    EXPECT_TRUE(json.find("\n" + std::string(11 + 4 * 1000, ' ') + "{\n") != std::string::npos);
}
