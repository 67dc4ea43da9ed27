// System tasks: $display, $write, $monitor and $finish, and the formatter
// closure that prints a format string with its arguments.
#include "simulator.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <optional>

using namespace slang::ast;
using wsim_kernel::assign_t;
using wsim_kernel::assignment_t;
using wsim_kernel::process_t;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

// A wider field is almost certainly a typo and would only flood the console.
constexpr int max_field_width = 1024;

// One conversion: %[-][0][width]letter.
struct Conversion {
    bool left_align = false;
    bool zero_pad = false;
    int width = 0;
    char letter = 0; // lower-cased
    size_t next = 0; // index just past the letter
};

// Reads the conversion whose '%' is at `at`; nullopt when the string ends
// before its letter.
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
    if (i >= fmt.size())
        return std::nullopt;
    c.letter = static_cast<char>(std::tolower(static_cast<unsigned char>(fmt[i])));
    c.next = i + 1;
    return c;
}

// %% and %m print without taking an argument.
bool takesArgument(char letter) { return letter != '%' && letter != 'm'; }

// A piece of the output: fixed text, or one argument under its conversion.
struct Piece {
    std::string text;
    int arg = -1;
    Conversion conv;
};

std::string padded(std::string text, const Conversion& c, bool zero_pad, bool negative) {
    if (c.width <= static_cast<int>(text.size()))
        return text;
    const size_t pad = static_cast<size_t>(c.width) - text.size();
    if (c.left_align)
        return text + std::string(pad, ' ');
    if (!zero_pad)
        return std::string(pad, ' ') + text;
    if (negative)
        return "-" + std::string(pad, '0') + text.substr(1);
    return std::string(pad, '0') + text;
}

// The format string cut into pieces once, when the statement is built.
std::vector<Piece> splitFormat(const std::string& fmt, size_t arg_count,
                               const std::string& scope_path) {
    std::vector<Piece> pieces;
    std::string text;
    size_t next_arg = 0;
    for (size_t i = 0; i < fmt.size();) {
        if (fmt[i] != '%') {
            text += fmt[i++];
            continue;
        }
        const auto conv = readConversion(fmt, i);
        if (!conv)
            break;
        i = conv->next;
        if (conv->letter == '%') {
            text += '%';
        } else if (conv->letter == 'm') {
            text += padded(scope_path, *conv, false, false);
        } else if (next_arg < arg_count) {
            pieces.push_back({std::move(text), -1, {}});
            text.clear();
            pieces.push_back({"", static_cast<int>(next_arg++), *conv});
        }
    }
    pieces.push_back({std::move(text), -1, {}});
    return pieces;
}

int storeBits(operand_t type) {
    switch (type) {
    case operand_t::BIT: return 1;
    case operand_t::BYTE: return 8;
    default: return 64;
    }
}

std::string binaryText(uint64_t v, int bits, bool keep_leading_zeros) {
    std::string out;
    for (int b = bits - 1; b >= 0; --b)
        out += ((v >> b) & 1) ? '1' : '0';
    if (keep_leading_zeros)
        return out;
    const size_t first_one = out.find('1');
    return first_one == std::string::npos ? "0" : out.substr(first_one);
}

std::string radixText(uint64_t v, unsigned radix) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    do {
        out += digits[v % radix];
        v /= radix;
    } while (v != 0);
    std::reverse(out.begin(), out.end());
    return out;
}

std::string stringText(uint64_t v, operand_t type) {
    std::string out;
    for (int byte = type == operand_t::LONG ? 7 : 0; byte >= 0; --byte)
        if (const char c = static_cast<char>((v >> (8 * byte)) & 0xff); c != 0)
            out += c;
    return out.empty() ? std::to_string(v) : out;
}

// One argument under its conversion, padded.
std::string argumentText(const DisplayArg& a, const Conversion& c) {
    auto& state = sim_state::instance();
    // An argument the builder could not resolve still fills its field.
    if (a.pos == 0)
        return padded("?", c, false, false);
    if (a.exp_idx != 0)
        state.exps(a.exp_idx)();
    const uint64_t uval = state.read_signal_val(a.pos, a.otype);
    uint64_t sval = uval;
    if (a.is_signed && a.width > 0 && a.width < 64 && ((uval >> (a.width - 1)) & 1))
        sval |= ~uint64_t{0} << a.width;

    bool negative = false;
    std::string text;
    switch (c.letter) {
    case 'b': text = binaryText(uval, storeBits(a.otype), c.zero_pad); break;
    case 'h':
    case 'x': text = radixText(uval, 16); break;
    case 'o': text = radixText(uval, 8); break;
    case 's': text = stringText(uval, a.otype); break;
    case 't': text = std::to_string(state.sim_time()); break;
    default:
        if (a.is_signed) {
            const auto signed_value = static_cast<int64_t>(sval);
            negative = signed_value < 0;
            text = std::to_string(signed_value);
        } else {
            text = std::to_string(uval);
        }
        break;
    }
    return padded(std::move(text), c, c.zero_pad, negative);
}

bool isSystemCallNamed(const Expression& e, std::string_view a, std::string_view b = {}) {
    if (e.kind != ExpressionKind::Call)
        return false;
    const auto& call = e.as<CallExpression>();
    const std::string_view name = call.getSubroutineName();
    return call.isSystemCall() && (name == a || (!b.empty() && name == b));
}

// An operand with $signed/$unsigned taken off; `written_signed` tells which
// of the two it was wrapped in, if any.
struct SignedOperand {
    const Expression* expr = nullptr;
    std::optional<bool> written_signed;
};

SignedOperand stripSignCast(const Expression& arg) {
    const Expression& e = arg.unwrapImplicitConversions();
    if (isSystemCallNamed(e, "$signed", "$unsigned")) {
        const auto& call = e.as<CallExpression>();
        if (!call.arguments().empty() && call.arguments()[0])
            return {&call.arguments()[0]->unwrapImplicitConversions(),
                    call.getSubroutineName() == "$signed"};
    }
    return {&e, std::nullopt};
}

std::string scopePathOf(const CallExpression& call) {
    if (!call.isSystemCall())
        return "";
    return std::get<CallExpression::SystemCallInfo>(call.subroutine)
        .scope->asSymbol()
        .getHierarchicalPath();
}

// The self-determined width of a printed operation, within the 64 bits
// the model keeps.
int displayWidthOf(const Expression& e) {
    const int width = e.type ? static_cast<int>(e.type->getBitWidth()) : 0;
    return width < 1 || width > 64 ? 64 : width;
}

uint64_t applyArith(BinaryOperator op, uint64_t l, uint64_t r) {
    switch (op) {
    case BinaryOperator::Multiply: return l * r;
    case BinaryOperator::Subtract: return l - r;
    default: return l + r;
    }
}

} // namespace

void SimulatorBuilder::scanFormatSpecs(const std::string& fmt, std::vector<DisplayArg>& args) {
    size_t next_arg = 0;
    for (size_t i = 0; i < fmt.size() && next_arg < args.size();) {
        if (fmt[i] != '%') {
            ++i;
            continue;
        }
        const auto conv = readConversion(fmt, i);
        if (!conv)
            return;
        i = conv->next;
        if (!takesArgument(conv->letter))
            continue;
        // Letters without a conversion of their own print in decimal.
        static const std::string known = "bdhxost";
        args[next_arg++].spec = known.find(conv->letter) != std::string::npos ? conv->letter : 'd';
    }
}

std::function<bool()> SimulatorBuilder::buildFormatterFn(std::string fmt,
                                                         std::vector<DisplayArg> args,
                                                         bool is_monitor, bool is_display_newline,
                                                         int time_sig_pos,
                                                         std::string scope_path) {
    std::vector<Piece> pieces = splitFormat(fmt, args.size(), scope_path);
    return [pieces = std::move(pieces), args = std::move(args), is_monitor, is_display_newline,
            time_sig_pos] {
        auto& state = sim_state::instance();
        if (time_sig_pos != 0)
            state.access_longs(time_sig_pos)
                .update(wsim_kernel::time_in_units(state.sim_time()), state.sim_time());
        std::string out;
        for (const Piece& piece : pieces)
            out += piece.arg < 0 ? piece.text
                                 : argumentText(args[static_cast<size_t>(piece.arg)], piece.conv);
        if (is_monitor) {
            std::ofstream& log = state.display_log();
            log << out << "\n";
            log.flush();
        } else if (is_display_newline) {
            std::cout << out << std::endl;
        } else {
            std::cout << out;
            std::cout.flush();
        }
        return true;
    };
}

int SimulatorBuilder::displayTimeSignal(int stmt_line) {
    bool created = false;
    return createLongTemporary("__monitor_time_" + std::to_string(stmt_line), 64, stmt_line,
                               created);
}

std::string SimulatorBuilder::displayTempName(const std::string& base, const DispTempSource& source) {
    std::string name = base;
    for (int n = 2; isRegistered(name) && _disp_temp_sources[name] != source; ++n)
        name = base + "_" + std::to_string(n);
    _disp_temp_sources[name] = source;
    return name;
}

int SimulatorBuilder::buildArithTempForDisplay(const BinaryExpression& bin, int stmt_line,
                                               int arg_index) {
    const BinaryOperator op = bin.op;
    if (op != BinaryOperator::Add && op != BinaryOperator::Subtract &&
        op != BinaryOperator::Multiply)
        return 0;
    const Expression& left = bin.left().unwrapImplicitConversions();
    const Expression& right = bin.right().unwrapImplicitConversions();

    // The operation has the width and signedness SystemVerilog gives it on
    // its own: signed only when both operands are, as declared or cast.
    const bool is_signed = bin.type && bin.type->isSigned();
    const uint64_t mask = widthMask(displayWidthOf(bin));

    // A registered signal (possibly under $signed/$unsigned), read with the
    // operation's signedness.
    struct Operand {
        bool ok = false;
        std::string name;
        int pos = 0;
        operand_t type = operand_t::BIT;
        int width = 1;
        bool is_signed = false;
    };
    auto operand = [this, is_signed](const Expression& e) {
        Operand o;
        const SignedOperand stripped = stripSignCast(e);
        if (!isSignalReference(*stripped.expr))
            return o;
        o.name = resolveOperandName(*stripped.expr);
        if (o.name.empty() || !isRegistered(o.name))
            return o;
        o.ok = true;
        o.pos = signal_positions[o.name];
        o.type = getSignalType(o.name);
        o.width = getSignalWidth(o.name);
        o.is_signed = is_signed;
        return o;
    };
    auto read = [](const Operand& o) {
        return [pos = o.pos, type = o.type, width = o.width, is_signed = o.is_signed] {
            return is_signed ? static_cast<uint64_t>(readVecSignalSigned(pos, type, width))
                             : sim_state::instance().read_signal_val(pos, type);
        };
    };

    const std::string suffix = std::to_string(stmt_line) + "_" + std::to_string(arg_index);
    std::string name;
    std::function<uint64_t()> compute;
    const auto right_k = literalValue(right);
    const auto left_k = right_k ? std::nullopt : literalValue(left);
    if (right_k || left_k) {
        const Operand sig = operand(right_k ? left : right);
        if (!sig.ok)
            return 0;
        name = displayTempName(sig.name + "_disp_arith_" + suffix, {&bin, sig.pos, 0});
        const uint64_t k = right_k ? *right_k : *left_k;
        const bool signal_on_left = right_k.has_value();
        compute = [v = read(sig), k, op, signal_on_left, mask] {
            return (signal_on_left ? applyArith(op, v(), k) : applyArith(op, k, v())) & mask;
        };
    } else {
        const Operand l = operand(left);
        const Operand r = operand(right);
        if (!l.ok || !r.ok)
            return 0;
        name = displayTempName(l.name + "_disp_ss_arith_" + suffix, {&bin, l.pos, r.pos});
        compute = [lv = read(l), rv = read(r), op, mask] {
            return applyArith(op, lv(), rv()) & mask;
        };
    }

    bool created = false;
    const int pos = createLongTemporary(name, 32, stmt_line, created);
    if (created) {
        auto& state = sim_state::instance();
        const int exp_idx = state.add_exp(vectorWriter(pos, operand_t::LONG, std::move(compute)));
        _disp_temp_exp[pos] = DispTempInfo{exp_idx, is_signed};
        makeCAProcess(get_file_id(bin.sourceRange.start()), stmt_line, name, pos, 0, exp_idx,
                      operand_t::LONG, operand_t::LONG);
    }
    return pos;
}

DisplayArg SimulatorBuilder::resolveDisplayArg(const Expression& arg, int stmt_line,
                                               int arg_index, bool allow_time) {
    const DisplayArg unresolved; // position 0 prints "?"
    const Expression& e = arg.unwrapImplicitConversions();
    if (allow_time && isSystemCallNamed(e, "$time", "$realtime"))
        return DisplayArg{.pos = displayTimeSignal(stmt_line),
                          .otype = operand_t::LONG,
                          .width = 64,
                          .is_time = true};

    const SignedOperand stripped = stripSignCast(e);
    const Expression& operand = *stripped.expr;
    if (operand.kind == ExpressionKind::BinaryOp) {
        const int pos =
            buildArithTempForDisplay(operand.as<BinaryExpression>(), stmt_line, arg_index);
        if (pos == 0)
            return unresolved;
        const DispTempInfo info = _disp_temp_exp[pos];
        return DisplayArg{.pos = pos,
                          .otype = operand_t::LONG,
                          .is_signed = stripped.written_signed.value_or(info.is_signed),
                          .width = displayWidthOf(operand),
                          .exp_idx = info.exp_idx};
    }

    // Only a whole signal, or a bit of one registered under its own name:
    // anything else would print the wrong value.
    const std::string name = resolveOperandName(operand);
    const bool names_signal =
        isSignalReference(operand) ||
        (operand.kind == ExpressionKind::ElementSelect &&
         name != resolveOperandName(operand.as<ElementSelectExpression>().value()));
    if (!names_signal || name.empty() || !isRegistered(name))
        return unresolved;
    return DisplayArg{.pos = signal_positions[name],
                      .otype = getSignalType(name),
                      .is_signed = stripped.written_signed.value_or(getSignalSigned(name)),
                      .width = getSignalWidth(name)};
}

std::vector<DisplayArg> SimulatorBuilder::resolveDisplayArgs(
    std::span<const Expression* const> args, int stmt_line, bool allow_time) {
    std::vector<DisplayArg> out;
    for (size_t i = 1; i < args.size(); ++i)
        out.push_back(args[i] ? resolveDisplayArg(*args[i], stmt_line, static_cast<int>(i),
                                                  allow_time)
                              : DisplayArg{});
    return out;
}

int SimulatorBuilder::addDisplayFormatter(const CallExpression& call, int stmt_line,
                                          bool is_monitor, std::vector<DisplayArg>& args) {
    const auto arguments = call.arguments();
    std::string fmt;
    args.clear();
    // A bare $display prints an empty line.
    if (!arguments.empty()) {
        const Expression* first = arguments[0];
        if (!first || first->unwrapImplicitConversions().kind != ExpressionKind::StringLiteral)
            return 0;
        fmt = std::string(first->unwrapImplicitConversions().as<StringLiteral>().getValue());
        args = resolveDisplayArgs(arguments, stmt_line, true);
        scanFormatSpecs(fmt, args);
    }
    const bool has_time =
        std::any_of(args.begin(), args.end(), [](const DisplayArg& a) { return a.is_time; });
    const bool newline = !is_monitor && call.getSubroutineName() == "$display";
    return sim_state::instance().add_exp(buildFormatterFn(std::move(fmt), args, is_monitor,
                                                          newline,
                                                          has_time ? displayTimeSignal(stmt_line)
                                                                   : 0,
                                                          scopePathOf(call)));
}

void SimulatorBuilder::addSystemTaskStatement(process_t& proc, assign_t type, int delay,
                                              int file_id, int stmt_line, int sf_idx,
                                              int formatter, int proc_line, int cond,
                                              int trigger_idx, int trig_ack_idx) {
    const int ctx = addLineContext(file_id, stmt_line);
    addProceduralStatement(proc, assignment_t(type, static_cast<time_t>(delay), sf_idx, formatter,
                                              0, ctx, trigger_idx, trig_ack_idx, cond, proc_line,
                                              operand_t::BIT, operand_t::BIT));
}

bool SimulatorBuilder::handleDisplay(const CallExpression& call, int delay, process_t& proc,
                                     int stmt_line, int proc_line, int cond, int trigger_idx,
                                     int trig_ack_idx) {
    std::vector<DisplayArg> args;
    const int formatter = addDisplayFormatter(call, stmt_line, false, args);
    if (formatter == 0)
        return false;
    const int sf_idx =
        sim_state::instance().add_sf(wsim_kernel::sf("$display", false, "display", stmt_line));
    addSystemTaskStatement(proc, assign_t::SF, delay, get_file_id(call.sourceRange.start()),
                           stmt_line, sf_idx, formatter, proc_line, cond, trigger_idx,
                           trig_ack_idx);
    return true;
}

bool SimulatorBuilder::handleMonitor(const CallExpression& call, int delay, process_t& proc,
                                     int stmt_line, int proc_line, int cond, int trigger_idx,
                                     int trig_ack_idx) {
    std::vector<DisplayArg> args;
    const int formatter = addDisplayFormatter(call, stmt_line, true, args);
    if (formatter == 0)
        return false;
    std::vector<int> positions;
    std::vector<operand_t> types;
    for (const DisplayArg& a : args) {
        if (!a.is_time && a.pos != 0) {
            positions.push_back(a.pos);
            types.push_back(a.otype);
        }
    }
    auto& state = sim_state::instance();
    state.register_monitor(formatter, positions, types);
    const int sf_idx = state.add_sf(wsim_kernel::sf("$monitor", false, "monitor_reg", stmt_line));
    addSystemTaskStatement(proc, assign_t::MONITOR_REG, delay,
                           get_file_id(call.sourceRange.start()), stmt_line, sf_idx, formatter,
                           proc_line, cond, trigger_idx, trig_ack_idx);
    return true;
}

bool SimulatorBuilder::handleFinish(int delay, process_t& proc, int file_id, int stmt_line,
                                    int proc_line, int cond, int trigger_idx, int trig_ack_idx) {
    const int sf_idx =
        sim_state::instance().add_sf(wsim_kernel::sf("$finish", false, "finish", stmt_line));
    addSystemTaskStatement(proc, assign_t::SF, delay, file_id, stmt_line, sf_idx, 0, proc_line,
                           cond, trigger_idx, trig_ack_idx);
    return true;
}

bool SimulatorBuilder::handleDisplayAbsolute(const CallExpression& call, time_t cursor_time,
                                             process_t& proc, int stmt_line, int proc_line,
                                             int cond) {
    if (!handleDisplay(call, 0, proc, stmt_line, proc_line, cond, 0, 0))
        return false;
    proc.ith_statement(proc.number_of_statements() - 1)->set_static_time(cursor_time);
    return true;
}

bool SimulatorBuilder::handleMonitorAbsolute(const CallExpression& call, time_t cursor_time,
                                             process_t& proc, int stmt_line, int proc_line,
                                             int cond) {
    if (!handleMonitor(call, 0, proc, stmt_line, proc_line, cond, 0, 0))
        return false;
    // The monitor starts when the walk reaches it, not at time 0.
    proc.ith_statement(proc.number_of_statements() - 1)->set_static_time(cursor_time);
    return true;
}

bool SimulatorBuilder::handleFinishAbsolute(time_t cursor_time, process_t& proc, int file_id,
                                            int stmt_line, int proc_line, int cond) {
    handleFinish(0, proc, file_id, stmt_line, proc_line, cond, 0, 0);
    proc.ith_statement(proc.number_of_statements() - 1)->set_static_time(cursor_time);
    return true;
}
