// The design visitor.
#include "simulator.h"

using namespace slang::ast;

void SimulatorBuilder::handle(const ParameterSymbol&) {}
void SimulatorBuilder::handle(const PortSymbol&) {}
void SimulatorBuilder::handle(const SubroutineSymbol&) {}
void SimulatorBuilder::handle(const InstanceSymbol& inst) { visitDefault(inst); }
void SimulatorBuilder::handle(const VariableSymbol&) {}
void SimulatorBuilder::handle(const NetSymbol&) {}
void SimulatorBuilder::handle(const ContinuousAssignSymbol&) {}
void SimulatorBuilder::handle(const ProceduralBlockSymbol&) {}
void SimulatorBuilder::handle(const GenerateBlockSymbol& block) {
    if (!block.isUninstantiated)
        visitDefault(block);
}
