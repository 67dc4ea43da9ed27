// Procedural statement walkers and task inlining.
#include "simulator.h"

using namespace slang::ast;
using wsim_kernel::process_t;

bool SimulatorBuilder::processStatement(const Statement&, process_t&, ProceduralBlockKind, int) {
    return false;
}
bool SimulatorBuilder::processStatementWithTrigger(const Statement&, process_t&,
                                                   ProceduralBlockKind, int, int, int, int, int,
                                                   int, WEdgeKind) {
    return false;
}
bool SimulatorBuilder::processStatementWithAbsoluteTime(const Statement&, process_t&,
                                                        ProceduralBlockKind, time_t&, int, int,
                                                        int, int) {
    return false;
}
bool SimulatorBuilder::processAssignmentAbsolute(const AssignmentExpression&, process_t&, time_t,
                                                 int, int, int, ProceduralBlockKind) {
    return false;
}
bool SimulatorBuilder::inlineTaskCall(const CallExpression&, const TaskDef&, process_t&,
                                      ProceduralBlockKind, int, int, int, int, int, int) {
    return false;
}
bool SimulatorBuilder::inlineTaskCallAbsolute(const CallExpression&, const TaskDef&, process_t&,
                                              ProceduralBlockKind, time_t, int, int, int) {
    return false;
}
