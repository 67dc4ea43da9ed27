// Compiled expressions: a small stack program per expression, evaluated when
// the statement that owns it runs. Values are unsigned 64-bit integers held
// masked to the width of the expression that produced them; a signed value
// is sign-extended only where an operation needs it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace wsim_kernel {

using time_t = uint64_t;

// The last time the simulation can count; a delay that would pass it is
// never reached.
inline constexpr time_t end_of_time = ~time_t{0};

// `now` + `delay`, held at end_of_time instead of wrapping around.
inline time_t time_after(time_t now, time_t delay) {
    return delay > end_of_time - now ? end_of_time : now + delay;
}

// The store a signal position refers to. LOCAL is the storage of task and
// function arguments and variables: plain values, with no name and no record,
// though a process may wait on one as on a signal.
enum class operand_t : int { BIT = 0, BYTE = 1, LONG = 2, LOCAL = 3 };

struct signal_ref {
    operand_t type = operand_t::BIT;
    int pos = 0;
    bool operator==(const signal_ref&) const = default;
};

// The store a signal of `width` bits lives in.
inline operand_t store_for_width(int width) {
    if (width <= 1)
        return operand_t::BIT;
    return width <= 8 ? operand_t::BYTE : operand_t::LONG;
}

// The index of a signal's store among the bit, byte and long stores.
inline size_t store_index(operand_t type) {
    switch (type) {
    case operand_t::BYTE: return 1;
    case operand_t::LONG: return 2;
    default: return 0;
    }
}

inline uint64_t width_mask(int width) {
    if (width >= 64)
        return ~uint64_t{0};
    if (width <= 0)
        return 0;
    return (uint64_t{1} << width) - 1;
}

// `v` of `width` bits, sign-extended to 64.
inline int64_t sign_extend(uint64_t v, int width) {
    if (width <= 0 || width >= 64)
        return static_cast<int64_t>(v);
    const uint64_t sign = uint64_t{1} << (width - 1);
    v &= width_mask(width);
    return static_cast<int64_t>((v ^ sign) - sign);
}

// Bit positions far outside every vector all select nothing, so positions
// are held within this distance of zero, where sums of a few of them
// cannot overflow.
inline constexpr int64_t position_limit = int64_t{1} << 40;

inline int64_t clamp_position(int64_t p) { return std::clamp(p, -position_limit, position_limit); }

// The value of an index as a bit position: a signed index (sign-extended
// to 64 bits) may be negative, an unsigned one never is.
inline int64_t index_position(uint64_t v, bool is_signed) {
    if (is_signed)
        return clamp_position(static_cast<int64_t>(v));
    return v > static_cast<uint64_t>(position_limit) ? position_limit : static_cast<int64_t>(v);
}

enum class xop : uint8_t {
    CONST,   // push k
    LOAD,    // push signal (type, pos) = (ty, a)
    NOW,     // push the time in units of k time steps, rounded (k 0 or 1: raw)
    // unary: pop x, push f(x); w result width, w2 operand width
    NEG,
    NOT,
    LNOT,
    RAND,
    ROR,
    RXOR,
    BOOL,
    SEXT,  // sign-extend from w2 bits, keep w
    TRUNC, // keep w bits
    SLICE, // (x >> a) keeping w bits
    // binary: pop r, pop l, push f(l, r); w result width, w2 operand width,
    // flags: signed operands
    ADD,
    SUB,
    MUL,
    DIV,
    MOD,
    POW, // flags: 1 base signed, 2 exponent signed
    AND,
    OR,
    XOR,
    XNOR,
    SHL,
    SHR,
    ASHR,
    EQ,
    NE,
    LT,
    LE,
    GT,
    GE,
    WEQ,  // l == r on the bits of mask k
    WNE,
    LIMP, // !l || r
    LEQV, // !l == !r
    CAT,  // (l << w2) | r, keep w
    REPL, // x repeated k times in pieces of w2 bits, keep w
    // pop index, pop value: the w bits starting at the offset of index + k
    // in a value of w2 bits declared with right bound a (flags: 1 index
    // signed, 2 ascending range); bits outside the value read 0
    SEL,
    JZ,   // pop; jump to a when zero
    JMP,  // jump to a
    CALL, // pop the arguments of function a into its locals, run it, push its result;
          // then copy out its output arguments by call site k (0: none)
    SVF,  // sampled-value function k (0 rose, 1 fell, 2 stable, 3 changed) of stable entry a
};

struct xins {
    xop op = xop::CONST;
    uint8_t w = 64;
    uint8_t w2 = 64;
    uint8_t flags = 0;
    operand_t ty = operand_t::BIT;
    int32_t a = 0;
    uint64_t k = 0;
};

// What one operation makes of its operands: a unary operation of `x`, a
// binary one of `l` and `r`.
uint64_t unary_result(const xins& in, uint64_t x);
uint64_t binary_result(const xins& in, uint64_t l, uint64_t r);

inline bool is_unary(xop op) { return (op >= xop::NEG && op <= xop::SLICE) || op == xop::REPL; }
inline bool is_binary(xop op) {
    return op >= xop::ADD && op <= xop::SEL && op != xop::REPL;
}
inline bool is_leaf(xop op) { return op == xop::CONST || op == xop::LOAD; }

// The commonest expressions are one operation on signals and constants: they
// are evaluated without the stack program.
enum class expr_shape : uint8_t {
    PROGRAM,      // anything else
    LEAF,         // a signal or a constant
    UNARY,        // leaf, unary operation
    BINARY,       // leaf, leaf, binary operation
    BINARY_UNARY, // leaf, leaf, binary operation, unary operation
};

inline expr_shape shape_of(const std::vector<xins>& code) {
    const size_t n = code.size();
    if (n == 0 || !is_leaf(code[0].op))
        return expr_shape::PROGRAM;
    if (n == 1)
        return expr_shape::LEAF;
    if (n == 2)
        return is_unary(code[1].op) ? expr_shape::UNARY : expr_shape::PROGRAM;
    if (n > 4 || !is_leaf(code[1].op) || !is_binary(code[2].op))
        return expr_shape::PROGRAM;
    if (n == 3)
        return expr_shape::BINARY;
    return is_unary(code[3].op) ? expr_shape::BINARY_UNARY : expr_shape::PROGRAM;
}

struct expr_t {
    std::vector<xins> code;
    int max_stack = 1;
    int width = 1;
    bool is_signed = false;
};

} // namespace wsim_kernel
