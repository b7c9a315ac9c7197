// EvaluateFormula on arbitrary text: each input byte is one code unit. A
// failed formula must leave the variables exactly as they were; a
// successful one may only add variables, with the value 0.
#include <cstdlib>

#include "core/tools/formula.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string formula(data, data + size);
  const vrok::FormulaVariables original{{u"f1", 2.5f}, {u"f2", -4.0f}};
  vrok::FormulaVariables variables = original;
  const auto value = vrok::TryEvaluateFormula(formula, variables);
  if (!value && variables != original) std::abort();
  for (const auto& [name, v] : variables) {
    const auto it = original.find(name);
    if (it != original.end() ? it->second != v : v != 0.0f) std::abort();
  }
  return 0;
}
