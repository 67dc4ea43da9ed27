// Triggers and timing controls.
#include "simulator.h"

using namespace slang::ast;

WEdgeKind SimulatorBuilder::toWEdge(EdgeKind) { return WEdgeKind::AnyEdge; }
std::pair<int, int> SimulatorBuilder::buildTrigger(int, WEdgeKind, operand_t) { return {0, 0}; }
std::pair<int, int> SimulatorBuilder::buildTriggerFromList(const std::vector<TriggerEvent>&) {
    return {0, 0};
}
std::pair<int, int> SimulatorBuilder::buildFreshTrigger() { return {0, 0}; }
int SimulatorBuilder::extractDelay(const TimingControl&) { return 0; }
TriggerEvent SimulatorBuilder::extractTriggerInfo(const TimingControl&) { return {}; }
std::vector<TriggerEvent> SimulatorBuilder::extractEventList(const TimingControl&) { return {}; }
void SimulatorBuilder::storeTimingControl(const TimingControl&) {}
