#include "base/strings.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "base/arrays.h"
#include "base/status.h"

namespace {

bool IsAsciiLetter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool SameText(const char* a, const char* b) {
  return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

}  // namespace

char* VRN_strdup(const char* text) {
  if (text == nullptr) return nullptr;
  const size_t n = std::strlen(text) + 1;
  char* copy = new char[n];
  std::memcpy(copy, text, n);
  return copy;
}

// ------------------------------------------------------------- identifiers

bool VRN_IsValidIdChar(char c, bool first) {
  const unsigned char b = static_cast<unsigned char>(c);
  if (b >= 0x80 || IsAsciiLetter(b)) return true;
  if (first) return false;
  return b == '_' || IsAsciiDigit(b);
}

bool VRN_IsValidId(const char* text) {
  if (text == nullptr || text[0] == '\0') return false;
  if (!VRN_IsValidIdChar(text[0], true)) return false;
  for (const char* p = text + 1; *p != '\0'; ++p) {
    if (!VRN_IsValidIdChar(*p, false)) return false;
  }
  return true;
}

bool VRN_MakeValidId(char* text) {
  if (text == nullptr || text[0] == '\0') return false;
  if (!VRN_IsValidIdChar(text[0], true)) text[0] = 'x';
  for (char* p = text + 1; *p != '\0'; ++p) {
    if (!VRN_IsValidIdChar(*p, false)) *p = '_';
  }
  return true;
}

int VRN_MakeValidIdInPlace(char* text) { return VRN_MakeValidId(text) ? 1 : 0; }

bool VRN_MakeValidOutcomeId(std::string& text, int index) {
  if (VRN_IsValidId(text.c_str())) return false;
  std::string rebuilt;
  if (index >= 0) {
    char prefix[32];
    std::snprintf(prefix, sizeof(prefix), "o__%d__", index);
    rebuilt = prefix;
  }
  rebuilt.reserve(rebuilt.size() + text.size());
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    rebuilt.push_back(IsAsciiLetter(b) || IsAsciiDigit(b) ? c : '_');
  }
  text.swap(rebuilt);
  return true;
}

namespace {

// The repair of a name that is not an identifier: a failing first byte is
// kept behind an 'x' rather than replaced, so "0" and "1" stay apart as "x0"
// and "x1"; later failing bytes become '_'. An empty name gives "x2".
std::string RepairName(const char* name) {
  if (name == nullptr || name[0] == '\0') {
    return VRN_idArray::MakeNumberedId(name, 2);
  }
  std::string repaired(name);
  if (!VRN_IsValidIdChar(repaired[0], true)) repaired.insert(0, 1, 'x');
  VRN_MakeValidId(repaired.data());
  return repaired;
}

template <typename NameAt>
void MakeValidIdentifiersImpl(int n, NameAt name_at, VRN_idArray& out) {
  out.Flush();
  // A repair must not meet a name kept as it is, before or after it, nor an
  // earlier repair ("a b" and "a-b" both repair to "a_b").
  std::set<std::string> taken;
  std::map<std::string, int> next_number;
  for (int i = 0; i < n; ++i) {
    const char* name = name_at(i);
    if (VRN_IsValidId(name)) taken.insert(name);
  }
  for (int i = 0; i < n; ++i) {
    const char* name = name_at(i);
    if (VRN_IsValidId(name)) {
      int status = out.Add(name);
      (void)status;  // a valid identifier is always accepted
      continue;
    }
    const std::string repaired = RepairName(name);
    std::string unique = repaired;
    // Numbering goes on where it stopped for the same repair, so that many
    // equal repairs do not cost quadratic time.
    int& k = next_number[repaired];
    if (k < 2) k = 2;
    while (taken.count(unique) != 0) {
      unique = repaired + "_" + std::to_string(k++);
    }
    taken.insert(unique);
    int status = out.Add(unique.c_str());
    (void)status;
  }
}

}  // namespace

void VRN_MakeValidIdentifiers(const std::vector<std::string>& names,
                              VRN_idArray& out) {
  MakeValidIdentifiersImpl(
      static_cast<int>(names.size()),
      [&names](int i) { return names[i].c_str(); }, out);
}

void VRN_MakeValidIdentifiers(const VRN_stringArray& names, VRN_idArray& out) {
  MakeValidIdentifiersImpl(
      names.GetSize(), [&names](int i) { return names.Get(i); }, out);
}

// ------------------------------------------------------------ string array

// The index is derived state: it is never copied and is rebuilt from the
// entries on the first search after any change it cannot follow (an entry
// inserted or removed before the end, a reordering).

const VRN_stringArray::Index* VRN_stringArray::CurrentIndex() const {
  if (GetSize() <= kIndexedSize) return nullptr;
  if (index_ == nullptr) {
    auto index = std::make_unique<Index>();
    index->reserve(items_.size());
    for (int i = 0; i < GetSize(); ++i) {
      if (items_[i] == nullptr) continue;
      auto [it, added] = index->try_emplace(items_[i], IndexEntry{i, 0});
      ++it->second.count;
    }
    index_ = std::move(index);
  }
  return index_.get();
}

void VRN_stringArray::IndexAppended(int i) const {
  if (index_ == nullptr || items_[i] == nullptr) return;
  try {
    auto [it, added] = index_->try_emplace(items_[i], IndexEntry{i, 0});
    ++it->second.count;
    if (it->second.first > i) it->second.first = i;
  } catch (...) {
    // Without memory for the index, the next search rebuilds it.
    index_.reset();
  }
}

void VRN_stringArray::IndexRemoving(int i) const {
  if (index_ == nullptr || items_[i] == nullptr) return;
  auto it = index_->find(items_[i]);
  if (it == index_->end()) {
    index_.reset();
  } else if (it->second.count == 1) {
    index_->erase(it);
  } else if (it->second.first == i || it->first.data() == items_[i]) {
    // The next entry of that text is not known here, or the key views the
    // text that goes.
    index_.reset();
  } else {
    --it->second.count;
  }
}

VRN_stringArray::VRN_stringArray(const VRN_stringArray& other) {
  items_.reserve(other.items_.size());
  for (const char* s : other.items_) items_.push_back(VRN_strdup(s));
}

VRN_stringArray& VRN_stringArray::operator=(const VRN_stringArray& other) {
  if (this == &other) return *this;
  // Copy first so that an allocation failure leaves this array intact.
  std::vector<char*> copies;
  copies.reserve(other.items_.size());
  try {
    for (const char* s : other.items_) copies.push_back(VRN_strdup(s));
  } catch (...) {
    for (char* s : copies) delete[] s;
    throw;
  }
  Flush();
  items_.swap(copies);
  return *this;
}

VRN_stringArray::~VRN_stringArray() { Flush(); }

int VRN_stringArray::SetString(int i, const char* text) {
  if (!IsIndexValid(i)) return qelta::kErrOutOfRange;
  char* copy = VRN_strdup(text);
  IndexRemoving(i);
  delete[] items_[i];
  items_[i] = copy;
  IndexAppended(i);
  return qelta::kOk;
}

int VRN_stringArray::Add(const char* text) {
  char* copy = VRN_strdup(text);
  try {
    items_.push_back(copy);
  } catch (...) {
    delete[] copy;
    throw;
  }
  IndexAppended(GetSize() - 1);
  return qelta::kOk;
}

int VRN_stringArray::Insert(int i, const char* text) {
  if (i == GetSize()) return Add(text);
  if (!IsIndexValid(i)) return qelta::kErrOutOfRange;
  char* copy = VRN_strdup(text);
  try {
    items_.insert(items_.begin() + i, copy);
  } catch (...) {
    delete[] copy;
    throw;
  }
  DropIndex();
  return qelta::kOk;
}

const char* VRN_stringArray::Get(int i) const {
  return IsIndexValid(i) ? items_[i] : nullptr;
}

int VRN_stringArray::FindString(const char* text) const {
  if (text == nullptr) return qelta::kErrOutOfRange;
  if (const Index* index = CurrentIndex()) {
    auto it = index->find(text);
    return it != index->end() ? it->second.first : qelta::kErrOutOfRange;
  }
  for (int i = 0; i < GetSize(); ++i) {
    if (SameText(items_[i], text)) return i;
  }
  return qelta::kErrOutOfRange;
}

bool VRN_stringArray::HasOtherEqual(int i, const char* text) const {
  if (text == nullptr) return false;
  if (const Index* index = CurrentIndex()) {
    auto it = index->find(text);
    if (it == index->end()) return false;
    const bool at_i = SameText(Get(i), text);
    return it->second.count > (at_i ? 1 : 0);
  }
  for (int j = 0; j < GetSize(); ++j) {
    if (j != i && SameText(items_[j], text)) return true;
  }
  return false;
}

int VRN_stringArray::Delete(int i) {
  if (!IsIndexValid(i)) return qelta::kErrOutOfRange;
  if (i == GetSize() - 1) {
    IndexRemoving(i);
  } else {
    DropIndex();
  }
  delete[] items_[i];
  items_.erase(items_.begin() + i);
  return qelta::kOk;
}

void VRN_stringArray::Flush() {
  DropIndex();
  for (char* s : items_) delete[] s;
  items_.clear();
}

int VRN_stringArray::ChangeOrder(const VRN_intArray& order) {
  const int n = GetSize();
  if (order.GetSize() != n || !order.IsPermutation()) {
    return qelta::kErrOutOfRange;
  }
  std::vector<char*> reordered(n);
  for (int i = 0; i < n; ++i) reordered[i] = items_[order[i]];
  items_.swap(reordered);
  DropIndex();
  return qelta::kOk;
}

// ---------------------------------------------------------------- id array

VRN_idArray::VRN_idArray(const VRN_idArray& other)
    : VRN_stringArray(other), allow_empty_(other.allow_empty_) {}

VRN_idArray& VRN_idArray::operator=(const VRN_idArray& other) {
  if (this == &other) return *this;
  VRN_stringArray::operator=(other);
  allow_empty_ = other.allow_empty_;
  return *this;
}

bool VRN_idArray::Accepts(const char* text) const {
  if (text == nullptr || text[0] == '\0') return allow_empty_;
  return VRN_IsValidId(text);
}

int VRN_idArray::SetString(int i, const char* text) {
  if (!Accepts(text)) return qelta::kErrOutOfRange;
  if (text != nullptr && text[0] != '\0' && HasOtherEqual(i, text)) {
    return qelta::kErrOutOfRange;
  }
  return VRN_stringArray::SetString(i, text);
}

int VRN_idArray::Add(const char* text) {
  if (!Accepts(text)) return qelta::kErrOutOfRange;
  return VRN_stringArray::Add(text);
}

int VRN_idArray::Insert(int i, const char* text) {
  if (!Accepts(text)) return qelta::kErrOutOfRange;
  return VRN_stringArray::Insert(i, text);
}

void VRN_idArray::FillEmpty(int n) {
  allow_empty_ = true;
  if (n < 0) {
    for (int i = 0; i < GetSize(); ++i) {
      int status = VRN_stringArray::SetString(i, "");
      (void)status;
    }
    return;
  }
  Flush();
  items_.reserve(n);
  for (int i = 0; i < n; ++i) {
    int status = VRN_stringArray::Add("");
    (void)status;
  }
}

std::string VRN_idArray::MakeNumberedId(const char* name, int first) {
  // Kept whole, however long: a cut name would change data unseen.
  std::string text = (name == nullptr || name[0] == '\0') ? "x" : name;
  VRN_MakeValidId(text.data());
  if (first >= 0) text += std::to_string(first);
  return text;
}

int VRN_idArray::AddNumbered(const char* name, int first) {
  return Add(MakeNumberedId(name, first).c_str());
}

int VRN_idArray::InsertNumbered(const char* name, int first, int i) {
  return Insert(i, MakeNumberedId(name, first).c_str());
}

// ------------------------------------------------------------------ header

VRN_header::VRN_header(const char* id)
    : id_(VRN_strdup(id)), name_(VRN_strdup(id)) {}

VRN_header::VRN_header(const VRN_header& other)
    : id_(VRN_strdup(other.id_)),
      name_(VRN_strdup(other.name_)),
      comment_(VRN_strdup(other.comment_)) {}

VRN_header& VRN_header::operator=(const VRN_header& other) {
  if (this == &other) return *this;
  StoreId(other.id_);
  SetName(other.name_);
  SetComment(other.comment_);
  return *this;
}

VRN_header::~VRN_header() {
  delete[] id_;
  delete[] name_;
  delete[] comment_;
}

int VRN_header::SetId(const char* text) {
  if (!VRN_IsValidId(text)) return qelta::kErrIllegalIdentifier;
  StoreId(text);
  return qelta::kOk;
}

namespace {

void Replace(char*& slot, const char* text) {
  char* copy = VRN_strdup(text);
  delete[] slot;
  slot = copy;
}

}  // namespace

int VRN_header::SetName(const char* text) {
  Replace(name_, text);
  return qelta::kOk;
}

int VRN_header::SetComment(const char* text) {
  Replace(comment_, text);
  return qelta::kOk;
}

void VRN_header::StoreId(const char* text) { Replace(id_, text); }

// -------------------------------------------------------- user properties

int VRN_userProperties::AddProperty(const char* name, const char* value) {
  if (!VRN_IsValidId(name)) return qelta::kErrOutOfRange;
  const int existing = names_.FindString(name);
  if (existing >= 0) {
    int status = DeleteProperty(existing);
    (void)status;  // the index was just found
  }
  int status = names_.Add(name);
  if (status != qelta::kOk) return status;
  return values_.Add(value);
}

int VRN_userProperties::FindProperty(const char* name) const {
  return names_.FindString(name);
}

int VRN_userProperties::DeleteProperty(int i) {
  if (!names_.IsIndexValid(i)) return qelta::kErrOutOfRange;
  int status = names_.Delete(i);
  if (status != qelta::kOk) return status;
  return values_.Delete(i);
}

void VRN_userProperties::Flush() {
  names_.Flush();
  values_.Flush();
}

// ----------------------------------------------------------- documentation

int VRN_documentation::Add(const char* title, const char* path) {
  int status = titles_.Insert(titles_.GetSize(), title);
  if (status != qelta::kOk) return status;
  return paths_.Insert(paths_.GetSize(), path);
}

void VRN_documentation::Flush() {
  titles_.Flush();
  paths_.Flush();
}
