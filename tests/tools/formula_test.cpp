#include "core/tools/formula.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vrok {
namespace {

std::string Narrow(std::u16string_view s) { return std::string(s.begin(), s.end()); }

TEST(Formula, ComputesPostfixArithmetic) {
  struct Case {
    std::u16string_view formula;
    float value;
  };
  const Case cases[] = {
      {u"2 3 -", -1.0f},    {u"-3", -3.0f},  {u"3 -2 -", 5.0f},  {u"9 s", 3.0f},
      {u"2 10 ^", 1024.0f}, {u"7", 7.0f},    {u"6 3 /", 2.0f},   {u"2 3 4 * +", 14.0f},
      {u"1.5 2 *", 3.0f},   {u"x", 0.0f},    {u"abc 1 +", 1.0f}, {u"2.5e1", 25.0f},
      {u"12abc", 12.0f},    {u"1e", 1.0f},   {u".5 .5 +", 1.0f}, {u"5. 1 -", 4.0f},
      {u"--4", 4.0f},       {u"-.5", -0.5f}, {u"3 4", 4.0f},
  };
  for (const auto& c : cases) {
    FormulaVariables vars;
    EXPECT_FLOAT_EQ(EvaluateFormula(c.formula, vars), c.value) << Narrow(c.formula);
  }
}

TEST(Formula, ReadsVariablesAndAddsMissingOnesAsZero) {
  FormulaVariables vars{{u"f1", 12.0f}};
  EXPECT_FLOAT_EQ(EvaluateFormula(u"f1 10 /", vars), 1.2f);
  vars[u"f1"] = 4.0f;
  EXPECT_FLOAT_EQ(EvaluateFormula(u"f1 2 ^ 4 *", vars), 64.0f);
  EXPECT_FLOAT_EQ(EvaluateFormula(u"f1 s -1.5 *", vars), -3.0f);
  EXPECT_FLOAT_EQ(EvaluateFormula(u"f2 f1 +", vars), 4.0f);
  EXPECT_EQ(vars, (FormulaVariables{{u"f1", 4.0f}, {u"f2", 0.0f}}));
}

TEST(Formula, FailedFormulaGivesZeroAndLeavesVariablesAlone) {
  const FormulaVariables original{{u"f1", 2.0f}};
  for (const std::u16string_view formula :
       {u"", u"+", u"+7", u"1 +", u"f9 *", u"s", u"f9 f8 - -", u"f9 1 2 + + +", u" "}) {
    FormulaVariables vars = original;
    EXPECT_EQ(EvaluateFormula(formula, vars), 0.0f) << Narrow(formula);
    EXPECT_FALSE(TryEvaluateFormula(formula, vars)) << Narrow(formula);
    EXPECT_EQ(vars, original) << Narrow(formula);
  }
}

TEST(Formula, FloatArithmeticAndIeeeResults) {
  FormulaVariables vars;
  EXPECT_EQ(EvaluateFormula(u"0.1 0.2 +", vars), 0.1f + 0.2f) << "sums in float, not double";
  EXPECT_EQ(EvaluateFormula(u"1 3 /", vars), 1.0f / 3.0f);
  EXPECT_EQ(EvaluateFormula(u"1 0 /", vars), std::numeric_limits<float>::infinity());
  EXPECT_TRUE(std::isnan(EvaluateFormula(u"-4 s", vars)));
  EXPECT_EQ(EvaluateFormula(u"10 100 ^", vars), std::numeric_limits<float>::infinity());
  EXPECT_EQ(EvaluateFormula(u"1e400", vars), std::numeric_limits<float>::infinity());
  EXPECT_EQ(EvaluateFormula(u"-1e400", vars), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(EvaluateFormula(u"1e-400", vars), 0.0f);
}

TEST(Formula, RepeatedBlanksSeparateNothing) {
  FormulaVariables vars;
  EXPECT_FLOAT_EQ(EvaluateFormula(u"2  3 + ", vars), 5.0f);
  EXPECT_FLOAT_EQ(EvaluateFormula(u" 9 s", vars), 3.0f);
}

}  // namespace
}  // namespace vrok
