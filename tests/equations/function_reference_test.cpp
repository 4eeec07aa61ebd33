// The expression-language reference of the Java package description lists
// every built-in function of the engine's table with its parameters: a
// function added, renamed, dropped, given another arity or made random
// without the reference following fails here. The results it states, and
// the messages it quotes, are checked against the engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/random.h"
#include "equations/expression.h"
#include "equations/expression_parser.h"
#include "equations/expression_visitor.h"
#include "equations/std_functions.h"

namespace {

const char* const kReference =
    QELTA_TEST_DATA "/../../java/src/qelta/package-info.java";

// Rows are written <tr id="fn-Name"><td>{@code Name(parameters)}</td>...
const char* const kRowMark = "id=\"fn-";
const char* const kRandomMark = "id=\"random-functions\"";

struct Row {
  std::string signature;  // "Name(parameters)"
  size_t offset = 0;      // where the row starts in the reference
};

std::string ReadReference() {
  std::ifstream in(kReference);
  EXPECT_TRUE(in.good()) << "cannot read " << kReference;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every function row of the reference by its name; a name listed twice
// fails the test.
std::map<std::string, Row> ReadRows(const std::string& text) {
  std::map<std::string, Row> rows;
  const std::string mark = kRowMark;
  for (size_t at = text.find(mark); at != std::string::npos;
       at = text.find(mark, at + 1)) {
    const size_t name_start = at + mark.size();
    const std::string name =
        text.substr(name_start, text.find('"', name_start) - name_start);
    const size_t code = text.find("{@code ", name_start);
    const size_t cell_end = text.find("</td>", name_start);
    Row row;
    row.offset = at;
    if (code != std::string::npos && code < cell_end) {
      const size_t start = code + 7;
      row.signature = text.substr(start, text.find('}', start) - start);
    }
    EXPECT_TRUE(rows.emplace(name, row).second) << name << " is listed twice";
  }
  return rows;
}

// The parameters a signature names ("..." and an optional "[...]" part not
// counted), and whether it takes more than those.
struct Parameters {
  int named = 0;
  bool open_ended = false;
};

Parameters CountParameters(const std::string& signature) {
  Parameters result;
  const size_t open = signature.find('(');
  const size_t close = signature.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) {
    return result;
  }
  std::string list = signature.substr(open + 1, close - open - 1);
  const size_t optional = list.find('[');
  if (optional != std::string::npos) {
    result.open_ended = true;
    list.erase(optional);
  }
  std::istringstream items(list);
  for (std::string item; std::getline(items, item, ',');) {
    const size_t first = item.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    if (item.compare(first, 3, "...") == 0) {
      result.open_ended = true;
    } else {
      ++result.named;
    }
  }
  return result;
}

TEST(FunctionReferenceTest, ListsEveryBuiltInFunctionWithItsParameters) {
  const std::map<std::string, Row> rows = ReadRows(ReadReference());
  for (int i = 0; i < VRN_stdFunction::Count(); ++i) {
    const VRN_stdFunctionEntry& entry = VRN_stdFunction::Table()[i];
    const auto found = rows.find(entry.name);
    if (found == rows.end()) {
      ADD_FAILURE() << entry.name << " is missing from " << kReference;
      continue;
    }
    const std::string& signature = found->second.signature;
    EXPECT_EQ(signature.compare(0, signature.find('('), entry.name), 0)
        << "the row of " << entry.name << " shows " << signature;
    const Parameters parameters = CountParameters(signature);
    if (entry.arity >= 0) {
      EXPECT_FALSE(parameters.open_ended) << signature;
      EXPECT_EQ(parameters.named, entry.arity) << signature;
    } else {
      EXPECT_TRUE(parameters.open_ended) << signature;
      EXPECT_GE(parameters.named, -entry.arity) << signature;
    }
  }
}

TEST(FunctionReferenceTest, ListsOnlyFunctionsOfTheTable) {
  const std::map<std::string, Row> rows = ReadRows(ReadReference());
  for (const auto& row : rows) {
    bool exact = false;
    for (int i = 0; i < VRN_stdFunction::Count(); ++i) {
      exact = exact || row.first == VRN_stdFunction::Table()[i].name;
    }
    EXPECT_TRUE(exact) << row.first << " is listed but is no built-in function";
  }
  EXPECT_EQ(static_cast<int>(rows.size()), VRN_stdFunction::Count());
}

TEST(FunctionReferenceTest, ListsTheRandomGeneratorsTogether) {
  const std::string text = ReadReference();
  const size_t random_start = text.find(kRandomMark);
  ASSERT_NE(random_start, std::string::npos);
  const std::map<std::string, Row> rows = ReadRows(text);
  for (int i = 0; i < VRN_stdFunction::Count(); ++i) {
    const VRN_stdFunctionEntry& entry = VRN_stdFunction::Table()[i];
    const auto found = rows.find(entry.name);
    if (found == rows.end()) continue;  // reported by the first test
    EXPECT_EQ(found->second.offset > random_start, entry.random != 0)
        << entry.name << (entry.random != 0 ? " is random" : " is not random")
        << " but is listed "
        << (found->second.offset > random_start ? "with" : "before")
        << " the random generators";
  }
}

// The reference's text with the javadoc line breaks (a line feed, blanks
// and a star) read as one blank, so that a statement may span lines.
std::string JoinedReference() {
  const std::string text = ReadReference();
  std::string joined;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') {
      joined += text[i];
      continue;
    }
    size_t next = text.find_first_not_of(" \t", i + 1);
    if (next != std::string::npos && text[next] == '*') {
      next = text.find_first_not_of(" \t", next + 1);
    }
    joined += ' ';
    i = (next == std::string::npos ? text.size() : next) - 1;
  }
  return joined;
}

struct Statement {
  std::string expression;
  std::string same;    // a second expression stated equal, or empty
  std::string result;  // "NaN", "infinity", "minus infinity" or a number
};

// The text of a {@code ...} starting at at, or npos when there is none;
// *end is set past its closing brace.
size_t CodeAt(const std::string& text, size_t at, std::string* code,
              size_t* end) {
  const std::string open = "{@code ";
  if (text.compare(at, open.size(), open) != 0) return std::string::npos;
  const size_t close = text.find('}', at + open.size());
  if (close == std::string::npos) return std::string::npos;
  *code = text.substr(at + open.size(), close - at - open.size());
  *end = close + 1;
  return at;
}

// Every "{@code E} is R" and "{@code E} is {@code F}, R" of the text, R
// being a result as Statement says (a number ends before a character that
// is no digit, a point ending a sentence included).
std::vector<Statement> Statements(const std::string& text) {
  std::vector<Statement> found;
  for (size_t at = text.find("{@code "); at != std::string::npos;
       at = text.find("{@code ", at + 1)) {
    Statement s;
    size_t end = 0;
    if (CodeAt(text, at, &s.expression, &end) == std::string::npos) continue;
    if (text.compare(end, 4, " is ") != 0) continue;
    end += 4;
    size_t after = 0;
    if (CodeAt(text, end, &s.same, &after) != std::string::npos) {
      if (text.compare(after, 2, ", ") != 0) continue;
      end = after + 2;
    }
    for (const char* word : {"NaN", "minus infinity", "infinity"}) {
      if (text.compare(end, std::strlen(word), word) == 0) s.result = word;
    }
    if (s.result.empty()) {
      size_t i = end + (text[end] == '-' ? 1 : 0);
      const size_t digits = i;
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
      if (i == digits) continue;
      if (text[i] == '.' && i + 1 < text.size() &&
          std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
      }
      s.result = text.substr(end, i - end);
    }
    found.push_back(s);
  }
  return found;
}

std::unique_ptr<VRN_expression> ParseClosed(const std::string& text) {
  std::string message;
  std::unique_ptr<VRN_expression> tree(
      VRN_ParseExpression(text.c_str(), nullptr, &message, nullptr, nullptr));
  EXPECT_NE(tree, nullptr) << text << ": " << message;
  if (tree == nullptr) return tree;
  std::vector<std::string> names;
  GetVariables(tree.get(), names);
  EXPECT_TRUE(names.empty()) << text << " names " << names.front();
  return tree;
}

// Whether value is what the reference writes as expected: "NaN",
// "infinity", "minus infinity", or a number, whole (exact but for the last
// bits) or to the decimals shown.
bool Matches(double value, const std::string& expected) {
  if (expected == "NaN") return std::isnan(value);
  if (expected == "infinity") return value == INFINITY;
  if (expected == "minus infinity") return value == -INFINITY;
  const double number = std::stod(expected);
  const size_t point = expected.find('.');
  const double tolerance =
      point == std::string::npos
          ? 1e-12 * std::max(1.0, std::fabs(number))
          : 0.5 * std::pow(10.0, -static_cast<double>(expected.size() - point - 1));
  return std::fabs(value - number) <= tolerance * (1 + 1e-9);
}

// Every statement "{@code E} is R" of the reference, and "{@code E} is
// {@code F}, R", holds of the engine: E (and F) evaluate to R.
TEST(FunctionReferenceTest, EveryStatedResultIsTheEngines) {
  const std::string text = JoinedReference();
  int checked = 0;
  for (const Statement& s : Statements(text)) {
    for (const std::string& side : {s.expression, s.same}) {
      if (side.empty()) continue;
      std::unique_ptr<VRN_expression> tree = ParseClosed(side);
      if (tree == nullptr) continue;
      const double value = tree->Evaluate(nullptr);
      EXPECT_TRUE(Matches(value, s.result))
          << side << " is " << value << ", the reference says " << s.result;
      ++checked;
    }
  }
  // The statements the reference makes of arguments out of range are among
  // them.
  EXPECT_GE(checked, 25);
  for (const char* stated :
       {"NormalPDF(0, 0, -1)", "NormalCDF(1, 0, -1)", "NormalCDF(1, 0, 0)",
        "Trim(1, 3, 0)", "Round(0.49999999999999994)", "Poisson(Inf())",
        "Log(8, 0)", "Log(0.5, 0)", "Gammaln(-1.5)", "Bernoulli(1.5)",
        "Bernoulli(-0.5)", "Binomial(5, 1.5)"}) {
    EXPECT_NE(text.find(std::string("{@code ") + stated + "} is "),
              std::string::npos)
        << stated;
  }
}

// A parameter count that the parser refuses by the arity, and one that the
// function's own check refuses: each message as the reference quotes it.
TEST(FunctionReferenceTest, ArgumentCountMessagesAreQuotedAsGiven) {
  const std::string text = JoinedReference();
  const struct {
    const char* call;
    const char* message;
  } cases[] = {
      {"TruncNormal(0, 1)", "Function TruncNormal requires at least 3 parameters"},
      {"CustomPDF(1, 2, 3)", "Function CustomPDF requires at least 4 parameters"},
      {"Discrete(1, 2)", "Function Discrete requires at least 4 parameters"},
      {"Metalog(1, 2, 3, 4, 5, 6)",
       "Function Metalog requires at least 7 parameters"},
      {"Steps(1, 2)", "Function Steps requires at least 3 parameters"},
      {"CustomPDF(1, 2, 3, 4, 5)",
       "CustomPDF function requires even number of parameters equal or "
       "greater than 4"},
      {"Discrete(1, 2, 3, 4, 5)",
       "Discrete function requires even number of parameters equal or greater "
       "than 4"},
      {"Metalog(1, 2, 3, 4, 5, 6, 7, 8)",
       "Metalog function requires odd number of parameters equal or greater "
       "than 7"},
      {"Steps(1, 2, 3, 4)",
       "Steps function requires odd number of parameters equal or greater "
       "than 3"},
      {"TruncNormal(0, 1, 2, 3, 4)",
       "TruncNormal function requires 3 or 4 parameters"},
  };
  for (const auto& c : cases) {
    std::string message;
    std::unique_ptr<VRN_expression> tree(
        VRN_ParseExpression(c.call, nullptr, &message, nullptr, nullptr));
    EXPECT_EQ(tree, nullptr) << c.call;
    EXPECT_EQ(message, c.message) << c.call;
    EXPECT_NE(text.find(std::string("\"") + c.message + "\""),
              std::string::npos)
        << "the reference does not quote " << c.message;
  }
}

// The random generators' rows: Uniform(a, b) with a > b draws in (b, a],
// with a = b gives a; the others outside their ranges draw what their rows
// say.
TEST(FunctionReferenceTest, RandomGeneratorsOutsideTheirRangesDrawAsStated) {
  VRN_randomGenerator generator(17);
  VRN_evalContext context;
  context.SetRandomGenerator(&generator);
  auto draws = [&](const char* text) {
    std::unique_ptr<VRN_expression> tree = ParseClosed(text);
    std::vector<double> values;
    for (int i = 0; tree != nullptr && i < 2000; ++i) {
      values.push_back(tree->Evaluate(&context));
    }
    return values;
  };
  int low_half = 0;
  for (double v : draws("Uniform(3, 1)")) {
    EXPECT_TRUE(v > 1 && v <= 3) << v;
    low_half += v < 2;
  }
  EXPECT_GT(low_half, 800);
  EXPECT_LT(low_half, 1200);
  for (double v : draws("Uniform(2, 2)")) EXPECT_EQ(v, 2);
  for (double v : draws("Exponential(-1)")) EXPECT_LT(v, 0);
  for (double v : draws("Exponential(0)")) EXPECT_EQ(v, INFINITY);
  for (double v : draws("Weibull(-2, 1)")) EXPECT_LT(v, 0);
  double sum = 0;
  for (double v : draws("Ln(Lognormal(0, -1))")) sum += v;
  EXPECT_NEAR(sum / 2000, 0.0, 0.1);  // the mean of ln of Lognormal(0, 1)
  // Poisson: -1 for every mean that is no positive finite number.
  for (const char* text : {"Poisson(0)", "Poisson(-3)", "Poisson(Inf())",
                           "Poisson(0/0)"}) {
    for (double v : draws(text)) EXPECT_EQ(v, -1) << text;
  }
  for (double v : draws("Poisson(1e300)")) EXPECT_TRUE(std::isnan(v));
  // Probabilities, weights, heights and boundaries out of range still draw.
  const struct {
    const char* text;
    double always;
  } fixed[] = {{"Bernoulli(1.5)", 1},        {"Bernoulli(-0.5)", 0},
               {"Binomial(5, 1.5)", 5},      {"Binomial(5, 0/0)", 0},
               {"Discrete(1, 2, 0, 0)", 2},  {"Discrete(1, 2, -1, 1)", 2},
               {"Log(8, 0)", 0}};
  for (const auto& c : fixed) {
    for (double v : draws(c.text)) EXPECT_EQ(v, c.always) << c.text;
  }
  EXPECT_TRUE(std::signbit(draws("Log(8, 0)").front()));
  EXPECT_FALSE(std::signbit(draws("Log(0.5, 0)").front()));
  for (const char* text : {"CustomPDF(0, 1, -1, -1)", "Steps(1, 0, 1)"}) {
    low_half = 0;
    for (double v : draws(text)) {
      EXPECT_TRUE(v >= 0 && v <= 1) << text << " drew " << v;
      low_half += v < 0.5;
    }
    EXPECT_GT(low_half, 800) << text;
    EXPECT_LT(low_half, 1200) << text;
  }
  for (double v : draws("Weibull(1, -1)")) EXPECT_TRUE(v > 0 && std::isfinite(v));
  int zeros = 0;
  for (double v : draws("Weibull(1, 0)")) {
    EXPECT_TRUE(v == 0 || v == INFINITY) << v;
    zeros += v == 0;
  }
  EXPECT_NEAR(zeros / 2000.0, 1 - std::exp(-1.0), 0.05);  // u > 1/e
}

}  // namespace
