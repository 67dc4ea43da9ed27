// Where slang types a parameter otherwise than the language does: an untyped
// parameter takes the type of the value it ends with, but slang makes an
// unbased literal ('1) that alone gives that value 32 bits wide, and keeps
// the declared initializer's type under a defparam.
#pragma once

#include <memory>
#include <unordered_map>

namespace slang::ast {
class DefParamSymbol;
class ParameterSymbol;
class RootSymbol;
}
namespace slang::syntax {
class SyntaxTree;
}

// Declared without a data type or a range (`parameter P = 4`, `parameter
// signed S = -1`).
bool isUntypedParameter(const slang::ast::ParameterSymbol& param);

// Whether slang gives the parameter a defparam sets another type than the
// language does: it keeps the declared type, where an untyped parameter
// takes the defparam's value's own.
bool defparamRetypes(const slang::ast::DefParamSymbol& defparam,
                     const slang::ast::ParameterSymbol& param);

// Every parameter a defparam of the design sets, with that defparam.
using DefparamTargets =
    std::unordered_map<const slang::ast::ParameterSymbol*, const slang::ast::DefParamSymbol*>;
DefparamTargets defparamTargets(const slang::ast::RootSymbol& root);

// `tree` with every unbased literal ('0, '1, 'x, 'z) that alone gives an
// untyped parameter of `root` its value, in its declaration or in an
// instance's override, written as the one-bit literal it stands for; `tree`
// itself when there is none. The copy shares `tree`'s sources and locations.
std::shared_ptr<slang::syntax::SyntaxTree>
withSizedParameterLiterals(const slang::ast::RootSymbol& root,
                           const std::shared_ptr<slang::syntax::SyntaxTree>& tree);
