#pragma once
// Postfix formulas that turn a questionnaire answer into points, e.g.
// "f1 2 ^ 4 *" (four times the square of variable f1). Tokens are separated
// by blanks; the first character of a token says what it is:
//   * + - / ^   binary operators ("-" alone; "-2" is a negative number)
//   s           square root of the top of the stack
//   f...        the variable named by the whole token
//   other       a decimal number (its longest leading decimal part; else 0)
// + - * / compute in float; ^ and s in double, narrowed to float.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vrok {

using FormulaVariables = std::map<std::u16string, float>;

// The value on top of the stack after the last token, or nothing when a
// token needs more operands than the stack holds or the formula leaves the
// stack empty. Variables the map lacks read as 0 and are added to the map,
// but only when the formula succeeds; a failed formula leaves it unchanged.
std::optional<float> TryEvaluateFormula(std::u16string_view formula, FormulaVariables& variables);

// TryEvaluateFormula, with 0 for a formula that fails.
float EvaluateFormula(std::u16string_view formula, FormulaVariables& variables);

}  // namespace vrok
