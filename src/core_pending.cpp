// Placeholder until the orchestrator's project road lands.
#include "core.h"

#include <stdexcept>

std::string WexlaCore::compile(const std::vector<std::string>&) {
    throw std::runtime_error("compile is not built yet");
}
std::string WexlaCore::getModuleByName(const std::string&) {
    throw std::runtime_error("module lookup is not built yet");
}
void WexlaCore::injectAndSimulate(const std::vector<Query>&) {
    throw std::runtime_error("injection is not built yet");
}
std::string WexlaCore::stepForward(const std::vector<int>&, int) {
    throw std::runtime_error("stepping is not built yet");
}
std::string WexlaCore::stepBackward(const std::vector<int>&, int) {
    throw std::runtime_error("stepping is not built yet");
}
