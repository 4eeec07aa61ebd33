#include "equations/std_functions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/random.h"
#include "equations/expression_parser.h"
#include "equations/metalog_fit.h"

namespace {

using Tree = std::unique_ptr<VRN_expression>;

Tree Parse(const std::string& text) {
  std::string message;
  Tree tree(VRN_ParseExpression(text.c_str(), nullptr, &message, nullptr,
                                nullptr));
  EXPECT_NE(tree, nullptr) << text << ": " << message;
  return tree;
}

double Eval(const std::string& text) { return Parse(text)->Evaluate(nullptr); }

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(c));
  return s;
}

TEST(StdFunctionsTest, TableIsSortedWithoutRegardToCase) {
  ASSERT_EQ(VRN_stdFunction::Count(), 63);
  const VRN_stdFunctionEntry* table = VRN_stdFunction::Table();
  int random_rows = 0;
  for (int i = 0; i < 63; ++i) {
    if (i > 0) {
      EXPECT_LT(Lower(table[i - 1].name), Lower(table[i].name));
    }
    random_rows += table[i].random;
    // Every row is found by its name in any letter case.
    int count = -1;
    bool variadic = false;
    std::unique_ptr<VRN_stdFunction> call(
        VRN_stdFunction::Create(Lower(table[i].name), &count, &variadic));
    ASSERT_NE(call, nullptr) << table[i].name;
    EXPECT_STREQ(call->GetName(), table[i].name);
    EXPECT_EQ(call->GetArity(), variadic ? -count : count);
  }
  EXPECT_EQ(random_rows, 17);
  EXPECT_EQ(VRN_stdFunction::Create("Sine", nullptr, nullptr), nullptr);
  EXPECT_EQ(VRN_stdFunction::Create("", nullptr, nullptr), nullptr);
}

TEST(StdFunctionsTest, ValuesMatchHighPrecisionReferences) {
  struct Case {
    const char* text;
    double value;
    double tolerance;  // relative
  };
  const Case cases[] = {
      {"Sin(1.2)", 0.93203908596722634967, 1e-15},
      {"Cos(1.2)", 0.36235775447667357764, 1e-15},
      {"Tan(1.2)", 2.5721516221263189354, 1e-15},
      {"Asin(0.3)", 0.30469265401539750797, 1e-15},
      {"Acos(0.3)", 1.2661036727794991113, 1e-15},
      {"Atan(2)", 1.107148717794090503, 1e-15},
      {"Atan2(1, -2)", 2.6779450445889871222, 1e-15},
      {"Sinh(1.5)", 2.1292794550948174968, 1e-15},
      {"Cosh(1.5)", 2.3524096152432473258, 1e-15},
      {"Tanh(0.5)", 0.4621171572600097585, 1e-15},
      {"Exp(1.5)", 4.4816890703380648226, 1e-15},
      {"Ln(10)", 2.302585092994045684, 1e-15},
      {"Log(8, 2)", 3.0, 1e-15},
      {"Log10(1000)", 3.0, 1e-15},
      {"Pow10(0.5)", 3.162277660168379332, 1e-15},
      {"SqrtPi(2)", 2.5066282746310005024, 1e-15},
      {"Erf(0.5)", 0.52049987781304653768, 1e-15},
      {"NormalCDF(1.5, 1, 2)", 0.59870632568292372424, 1e-15},
      {"NormalPDF(1.5, 1, 2)", 0.19333405840142460347, 1e-15},
      {"NormalCDF(-5, 0, 1)", 2.8665157187919391167e-7, 1e-10},
      {"Gammaln(0.5)", 0.57236494292470008707, 1e-12},
      {"Gammaln(4.5)", 2.4537365708424422205, 1e-12},
      {"Gammaln(10)", 12.801827480081469611, 1e-12},
      {"Gammaln(100.25)", 360.28455963776423497, 1e-12},
      {"Mod(7.5, -2)", 1.5, 0},
      {"Fact(170)", 7.257415615307994e306, 1e-15},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(Eval(c.text), c.value, std::fabs(c.value) * c.tolerance)
        << c.text;
  }
}

TEST(StdFunctionsTest, ExactResults) {
  const double inf = HUGE_VAL;
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"Sign(-0.0)", 0},          {"Sign(-3)", -1},           {"Sign(0/0)", 0},
      {"Trim(5, 0, 3)", 3},       {"Trim(-1, 0, 3)", 0},      {"Trim(2, 0, 3)", 2},
      {"Max(1, 0/0, 3)", 3},      {"Min(1, 0/0)", 1},         {"If(0/0, 1, 2)", 1},
      {"If(-0, 1, 2)", 2},        {"Multinomial(2, 3, 4)", 1260},
      {"ROUND(2.5)", 3},          {"Round(-2.5)", -2},        {"Truncate(-2.7)", -2},
      {"Truncate(2.7)", 2},       {"Choose(2, 10, 20, 30)", 30},
      {"Choose(3, 10, 20, 30)", 0}, {"Choose(-1, 10, 20)", 0},
      {"Switch(2, 1, 10, 2, 20)", 20}, {"Switch(3, 1, 10, 2, 20)", 0},
      {"Switch(3, 1, 10, 99)", 99}, {"Switch(99, 1, 10, 99)", 99},
      {"Switch(0/0, 0/0, 1, 7)", 7},
      {"And(1, 0, Normal(0, 1))", 0}, {"And(1, 0/0)", 1},      {"Or(0/0, 0)", 1},
      {"Or(0, -0)", 0},           {"Xor(1, 1, 1)", 1},        {"Xor(1, 2)", 0},
      {"FactDouble(5)", 15},      {"FactDouble(6)", 48},      {"FactDouble(0)", 1},
      {"FactDouble(-1)", 0},      {"FactDouble(1e9)", inf},   {"Fact(3.9)", 6},
      {"Fact(171)", inf},         {"Fact(-1)", 0},            {"Fact(3e9)", inf},
      {"Combin(5, 2)", 10},       {"Combin(2, 5)", inf},      {"Combin(-5, 2)", 10},
      {"GCD(12, -18)", 6},        {"GCD(7, 0)", 7},           {"LCM(4, 6)", 12},
      {"LCM(0, 5)", 0},           {"LCM(0, 0)", 0},
      {"LCM(65536, 65537)", 4295032832.0},  // beyond 32 bits
      {"GCD(6e9, 4e9)", 2e9},     {"LCM(3e9, 3e9)", 3e9},     {"GCD(-6e9, 0)", 6e9},
      {"LCM(6e9, 4e9)", 12e9},
      {"Sum(1, 2, 3)", 6},        {"SumSq(1, 2, 3)", 14},     {"Sqr(-3)", 9},
      {"Inf()", inf},             {"Pi()", 3.141592653589793},
      {"Discrete(10, 20, 0, 5)", 20}, {"Abs(-2)", 2},         {"Sqrt(16)", 4},
  };
  for (const Case& c : cases) EXPECT_EQ(Eval(c.text), c.value) << c.text;
  // Whole-number arguments that 64 bits cannot hold, and results that
  // outgrow them, give NaN rather than a wrapped number.
  for (const char* text :
       {"GCD(0/0, 0)", "GCD(1e19, 2)", "LCM(1e300, 1)", "LCM(3e18, 7e18)",
        "Fact(1e300)", "Fact(0/0)", "FactDouble(-1e19)", "Combin(1e19, 1)",
        "Multinomial(5e18, 5e18)", "Binomial(1e19, 0.5)", "Binomial(0/0, 0.5)",
        "Poisson(1e19)"}) {
    EXPECT_TRUE(std::isnan(Eval(text))) << text;
  }
  // Draws beyond 2^31 keep their size.
  EXPECT_NEAR(Eval("Binomial(3e9, 0.5)"), 1.5e9, 1e6);
  EXPECT_NEAR(Eval("Binomial(3e9, 1e-9)"), 3, 20);
  EXPECT_NEAR(Eval("Poisson(3e9)"), 3e9, 1e6);
  EXPECT_NEAR(Eval("Poisson(1e18)"), 1e18, 1e12);
  EXPECT_TRUE(std::isnan(Eval("Min(0/0, 1)")));
  EXPECT_TRUE(std::isnan(Eval("Metalog(1,2,3,4,5,6,7)")));
  EXPECT_TRUE(std::isnan(Eval("MetalogA(1,1,0,1)")));
}

TEST(StdFunctionsTest, RandomRowsDrawTheirArgumentsInOrder) {
  using G = VRN_randomGenerator;
  // Argument i is the draw Uniform(lo[i], lo[i] + 1); order lists the
  // arguments in the order the row must evaluate them.
  struct Case {
    const char* name;
    std::vector<double> lo;
    std::vector<int> order;
    std::function<double(G&, const double*)> draw;
  };
  const Case cases[] = {
      {"Bernoulli", {-0.5}, {0}, [](G& g, const double* a) { return g.Bernoulli(a[0]); }},
      {"Beta", {1, 2}, {1, 0}, [](G& g, const double* a) { return g.Beta(a[0], a[1]); }},
      {"Binomial", {5, 0}, {1, 0},
       [](G& g, const double* a) { return double(g.Binomial(std::int64_t(a[0]), a[1])); }},
      {"CustomPDF", {0, 1, 1, 2}, {0, 1, 2, 3},
       [](G& g, const double* a) { return g.CustomPdf(2, a, a + 2); }},
      {"Discrete", {0, 5, 0, 0}, {2, 3},
       [](G& g, const double* a) {
         const double u = g.NextDouble() * (a[2] + a[3]);
         const int k = VRN_SampleDiscreteIndex(u, a + 2, 2);
         return g.Uniform(k * 5.0, k * 5.0 + 1);
       }},
      {"Exponential", {1}, {0}, [](G& g, const double* a) { return g.Exponential(a[0]); }},
      {"Gamma", {1, 2}, {1, 0}, [](G& g, const double* a) { return g.Gamma(a[0], a[1]); }},
      {"Lognormal", {0, 1}, {0, 1},
       [](G& g, const double* a) { return std::exp(g.Normal(0, 1) * a[1] + a[0]); }},
      {"Normal", {0, 1}, {1, 0}, [](G& g, const double* a) { return g.Normal(a[0], a[1]); }},
      {"Poisson", {1}, {0}, [](G& g, const double* a) { return double(g.Poisson(a[0])); }},
      {"Steps", {0, 1, 2, 1, 0}, {0, 1, 2, 3, 4},
       [](G& g, const double* a) { return g.Steps(3, a, a + 3); }},
      {"Triangular", {0, 1, 2}, {2, 1, 0},
       [](G& g, const double* a) { return g.Triangular(a[0], a[1], a[2]); }},
      {"TruncNormal", {-1, 1, 0}, {2, 1, 0},
       [](G& g, const double* a) { return g.TruncNormalOneSided(a[0], a[1], a[2]); }},
      {"TruncNormal", {-1, 1, 0, 2}, {3, 2, 1, 0},
       [](G& g, const double* a) { return g.TruncNormal(a[0], a[1], a[2], a[3]); }},
      {"Uniform", {0, 2}, {1, 0}, [](G& g, const double* a) { return g.Uniform(a[0], a[1]); }},
      {"Weibull", {1, 2}, {1, 0}, [](G& g, const double* a) { return g.Weibull(a[0], a[1]); }},
      {"Metalog", {0, 1, 2, 3, 4, 5, 6}, {0, 1, 2, 3, 4, 5, 6},
       [](G& g, const double* a) {
         double c[2];
         (void)VRN_MetalogFit(a[0], a[1], 2, a + 3, a + 5, 2, c, -1.0);
         return g.Metalog(a[0], a[1], 2, c);
       }},
      {"MetalogA", {0, 1, 2, 3}, {2, 3, 1, 0},
       [](G& g, const double* a) { return g.Metalog(a[0], a[1], 2, a + 2); }},
  };
  for (const Case& c : cases) {
    std::string text = std::string(c.name) + "(";
    for (size_t i = 0; i < c.lo.size(); ++i) {
      text += (i > 0 ? ",Uniform(" : "Uniform(") + std::to_string(c.lo[i]) +
              "," + std::to_string(c.lo[i] + 1) + ")";
    }
    Tree tree = Parse(text + ")");
    G generator(20261207);
    G twin(20261207);
    VRN_evalContext context;
    context.SetRandomGenerator(&generator);
    for (int draw = 0; draw < 20; ++draw) {
      double a[8];
      for (int i : c.order) a[i] = twin.Uniform(c.lo[i], c.lo[i] + 1);
      const double direct = c.draw(twin, a);
      const double value = tree->Evaluate(&context);
      EXPECT_TRUE(SameBits(value, direct) ||
                  (std::isnan(value) && std::isnan(direct)))
          << text << " draw " << draw << ": " << value << " vs " << direct;
    }
    EXPECT_EQ(generator.NextDouble(), twin.NextDouble()) << text;
  }
}

double Phi(double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); }
double PhiDensity(double z) { return std::exp(-0.5 * z * z) / std::sqrt(2 * M_PI); }

// Regularized lower incomplete gamma by its series.
double GammaP(double a, double x) {
  if (x <= 0) return 0;
  double term = 1.0 / a, sum = term;
  for (int n = 1; n < 1000 && term > sum * 1e-17; ++n) {
    term *= x / (a + n);
    sum += term;
  }
  return sum * std::exp(a * std::log(x) - x - std::lgamma(a));
}

std::vector<double> Draw(const std::string& text, int n) {
  VRN_randomGenerator generator(4242);
  VRN_evalContext context;
  context.SetRandomGenerator(&generator);
  Tree tree = Parse(text);
  std::vector<double> samples(static_cast<size_t>(n));
  for (double& x : samples) x = tree->Evaluate(&context);
  return samples;
}

TEST(StdFunctionsTest, ContinuousDrawsFollowTheirDistributions) {
  struct Case {
    const char* text;
    double mean;
    double variance;
    std::function<double(double)> cdf;
  };
  const double trunc_l = PhiDensity(1) / (1 - Phi(1));
  const double z2 = Phi(1) - Phi(-0.5);
  const double trunc2_mean =
      1 + 2 * (PhiDensity(-0.5) - PhiDensity(1)) / z2;
  const double trunc2_var =
      4 * (1 + (-0.5 * PhiDensity(-0.5) - PhiDensity(1)) / z2 -
           std::pow((PhiDensity(-0.5) - PhiDensity(1)) / z2, 2));
  const double g1 = std::tgamma(1 + 1 / 1.5), g2 = std::tgamma(1 + 2 / 1.5);
  const Case cases[] = {
      {"Uniform(2,5)", 3.5, 0.75, [](double x) { return (x - 2) / 3; }},
      {"Normal(3,2)", 3, 4, [](double x) { return Phi((x - 3) / 2); }},
      {"Lognormal(0.5,0.4)", std::exp(0.58),
       (std::exp(0.16) - 1) * std::exp(1.16),
       [](double x) { return Phi((std::log(x) - 0.5) / 0.4); }},
      {"Exponential(2)", 0.5, 0.25, [](double x) { return 1 - std::exp(-2 * x); }},
      {"Weibull(2,1.5)", 2 * g1, 4 * (g2 - g1 * g1),
       [](double x) { return 1 - std::exp(-std::pow(x / 2, 1.5)); }},
      {"Gamma(2.5,1.5)", 3.75, 5.625, [](double x) { return GammaP(2.5, x / 1.5); }},
      {"Beta(2,3)", 0.4, 0.04,
       [](double x) { return x * x * (6 - 8 * x + 3 * x * x); }},
      {"Triangular(1,2,4)", 7.0 / 3, 7.0 / 18,
       [](double x) {
         return x <= 2 ? (x - 1) * (x - 1) / 3 : 1 - (4 - x) * (4 - x) / 6;
       }},
      {"TruncNormal(0,1,1)", trunc_l, 1 + trunc_l - trunc_l * trunc_l,
       [](double x) { return (Phi(x) - Phi(1)) / (1 - Phi(1)); }},
      {"TruncNormal(1,2,0,3)", trunc2_mean, trunc2_var,
       [z2](double x) { return (Phi((x - 1) / 2) - Phi(-0.5)) / z2; }},
      {"Steps(0,1,3,2,1)", 1.25, 37.0 / 48,
       [](double x) { return x <= 1 ? 0.5 * x : 0.5 + 0.25 * (x - 1); }},
      {"CustomPDF(0,1,3,1,2,0)", 25.0 / 21, 79.0 / 42 - 625.0 / 441,
       [](double x) {
         return x <= 1 ? (x + x * x / 2) / 3.5
                       : (1.5 + 3 * (x - 1) - (x * x - 1) / 2) / 3.5;
       }},
  };
  const int n = 200000;
  for (const Case& c : cases) {
    std::vector<double> samples = Draw(c.text, n);
    double sum = 0;
    for (double x : samples) sum += x;
    EXPECT_NEAR(sum / n, c.mean, 4 * std::sqrt(c.variance / n)) << c.text;
    std::sort(samples.begin(), samples.end());
    double distance = 0;
    for (int i = 0; i < n; ++i) {
      const double f = c.cdf(samples[static_cast<size_t>(i)]);
      distance = std::max({distance, f - double(i) / n, double(i + 1) / n - f});
    }
    EXPECT_LT(distance, 1.95 / std::sqrt(double(n))) << c.text;
  }
}

TEST(StdFunctionsTest, DiscreteDrawsFollowTheirDistributions) {
  auto binomial = [](int k) {
    return std::exp(std::lgamma(11) - std::lgamma(k + 1) - std::lgamma(11 - k) +
                    k * std::log(0.3) + (10 - k) * std::log(0.7));
  };
  auto poisson = [](int k) {
    return std::exp(k * std::log(3.5) - 3.5 - std::lgamma(k + 1));
  };
  struct Case {
    const char* text;
    std::vector<double> values;
    std::function<double(int)> probability;
  };
  const Case cases[] = {
      {"Bernoulli(0.3)", {0, 1}, [](int k) { return k == 1 ? 0.3 : 0.7; }},
      {"Binomial(10,0.3)", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, binomial},
      {"Poisson(3.5)", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, poisson},
      {"Discrete(10,20,30,1,2,1)", {10, 20, 30},
       [](int k) { return k == 1 ? 0.5 : 0.25; }},
  };
  const int n = 200000;
  for (const Case& c : cases) {
    const std::vector<double> samples = Draw(c.text, n);
    for (size_t k = 0; k < c.values.size(); ++k) {
      const double p = c.probability(static_cast<int>(k));
      const double count = double(std::count(samples.begin(), samples.end(),
                                             c.values[k]));
      EXPECT_NEAR(count / n, p, 4 * std::sqrt(p * (1 - p) / n))
          << c.text << " value " << c.values[k];
    }
  }
}

}  // namespace
