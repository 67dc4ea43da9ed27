// The evaluator of compiled expressions and function bodies.
#include "kernel.h"

#include <bit>
#include <memory>

namespace wsim_kernel {

namespace {

// A signed exponent arrives sign-extended to 64 bits: its width is its own,
// not the result's.
uint64_t power(uint64_t base, uint64_t exponent, int width, bool base_signed, bool exp_signed) {
    const uint64_t mask = width_mask(width);
    if (exp_signed && static_cast<int64_t>(exponent) < 0) {
        // A negative exponent leaves an integer only for bases 1 and -1.
        const int64_t b = base_signed ? sign_extend(base, width) : static_cast<int64_t>(base);
        if (b == 1)
            return 1;
        if (b == -1)
            return (exponent & 1) ? mask : 1;
        return 0;
    }
    uint64_t result = 1;
    while (exponent != 0) {
        if (exponent & 1)
            result *= base;
        base *= base;
        exponent >>= 1;
    }
    return result & mask;
}

uint64_t divide(uint64_t l, uint64_t r, int width, bool is_signed, bool modulo) {
    const uint64_t mask = width_mask(width);
    if (r == 0)
        return 0;
    if (!is_signed)
        return (modulo ? l % r : l / r) & mask;
    const int64_t sl = sign_extend(l, width);
    const int64_t sr = sign_extend(r, width);
    if (sr == -1) // the one quotient that overflows
        return modulo ? 0 : static_cast<uint64_t>(0 - static_cast<uint64_t>(sl)) & mask;
    return static_cast<uint64_t>(modulo ? sl % sr : sl / sr) & mask;
}

bool less(uint64_t l, uint64_t r, int width, bool is_signed) {
    if (is_signed)
        return sign_extend(l, width) < sign_extend(r, width);
    return l < r;
}

uint64_t select(uint64_t value, uint64_t index, const xins& in) {
    const bool ascending = in.flags & 2;
    const int64_t lsb = index_position(index, in.flags & 1) + static_cast<int64_t>(in.k);
    const int64_t offset = ascending ? in.a - lsb : lsb - in.a;
    const int w = in.w;
    if (offset >= in.w2 || offset + w <= 0)
        return 0;
    if (offset < 0)
        return (value << -offset) & width_mask(w);
    return (value >> offset) & width_mask(w);
}

} // namespace

uint64_t unary_result(const xins& in, uint64_t x) {
    const uint64_t wmask = width_mask(in.w);
    switch (in.op) {
    case xop::NEG: return (0 - x) & wmask;
    case xop::NOT: return ~x & wmask;
    case xop::LNOT: return x == 0;
    case xop::RAND: return x == width_mask(in.w2);
    case xop::ROR:
    case xop::BOOL: return x != 0;
    case xop::RXOR: return std::popcount(x) & 1;
    case xop::SEXT: return static_cast<uint64_t>(sign_extend(x, in.w2)) & wmask;
    case xop::TRUNC: return x & wmask;
    case xop::SLICE: return (in.a >= 64 ? 0 : x >> in.a) & wmask;
    case xop::REPL: {
        const uint64_t piece = x & width_mask(in.w2);
        uint64_t out = 0;
        for (uint64_t i = 0; i < in.k && i < 64; ++i)
            out = (in.w2 >= 64 ? 0 : out << in.w2) | piece;
        return out & wmask;
    }
    default: return x;
    }
}

uint64_t binary_result(const xins& in, uint64_t l, uint64_t r) {
    const uint64_t wmask = width_mask(in.w);
    const bool sgn = in.flags & 1;
    switch (in.op) {
    case xop::ADD: return (l + r) & wmask;
    case xop::SUB: return (l - r) & wmask;
    case xop::MUL: return (l * r) & wmask;
    case xop::DIV: return divide(l, r, in.w, sgn, false);
    case xop::MOD: return divide(l, r, in.w, sgn, true);
    case xop::POW: return power(l, r, in.w, sgn, (in.flags & 2) != 0);
    case xop::AND: return l & r;
    case xop::OR: return l | r;
    case xop::XOR: return l ^ r;
    case xop::XNOR: return ~(l ^ r) & wmask;
    case xop::SHL: return r >= in.w ? 0 : (l << r) & wmask;
    case xop::SHR: return r >= 64 ? 0 : l >> r;
    case xop::ASHR:
        if (sgn) {
            const int64_t v = sign_extend(l, in.w);
            return static_cast<uint64_t>(v >> (r >= 63 ? 63 : r)) & wmask;
        }
        return r >= 64 ? 0 : l >> r;
    case xop::EQ: return l == r;
    case xop::NE: return l != r;
    case xop::LT: return less(l, r, in.w2, sgn);
    case xop::LE: return !less(r, l, in.w2, sgn);
    case xop::GT: return less(r, l, in.w2, sgn);
    case xop::GE: return !less(l, r, in.w2, sgn);
    case xop::WEQ: return (l & in.k) == (r & in.k);
    case xop::WNE: return (l & in.k) != (r & in.k);
    case xop::LIMP: return l == 0 || r != 0;
    case xop::LEQV: return (l == 0) == (r == 0);
    case xop::CAT: return ((in.w2 >= 64 ? 0 : l << in.w2) | r) & wmask;
    case xop::SEL: return select(l, r, in);
    default: return l;
    }
}

uint64_t sim_state::eval_operations(const xins* code, uint32_t length, uint32_t max_stack,
                                    expr_shape shape) {
    switch (shape) {
    case expr_shape::LEAF: return leaf_value(code[0]);
    case expr_shape::UNARY: return unary_result(code[1], leaf_value(code[0]));
    case expr_shape::BINARY:
        return binary_result(code[2], leaf_value(code[0]), leaf_value(code[1]));
    case expr_shape::BINARY_UNARY:
        return unary_result(code[3],
                            binary_result(code[2], leaf_value(code[0]), leaf_value(code[1])));
    case expr_shape::PROGRAM: break;
    }
    return eval_program(code, length, max_stack);
}

uint64_t sim_state::eval_program(const xins* code, uint32_t length, uint32_t max_stack) {
    uint64_t small[32];
    std::unique_ptr<uint64_t[]> large;
    uint64_t* st = small;
    if (max_stack > 32) {
        large = std::make_unique<uint64_t[]>(max_stack);
        st = large.get();
    }
    int sp = 0;
    const int n = static_cast<int>(length);
    for (int pc = 0; pc < n; ++pc) {
        const xins& in = code[pc];
        switch (in.op) {
        case xop::CONST: st[sp++] = in.k; break;
        case xop::LOAD:
            st[sp++] = in.ty == operand_t::LOCAL ? locals(in.a) : read_signal_val(in.a, in.ty);
            break;
        case xop::NOW: {
            const time_t t = _current_simulation_time;
            st[sp++] = in.k <= 1 ? t : t / in.k + ((t % in.k) * 2 >= in.k ? 1 : 0);
            break;
        }
        case xop::NEG:
        case xop::NOT:
        case xop::LNOT:
        case xop::RAND:
        case xop::ROR:
        case xop::BOOL:
        case xop::RXOR:
        case xop::SEXT:
        case xop::TRUNC:
        case xop::SLICE:
        case xop::REPL: st[sp - 1] = unary_result(in, st[sp - 1]); break;
        case xop::JZ:
            if (st[--sp] == 0)
                pc = in.a - 1;
            break;
        case xop::JMP: pc = in.a - 1; break;
        case xop::CALL: {
            function_t& f = functions(in.a);
            const int argc = static_cast<int>(f.args.size());
            sp -= argc;
            for (int i = 0; i < argc; ++i)
                write_local(f.args[static_cast<size_t>(i)], st[sp + i]);
            run_function(in.a);
            st[sp++] = locals(f.result);
            if (in.k != 0)
                for (const call_out& out : _call_outs[in.k])
                    write_lvalue(out.target, eval(out.value), f.name);
            break;
        }
        case xop::SVF: {
            const stable_entry& entry = stable_entries(in.a);
            const uint64_t now = entry.procedural ? entry.tick_value
                                                  : sampled_signal_val(entry.sig_pos, entry.sig_type);
            const uint64_t past = entry.prev_value;
            bool holds = false;
            switch (in.k) {
            case 0: holds = entry.initialized && (past & 1) == 0 && (now & 1) != 0; break;
            case 1: holds = entry.initialized && (past & 1) != 0 && (now & 1) == 0; break;
            case 2: holds = !entry.initialized || past == now; break;
            default: holds = entry.initialized && past != now; break;
            }
            st[sp++] = holds;
            break;
        }
        default: {
            const uint64_t r = st[--sp];
            st[sp - 1] = binary_result(in, st[sp - 1], r);
            break;
        }
        }
    }
    return sp > 0 ? st[sp - 1] : 0;
}

uint64_t sim_state::eval_constant(int e) {
    const std::vector<uint64_t> locals = _locals;
    _evaluating_constant = true;
    const uint64_t value = eval(e);
    _evaluating_constant = false;
    _locals = locals;
    return value;
}

} // namespace wsim_kernel
