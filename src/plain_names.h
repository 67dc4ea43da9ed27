// slang spells a name that needs escaping as `\name ` (backslash, name,
// blank) inside a hierarchical path. The engine names every signal and
// instance by its plain names joined with dots, as the design-structure
// rows do, so that one name means one thing everywhere.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The plain components of a hierarchical path: "top.\u-1 .x" gives top,
// u-1 and x; an index after a name (g[0]) stays with it.
inline std::vector<std::string> plainComponents(std::string_view path) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < path.size()) {
        std::string name;
        if (path[i] == '\\') {
            // An escaped name runs to the blank, dots and all.
            const size_t blank = path.find(' ', i);
            const size_t end = blank == std::string_view::npos ? path.size() : blank;
            name = path.substr(i + 1, end - i - 1);
            i = blank == std::string_view::npos ? path.size() : blank + 1;
        }
        while (i < path.size() && path[i] != '.')
            name += path[i++];
        out.push_back(std::move(name));
        ++i; // the dot
    }
    return out;
}

// The plain path from component `first` on.
inline std::string plainPath(std::string_view path, size_t first = 0) {
    const std::vector<std::string> parts = plainComponents(path);
    std::string out;
    for (size_t i = first; i < parts.size(); ++i)
        out += (i > first ? "." : "") + parts[i];
    return out;
}
