// Condition closures.
#include "simulator.h"

using namespace slang::ast;

bool SimulatorBuilder::buildConditionLambdas(const Expression*, int, int& true_lambda,
                                             int& false_lambda) {
    true_lambda = 0;
    false_lambda = 0;
    return false;
}
