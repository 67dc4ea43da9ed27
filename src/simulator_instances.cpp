// The instance tree, its port binds and timescales.
#include "simulator.h"

using namespace slang::ast;

void SimulatorBuilder::elaborateInstanceTree(const InstanceSymbol&, const std::string&) {}
void SimulatorBuilder::elaborateModuleInstance(const InstanceSymbol&, const std::string&) {}
void SimulatorBuilder::elaborateModuleInstanceInputBind(const InstanceSymbol&,
                                                        const std::string&) {}
void SimulatorBuilder::applyTimescale(const InstanceSymbol&) {}
uint64_t SimulatorBuilder::timeScaleUnitToPs(slang::TimeUnit, int) { return 0; }
