// Continuous assignments and net initialisers.
#include "simulator.h"

using namespace slang::ast;

void SimulatorBuilder::processContinuousAssignExpr(const AssignmentExpression&, int) {}
void SimulatorBuilder::handleNetCA(const std::string&, int, int, const Expression&) {}
