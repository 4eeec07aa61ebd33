// Built-in function table and evaluators.
#include "equations/std_functions.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "base/random.h"
#include "equations/expression_visitor.h"
#include "equations/metalog_fit.h"

namespace {

using Frame = VRN_stdFunctionFrame;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.141592653589793;

double Arg(const Frame& f, size_t i) { return f.args[i]->Evaluate(f.context); }
int Count(const Frame& f) { return static_cast<int>(f.args.size()); }

// Truncation toward zero into 32 bits; NaN and values outside the int32
// range give INT_MIN without a conversion, which would be undefined.
int Trunc(double x) {
  if (!(x > -2147483649.0 && x < 2147483648.0)) return INT_MIN;
  return static_cast<int>(x);
}

// Truncation toward zero into 64 bits; false for NaN and for values whose
// truncation 64 bits cannot hold, which the whole-number functions answer
// with NaN rather than with a wrapped number.
bool WholeNumber(double x, std::int64_t* n) {
  if (!(x >= -9223372036854775808.0 && x < 9223372036854775808.0)) {
    return false;
  }
  *n = static_cast<std::int64_t>(x);
  return true;
}

// The magnitudes of two arguments as whole numbers; false as WholeNumber.
bool WholeMagnitudes(double x, double y, std::int64_t* a, std::int64_t* b) {
  return WholeNumber(std::fabs(x), a) && WholeNumber(std::fabs(y), b);
}

// n! in doubles: 0 below 0, 1 below 2, +inf from 171 on (no loop beyond).
double Factorial(std::int64_t n) {
  if (n < 0) return 0.0;
  if (n >= 171) return kInf;
  double product = 1.0;
  for (std::int64_t i = 2; i <= n; ++i) product *= static_cast<double>(i);
  return product;
}

// Euclid's algorithm; 64 bits so that no remainder can overflow.
std::int64_t Gcd(std::int64_t a, std::int64_t b) {
  while (b != 0) {
    const std::int64_t r = a % b;
    a = b;
    b = r;
  }
  return a;
}

// Work space of n doubles: 64 inline, the heap beyond.
class ArgBuffer {
 public:
  explicit ArgBuffer(size_t n) {
    if (n > kInline) {
      heap_.reset(new double[n]);
      data_ = heap_.get();
    }
  }
  double* data() { return data_; }
  double& operator[](size_t i) { return data_[i]; }

 private:
  static constexpr size_t kInline = 64;
  double inline_[kInline];
  std::unique_ptr<double[]> heap_;
  double* data_ = inline_;
};

// ---------------------------------------------------------------- arithmetic

#define QELTA_UNARY(Name, expr)           \
  double Eval##Name(const Frame& f) {     \
    const double x = Arg(f, 0);           \
    return expr;                          \
  }

QELTA_UNARY(Abs, std::fabs(x))
QELTA_UNARY(Acos, std::acos(x))
QELTA_UNARY(Asin, std::asin(x))
QELTA_UNARY(Atan, std::atan(x))
QELTA_UNARY(Cos, std::cos(x))
QELTA_UNARY(Cosh, std::cosh(x))
QELTA_UNARY(Erf, std::erf(x))
QELTA_UNARY(Exp, std::exp(x))
QELTA_UNARY(Ln, std::log(x))
QELTA_UNARY(Log10, std::log10(x))
QELTA_UNARY(Pow10, std::pow(10.0, x))
QELTA_UNARY(Round, std::floor(x + 0.5))
QELTA_UNARY(Sign, x > 0 ? 1.0 : (x < 0 ? -1.0 : 0.0))
QELTA_UNARY(Sin, std::sin(x))
QELTA_UNARY(Sinh, std::sinh(x))
QELTA_UNARY(Sqr, x * x)
QELTA_UNARY(Sqrt, std::sqrt(x))
QELTA_UNARY(SqrtPi, std::sqrt(x * kPi))
QELTA_UNARY(Tan, std::tan(x))
QELTA_UNARY(Tanh, std::tanh(x))
QELTA_UNARY(Truncate, x > 0 ? std::floor(x) : std::ceil(x))

#undef QELTA_UNARY

double EvalAtan2(const Frame& f) {
  const double y = Arg(f, 0);
  const double x = Arg(f, 1);
  return std::atan2(y, x);
}

double EvalLog(const Frame& f) {
  const double x = Arg(f, 0);
  const double base = Arg(f, 1);
  return std::log(x) / std::log(base);
}

double EvalMod(const Frame& f) {
  const double a = Arg(f, 0);
  const double b = Arg(f, 1);
  return std::fmod(a, b);
}

double EvalTrim(const Frame& f) {
  const double x = Arg(f, 0);
  const double lo = Arg(f, 1);
  const double hi = Arg(f, 2);
  if (lo > x) return lo;
  return hi < x ? hi : x;
}

double EvalInf(const Frame&) { return kInf; }
double EvalPi(const Frame&) { return kPi; }

double EvalNormalCDF(const Frame& f) {
  const double sigma = Arg(f, 2);
  const double mu = Arg(f, 1);
  const double x = Arg(f, 0);
  // erfc keeps the lower tail's digits that 1 + erf(z) cancels away.
  return 0.5 * std::erfc(-(x - mu) / (sigma * 1.4142135623730951));
}

double EvalNormalPDF(const Frame& f) {
  const double sigma = Arg(f, 2);
  const double mu = Arg(f, 1);
  const double x = Arg(f, 0);
  const double z = (x - mu) / sigma;
  return std::exp(z * z * -0.5) * 0.3989422804014327 / sigma;
}

double EvalGammaln(const Frame& f) {
  const double x = Arg(f, 0);
  const double t = x + 5.5;
  const double s = 1.000000000190015 + 76.18009172947146 / (x + 1) -
                   86.50532032941678 / (x + 2) + 24.01409824083091 / (x + 3) -
                   1.231739572450155 / (x + 4) +
                   0.001208650973866179 / (x + 5) -
                   5.395239384953e-6 / (x + 6);
  return std::log(s * 2.5066282746310007 / x) - (t - (x + 0.5) * std::log(t));
}

// ---------------------------------------------------------------- combinatorics

double EvalFact(const Frame& f) {
  std::int64_t n = 0;
  if (!WholeNumber(Arg(f, 0), &n)) return kNaN;
  return Factorial(n);
}

double EvalFactDouble(const Frame& f) {
  std::int64_t n = 0;
  if (!WholeNumber(Arg(f, 0), &n)) return kNaN;
  if (n < 0) return 0.0;
  double product = 1.0;
  // The product is infinite long before n; stop there.
  for (std::int64_t i = n % 2 + 2; i <= n && !std::isinf(product); i += 2) {
    product *= static_cast<double>(i);
  }
  return product;
}

double EvalCombin(const Frame& f) {
  std::int64_t n = 0;
  std::int64_t k = 0;
  if (!WholeMagnitudes(Arg(f, 0), Arg(f, 1), &n, &k)) return kNaN;
  return Factorial(n) / (Factorial(k) * Factorial(n - k));
}

double EvalMultinomial(const Frame& f) {
  std::int64_t sum = 0;
  double denominator = 1.0;
  for (int i = 0; i < Count(f); ++i) {
    std::int64_t n = 0;
    if (!WholeNumber(Arg(f, static_cast<size_t>(i)), &n) ||
        __builtin_add_overflow(sum, n, &sum)) {
      return kNaN;
    }
    denominator *= Factorial(n);
  }
  return Factorial(sum) / denominator;
}

double EvalGCD(const Frame& f) {
  std::int64_t a = 0;
  std::int64_t b = 0;
  if (!WholeMagnitudes(Arg(f, 0), Arg(f, 1), &a, &b)) return kNaN;
  return static_cast<double>(Gcd(a, b));
}

double EvalLCM(const Frame& f) {
  std::int64_t a = 0;
  std::int64_t b = 0;
  if (!WholeMagnitudes(Arg(f, 0), Arg(f, 1), &a, &b)) return kNaN;
  if (a == 0 || b == 0) return 0.0;
  std::int64_t lcm = 0;
  if (__builtin_mul_overflow(a / Gcd(a, b), b, &lcm)) return kNaN;
  return static_cast<double>(lcm);
}

// ---------------------------------------------------------------- aggregates

double EvalSum(const Frame& f) {
  double sum = Arg(f, 0);
  for (size_t i = 1; i < f.args.size(); ++i) sum += Arg(f, i);
  return sum;
}

double EvalSumSq(const Frame& f) {
  double sum = 0.0;
  for (size_t i = 0; i < f.args.size(); ++i) {
    const double x = Arg(f, i);
    sum += x * x;
  }
  return sum;
}

double EvalMin(const Frame& f) {
  double result = Arg(f, 0);
  for (size_t i = 1; i < f.args.size(); ++i) {
    const double x = Arg(f, i);
    if (x < result) result = x;
  }
  return result;
}

double EvalMax(const Frame& f) {
  double result = Arg(f, 0);
  for (size_t i = 1; i < f.args.size(); ++i) {
    const double x = Arg(f, i);
    if (x > result) result = x;
  }
  return result;
}

// ---------------------------------------------------------------- logic

// A value is false exactly when it equals 0.0; NaN is true.
double EvalAnd(const Frame& f) {
  for (size_t i = 0; i < f.args.size(); ++i) {
    if (Arg(f, i) == 0.0) return 0.0;
  }
  return 1.0;
}

double EvalOr(const Frame& f) {
  for (size_t i = 0; i < f.args.size(); ++i) {
    if (Arg(f, i) != 0.0) return 1.0;
  }
  return 0.0;
}

double EvalXor(const Frame& f) {
  int true_count = 0;
  for (size_t i = 0; i < f.args.size(); ++i) {
    if (Arg(f, i) != 0.0) ++true_count;
  }
  return true_count % 2 == 1 ? 1.0 : 0.0;
}

// ---------------------------------------------------------------- selection

double EvalIf(const Frame& f) {
  return Arg(f, 0) == 0.0 ? Arg(f, 2) : Arg(f, 1);
}

double EvalChoose(const Frame& f) {
  const int k = Trunc(Arg(f, 0));
  if (k < 0 || k >= Count(f) - 1) return 0.0;
  return Arg(f, static_cast<size_t>(k) + 1);
}

double EvalSwitch(const Frame& f) {
  const int n = Count(f);
  const double x = Arg(f, 0);
  for (int i = 1; i + 1 < n; i += 2) {
    if (Arg(f, static_cast<size_t>(i)) == x) {
      return Arg(f, static_cast<size_t>(i) + 1);
    }
  }
  return n % 2 == 0 ? Arg(f, static_cast<size_t>(n) - 1) : 0.0;
}

// ---------------------------------------------------------------- random

double EvalBernoulli(const Frame& f) {
  return f.generator.Bernoulli(Arg(f, 0));
}

double EvalBeta(const Frame& f) {
  const double b = Arg(f, 1);
  const double a = Arg(f, 0);
  return f.generator.Beta(a, b);
}

double EvalBinomial(const Frame& f) {
  const double p = Arg(f, 1);
  std::int64_t n = 0;
  if (!WholeNumber(Arg(f, 0), &n)) return kNaN;
  return static_cast<double>(f.generator.Binomial(n, p));
}

// Evaluates every argument, first to last, into values.
void EvaluateAll(const Frame& f, ArgBuffer& values) {
  for (size_t i = 0; i < f.args.size(); ++i) values[i] = Arg(f, i);
}

double EvalCustomPDF(const Frame& f) {
  const size_t k = f.args.size() / 2;
  ArgBuffer values(f.args.size());
  EvaluateAll(f, values);
  return f.generator.CustomPdf(static_cast<int>(k), values.data(),
                               values.data() + k);
}

double EvalDiscrete(const Frame& f) {
  const size_t k = f.args.size() / 2;
  ArgBuffer weights(k);
  double total = 0.0;
  for (size_t i = 0; i < k; ++i) {
    weights[i] = Arg(f, k + i);
    total += weights[i];
  }
  const double u = f.generator.NextDouble() * total;
  const int chosen = VRN_SampleDiscreteIndex(u, weights.data(),
                                             static_cast<int>(k));
  if (chosen < 0) return kNaN;
  return Arg(f, static_cast<size_t>(chosen));
}

double EvalExponential(const Frame& f) {
  return f.generator.Exponential(Arg(f, 0));
}

double EvalGamma(const Frame& f) {
  const double scale = Arg(f, 1);
  const double shape = Arg(f, 0);
  return f.generator.Gamma(shape, scale);
}

double EvalLognormal(const Frame& f) {
  const double mu = Arg(f, 0);
  const double sigma = Arg(f, 1);
  return std::exp(f.generator.Normal(0.0, 1.0) * sigma + mu);
}

double EvalNormal(const Frame& f) {
  const double sd = Arg(f, 1);
  const double mean = Arg(f, 0);
  return f.generator.Normal(mean, sd);
}

double EvalPoisson(const Frame& f) {
  const double lambda = Arg(f, 0);
  // Beyond 2^62 a draw could outgrow 64 bits; an infinite mean is no mean
  // at all and draws -1 as a mean of 0 does.
  if (lambda > 4611686018427387904.0 && !std::isinf(lambda)) return kNaN;
  return static_cast<double>(f.generator.Poisson(lambda));
}

double EvalSteps(const Frame& f) {
  const size_t k = (f.args.size() - 1) / 2;
  ArgBuffer values(f.args.size());
  EvaluateAll(f, values);
  return f.generator.Steps(static_cast<int>(k) + 1, values.data(),
                           values.data() + k + 1);
}

double EvalTriangular(const Frame& f) {
  const double max = Arg(f, 2);
  const double mode = Arg(f, 1);
  const double min = Arg(f, 0);
  return f.generator.Triangular(min, mode, max);
}

double EvalTruncNormal(const Frame& f) {
  if (f.args.size() == 3) {
    const double low = Arg(f, 2);
    const double sd = Arg(f, 1);
    const double mean = Arg(f, 0);
    return f.generator.TruncNormalOneSided(mean, sd, low);
  }
  const double high = Arg(f, 3);
  const double low = Arg(f, 2);
  const double sd = Arg(f, 1);
  const double mean = Arg(f, 0);
  return f.generator.TruncNormal(mean, sd, low, high);
}

double EvalUniform(const Frame& f) {
  const double b = Arg(f, 1);
  const double a = Arg(f, 0);
  return f.generator.Uniform(a, b);
}

double EvalWeibull(const Frame& f) {
  const double k = Arg(f, 1);
  const double lambda = Arg(f, 0);
  return f.generator.Weibull(lambda, k);
}

// ---------------------------------------------------------------- checks

bool Fail(const VRN_stdFunction& call, const char* text, std::string& message) {
  message = call.GetName();
  message += text;
  return false;
}

bool CheckEven(const VRN_stdFunction& call, std::string& message) {
  if (call.GetArgumentCount() % 2 == 0) return true;
  return Fail(call,
              " function requires even number of parameters equal or greater "
              "than 4",
              message);
}

bool CheckMetalog(const VRN_stdFunction& call, std::string& message) {
  if (call.GetArgumentCount() % 2 == 1) return true;
  return Fail(call,
              " function requires odd number of parameters equal or greater "
              "than 7",
              message);
}

bool CheckSteps(const VRN_stdFunction& call, std::string& message) {
  if (call.GetArgumentCount() % 2 == 1) return true;
  return Fail(call,
              " function requires odd number of parameters equal or greater "
              "than 3",
              message);
}

bool CheckTruncNormal(const VRN_stdFunction& call, std::string& message) {
  const int n = call.GetArgumentCount();
  if (n == 3 || n == 4) return true;
  return Fail(call, " function requires 3 or 4 parameters", message);
}

// Sorted by name compared as ASCII lower case.
const VRN_stdFunctionEntry kTable[] = {
    {"Abs", 1, EvalAbs, nullptr, 0},
    {"Acos", 1, EvalAcos, nullptr, 0},
    {"And", -2, EvalAnd, nullptr, 0},
    {"Asin", 1, EvalAsin, nullptr, 0},
    {"Atan", 1, EvalAtan, nullptr, 0},
    {"Atan2", 2, EvalAtan2, nullptr, 0},
    {"Bernoulli", 1, EvalBernoulli, nullptr, 1},
    {"Beta", 2, EvalBeta, nullptr, 1},
    {"Binomial", 2, EvalBinomial, nullptr, 1},
    {"Choose", -3, EvalChoose, nullptr, 0},
    {"Combin", 2, EvalCombin, nullptr, 0},
    {"Cos", 1, EvalCos, nullptr, 0},
    {"Cosh", 1, EvalCosh, nullptr, 0},
    {"CustomPDF", -4, EvalCustomPDF, CheckEven, 1},
    {"Discrete", -4, EvalDiscrete, CheckEven, 1},
    {"Erf", 1, EvalErf, nullptr, 0},
    {"Exp", 1, EvalExp, nullptr, 0},
    {"Exponential", 1, EvalExponential, nullptr, 1},
    {"Fact", 1, EvalFact, nullptr, 0},
    {"FactDouble", 1, EvalFactDouble, nullptr, 0},
    {"Gamma", 2, EvalGamma, nullptr, 1},
    {"Gammaln", 1, EvalGammaln, nullptr, 0},
    {"GCD", 2, EvalGCD, nullptr, 0},
    {"If", 3, EvalIf, nullptr, 0},
    {"Inf", 0, EvalInf, nullptr, 0},
    {"LCM", 2, EvalLCM, nullptr, 0},
    {"Ln", 1, EvalLn, nullptr, 0},
    {"Log", 2, EvalLog, nullptr, 0},
    {"Log10", 1, EvalLog10, nullptr, 0},
    {"Lognormal", 2, EvalLognormal, nullptr, 1},
    {"Max", -2, EvalMax, nullptr, 0},
    {"Metalog", -7, VRN_EvalMetalog, CheckMetalog, 1},
    {"MetalogA", -4, VRN_EvalMetalogA, nullptr, 1},
    {"Min", -2, EvalMin, nullptr, 0},
    {"Mod", 2, EvalMod, nullptr, 0},
    {"Multinomial", -2, EvalMultinomial, nullptr, 0},
    {"Normal", 2, EvalNormal, nullptr, 1},
    {"NormalCDF", 3, EvalNormalCDF, nullptr, 0},
    {"NormalPDF", 3, EvalNormalPDF, nullptr, 0},
    {"Or", -2, EvalOr, nullptr, 0},
    {"Pi", 0, EvalPi, nullptr, 0},
    {"Poisson", 1, EvalPoisson, nullptr, 1},
    {"Pow10", 1, EvalPow10, nullptr, 0},
    {"Round", 1, EvalRound, nullptr, 0},
    {"Sign", 1, EvalSign, nullptr, 0},
    {"Sin", 1, EvalSin, nullptr, 0},
    {"Sinh", 1, EvalSinh, nullptr, 0},
    {"Sqr", 1, EvalSqr, nullptr, 0},
    {"Sqrt", 1, EvalSqrt, nullptr, 0},
    {"SqrtPi", 1, EvalSqrtPi, nullptr, 0},
    {"Steps", -3, EvalSteps, CheckSteps, 1},
    {"Sum", -2, EvalSum, nullptr, 0},
    {"SumSq", -2, EvalSumSq, nullptr, 0},
    {"Switch", -2, EvalSwitch, nullptr, 0},
    {"Tan", 1, EvalTan, nullptr, 0},
    {"Tanh", 1, EvalTanh, nullptr, 0},
    {"Triangular", 3, EvalTriangular, nullptr, 1},
    {"Trim", 3, EvalTrim, nullptr, 0},
    {"Truncate", 1, EvalTruncate, nullptr, 0},
    {"TruncNormal", -3, EvalTruncNormal, CheckTruncNormal, 1},
    {"Uniform", 2, EvalUniform, nullptr, 1},
    {"Weibull", 2, EvalWeibull, nullptr, 1},
    {"Xor", -2, EvalXor, nullptr, 0},
};

constexpr int kTableSize = static_cast<int>(sizeof(kTable) / sizeof(kTable[0]));

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// <0, 0, >0 as a sorts before, with or after b, both read as lower case.
int CompareNoCase(const char* a, const std::string& b) {
  size_t i = 0;
  for (; a[i] != '\0' && i < b.size(); ++i) {
    const unsigned char ca = static_cast<unsigned char>(Lower(a[i]));
    const unsigned char cb = static_cast<unsigned char>(Lower(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a[i] == '\0') return i == b.size() ? 0 : -1;
  return 1;
}

}  // namespace

VRN_stdFunction* VRN_stdFunction::Create(const std::string& name,
                                         int* argument_count, bool* variadic) {
  int lo = 0;
  int hi = kTableSize - 1;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    const int order = CompareNoCase(kTable[mid].name, name);
    if (order == 0) {
      const int arity = kTable[mid].arity;
      if (argument_count != nullptr) *argument_count = arity < 0 ? -arity : arity;
      if (variadic != nullptr) *variadic = arity < 0;
      return new VRN_stdFunction(&kTable[mid]);
    }
    if (order < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  return nullptr;
}

const VRN_stdFunctionEntry* VRN_stdFunction::Table() { return kTable; }

int VRN_stdFunction::Count() { return kTableSize; }

VRN_expression* VRN_stdFunction::Clone() const {
  return CopyCallTo(new VRN_stdFunction(entry_));
}

double VRN_stdFunction::EvaluateNode(VRN_evalContext* context) const {
  // Evaluators index their arguments by the arity; a call built by hand
  // with another count gets NaN rather than a read past its list.
  const int n = GetArgumentCount();
  const int arity = entry_->arity;
  if (arity >= 0 ? n != arity : n < -arity) return kNaN;
  const VRN_stdFunctionFrame frame{*this, context,
                                   VRN_evalContext::GeneratorOf(context),
                                   GetArguments()};
  return entry_->evaluator(frame);
}

bool VRN_stdFunction::CheckArguments(std::string& message) const {
  return entry_->check == nullptr || entry_->check(*this, message);
}

void VRN_stdFunction::AcceptConstFunctionVisitor(
    VRN_constFunctionVisitor& visitor) const {
  visitor.VisitStdFunction(this);
}

void VRN_stdFunction::AcceptFunctionVisitor(VRN_functionVisitor& visitor) {
  visitor.VisitStdFunction(this);
}
