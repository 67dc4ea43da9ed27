// Procedural assignments to targets of two or more bits.
#include "simulator.h"

using namespace slang::ast;
using wsim_kernel::process_t;

bool SimulatorBuilder::processVectorAssignment(const AssignmentExpression&, process_t&,
                                               const std::string&, int, int, int, int, int, int,
                                               int, ProceduralBlockKind, time_t) {
    return false;
}
bool SimulatorBuilder::emitVec(const VectorAssign&, int, operand_t) { return false; }
