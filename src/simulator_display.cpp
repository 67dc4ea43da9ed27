// System tasks: $display, $write, $monitor and $finish, and the formatter
// that prints a format string with its arguments.
#include "simulator.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string_view>

using namespace slang::ast;
using wsim_kernel::assign_t;
using wsim_kernel::assignment_t;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

// A wider field is almost certainly a typo and would only flood the console.
constexpr int max_field_width = 1024;

// One conversion: %[-][0][width][.precision]letter.
struct Conversion {
    bool left_align = false;
    bool zero_pad = false;
    int width = 0;
    int precision = -1; // none given
    char letter = 0;    // lower-cased
    bool upper = false; // the letter was written in upper case
    size_t next = 0; // index just past the letter
    // An argument printed without a format of its own: decimal, as wide as
    // its largest value.
    bool natural_width = false;
};

std::optional<Conversion> readConversion(const std::string& fmt, size_t at) {
    Conversion c;
    size_t i = at + 1;
    if (i < fmt.size() && fmt[i] == '-') {
        c.left_align = true;
        ++i;
    }
    if (i < fmt.size() && fmt[i] == '0') {
        c.zero_pad = true;
        ++i;
    }
    for (; i < fmt.size() && std::isdigit(static_cast<unsigned char>(fmt[i])); ++i)
        c.width = std::min(c.width * 10 + (fmt[i] - '0'), max_field_width);
    if (i < fmt.size() && fmt[i] == '.') {
        c.precision = 0;
        for (++i; i < fmt.size() && std::isdigit(static_cast<unsigned char>(fmt[i])); ++i)
            c.precision = std::min(c.precision * 10 + (fmt[i] - '0'), max_field_width);
    }
    if (i >= fmt.size())
        return std::nullopt;
    c.letter = static_cast<char>(std::tolower(static_cast<unsigned char>(fmt[i])));
    c.upper = fmt[i] != c.letter;
    c.next = i + 1;
    return c;
}

// One printed argument.
struct Arg {
    int expr = 0;
    int width = 1;
    bool is_signed = false;
    uint64_t ticks_per_unit = 1; // %t turns a time in the caller's unit into time steps
    bool is_time = false;
    bool supply = false; // names a supply net: %v prints its strength as such
};

// A piece of the output: fixed text, or one argument under its conversion.
struct Piece {
    std::string text;
    int arg = -1;
    Conversion conv;
};

// Appends `text` to `out`, padded to the conversion's field width.
void appendPadded(std::string& out, std::string_view text, const Conversion& c, bool zero_pad,
                  bool negative) {
    if (c.width <= static_cast<int>(text.size())) {
        out += text;
        return;
    }
    const size_t pad = static_cast<size_t>(c.width) - text.size();
    if (c.left_align) {
        out += text;
        out.append(pad, ' ');
    } else if (!zero_pad) {
        out.append(pad, ' ');
        out += text;
    } else if (negative) {
        out += '-';
        out.append(pad, '0');
        out += text.substr(1);
    } else {
        out.append(pad, '0');
        out += text;
    }
}

// Room for the digits of any value: 64 binary digits at the most.
using DigitBuffer = std::array<char, 64>;

// The digits of a value in binary, octal or hexadecimal, at the end of
// `buffer`. With a field width they cover the whole width of the value (a
// 4-bit 3 in %4b is 0011), without one they start at the first digit that
// is not zero.
std::string_view radixText(DigitBuffer& buffer, uint64_t v, unsigned bits_per_digit,
                           int value_width, bool every_digit) {
    static const char digits[] = "0123456789abcdef";
    const uint64_t radix = uint64_t{1} << bits_per_digit;
    const auto all = static_cast<size_t>(
        (std::clamp(value_width, 1, 64) + static_cast<int>(bits_per_digit) - 1) /
        static_cast<int>(bits_per_digit));
    size_t at = buffer.size();
    do {
        buffer[--at] = digits[v % radix];
        v /= radix;
    } while (v != 0);
    while (every_digit && buffer.size() - at < all)
        buffer[--at] = '0';
    return {buffer.data() + at, buffer.size() - at};
}

template <typename Integer>
std::string_view decimalText(DigitBuffer& buffer, Integer v) {
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v).ptr;
    return {buffer.data(), static_cast<size_t>(end - buffer.data())};
}

// One character per byte of the value, without its leading zero bytes (as
// numbers print without padding); a zero byte inside prints as a space.
std::string stringText(uint64_t v, int width) {
    std::string out;
    for (int byte = (std::clamp(width, 1, 64) + 7) / 8 - 1; byte >= 0; --byte) {
        const char c = static_cast<char>((v >> (8 * byte)) & 0xff);
        if (c != 0 || !out.empty())
            out += c == 0 ? ' ' : c;
    }
    return out;
}

// An integral value printed as a real number, as C prints it.
std::string realText(double value, const Conversion& c) {
    std::string fmt = "%";
    if (c.left_align)
        fmt += '-';
    if (c.zero_pad)
        fmt += '0';
    if (c.width > 0)
        fmt += std::to_string(c.width);
    if (c.precision >= 0)
        fmt += "." + std::to_string(c.precision);
    fmt += c.upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c.letter))) : c.letter;
    const int n = std::snprintf(nullptr, 0, fmt.c_str(), value);
    if (n <= 0)
        return "";
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), fmt.c_str(), value);
    out.pop_back();
    return out;
}

// Strength and value of every bit, the most significant first: a
// two-valued driver is strong, a supply net is a supply.
std::string strengthText(uint64_t v, int width, bool supply) {
    std::string out;
    for (int b = std::min(width, 64) - 1; b >= 0; --b) {
        out += supply ? "Su" : "St";
        out += ((v >> b) & 1) ? '1' : '0';
        if (b > 0)
            out += '_';
    }
    return out;
}

// How many characters the largest value of an argument takes in decimal.
int naturalDecimalWidth(int width, bool is_signed) {
    if (is_signed && width > 1) {
        const uint64_t magnitude = uint64_t{1} << (width - 1);
        return static_cast<int>(std::to_string(magnitude).size()) + 1;
    }
    return static_cast<int>(std::to_string(wsim_kernel::width_mask(width)).size());
}

// Appends one printed argument to `out`.
void appendArgument(std::string& out, const Arg& a, const Conversion& c) {
    auto& state = sim_state::instance();
    const uint64_t uval = state.eval(a.expr);
    bool negative = false;
    DigitBuffer buffer;
    std::string_view text;
    switch (c.letter) {
    case 'b': text = radixText(buffer, uval, 1, a.width, c.width > 0); break;
    case 'h':
    case 'x': text = radixText(buffer, uval, 4, a.width, c.width > 0); break;
    case 'o': text = radixText(buffer, uval, 3, a.width, c.width > 0); break;
    case 's': appendPadded(out, stringText(uval, a.width), c, false, false); return;
    case 't': text = decimalText(buffer, uval * a.ticks_per_unit); break;
    case 'c':
        buffer[0] = static_cast<char>(uval & 0xff);
        text = {buffer.data(), 1};
        break;
    case 'e':
    case 'f':
    case 'g':
        out += realText(a.is_signed ? static_cast<double>(wsim_kernel::sign_extend(uval, a.width))
                                    : static_cast<double>(uval),
                        c);
        return;
    case 'v': appendPadded(out, strengthText(uval, a.width, a.supply), c, false, false); return;
    default:
        if (a.is_signed) {
            const int64_t v = wsim_kernel::sign_extend(uval, a.width);
            negative = v < 0;
            text = decimalText(buffer, v);
        } else {
            text = decimalText(buffer, uval);
        }
        break;
    }
    if (c.natural_width) {
        Conversion natural = c;
        natural.width = naturalDecimalWidth(a.width, a.is_signed);
        appendPadded(out, text, natural, false, negative);
        return;
    }
    appendPadded(out, text, c, c.zero_pad, negative);
}

std::string scopePathOf(const CallExpression& call) {
    if (!call.isSystemCall())
        return "";
    return std::get<CallExpression::SystemCallInfo>(call.subroutine)
        .scope->asSymbol()
        .getHierarchicalPath();
}

bool namesSupplyNet(const Expression& e) {
    const Expression* x = &e.unwrapImplicitConversions();
    while (x->kind == ExpressionKind::ElementSelect || x->kind == ExpressionKind::RangeSelect)
        x = x->kind == ExpressionKind::ElementSelect ? &x->as<ElementSelectExpression>().value()
                                                     : &x->as<RangeSelectExpression>().value();
    if (x->kind != ExpressionKind::NamedValue && x->kind != ExpressionKind::HierarchicalValue)
        return false;
    const Symbol& sym = x->as<ValueExpressionBase>().symbol;
    if (sym.kind != SymbolKind::Net)
        return false;
    const auto kind = sym.as<NetSymbol>().netType.netKind;
    return kind == NetType::Supply0 || kind == NetType::Supply1;
}

bool isStringLiteral(const Expression* e) {
    return e && e->unwrapImplicitConversions().kind == ExpressionKind::StringLiteral;
}

} // namespace

bool SimulatorBuilder::compileSystemTask(const CallExpression& call, int line_ctx, Program& prog) {
    const std::string name(call.getSubroutineName());
    const bool write = name == "$write";
    const bool monitor = name == "$monitor";
    if (name == "$finish") {
        assignment_t s(assign_t::SF, line_ctx);
        s.task = wsim_kernel::sf_kind::FINISH;
        prog.push_back(s);
        return true;
    }
    if (name != "$display" && !write && !monitor)
        return false;

    // Format strings and arguments, in order: every string literal is text
    // to print; arguments after one are what its conversions use; any left
    // over print in decimal.
    const auto args = call.arguments();
    const slang::ast::Scope* scope = std::get<CallExpression::SystemCallInfo>(call.subroutine).scope;
    const uint64_t ticks = scope ? ticksPerUnit(*scope) : 1;
    const std::string scope_path = scopePathOf(call);
    std::vector<Arg> compiled;
    std::vector<Piece> pieces;
    std::string text;
    size_t i = 0;
    auto add_arg = [&](const Expression& e, const Conversion& conv) {
        Arg a;
        if (e.kind == ExpressionKind::EmptyArgument) {
            text += " ";
            return;
        }
        a.expr = compileExpression(e);
        const auto& x = kernel().exprs(a.expr);
        a.width = x.width;
        a.is_signed = x.is_signed;
        a.ticks_per_unit = ticks;
        a.supply = namesSupplyNet(e);
        a.is_time = std::any_of(x.code.begin(), x.code.end(), [](const wsim_kernel::xins& in) {
            return in.op == wsim_kernel::xop::NOW;
        });
        pieces.push_back({std::move(text), -1, {}});
        text.clear();
        compiled.push_back(a);
        pieces.push_back({"", static_cast<int>(compiled.size() - 1), conv});
    };
    while (i < args.size()) {
        const Expression* e = args[i];
        if (!e) {
            ++i;
            continue;
        }
        if (!isStringLiteral(e)) {
            Conversion natural;
            natural.letter = 'd';
            natural.natural_width = true;
            add_arg(*e, natural);
            ++i;
            continue;
        }
        const std::string fmt(e->unwrapImplicitConversions().as<StringLiteral>().getValue());
        ++i;
        for (size_t k = 0; k < fmt.size();) {
            if (fmt[k] != '%') {
                text += fmt[k++];
                continue;
            }
            const auto conv = readConversion(fmt, k);
            if (!conv)
                break;
            k = conv->next;
            if (conv->letter == '%') {
                text += '%';
            } else if (conv->letter == 'm') {
                appendPadded(text, scope_path, *conv, false, false);
            } else if (i < args.size() && args[i]) {
                add_arg(*args[i], *conv);
                ++i;
            }
        }
    }
    pieces.push_back({std::move(text), -1, {}});

    const bool newline = !write;
    // The line is built in a buffer the formatter keeps: a testbench prints
    // the same lines over and over.
    auto formatter = [pieces = std::move(pieces), compiled, newline,
                      out = std::string()]() mutable {
        out.clear();
        for (const Piece& piece : pieces) {
            if (piece.arg < 0)
                out += piece.text;
            else
                appendArgument(out, compiled[static_cast<size_t>(piece.arg)], piece.conv);
        }
        if (newline)
            out += '\n';
        sim_state::instance().print(out);
        return true;
    };
    auto& state = sim_state::instance();
    const int fmt_index = state.add_exp(std::move(formatter));
    assignment_t s(monitor ? assign_t::MONITOR_REG : assign_t::SF, line_ctx);
    s.expr = fmt_index;
    s.task = monitor ? wsim_kernel::sf_kind::MONITOR
                     : write ? wsim_kernel::sf_kind::WRITE : wsim_kernel::sf_kind::DISPLAY;
    if (monitor) {
        std::vector<int> watched;
        for (const Arg& a : compiled)
            if (!a.is_time)
                watched.push_back(a.expr);
        state.register_monitor(fmt_index, watched);
    }
    prog.push_back(s);
    return true;
}
