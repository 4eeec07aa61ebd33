#include "learning/bk_knowledge.h"

#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "base/status.h"
#include "io/xml/xml_reader.h"
#include "io/xml/xml_writer.h"
#include "learning/dataset.h"

namespace {

// Tier numbers size the width vector; larger ones are refused.
constexpr int kMaxTier = 65535;

locale_t ClassicNumbers() {
  static const locale_t classic =
      newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return classic;
}

// Reads the knowledge file into a fresh record.
class Loader : public XmlReader, public XmlErrorHandler {
 public:
  Loader(VRN_bkKnowledge* record, std::string* errorText)
      : record_(*record),
        error_text_(errorText),
        knowledge_(this, "knowledge", 0, &Loader::OnKnowledge, nullptr),
        tier_(this, "tier", 0, &Loader::OnTier, nullptr),
        variable_(this, "variable", 0, &Loader::OnVariable, nullptr),
        variable_comment_(this, "comment", 0, nullptr, &Loader::OnVariableComment),
        force_(this, "force", 0, &Loader::OnForce, nullptr),
        force_comment_(this, "comment", 0, nullptr, &Loader::OnForceComment),
        forbid_(this, "forbid", 0, &Loader::OnForbid, nullptr),
        forbid_comment_(this, "comment", 0, nullptr, &Loader::OnForbidComment) {
    knowledge_.AddAttribute("version", true);
    knowledge_.AddChild(&tier_, kXmlRequired | kXmlRepeat);
    // Not required: an empty record is written without variables and must
    // read back.
    knowledge_.AddChild(&variable_, kXmlRepeat);
    knowledge_.AddChild(&force_, kXmlRepeat);
    knowledge_.AddChild(&forbid_, kXmlRepeat);
    tier_.AddAttribute("index", true);
    tier_.AddAttribute("width", true);
    variable_.AddAttribute("id", true);
    variable_.AddAttribute("tier", false);
    variable_.AddAttribute("position", true);
    variable_.AddChild(&variable_comment_, 0);
    force_.AddAttribute("from", true);
    force_.AddAttribute("to", true);
    force_.AddChild(&force_comment_, 0);
    forbid_.AddAttribute("from", true);
    forbid_.AddAttribute("to", true);
    forbid_.AddChild(&forbid_comment_, 0);
  }

  bool Load(const std::string& fileName) {
    Init(nullptr, nullptr);
    return ReadFile(fileName.c_str(), &knowledge_, this);
  }

  void OnError(const char* message, int line, int column) override {
    if (error_text_ == nullptr) return;
    *error_text_ = "Error at " + std::to_string(line) + ", " + std::to_string(column) + ": " +
                   message;
  }
  // The file may carry what this reader does not know; it is skipped.
  void OnUnknownElement(const char*, const char*, int, int) override {}
  void OnUnknownAttribute(const char*, const char*, int, int) override {}

 private:
  void OnKnowledge(IXmlReader& reader) {
    std::string version;
    reader.GetAttribute("version", version);
    if (strtod_l(version.c_str(), nullptr, ClassicNumbers()) != 1.0) {
      reader.Abort(("Invalid version attribute '" + version + "', expected '1.0'").c_str());
    }
  }
  void OnTier(IXmlReader& reader) {
    int index = 0;
    int width = 0;
    if (!reader.GetIntAttribute("index", index, 0)) return;
    if (index < 0 || index > kMaxTier) return reader.Abort("Invalid tier index");
    if (record_.tierWidths.size() <= static_cast<std::size_t>(index)) {
      record_.tierWidths.resize(static_cast<std::size_t>(index) + 1, 0);
    }
    if (!reader.GetIntAttribute("width", width, 0)) return;
    if (width < 1) return reader.Abort("Invalid tier width");
    record_.tierWidths[static_cast<std::size_t>(index)] = width;
  }
  void OnVariable(IXmlReader& reader) {
    std::string id;
    reader.GetAttribute("id", id);
    if (index_.count(id) != 0) {
      return reader.Abort(("Duplicated variable id: '" + id + "'").c_str());
    }
    std::string text;
    reader.GetAttribute("position", text);
    std::vector<int> position;
    const char* cursor = text.c_str();
    while (position.size() < 4) {
      char* end = nullptr;
      errno = 0;
      const long number = std::strtol(cursor, &end, 10);
      if (end == cursor || errno == ERANGE || number < INT_MIN || number > INT_MAX) break;
      position.push_back(static_cast<int>(number));
      cursor = end;
    }
    if (position.size() < 4) {
      return reader.Abort(("Invalid variable position specified for '" + id + "'").c_str());
    }
    int tier = 0;
    if (!reader.GetIntAttribute("tier", tier, 0)) return;
    if (tier < 0 || static_cast<std::size_t>(tier) >= record_.tierWidths.size()) {
      return reader.Abort(("Invalid tier index specified for '" + id + "'").c_str());
    }
    const int variable = static_cast<int>(record_.variables.size());
    if (tier > 0) record_.tiers.emplace_back(variable, tier);
    index_.emplace(id, variable);
    record_.variables.push_back(VRN_bkVariable{id, std::string(), position});
  }
  void OnArc(IXmlReader& reader, std::vector<VRN_bkKnowledge::Pair>* list) {
    std::string from;
    std::string to;
    reader.GetAttribute("from", from);
    reader.GetAttribute("to", to);
    const auto parent = index_.find(from);
    const auto child = index_.find(to);
    if (parent == index_.end() || child == index_.end()) {
      return reader.Abort(("Invalid arc: '" + from + "' -> '" + to + "'").c_str());
    }
    list->emplace_back(parent->second, child->second);
  }
  void OnForce(IXmlReader& reader) { OnArc(reader, &record_.forcedArcs); }
  void OnForbid(IXmlReader& reader) { OnArc(reader, &record_.forbiddenArcs); }
  void OnVariableComment(IXmlReader& reader) {
    reader.GetUnescapedText(record_.variables.back().comment);
  }
  void OnForceComment(IXmlReader& reader) {
    reader.GetUnescapedText(record_.arcComments[record_.forcedArcs.back()]);
  }
  void OnForbidComment(IXmlReader& reader) {
    reader.GetUnescapedText(record_.arcComments[record_.forbiddenArcs.back()]);
  }

  VRN_bkKnowledge& record_;
  std::string* error_text_;
  std::unordered_map<std::string, int> index_;  // variable by id
  XmlHandler<Loader> knowledge_;
  XmlHandler<Loader> tier_;
  XmlHandler<Loader> variable_;
  XmlHandler<Loader> variable_comment_;
  XmlHandler<Loader> force_;
  XmlHandler<Loader> force_comment_;
  XmlHandler<Loader> forbid_;
  XmlHandler<Loader> forbid_comment_;
};

}  // namespace

int VRN_bkKnowledge::FindVariable(const std::string& id) const {
  for (std::size_t v = 0; v < variables.size(); ++v) {
    if (variables[v].id == id) return static_cast<int>(v);
  }
  return -1;
}

int VRN_bkKnowledge::GetTier(int variable) const {
  for (const Pair& entry : tiers) {
    if (entry.first == variable) return entry.second;
  }
  return 0;
}

int VRN_bkKnowledge::ReadFile(const std::string& fileName, std::string* errorText) {
  VRN_bkKnowledge fresh;
  try {
    Loader loader(&fresh, errorText);
    if (!loader.Load(fileName)) return qelta::kErrFileIo;
  } catch (const std::bad_alloc&) {
    if (errorText != nullptr) *errorText = "Out of memory reading file " + fileName;
    return qelta::kErrFileIo;
  }
  *this = std::move(fresh);
  return qelta::kOk;
}

int VRN_bkKnowledge::WriteFile(const std::string& fileName, std::string* errorText) {
  auto fail = [&](std::string message) {
    if (errorText != nullptr) *errorText = std::move(message);
    return qelta::kErrFileIo;
  };
  // Refuse, before the file exists, what its reader would refuse or what
  // would name variables that are not there.
  for (const Pair& entry : tiers) {
    if (entry.second < 0 || entry.second > kMaxTier) {
      return fail("Invalid tier " + std::to_string(entry.second) + " of variable " +
                  std::to_string(entry.first));
    }
  }
  const long limit = variables.empty() ? kMaxTier + 1L : static_cast<long>(variables.size());
  auto bad_index = [&](int index) { return index < 0 || index >= limit; };
  for (const std::vector<Pair>* list : {&forcedArcs, &forbiddenArcs}) {
    for (const Pair& arc : *list) {
      if (bad_index(arc.first) || bad_index(arc.second)) {
        return fail("Invalid variable index in arc " + std::to_string(arc.first) + " -> " +
                    std::to_string(arc.second));
      }
    }
  }
  for (const Pair& entry : tiers) {
    if (bad_index(entry.first)) {
      return fail("Invalid variable index in tier entry: " + std::to_string(entry.first));
    }
  }
  // The reader finds variables by identifier: one XML cannot carry (written
  // with U+FFFD) or with a control byte (written as ".") would read back as
  // another, or as one another variable holds. Comments read back as
  // written but for control bytes, which become ".".
  std::unordered_set<std::string> ids;
  for (std::size_t v = 0; v < variables.size(); ++v) {
    const VRN_bkVariable& variable = variables[v];
    const std::string which = "Variable " + std::to_string(v) + " ('" + variable.id + "')";
    if (!XmlWriter::IsXmlText(variable.id.c_str()) ||
        XmlWriter::HasDottedControlByte(variable.id.c_str())) {
      return fail(which + " cannot be written: its identifier holds bytes that are not UTF-8, "
                          "a character XML does not allow or a control byte");
    }
    if (!ids.insert(variable.id).second) {
      return fail(which + " cannot be written: an earlier variable has its identifier");
    }
    if (!XmlWriter::IsXmlText(variable.comment.c_str())) {
      return fail(which + " cannot be written: its comment holds bytes that are not UTF-8, "
                          "or a character XML does not allow");
    }
  }
  for (const std::vector<Pair>* list : {&forcedArcs, &forbiddenArcs}) {
    for (const Pair& arc : *list) {
      const auto comment = arcComments.find(arc);
      if (comment == arcComments.end() || XmlWriter::IsXmlText(comment->second.c_str())) {
        continue;
      }
      return fail("The comment of arc " + std::to_string(arc.first) + " -> " +
                  std::to_string(arc.second) +
                  " cannot be written: it holds bytes that are not UTF-8, or a character XML "
                  "does not allow");
    }
  }
  XmlWriterFileOutput output;
  if (!output.Open(fileName.c_str())) return fail("Can't open file " + fileName);

  // Completion: default names, tier widths and box positions.
  if (variables.empty()) {
    int largest = -1;
    for (const std::vector<Pair>* list : {&forcedArcs, &forbiddenArcs, &tiers}) {
      for (const Pair& entry : *list) {
        largest = std::max(largest, entry.first);
        if (list != &tiers) largest = std::max(largest, entry.second);
      }
    }
    for (int v = 0; v <= largest; ++v) {
      variables.push_back(VRN_bkVariable{"var" + std::to_string(v), std::string(), {}});
    }
  }
  int top_tier = 0;
  for (const Pair& entry : tiers) top_tier = std::max(top_tier, entry.second);
  if (tierWidths.size() < static_cast<std::size_t>(top_tier) + 1) {
    const std::size_t from = tierWidths.size();
    tierWidths.resize(static_cast<std::size_t>(top_tier) + 2);
    for (std::size_t t = from; t < tierWidths.size(); ++t) tierWidths[t] = t == 0 ? 320 : 160;
  }
  // A file may declare tier 2 without tier 1; the slot it leaves would be
  // written as a width the reader refuses.
  for (std::size_t t = 0; t < tierWidths.size(); ++t) {
    if (tierWidths[t] < 1) tierWidths[t] = t == 0 ? 320 : 160;
  }
  std::map<int, int> bottom;  // lowest box bottom per tier
  for (std::size_t v = 0; v < variables.size(); ++v) {
    const std::vector<int>& position = variables[v].position;
    if (position.size() != 4) continue;
    const int tier = GetTier(static_cast<int>(v));
    auto found = bottom.find(tier);
    if (found == bottom.end()) {
      bottom[tier] = position[3];
    } else {
      found->second = std::max(found->second, position[3]);
    }
  }
  for (std::size_t v = 0; v < variables.size(); ++v) {
    if (variables[v].position.size() == 4) continue;
    int& b = bottom[GetTier(static_cast<int>(v))];  // 0 when the tier is new
    variables[v].position = {10, b + 10, 82, b + 46};
    b += 46;
  }

  XmlWriter writer(&output);
  writer.WriteHeader(true);
  writer.AddStringAttribute("version", "1.0");
  writer.StartElement("knowledge");
  for (std::size_t t = 0; t < tierWidths.size(); ++t) {
    writer.AddIntAttribute("index", static_cast<int>(t));
    writer.AddIntAttribute("width", tierWidths[t]);
    writer.WriteTextElement("tier", nullptr, 0);
  }
  for (std::size_t v = 0; v < variables.size(); ++v) {
    const VRN_bkVariable& variable = variables[v];
    writer.AddStringAttribute("id", variable.id.c_str());
    for (const Pair& entry : tiers) {
      if (entry.first != static_cast<int>(v)) continue;
      writer.AddIntAttribute("tier", entry.second);
      break;
    }
    char position[64];
    std::snprintf(position, sizeof position, "%d %d %d %d", variable.position[0],
                  variable.position[1], variable.position[2], variable.position[3]);
    writer.AddStringAttribute("position", position);
    if (variable.comment.empty()) {
      writer.WriteTextElement("variable", nullptr, 0);
    } else {
      writer.StartElement("variable");
      writer.WriteTextElement("comment", variable.comment.c_str(), 1);
      writer.EndElement("variable");
    }
  }
  for (const auto& [element, list] :
       {std::make_pair("force", &forcedArcs), std::make_pair("forbid", &forbiddenArcs)}) {
    for (const Pair& arc : *list) {
      writer.AddStringAttribute("from", variables[static_cast<std::size_t>(arc.first)].id.c_str());
      writer.AddStringAttribute("to", variables[static_cast<std::size_t>(arc.second)].id.c_str());
      const auto comment = arcComments.find(arc);
      if (comment == arcComments.end()) {
        writer.WriteTextElement(element, nullptr, 0);
      } else {
        writer.StartElement(element);
        writer.WriteTextElement("comment", comment->second.c_str(), 1);
        writer.EndElement(element);
      }
    }
  }
  writer.EndElement("knowledge");
  const bool written = !writer.Failed();
  if (!output.Close() || !written) return fail("Error writing file " + fileName);
  return qelta::kOk;
}

int VRN_bkKnowledge::MatchData(const VRN_dataset& data, std::string* errorText) {
  if (variables.empty()) {
    variables.resize(static_cast<std::size_t>(data.GetVariableCount()));
    for (std::size_t v = 0; v < variables.size(); ++v) {
      variables[v].id = data.GetVariable(static_cast<int>(v)).id;
    }
    return qelta::kOk;
  }
  std::vector<int> column(variables.size());
  bool any = false;
  for (std::size_t v = 0; v < variables.size(); ++v) {
    column[v] = data.FindVariable(variables[v].id);
    any = any || column[v] >= 0;
  }
  if (!any) {
    if (errorText != nullptr) {
      *errorText = "MatchData: there are no matches between dataset and background knowledge.";
    }
    return qelta::kErrOutOfRange;
  }
  // Entries naming no variable (given by index before the variables were
  // known) have no column either.
  auto column_of = [&](int v) {
    return v >= 0 && static_cast<std::size_t>(v) < column.size()
               ? column[static_cast<std::size_t>(v)]
               : -1;
  };
  for (std::vector<Pair>* list : {&forcedArcs, &forbiddenArcs}) {
    std::vector<Pair> kept;
    for (const Pair& arc : *list) {
      const int from = column_of(arc.first);
      const int to = column_of(arc.second);
      if (from >= 0 && to >= 0) kept.emplace_back(from, to);
    }
    *list = std::move(kept);
  }
  std::vector<Pair> kept;
  for (const Pair& entry : tiers) {
    const int at = column_of(entry.first);
    if (at >= 0) kept.emplace_back(at, entry.second);
  }
  tiers = std::move(kept);
  return qelta::kOk;
}
