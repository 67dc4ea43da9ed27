// Escaping for the JSON texts the engine writes by hand: names, labels, paths
// and error texts may hold quotes, backslashes or control characters.
#pragma once

#include <string>
#include <string_view>

// Appends `text` to `out` as the contents of a JSON string (no quotes added).
inline void append_json_escaped(std::string& out, std::string_view text) {
    static const char* const hex = "0123456789abcdef";
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out += hex[(c >> 4) & 0xf];
                out += hex[c & 0xf];
            } else {
                out += c;
            }
        }
    }
}

inline std::string json_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    append_json_escaped(out, text);
    return out;
}
