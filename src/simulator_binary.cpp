// Binary operators on the right of vector assignments. Each operation becomes
// a hidden temporary that a continuous driver keeps equal to its value; the
// statement copies the temporary into the target. Values are 64-bit.
#include "simulator.h"

using namespace slang::ast;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

bool isArithmetic(BinaryOperator op) {
    switch (op) {
    case BinaryOperator::Add:
    case BinaryOperator::Subtract:
    case BinaryOperator::Multiply:
    case BinaryOperator::Divide:
    case BinaryOperator::Mod: return true;
    default: return false;
    }
}

bool isShift(BinaryOperator op) {
    switch (op) {
    case BinaryOperator::LogicalShiftLeft:
    case BinaryOperator::LogicalShiftRight:
    case BinaryOperator::ArithmeticShiftLeft:
    case BinaryOperator::ArithmeticShiftRight: return true;
    default: return false;
    }
}

// The symbol whose scope evaluates a constant beside this operand.
const Symbol* scopeSymbolOf(const Expression& expr) {
    const Expression& e = expr.unwrapImplicitConversions();
    if (e.kind == ExpressionKind::Call && !e.as<CallExpression>().arguments().empty())
        return e.as<CallExpression>().arguments()[0]->getSymbolReference();
    return e.getSymbolReference();
}

// A constant operand: a literal (0 when it does not fit 64 bits) or an
// expression that evaluates to a constant, such as `-2`, `N` or `N - 1`.
std::optional<uint64_t> constantOperand(const Expression& expr, const Expression& beside) {
    const Expression& e = expr.unwrapImplicitConversions();
    if (e.kind == ExpressionKind::IntegerLiteral)
        return e.as<IntegerLiteral>().getValue().as<uint64_t>().value_or(0);
    return SimulatorBuilder::evalConstant(e, scopeSymbolOf(beside));
}

// How one operand is read at run time: sign-extended from its own width to
// 64 bits, or as it is stored.
struct OperandRead {
    int pos = 0;
    operand_t type = operand_t::BIT;
    int width = 1;
    bool sign_extend = false;

    uint64_t operator()() const {
        if (sign_extend)
            return static_cast<uint64_t>(SimulatorBuilder::readVecSignalSigned(pos, type, width));
        return kernel().read_signal_val(pos, type);
    }
    std::string identity() const {
        return std::to_string(pos) + "." + std::to_string(static_cast<int>(type)) +
               (sign_extend ? "s" + std::to_string(width) : "u");
    }
};

// A registered whole signal (possibly under $signed or $unsigned), read
// sign-extended when the operation is signed.
std::optional<OperandRead> signalRead(SimulatorBuilder& b, const Expression& e, bool is_signed) {
    std::string name;
    OperandRead read;
    if (!b.signalOperand(e, name, read.pos, read.type, read.width))
        return std::nullopt;
    read.sign_extend = is_signed;
    return read;
}

// l / r and l % r. A zero divisor gives 0. A signed divisor of -1 negates
// without dividing: the most negative value divided by -1 traps.
uint64_t divide(uint64_t l, uint64_t r, bool is_signed, bool remainder) {
    if (r == 0)
        return 0;
    if (!is_signed)
        return remainder ? l % r : l / r;
    const auto sr = static_cast<int64_t>(r);
    if (sr == -1)
        return remainder ? 0 : 0 - l;
    const auto sl = static_cast<int64_t>(l);
    return static_cast<uint64_t>(remainder ? sl % sr : sl / sr);
}

uint64_t arithmetic(BinaryOperator op, uint64_t l, uint64_t r, bool is_signed) {
    switch (op) {
    case BinaryOperator::Subtract: return l - r;
    case BinaryOperator::Multiply: return l * r;
    case BinaryOperator::Divide: return divide(l, r, is_signed, false);
    case BinaryOperator::Mod: return divide(l, r, is_signed, true);
    default: return l + r;
    }
}

// base ** exponent modulo 2^64, by repeated squaring.
uint64_t power(uint64_t base, uint64_t exponent) {
    uint64_t result = 1;
    while (exponent != 0) {
        if (exponent & 1)
            result *= base;
        base *= base;
        exponent >>= 1;
    }
    return result;
}

// A negative exponent leaves only 1 and -1 with a whole power.
uint64_t powerOfNegativeExponent(uint64_t base, uint64_t exponent) {
    if (base == 1)
        return 1;
    if (base == ~uint64_t{0})
        return (exponent & 1) ? base : 1;
    return 0;
}

uint64_t shift(uint64_t v, uint64_t amount, bool left, bool sign_fill) {
    if (left)
        return amount >= 64 ? 0 : v << amount;
    if (sign_fill)
        return static_cast<uint64_t>(static_cast<int64_t>(v) >> (amount >= 64 ? 63 : amount));
    return amount >= 64 ? 0 : v >> amount;
}

// The operators no other form takes, as SystemVerilog gives them in 64 bits;
// `is_signed` tells a signed comparison, division or power.
struct GeneralOp {
    BinaryOperator op;
    bool is_signed = false;
    bool signed_exponent = false;

    uint64_t operator()(uint64_t l, uint64_t r) const {
        const auto sl = static_cast<int64_t>(l);
        const auto sr = static_cast<int64_t>(r);
        switch (op) {
        case BinaryOperator::Add:
        case BinaryOperator::Subtract:
        case BinaryOperator::Multiply:
        case BinaryOperator::Divide:
        case BinaryOperator::Mod: return arithmetic(op, l, r, is_signed);
        case BinaryOperator::BinaryAnd: return l & r;
        case BinaryOperator::BinaryOr: return l | r;
        case BinaryOperator::BinaryXor: return l ^ r;
        case BinaryOperator::BinaryXnor: return ~(l ^ r);
        case BinaryOperator::LogicalAnd: return l != 0 && r != 0;
        case BinaryOperator::LogicalOr: return l != 0 || r != 0;
        case BinaryOperator::LogicalImplication: return l == 0 || r != 0;
        case BinaryOperator::LogicalEquivalence: return (l != 0) == (r != 0);
        case BinaryOperator::Equality:
        case BinaryOperator::CaseEquality:
        case BinaryOperator::WildcardEquality: return l == r;
        case BinaryOperator::Inequality:
        case BinaryOperator::CaseInequality:
        case BinaryOperator::WildcardInequality: return l != r;
        case BinaryOperator::GreaterThan: return is_signed ? sl > sr : l > r;
        case BinaryOperator::GreaterThanEqual: return is_signed ? sl >= sr : l >= r;
        case BinaryOperator::LessThan: return is_signed ? sl < sr : l < r;
        case BinaryOperator::LessThanEqual: return is_signed ? sl <= sr : l <= r;
        case BinaryOperator::Power:
            return signed_exponent && sr < 0 ? powerOfNegativeExponent(l, r) : power(l, r);
        default: return 0;
        }
    }
};

int bitWidthOf(const Expression& e) {
    return e.type ? static_cast<int>(e.type->getBitWidth()) : 0;
}

bool isSignedType(const Expression& e) { return e.type && e.type->isSigned(); }

class BinaryBuilder {
public:
    BinaryBuilder(SimulatorBuilder& b, const BinaryExpression& bin,
                  const SimulatorBuilder::VectorAssign& va)
        : b_(b), bin_(bin), va_(va), op_(bin.op), line_(std::to_string(va.actual_line)) {}

    bool build() {
        if (isShift(op_))
            return shiftByConstant();
        if (isArithmetic(op_) && (signalWithSignal() || signalWithConstant()))
            return true;
        return general();
    }

private:
    // A temporary of the target's width driven by `compute` (masked here),
    // and the statement copying it into the target.
    template <typename F>
    bool emitTemporary(const std::string& suffix, const std::string& identity, F compute) {
        const uint64_t mask = va_.mask;
        const std::string name =
            b_.temporaryNameFor(va_.lhs_name + suffix + line_, identity);
        const int temp = b_.drivenTemporary(name, va_.width, va_.actual_line, va_.file_id,
                                            [compute, mask] { return compute() & mask; });
        return b_.emitVec(va_, temp, operand_t::LONG);
    }

    std::string opText() const { return std::to_string(static_cast<int>(op_)); }

    // An operation is signed only when both of its operands are, whether
    // declared so or cast; its type says which.
    bool isSigned() const { return isSignedType(bin_); }

    bool signalWithSignal() {
        const bool is_signed = isSigned();
        auto l = signalRead(b_, bin_.left(), is_signed);
        auto r = signalRead(b_, bin_.right(), is_signed);
        if (!l || !r)
            return false;
        const BinaryOperator op = op_;
        return emitTemporary("_ss_arith_ca_", opText() + ":" + l->identity() + ":" + r->identity(),
                             [op, l = *l, r = *r, is_signed] {
                                 return arithmetic(op, l(), r(), is_signed);
                             });
    }

    bool signalWithConstant() {
        const Expression& left = bin_.left();
        const Expression& right = bin_.right();
        bool signal_left = true;
        auto k = constantOperand(right, left);
        if (!k) {
            k = constantOperand(left, right);
            signal_left = false;
        }
        if (!k)
            return false;
        const bool is_signed = isSigned();
        auto s = signalRead(b_, signal_left ? left : right, is_signed);
        if (!s)
            return false;
        const BinaryOperator op = op_;
        const std::string identity = opText() + ":" + s->identity() + ":" + std::to_string(*k) +
                                     (signal_left ? ":l" : ":r");
        return emitTemporary("_arith_ca_", identity,
                             [op, s = *s, k = *k, signal_left, is_signed] {
                                 const uint64_t v = s();
                                 return signal_left ? arithmetic(op, v, k, is_signed)
                                                    : arithmetic(op, k, v, is_signed);
                             });
    }

    bool shiftByConstant() {
        // Only >>> of a signed operand fills with its sign bit.
        const bool sign_fill = op_ == BinaryOperator::ArithmeticShiftRight && isSigned();
        auto s = signalRead(b_, bin_.left(), sign_fill);
        if (!s)
            return false;
        const auto amount = constantOperand(bin_.right(), bin_.left());
        if (!amount)
            return false;
        const bool left = op_ == BinaryOperator::LogicalShiftLeft ||
                          op_ == BinaryOperator::ArithmeticShiftLeft;
        const std::string identity = opText() + ":" + s->identity() + ":" + std::to_string(*amount);
        return emitTemporary("_shift_ca_", identity, [s = *s, amount = *amount, left, sign_fill] {
            return shift(s(), amount, left, sign_fill);
        });
    }

    // Either operand is a whole signal, or a one-bit value the builder places
    // (a negation, a bit select, a nested condition). A wider operation is
    // not reduced to one bit: that would give a wrong value.
    std::optional<OperandRead> generalOperand(const Expression& e) {
        const Expression& inner = e.unwrapImplicitConversions();
        if (!SimulatorBuilder::isSignalReference(inner) && bitWidthOf(inner) != 1)
            return std::nullopt;
        OperandRead read;
        read.pos = b_.resolveScalarOperand(e, va_.file_id, va_.actual_line);
        if (read.pos == 0)
            return std::nullopt;
        read.type = b_.scalarOperandType(e);
        read.width = bitWidthOf(inner);
        // The conversion around the operand tells whether the operation
        // treats it as signed.
        read.sign_extend = isSignedType(e);
        return read;
    }

    bool general() {
        auto l = generalOperand(bin_.left());
        auto r = generalOperand(bin_.right());
        if (!l || !r)
            return false;
        // A comparison is signed when both sides are; a power's base takes the
        // result's signedness and its exponent (self-determined) its own.
        const bool is_signed = op_ == BinaryOperator::Power ? l->sign_extend
                                                            : l->sign_extend && r->sign_extend;
        const GeneralOp fn{op_, is_signed, r->sign_extend};
        const std::string identity = opText() + ":" + l->identity() + ":" + r->identity();
        return emitTemporary("_vecbin_ca_", identity,
                             [fn, l = *l, r = *r] { return fn(l(), r()); });
    }

    SimulatorBuilder& b_;
    const BinaryExpression& bin_;
    const SimulatorBuilder::VectorAssign& va_;
    BinaryOperator op_;
    std::string line_;
};

} // namespace

std::string SimulatorBuilder::temporaryNameFor(const std::string& base,
                                               const std::string& identity) {
    std::string name = base;
    for (int n = 2; isRegistered(name) && !created_assigns.count(name + "_RHS_" + identity); ++n)
        name = base + "_" + std::to_string(n);
    created_assigns.insert(name + "_RHS_" + identity);
    return name;
}

bool SimulatorBuilder::processVectorBinaryOp(const BinaryExpression& bin, const VectorAssign& va) {
    return BinaryBuilder(*this, bin, va).build();
}
