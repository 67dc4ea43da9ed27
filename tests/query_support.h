// Builds injection requests for the tests.
#pragma once

#include "analysis.h"

#include <string>
#include <vector>

namespace wexla_test {

inline Query query(const std::string& file, int line, std::vector<std::string> properties,
                   std::vector<std::string> labels, const std::string& module = "top") {
    Query q;
    q.file = file;
    q.line_no = line;
    q.module_name = module;
    q.property_list = std::move(properties);
    q.label_list = std::move(labels);
    return q;
}

} // namespace wexla_test
