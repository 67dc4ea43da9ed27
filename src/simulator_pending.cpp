// Constructs whose translation is not in the model yet: binary operators and
// function calls on the right of vector assignments. Each adds nothing, so
// the walkers leave the construct out and go on with the rest of the design.
#include "simulator.h"

using namespace slang::ast;

bool SimulatorBuilder::processVectorBinaryOp(const BinaryExpression&, const VectorAssign&) {
    return false;
}

bool SimulatorBuilder::processVectorCall(const CallExpression&, const VectorAssign&) {
    return false;
}
