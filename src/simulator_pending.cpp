// Constructs whose translation is not in the model yet: if and case
// statements, system tasks, concurrent assertions, binary operators and
// function calls on the right of vector assignments. Each adds nothing, so
// the walkers leave the construct out and go on with the rest of the design.
#include "simulator.h"

using namespace slang::ast;
using wsim_kernel::process_t;

bool SimulatorBuilder::processConditional(const ConditionalStatement&, process_t&,
                                          ProceduralBlockKind, int, int, int, int, int, int,
                                          WEdgeKind, int) {
    return false;
}

bool SimulatorBuilder::processConditionalAbsolute(const ConditionalStatement&, process_t&,
                                                  ProceduralBlockKind, time_t&, int, int, int) {
    return false;
}

bool SimulatorBuilder::processCaseStatement(const CaseStatement&, process_t&, ProceduralBlockKind,
                                            int, int, int, int, int, int, WEdgeKind, int) {
    return false;
}

bool SimulatorBuilder::handleDisplay(const CallExpression&, int, process_t&, int, int, int, int,
                                     int) {
    return false;
}

bool SimulatorBuilder::handleMonitor(const CallExpression&, int, process_t&, int, int, int, int,
                                     int) {
    return false;
}

bool SimulatorBuilder::handleFinish(int, process_t&, int, int, int, int, int, int) {
    return false;
}

bool SimulatorBuilder::handleDisplayAbsolute(const CallExpression&, time_t, process_t&, int, int,
                                             int) {
    return false;
}

bool SimulatorBuilder::handleFinishAbsolute(time_t, process_t&, int, int, int, int) {
    return false;
}

bool SimulatorBuilder::processAssertProperty(const ConcurrentAssertionStatement&, process_t&,
                                             ProceduralBlockKind, int, int, int, int, int, int,
                                             WEdgeKind, const std::string&) {
    return false;
}
