// The signals of a built model, kept until someone asks for their list.
#pragma once

#include "kernel.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

// The signals of a built model as the registry lists them, written out only
// when asked for (a check of the model is all that asks).
struct SignalRegistry {
    std::map<std::string, int> positions;
    std::map<std::string, int> widths;
    std::map<std::string, wsim_kernel::operand_t> types;
    // Port and reg, as the recorder had them, in the order of `positions`.
    std::vector<std::pair<bool, bool>> port_and_reg;
    std::string json() const;
    // A name registered without a width or a type is one bit.
    int width_of(const std::string& name) const {
        auto it = widths.find(name);
        return it == widths.end() ? 1 : it->second;
    }
    wsim_kernel::operand_t type_of(const std::string& name) const {
        auto it = types.find(name);
        return it == types.end() ? wsim_kernel::operand_t::BIT : it->second;
    }
};
