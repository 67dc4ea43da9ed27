// Scalar operands, reductions and comparisons.
#include "simulator.h"

using namespace slang::ast;

int SimulatorBuilder::resolveScalarOperand(const Expression&, int, int) { return 0; }
bool SimulatorBuilder::resolveOperandForCond(const Expression&, int, ResolvedOperand&) {
    return false;
}
std::function<bool()> SimulatorBuilder::buildReductionExp(UnaryOperator, int, int, operand_t) {
    return {};
}
