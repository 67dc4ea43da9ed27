// Expressions: slang's typed expressions become small stack programs that
// the kernel runs when the statement that owns them runs. slang has already
// made every width and sign explicit (conversions around operands), so each
// node maps to one operation at the node's own width.
#include "simulator.h"

#include "plain_names.h"

#include <slang/ast/EvalContext.h>

#include <algorithm>

using namespace slang::ast;
using wsim_kernel::expr_t;
using wsim_kernel::sim_state;
using wsim_kernel::xins;
using wsim_kernel::xop;
using operand_t = wsim_kernel::operand_t;

namespace {

// Deeper expressions are refused rather than risk the stack.
constexpr int max_expression_depth = 2000;

std::string unaryName(UnaryOperator op) {
    switch (op) {
    case UnaryOperator::Preincrement:
    case UnaryOperator::Postincrement: return "increment operator";
    case UnaryOperator::Predecrement:
    case UnaryOperator::Postdecrement: return "decrement operator";
    default: return "unary operator";
    }
}

const char* kindPhrase(ExpressionKind kind) {
    switch (kind) {
    case ExpressionKind::RealLiteral:
    case ExpressionKind::TimeLiteral: return "real value";
    case ExpressionKind::NullLiteral: return "null literal";
    case ExpressionKind::UnboundedLiteral: return "unbounded literal $";
    case ExpressionKind::Inside: return "inside operator";
    case ExpressionKind::Streaming: return "streaming operator";
    case ExpressionKind::Assignment: return "assignment inside an expression";
    case ExpressionKind::MinTypMax: return "min:typ:max expression";
    case ExpressionKind::SimpleAssignmentPattern:
    case ExpressionKind::StructuredAssignmentPattern:
    case ExpressionKind::ReplicatedAssignmentPattern: return "assignment pattern";
    case ExpressionKind::NewArray:
    case ExpressionKind::NewClass:
    case ExpressionKind::CopyClass: return "new expression";
    case ExpressionKind::TaggedUnion: return "tagged union";
    case ExpressionKind::DataType:
    case ExpressionKind::TypeReference: return "type expression";
    case ExpressionKind::ArbitrarySymbol: return "reference to a non-signal";
    case ExpressionKind::ValueRange: return "value range";
    case ExpressionKind::Dist: return "dist expression";
    default: return "expression";
    }
}

} // namespace

// Emits the code of one expression tree.
class ExpressionCompiler {
public:
    explicit ExpressionCompiler(SimulatorBuilder& b) : b_(b) {}

    expr_t finish(int width, bool is_signed) {
        out_.width = width;
        out_.is_signed = is_signed;
        out_.max_stack = std::max(1, max_sp_);
        return std::move(out_);
    }

    // Leaves the value of `e` on the stack; answers whether it is constant.
    bool emit(const Expression& e, int depth = 0);
    // Converts the value on top of the stack from one width and sign to another.
    void convert(int from_width, bool from_signed, int to_width);
    // The index of the least significant selected bit, as a 64-bit integer.
    void emitIndex(const Expression& index);
    // Replaces the value on top of the stack with 1 when it is not zero.
    void truth() { put({xop::BOOL, 1, 1, 0, operand_t::BIT, 0, 0}, 0); }

    static int widthOf(const Expression& e);

private:
    void put(xins in, int stack_change) {
        out_.code.push_back(in);
        sp_ += stack_change;
        max_sp_ = std::max(max_sp_, sp_);
    }
    void putConst(uint64_t k) { put({xop::CONST, 64, 64, 0, operand_t::BIT, 0, k}, 1); }
    // Replaces the code from `start` on with its value.
    void fold(size_t start);
    bool emitNamed(const Expression& e, const Symbol& sym);
    bool emitConversion(const ConversionExpression& c, int depth);
    bool emitUnary(const UnaryExpression& u, int depth);
    bool emitBinary(const BinaryExpression& bin, int depth);
    bool emitConditional(const ConditionalExpression& c, int depth);
    bool emitConcat(const ConcatenationExpression& c, int depth);
    bool emitReplication(const ReplicationExpression& r, int depth);
    bool emitElementSelect(const ElementSelectExpression& s, int depth);
    bool emitRangeSelect(const RangeSelectExpression& s, int depth);
    bool emitMember(const MemberAccessExpression& m, int depth);
    bool emitCall(const CallExpression& call, int depth);
    bool emitLiteral(const Expression& e);

    SimulatorBuilder& b_;
    expr_t out_;
    int sp_ = 0;
    int max_sp_ = 0;
};

int ExpressionCompiler::widthOf(const Expression& e) {
    // $realtime is read as the time in whole units, like $time.
    if (e.kind == ExpressionKind::Call && e.as<CallExpression>().isSystemCall() &&
        e.as<CallExpression>().getSubroutineName() == "$realtime")
        return 64;
    const Type& t = *e.type;
    if (t.isError())
        SimulatorBuilder::unmodelled(SimulatorBuilder::invalidCodePhrase(e, "non-integral value"),
                                     e.sourceRange.start());
    if (t.isFloating())
        SimulatorBuilder::unmodelled("real value", e.sourceRange.start());
    if (t.isString())
        SimulatorBuilder::unmodelled("string variable", e.sourceRange.start());
    if (t.isUnpackedArray())
        SimulatorBuilder::unmodelled("array", e.sourceRange.start());
    if (t.isVoid())
        return 0;
    if (!t.isIntegral())
        SimulatorBuilder::unmodelled("non-integral value", e.sourceRange.start());
    const int width = static_cast<int>(t.getBitWidth());
    if (width > 64)
        SimulatorBuilder::unmodelled("vector wider than 64 bits", e.sourceRange.start());
    return std::max(width, 1);
}

void ExpressionCompiler::fold(size_t start) {
    expr_t piece;
    piece.code.assign(out_.code.begin() + static_cast<std::ptrdiff_t>(start), out_.code.end());
    // Jumps inside the piece are relative to its start.
    for (xins& in : piece.code)
        if (in.op == xop::JZ || in.op == xop::JMP)
            in.a -= static_cast<int32_t>(start);
    piece.max_stack = std::max(1, max_sp_);
    const uint64_t value = sim_state::instance().eval_code(piece);
    out_.code.resize(start);
    // The piece left exactly one value where it started.
    out_.code.push_back({xop::CONST, 64, 64, 0, operand_t::BIT, 0, value});
}

void ExpressionCompiler::convert(int from_width, bool from_signed, int to_width) {
    if (to_width > from_width && from_signed)
        put({xop::SEXT, static_cast<uint8_t>(to_width), static_cast<uint8_t>(from_width), 0,
             operand_t::BIT, 0, 0},
            0);
    else if (to_width < from_width)
        put({xop::TRUNC, static_cast<uint8_t>(to_width), 0, 0, operand_t::BIT, 0, 0}, 0);
}

void ExpressionCompiler::emitIndex(const Expression& index) {
    const int width = widthOf(index);
    emit(index);
    if (index.type->isSigned())
        convert(width, true, 64);
}

bool ExpressionCompiler::emitLiteral(const Expression& e) {
    const int width = widthOf(e);
    switch (e.kind) {
    case ExpressionKind::IntegerLiteral: {
        const slang::SVInt v = e.as<IntegerLiteral>().getValue();
        if (v.hasUnknown())
            SimulatorBuilder::unmodelled("x/z value", e.sourceRange.start());
        putConst(SimulatorBuilder::svintToUint64(v) & wsim_kernel::width_mask(width));
        return true;
    }
    case ExpressionKind::UnbasedUnsizedIntegerLiteral: {
        const slang::logic_t v = e.as<UnbasedUnsizedIntegerLiteral>().getLiteralValue();
        if (v.isUnknown())
            SimulatorBuilder::unmodelled("x/z value", e.sourceRange.start());
        putConst(v.value ? wsim_kernel::width_mask(width) : 0);
        return true;
    }
    case ExpressionKind::StringLiteral: {
        const slang::ConstantValue& v = e.as<StringLiteral>().getIntValue();
        putConst(v.isInteger() ? v.integer().as<uint64_t>().value_or(0) & wsim_kernel::width_mask(width)
                               : 0);
        return true;
    }
    default: break;
    }
    SimulatorBuilder::unmodelled(kindPhrase(e.kind), e.sourceRange.start());
}

bool ExpressionCompiler::emitNamed(const Expression& e, const Symbol& sym) {
    const int width = widthOf(e);
    switch (sym.kind) {
    case SymbolKind::Parameter:
    case SymbolKind::Specparam:
    case SymbolKind::EnumValue: {
        if (sym.kind == SymbolKind::Parameter)
            b_.refuseMistypedParameters(e);
        const slang::ConstantValue& cv =
            sym.kind == SymbolKind::EnumValue ? sym.as<EnumValueSymbol>().getValue()
            : sym.kind == SymbolKind::Parameter ? sym.as<ParameterSymbol>().getValue()
                                                : sym.as<SpecparamSymbol>().getValue();
        if (!cv.isInteger())
            SimulatorBuilder::unmodelled("non-integer parameter", e.sourceRange.start());
        if (cv.integer().hasUnknown())
            SimulatorBuilder::unmodelled("x/z value", e.sourceRange.start());
        uint64_t value = SimulatorBuilder::svintToUint64(cv.integer());
        if (sym.kind == SymbolKind::Parameter)
            if (auto own = b_.parameterValue(sym.as<ParameterSymbol>()))
                value = *own;
        putConst(value & wsim_kernel::width_mask(width));
        return true;
    }
    default: break;
    }
    std::optional<int> slot;
    if (auto it = b_._ctx.locals.find(&sym); it != b_._ctx.locals.end())
        slot = it->second;
    else
        slot = b_.subroutineStorage(sym);
    if (slot) {
        put({xop::LOAD, 64, 64, 0, operand_t::LOCAL, *slot, 0}, 1);
        b_._ctx.locals_named.push_back(*slot);
        return false;
    }
    if (sym.kind == SymbolKind::Variable || sym.kind == SymbolKind::Net) {
        const wsim_kernel::signal_ref sig = b_.signalOf(sym.as<ValueSymbol>());
        put({xop::LOAD, 64, 64, 0, sig.type, sig.pos, 0}, 1);
        return false;
    }
    SimulatorBuilder::unmodelled("reference to " + std::string(slang::ast::toString(sym.kind)),
                                 e.sourceRange.start());
}

bool ExpressionCompiler::emitConversion(const ConversionExpression& c, int depth) {
    const Expression& operand = c.operand();
    const int to = widthOf(c);
    const int from = widthOf(operand);
    const bool is_const = emit(operand, depth + 1);
    // An operand that takes its expression's type is extended as that type
    // says; any other conversion extends as the source is signed.
    const bool extend_signed = c.conversionKind == ConversionKind::Propagated
                                   ? c.type->isSigned()
                                   : operand.type->isSigned();
    convert(from, extend_signed, to);
    return is_const;
}

bool ExpressionCompiler::emitUnary(const UnaryExpression& u, int depth) {
    const int w = widthOf(u);
    const int w2 = widthOf(u.operand());
    xop op = xop::NEG;
    bool negate = false;
    switch (u.op) {
    case UnaryOperator::Plus: return emit(u.operand(), depth + 1);
    case UnaryOperator::Minus: op = xop::NEG; break;
    case UnaryOperator::BitwiseNot: op = xop::NOT; break;
    case UnaryOperator::BitwiseAnd: op = xop::RAND; break;
    case UnaryOperator::BitwiseOr: op = xop::ROR; break;
    case UnaryOperator::BitwiseXor: op = xop::RXOR; break;
    case UnaryOperator::BitwiseNand: op = xop::RAND; negate = true; break;
    case UnaryOperator::BitwiseNor: op = xop::ROR; negate = true; break;
    case UnaryOperator::BitwiseXnor: op = xop::RXOR; negate = true; break;
    case UnaryOperator::LogicalNot: op = xop::LNOT; break;
    default: SimulatorBuilder::unmodelled(unaryName(u.op), u.sourceRange.start());
    }
    const bool is_const = emit(u.operand(), depth + 1);
    put({op, static_cast<uint8_t>(w), static_cast<uint8_t>(w2), 0, operand_t::BIT, 0, 0}, 0);
    if (negate)
        put({xop::LNOT, 1, 1, 0, operand_t::BIT, 0, 0}, 0);
    return is_const;
}

bool ExpressionCompiler::emitBinary(const BinaryExpression& bin, int depth) {
    const int w = widthOf(bin);
    const Expression& l = bin.left();
    const Expression& r = bin.right();
    const int w2 = widthOf(l);
    widthOf(r);
    const bool lsigned = l.type->isSigned();
    const bool rsigned = r.type->isSigned();
    const auto uw = static_cast<uint8_t>(w);
    const auto uw2 = static_cast<uint8_t>(w2);

    if (bin.op == BinaryOperator::LogicalAnd || bin.op == BinaryOperator::LogicalOr) {
        // Short-circuit: the right side runs only when it decides.
        const bool is_and = bin.op == BinaryOperator::LogicalAnd;
        const bool lc = emit(l, depth + 1);
        const size_t jz = out_.code.size();
        put({xop::JZ, 1, 1, 0, operand_t::BIT, 0, 0}, -1);
        bool rc = false;
        size_t jmp = 0;
        if (is_and) {
            rc = emit(r, depth + 1);
            truth();
            jmp = out_.code.size();
            put({xop::JMP, 1, 1, 0, operand_t::BIT, 0, 0}, 0);
            out_.code[jz].a = static_cast<int32_t>(out_.code.size());
            sp_ -= 1;
            putConst(0);
        } else {
            putConst(1);
            jmp = out_.code.size();
            put({xop::JMP, 1, 1, 0, operand_t::BIT, 0, 0}, 0);
            out_.code[jz].a = static_cast<int32_t>(out_.code.size());
            sp_ -= 1;
            rc = emit(r, depth + 1);
            truth();
        }
        out_.code[jmp].a = static_cast<int32_t>(out_.code.size());
        return lc && rc;
    }

    xop op = xop::ADD;
    uint8_t flags = lsigned && rsigned ? 1 : 0;
    uint64_t k = 0;
    switch (bin.op) {
    case BinaryOperator::Add: op = xop::ADD; break;
    case BinaryOperator::Subtract: op = xop::SUB; break;
    case BinaryOperator::Multiply: op = xop::MUL; break;
    case BinaryOperator::Divide: op = xop::DIV; break;
    case BinaryOperator::Mod: op = xop::MOD; break;
    case BinaryOperator::Power:
        op = xop::POW;
        flags = static_cast<uint8_t>((lsigned ? 1 : 0) | (rsigned ? 2 : 0));
        break;
    case BinaryOperator::BinaryAnd: op = xop::AND; break;
    case BinaryOperator::BinaryOr: op = xop::OR; break;
    case BinaryOperator::BinaryXor: op = xop::XOR; break;
    case BinaryOperator::BinaryXnor: op = xop::XNOR; break;
    case BinaryOperator::Equality:
    case BinaryOperator::CaseEquality: op = xop::EQ; break;
    case BinaryOperator::Inequality:
    case BinaryOperator::CaseInequality: op = xop::NE; break;
    case BinaryOperator::WildcardEquality:
    case BinaryOperator::WildcardInequality: {
        // Only a constant pattern can carry wildcard bits; they are left out
        // of the comparison.
        const Expression& rr = r.unwrapImplicitConversions();
        uint64_t value = 0;
        k = wsim_kernel::width_mask(w2);
        if (rr.kind == ExpressionKind::IntegerLiteral) {
            SimulatorBuilder::knownBits(rr.as<IntegerLiteral>().getValue(), value, k);
            k &= wsim_kernel::width_mask(w2);
        } else if (!b_.constantValue(r)) {
            SimulatorBuilder::unmodelled("wildcard equality with a variable pattern",
                                         bin.sourceRange.start());
        } else {
            value = *b_.constantValue(r);
        }
        op = bin.op == BinaryOperator::WildcardEquality ? xop::WEQ : xop::WNE;
        const bool lc = emit(l, depth + 1);
        putConst(value & k);
        put({op, uw, uw2, 0, operand_t::BIT, 0, k}, -1);
        return lc;
    }
    case BinaryOperator::GreaterThanEqual: op = xop::GE; break;
    case BinaryOperator::GreaterThan: op = xop::GT; break;
    case BinaryOperator::LessThanEqual: op = xop::LE; break;
    case BinaryOperator::LessThan: op = xop::LT; break;
    case BinaryOperator::LogicalImplication: op = xop::LIMP; break;
    case BinaryOperator::LogicalEquivalence: op = xop::LEQV; break;
    case BinaryOperator::LogicalShiftLeft:
    case BinaryOperator::ArithmeticShiftLeft: op = xop::SHL; break;
    case BinaryOperator::LogicalShiftRight: op = xop::SHR; break;
    case BinaryOperator::ArithmeticShiftRight:
        op = xop::ASHR;
        flags = lsigned ? 1 : 0;
        break;
    default: SimulatorBuilder::unmodelled("binary operator", bin.sourceRange.start());
    }
    const bool lc = emit(l, depth + 1);
    const bool rc = emit(r, depth + 1);
    // The exponent keeps its own width; its sign must survive the trip.
    if (op == xop::POW && rsigned)
        convert(widthOf(r), true, 64);
    put({op, uw, uw2, flags, operand_t::BIT, 0, k}, -1);
    return lc && rc;
}

bool ExpressionCompiler::emitConditional(const ConditionalExpression& c, int depth) {
    if (c.conditions.size() != 1 || c.conditions[0].pattern)
        SimulatorBuilder::unmodelled("conditional operator with a pattern", c.sourceRange.start());
    widthOf(c);
    const bool cc = emit(*c.conditions[0].expr, depth + 1);
    const size_t jz = out_.code.size();
    put({xop::JZ, 1, 1, 0, operand_t::BIT, 0, 0}, -1);
    const bool lc = emit(c.left(), depth + 1);
    const size_t jmp = out_.code.size();
    put({xop::JMP, 1, 1, 0, operand_t::BIT, 0, 0}, 0);
    out_.code[jz].a = static_cast<int32_t>(out_.code.size());
    sp_ -= 1;
    const bool rc = emit(c.right(), depth + 1);
    out_.code[jmp].a = static_cast<int32_t>(out_.code.size());
    return cc && lc && rc;
}

bool ExpressionCompiler::emitConcat(const ConcatenationExpression& c, int depth) {
    widthOf(c);
    bool all_const = true;
    int total = 0;
    for (const Expression* operand : c.operands()) {
        if (operand->type->getBitWidth() == 0)
            continue; // a replication of zero copies adds nothing
        const int w = widthOf(*operand);
        all_const = emit(*operand, depth + 1) && all_const;
        if (total > 0)
            put({xop::CAT, static_cast<uint8_t>(total + w), static_cast<uint8_t>(w), 0,
                 operand_t::BIT, 0, 0},
                -1);
        total += w;
    }
    if (total == 0)
        putConst(0);
    return all_const;
}

bool ExpressionCompiler::emitReplication(const ReplicationExpression& r, int depth) {
    const int w = widthOf(r);
    const auto count = b_.constantValue(r.count());
    if (!count)
        SimulatorBuilder::unmodelled("replication with a variable count", r.sourceRange.start());
    const Expression& inner = r.concat();
    const int w2 = widthOf(inner);
    const bool is_const = emit(inner, depth + 1);
    put({xop::REPL, static_cast<uint8_t>(w), static_cast<uint8_t>(w2), 0, operand_t::BIT, 0,
         *count},
        0);
    return is_const;
}

namespace {

// The value of a constant index as a bit position, negative where its type
// is signed.
std::optional<int64_t> constantIndex(SimulatorBuilder& b, const Expression& index) {
    const auto k = b.constantValue(index);
    if (!k)
        return std::nullopt;
    const bool is_signed = index.type->isSigned();
    const uint64_t value =
        is_signed ? static_cast<uint64_t>(wsim_kernel::sign_extend(*k, static_cast<int>(index.type->getBitWidth())))
                  : *k;
    return wsim_kernel::index_position(value, is_signed);
}

// The declared range of a vector being selected from.
slang::ConstantRange rangeOf(const Expression& value) {
    const Type& t = value.type->getCanonicalType();
    if (t.isUnpackedArray())
        SimulatorBuilder::unmodelled("array", value.sourceRange.start());
    if (t.isPackedArray() && t.getArrayElementType() &&
        t.getArrayElementType()->getBitWidth() != 1)
        SimulatorBuilder::unmodelled("multidimensional packed array", value.sourceRange.start());
    return value.type->getFixedRange();
}

} // namespace

bool ExpressionCompiler::emitElementSelect(const ElementSelectExpression& s, int depth) {
    const int w = widthOf(s);
    const int w2 = widthOf(s.value());
    const slang::ConstantRange range = rangeOf(s.value());
    const bool vc = emit(s.value(), depth + 1);
    const bool index_signed = s.selector().type->isSigned();
    if (auto index = constantIndex(b_, s.selector())) {
        const int64_t idx = *index;
        const int64_t offset = range.isLittleEndian() ? idx - range.right : range.right - idx;
        if (offset < 0 || offset >= w2) {
            put({xop::SLICE, static_cast<uint8_t>(w), 0, 0, operand_t::BIT, 64, 0}, 0);
            return vc;
        }
        put({xop::SLICE, static_cast<uint8_t>(w), 0, 0, operand_t::BIT,
             static_cast<int32_t>(offset), 0},
            0);
        return vc;
    }
    emitIndex(s.selector());
    put({xop::SEL, static_cast<uint8_t>(w), static_cast<uint8_t>(w2),
         static_cast<uint8_t>((index_signed ? 1 : 0) | (range.isLittleEndian() ? 0 : 2)),
         operand_t::BIT, range.right, 0},
        -1);
    return false;
}

bool ExpressionCompiler::emitRangeSelect(const RangeSelectExpression& s, int depth) {
    const int w = widthOf(s);
    const int w2 = widthOf(s.value());
    const slang::ConstantRange range = rangeOf(s.value());
    const bool desc = range.isLittleEndian();
    const bool vc = emit(s.value(), depth + 1);
    if (s.getSelectionKind() == RangeSelectionKind::Simple) {
        const auto lsb = constantIndex(b_, s.right());
        if (!lsb)
            SimulatorBuilder::unmodelled("part select with variable bounds", s.sourceRange.start());
        const int64_t idx = *lsb;
        const int64_t offset = desc ? idx - range.right : range.right - idx;
        if (offset < 0) {
            putConst(static_cast<uint64_t>(-offset));
            put({xop::SHL, static_cast<uint8_t>(w2), 0, 0, operand_t::BIT, 0, 0}, -1);
            put({xop::TRUNC, static_cast<uint8_t>(w), 0, 0, operand_t::BIT, 0, 0}, 0);
        } else {
            put({xop::SLICE, static_cast<uint8_t>(w), 0, 0, operand_t::BIT,
                 static_cast<int32_t>(std::min<int64_t>(offset, 64)), 0},
                0);
        }
        return vc;
    }
    // base +: width and base -: width.
    const bool up = s.getSelectionKind() == RangeSelectionKind::IndexedUp;
    int64_t adjust = 0;
    if (desc)
        adjust = up ? 0 : -(w - 1);
    else
        adjust = up ? (w - 1) : 0;
    emitIndex(s.left());
    put({xop::SEL, static_cast<uint8_t>(w), static_cast<uint8_t>(w2),
         static_cast<uint8_t>((s.left().type->isSigned() ? 1 : 0) | (desc ? 0 : 2)), operand_t::BIT,
         range.right, static_cast<uint64_t>(adjust)},
        -1);
    return false;
}

bool ExpressionCompiler::emitMember(const MemberAccessExpression& m, int depth) {
    const int w = widthOf(m);
    const Type& t = m.value().type->getCanonicalType();
    if (!t.isIntegral() || m.member.kind != SymbolKind::Field)
        SimulatorBuilder::unmodelled("member of an unpacked structure", m.sourceRange.start());
    widthOf(m.value());
    const bool vc = emit(m.value(), depth + 1);
    const auto offset = static_cast<int32_t>(m.member.as<FieldSymbol>().bitOffset);
    put({xop::SLICE, static_cast<uint8_t>(w), 0, 0, operand_t::BIT, offset, 0}, 0);
    return vc;
}

bool ExpressionCompiler::emitCall(const CallExpression& call, int depth) {
    const slang::SourceLocation where = call.sourceRange.start();
    if (call.isSystemCall()) {
        const std::string name(call.getSubroutineName());
        const auto args = call.arguments();
        if (name == "$signed" || name == "$unsigned") {
            if (args.empty())
                SimulatorBuilder::unmodelled("system task " + name, where);
            const int w = widthOf(call);
            const int from = widthOf(*args[0]);
            const bool c = emit(*args[0], depth + 1);
            convert(from, args[0]->type->isSigned(), w);
            return c;
        }
        if (name == "$time" || name == "$stime" || name == "$realtime") {
            const slang::ast::Scope* scope =
                std::get<CallExpression::SystemCallInfo>(call.subroutine).scope;
            const uint64_t per_unit = scope ? b_.ticksPerUnit(*scope) : 1;
            put({xop::NOW, 64, 64, 0, operand_t::BIT, 0, per_unit}, 1);
            if (name == "$stime")
                put({xop::TRUNC, 32, 0, 0, operand_t::BIT, 0, 0}, 0);
            return false;
        }
        if (isSampledValueFunction(name)) {
            // In procedural code the clock is the procedure's, and only
            // where no other wait came between.
            const bool procedural = !b_._ctx.in_property;
            if (procedural &&
                (!b_._ctx.sample_group || b_._blocking_waits != b_._ctx.sample_waits))
                SimulatorBuilder::unmodelled(name + " without a clock", where);
            if (args.empty())
                SimulatorBuilder::unmodelled("system task " + name, where);
            const Expression& arg = args[0]->unwrapImplicitConversions();
            const Symbol* sym = arg.getSymbolReference();
            if (!sym ||
                (arg.kind != ExpressionKind::NamedValue &&
                 arg.kind != ExpressionKind::HierarchicalValue) ||
                (sym->kind != SymbolKind::Variable && sym->kind != SymbolKind::Net))
                SimulatorBuilder::unmodelled("system task " + name, where);
            const wsim_kernel::signal_ref sig = b_.signalOf(sym->as<ValueSymbol>());
            wsim_kernel::stable_entry sampled(sig.pos, sig.type);
            sampled.procedural = procedural;
            const int entry = sim_state::instance().add_stable_entry(sampled);
            (procedural ? *b_._ctx.sample_group : b_._ctx.stable_deps).push_back(entry);
            const uint64_t kind = name == "$rose" ? 0 : name == "$fell" ? 1 : name == "$stable" ? 2 : 3;
            put({xop::SVF, 1, 1, 0, operand_t::BIT, entry, kind}, 1);
            return false;
        }
        if (name == "$isunknown") {
            // Two-valued signals are never unknown.
            putConst(0);
            return true;
        }
        // Anything else must be a constant the compiler can work out.
        if (auto v = b_.constantValue(call)) {
            putConst(*v & wsim_kernel::width_mask(widthOf(call)));
            return true;
        }
        SimulatorBuilder::unmodelled(builtInCallPhrase(name), where);
    }
    const SubroutineSymbol* sub = std::get<const SubroutineSymbol*>(call.subroutine);
    if (sub->subroutineKind != SubroutineKind::Function)
        SimulatorBuilder::unmodelled("task call inside an expression", where);
    int fn = 0;
    try {
        fn = b_.compileFunction(*sub);
    } catch (const Unmodelled& u) {
        throw Unmodelled{u.construct, where};
    }
    const auto formals = sub->getArguments();
    const auto args = call.arguments();
    auto& state = sim_state::instance();
    std::vector<wsim_kernel::call_out> outs;
    for (size_t i = 0; i < args.size() && i < formals.size(); ++i) {
        const FormalArgumentSymbol& formal = *formals[i];
        const int slot = state.functions(fn).args[i];
        // An output or inout argument arrives as an assignment to its actual.
        const Expression& actual = args[i]->kind == ExpressionKind::Assignment
                                       ? args[i]->as<AssignmentExpression>().left()
                                       : *args[i];
        if (formal.direction == ArgumentDirection::Out) {
            // An automatic function's output starts from 0; a static one's
            // keeps what the last call left.
            if (formal.lifetime == VariableLifetime::Static)
                put({xop::LOAD, 64, 64, 0, operand_t::LOCAL, slot, 0}, 1);
            else
                putConst(0);
        } else {
            const int to = static_cast<int>(formal.getType().getBitWidth());
            const int from = widthOf(actual);
            emit(actual, depth + 1);
            convert(from, actual.type->isSigned(), std::min(to, 64));
        }
        if (formal.direction != ArgumentDirection::In)
            outs.push_back(b_.argumentCopyOut(formal, actual, slot));
    }
    const int argc = static_cast<int>(std::min(args.size(), formals.size()));
    const uint64_t site = outs.empty() ? 0 : static_cast<uint64_t>(state.add_call_outs(std::move(outs)));
    put({xop::CALL, 64, 64, 0, operand_t::BIT, fn, site}, 1 - argc);
    return false;
}

bool ExpressionCompiler::emit(const Expression& e, int depth) {
    if (depth > max_expression_depth)
        SimulatorBuilder::unmodelled("expression nested more than 2000 deep", e.sourceRange.start());
    const size_t start = out_.code.size();
    bool is_const = false;
    switch (e.kind) {
    case ExpressionKind::IntegerLiteral:
    case ExpressionKind::UnbasedUnsizedIntegerLiteral:
    case ExpressionKind::StringLiteral: return emitLiteral(e);
    case ExpressionKind::NamedValue:
    case ExpressionKind::HierarchicalValue:
        return emitNamed(e, e.as<ValueExpressionBase>().symbol);
    case ExpressionKind::LValueReference:
        if (!b_._ctx.compound_target)
            SimulatorBuilder::unmodelled("expression", e.sourceRange.start());
        return emit(*b_._ctx.compound_target, depth + 1);
    case ExpressionKind::Conversion: is_const = emitConversion(e.as<ConversionExpression>(), depth); break;
    case ExpressionKind::UnaryOp: is_const = emitUnary(e.as<UnaryExpression>(), depth); break;
    case ExpressionKind::BinaryOp: is_const = emitBinary(e.as<BinaryExpression>(), depth); break;
    case ExpressionKind::ConditionalOp:
        is_const = emitConditional(e.as<ConditionalExpression>(), depth);
        break;
    case ExpressionKind::Concatenation:
        is_const = emitConcat(e.as<ConcatenationExpression>(), depth);
        break;
    case ExpressionKind::Replication:
        is_const = emitReplication(e.as<ReplicationExpression>(), depth);
        break;
    case ExpressionKind::ElementSelect:
        is_const = emitElementSelect(e.as<ElementSelectExpression>(), depth);
        break;
    case ExpressionKind::RangeSelect:
        is_const = emitRangeSelect(e.as<RangeSelectExpression>(), depth);
        break;
    case ExpressionKind::MemberAccess: is_const = emitMember(e.as<MemberAccessExpression>(), depth); break;
    case ExpressionKind::Call: is_const = emitCall(e.as<CallExpression>(), depth); break;
    case ExpressionKind::Invalid:
        SimulatorBuilder::unmodelled(SimulatorBuilder::invalidCodePhrase(e, "expression"),
                                     e.sourceRange.start());
    default: SimulatorBuilder::unmodelled(kindPhrase(e.kind), e.sourceRange.start());
    }
    if (is_const && out_.code.size() - start > 1)
        fold(start);
    return is_const;
}

// ---- The builder's side ----------------------------------------------------

int SimulatorBuilder::compileExpression(const Expression& e) {
    ExpressionCompiler c(*this);
    const int width = ExpressionCompiler::widthOf(e);
    c.emit(e);
    const int index = sim_state::instance().add_expr(c.finish(width, e.type->isSigned()));
    _ctx.exprs_used.push_back(index);
    return index;
}

int SimulatorBuilder::compileTruth(const Expression& e) {
    ExpressionCompiler c(*this);
    c.emit(e);
    c.truth();
    const int index = sim_state::instance().add_expr(c.finish(1, false));
    _ctx.exprs_used.push_back(index);
    return index;
}

int SimulatorBuilder::constantExpression(uint64_t value, int width) {
    expr_t k;
    k.code.push_back(
        {xop::CONST, 64, 64, 0, operand_t::BIT, 0, value & wsim_kernel::width_mask(width)});
    k.width = width;
    return sim_state::instance().add_expr(std::move(k));
}

int SimulatorBuilder::compileConverted(const Expression& e, const Type& target) {
    ExpressionCompiler c(*this);
    const int from = ExpressionCompiler::widthOf(e);
    const int to = std::max(1, static_cast<int>(target.getBitWidth()));
    if (to > 64)
        unmodelled("vector wider than 64 bits", e.sourceRange.start());
    c.emit(e);
    c.convert(from, e.type->isSigned(), to);
    const int index = sim_state::instance().add_expr(c.finish(to, target.isSigned()));
    _ctx.exprs_used.push_back(index);
    return index;
}

std::optional<uint64_t> SimulatorBuilder::constantValue(const Expression& e) {
    const Scope* scope = _ctx.scope;
    if (!scope)
        return std::nullopt;
    refuseMistypedParameters(e);
    EvalContext ctx(ASTContext(*scope, LookupLocation::max));
    const slang::ConstantValue cv = e.eval(ctx);
    if (!cv.isInteger() || cv.integer().hasUnknown())
        return std::nullopt;
    const auto width = e.type ? e.type->getBitWidth() : 64;
    return svintToUint64(cv.integer()) & wsim_kernel::width_mask(static_cast<int>(std::min(width, 64u)));
}

std::vector<wsim_kernel::signal_ref> SimulatorBuilder::readsOf(int expr,
                                                               bool through_functions) const {
    return sim_state::instance().expression_reads(expr, through_functions);
}

// ---- Targets ---------------------------------------------------------------

namespace {

const Symbol* targetSymbol(const Expression& e) {
    if (e.kind == ExpressionKind::NamedValue || e.kind == ExpressionKind::HierarchicalValue)
        return &e.as<ValueExpressionBase>().symbol;
    return nullptr;
}

} // namespace

int SimulatorBuilder::compileLValue(const Expression& target) {
    wsim_kernel::lvalue_t lv;
    std::vector<const Expression*> pieces;
    const Expression& t = target.unwrapImplicitConversions();
    if (t.kind == ExpressionKind::Concatenation) {
        for (const Expression* operand : t.as<ConcatenationExpression>().operands())
            pieces.push_back(&operand->unwrapImplicitConversions());
    } else {
        pieces.push_back(&t);
    }
    lv.width = 0;
    for (const Expression* piece : pieces) {
        wsim_kernel::lvalue_part part;
        // A target is a signal, or a select of it or of fields of it: the
        // select's positions are counted in the selected value's own range,
        // which starts `field_offset` bits up in the signal.
        const Expression* selected = nullptr;
        if (piece->kind == ExpressionKind::ElementSelect)
            selected = &piece->as<ElementSelectExpression>().value();
        else if (piece->kind == ExpressionKind::RangeSelect)
            selected = &piece->as<RangeSelectExpression>().value();
        const Expression* base = selected ? selected : piece;
        int64_t field_offset = 0;
        while (base->kind == ExpressionKind::MemberAccess) {
            const auto& m = base->as<MemberAccessExpression>();
            if (m.member.kind != SymbolKind::Field || !m.value().type->isIntegral())
                unmodelled("member of an unpacked structure", piece->sourceRange.start());
            field_offset += static_cast<int64_t>(m.member.as<FieldSymbol>().bitOffset);
            base = &m.value();
        }
        const Symbol* sym = targetSymbol(*base);
        if (!sym)
            unmodelled("assignment to this kind of target", piece->sourceRange.start());
        if (auto it = _ctx.locals.find(sym); it != _ctx.locals.end()) {
            part.sig = {operand_t::LOCAL, it->second};
        } else if (auto slot = subroutineStorage(*sym)) {
            part.sig = {operand_t::LOCAL, *slot};
        } else if (sym->kind == SymbolKind::Variable || sym->kind == SymbolKind::Net) {
            part.sig = signalOf(sym->as<ValueSymbol>());
        } else {
            unmodelled("assignment to this kind of target", piece->sourceRange.start());
        }
        part.sig_width = ExpressionCompiler::widthOf(*base);
        part.width = ExpressionCompiler::widthOf(*piece);
        if (piece != base) {
            part.whole = false;
            if (!selected) {
                // A field: a constant slice.
                part.descending = true;
                part.right = 0;
                part.index_adjust = field_offset;
            } else {
                const slang::ConstantRange range = rangeOf(*selected);
                part.descending = range.isLittleEndian();
                part.right = part.descending ? range.right - field_offset : range.right + field_offset;
                const Expression* index = nullptr;
                int64_t adjust = 0;
                if (piece->kind == ExpressionKind::ElementSelect) {
                    index = &piece->as<ElementSelectExpression>().selector();
                } else {
                    const auto& rs = piece->as<RangeSelectExpression>();
                    if (rs.getSelectionKind() == RangeSelectionKind::Simple) {
                        index = &rs.right();
                    } else {
                        const bool up = rs.getSelectionKind() == RangeSelectionKind::IndexedUp;
                        index = &rs.left();
                        if (part.descending)
                            adjust = up ? 0 : -(part.width - 1);
                        else
                            adjust = up ? (part.width - 1) : 0;
                    }
                }
                part.index_adjust = adjust;
                part.index_signed = index->type->isSigned();
                if (auto k = constantIndex(*this, *index)) {
                    part.index_adjust += *k;
                } else if (piece->kind == ExpressionKind::RangeSelect &&
                           piece->as<RangeSelectExpression>().getSelectionKind() ==
                               RangeSelectionKind::Simple) {
                    unmodelled("part select with variable bounds", piece->sourceRange.start());
                } else {
                    ExpressionCompiler c(*this);
                    c.emitIndex(*index);
                    part.index_expr = sim_state::instance().add_expr(c.finish(64, true));
                    _ctx.exprs_used.push_back(part.index_expr);
                }
            }
        }
        lv.width += part.width;
        lv.parts.push_back(part);
    }
    if (lv.width > 64)
        unmodelled("vector wider than 64 bits", target.sourceRange.start());
    return sim_state::instance().add_lvalue(std::move(lv));
}

// ---- Signals ---------------------------------------------------------------

std::string SimulatorBuilder::signalName(const ValueSymbol& sym) const {
    return nameBelowTop(sym.getHierarchicalPath());
}

std::string SimulatorBuilder::ownName(const std::string& path, const Symbol& owner) {
    // A variable of an unnamed block can share its path with one of the
    // module, a second top's signal with one below the first top: each gets
    // a name of its own rather than the other's cell.
    std::string name = path;
    for (int n = 2; _signal_owners.count(name) && _signal_owners[name] != &owner; ++n)
        name = path + "#" + std::to_string(n);
    _signal_owners[name] = &owner;
    return name;
}

wsim_kernel::signal_ref SimulatorBuilder::signalOf(const ValueSymbol& sym) {
    if (auto it = _signals.find(&sym); it != _signals.end())
        return it->second;
    const Type& type = sym.getType();
    // Where it is used says more than where it is declared: no place here.
    if (!type.isIntegral())
        unmodelled(type.isUnpackedArray() ? "array"
                   : type.isFloating()    ? "real value"
                   : type.isString()      ? "string variable"
                                          : "non-integral value",
                   slang::SourceLocation());
    // Its declaration says why; every use is left out with it.
    if (const auto reasons = leftOutReasons(sym); !reasons.empty())
        unmodelled(reasons.front(), slang::SourceLocation());
    const int width = static_cast<int>(type.getBitWidth());
    const wsim_kernel::signal_ref sig =
        registerSignal(ownName(signalName(sym), sym), width, getLineNumber(sym.location), false,
                       sym.kind == SymbolKind::Variable);
    _signals[&sym] = sig;
    return sig;
}
