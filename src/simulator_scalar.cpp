// Procedural assignments to 1-bit targets.
#include "simulator.h"

using namespace slang::ast;
using wsim_kernel::process_t;

bool SimulatorBuilder::processAssignment(const AssignmentExpression&, process_t&, int, int, int,
                                         int, int, int, ProceduralBlockKind) {
    return false;
}
