// The expression-language reference of the Java package description lists
// every built-in function of the engine's table with its parameters: a
// function added, renamed, dropped, given another arity or made random
// without the reference following fails here.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

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

}  // namespace
