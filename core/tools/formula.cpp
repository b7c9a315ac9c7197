#include "core/tools/formula.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace vrok {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The longest leading decimal number of the token: sign, digits with an
// optional point, an exponent only when digits follow it. Nothing gives 0.
double ParseLeadingNumber(std::u16string_view token) {
  std::string ascii;
  std::size_t i = 0;
  const auto take = [&] { ascii += static_cast<char>(token[i++]); };
  bool negative = false;
  if (i < token.size() && (token[i] == u'+' || token[i] == u'-')) negative = token[i++] == u'-';
  std::size_t digits = 0;
  for (; i < token.size() && IsDigit(token[i]); ++digits) take();
  if (i < token.size() && token[i] == u'.') {
    take();
    for (; i < token.size() && IsDigit(token[i]); ++digits) take();
  }
  if (digits == 0) return 0.0;
  if (i < token.size() && (token[i] == u'e' || token[i] == u'E')) {
    std::size_t j = i + 1;
    if (j < token.size() && (token[j] == u'+' || token[j] == u'-')) ++j;
    if (j < token.size() && IsDigit(token[j])) {
      while (i < j) take();
      while (i < token.size() && IsDigit(token[i])) take();
    }
  }
  double value = 0.0;
  const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Too large becomes infinity, too small zero, as the C library does.
    const auto e = ascii.find_first_of("eE");
    const bool tiny = e != std::string::npos && ascii[e + 1] == '-';
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

}  // namespace

std::optional<float> TryEvaluateFormula(std::u16string_view formula, FormulaVariables& variables) {
  std::vector<float> stack;
  std::vector<std::u16string> added;  // variables to insert once the formula succeeds
  const auto pop = [&](float& out) {
    if (stack.empty()) return false;
    out = stack.back();
    stack.pop_back();
    return true;
  };

  std::size_t pos = 0;
  while (pos < formula.size()) {
    std::size_t space = formula.find(u' ', pos);
    if (space == std::u16string_view::npos) space = formula.size();
    const std::u16string_view token = formula.substr(pos, space - pos);
    pos = space + 1;
    if (token.empty()) continue;  // a doubled or trailing blank separates nothing

    float a = 0, b = 0;
    switch (token[0]) {
      case u'*':
      case u'+':
      case u'/':
      case u'^':
        if (!pop(a) || !pop(b)) return std::nullopt;
        switch (token[0]) {
          case u'*':
            stack.push_back(b * a);
            break;
          case u'+':
            stack.push_back(b + a);
            break;
          case u'/':
            stack.push_back(b / a);
            break;
          default:
            stack.push_back(static_cast<float>(std::pow(double{b}, double{a})));
        }
        break;
      case u'-':
        if (token.size() == 1) {
          if (!pop(a) || !pop(b)) return std::nullopt;
          stack.push_back(b - a);
        } else {
          stack.push_back(static_cast<float>(-ParseLeadingNumber(token.substr(1))));
        }
        break;
      case u's':
        if (!pop(a)) return std::nullopt;
        stack.push_back(static_cast<float>(std::sqrt(double{a})));
        break;
      case u'f': {
        const std::u16string name(token);
        const auto it = variables.find(name);
        if (it == variables.end()) added.push_back(name);
        stack.push_back(it == variables.end() ? 0.0f : it->second);
        break;
      }
      default:
        stack.push_back(static_cast<float>(ParseLeadingNumber(token)));
    }
  }
  if (stack.empty()) return std::nullopt;
  for (auto& name : added) variables.try_emplace(std::move(name), 0.0f);
  return stack.back();
}

float EvaluateFormula(std::u16string_view formula, FormulaVariables& variables) {
  return TryEvaluateFormula(formula, variables).value_or(0.0f);
}

}  // namespace vrok
