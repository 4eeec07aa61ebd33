// Owned strings, identifiers and headers.
//
// Everything that carries a name uses these pieces: VRN_stringArray (a list
// of owned NUL-terminated strings), VRN_idArray (the same list restricted to
// identifiers), the identifier rule and its repair routines, VRN_header (the
// identifier, name and comment of a network, submodel or node), and the two
// parallel-list records VRN_userProperties and VRN_documentation.
//
// Strings are UTF-8 byte strings; comparisons are byte-wise, case-sensitive.
// Every string stored here is a copy made by VRN_strdup and owned by its
// container, freed (delete[]) when replaced or removed.
//
// Thread use: plain values, no internal synchronisation. Searching a long
// string array may build its index, so even const use of one array stays
// on one thread at a time.
#ifndef QELTA_BASE_STRINGS_H_
#define QELTA_BASE_STRINGS_H_

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class VRN_intArray;

// Owned copy of text (length + 1 bytes, free with delete[]); null for null.
char* VRN_strdup(const char* text);

// The identifier rule: non-empty; first byte an ASCII letter or >= 0x80;
// further bytes ASCII letters, digits, '_' or >= 0x80. No length limit.
bool VRN_IsValidId(const char* text);
// The same test for one byte; with first set only letters and >= 0x80 pass.
bool VRN_IsValidIdChar(char c, bool first);
// Repairs text in place: a failing first byte becomes 'x', later failing
// bytes '_'. False (no change) for null or empty text, true otherwise.
bool VRN_MakeValidId(char* text);
int VRN_MakeValidIdInPlace(char* text);

// Lists of more than a few dozen entries (outcomes of a column with many
// distinct values) keep a hash index beside the entries, built on the first
// search and kept up to date by appends and replacements, so that searching
// and adding stay constant-time however long the list grows.
class VRN_stringArray {
 public:
  VRN_stringArray() = default;
  VRN_stringArray(const VRN_stringArray& other);
  VRN_stringArray& operator=(const VRN_stringArray& other);
  // Virtual so that an id array deleted through a base pointer is sound.
  virtual ~VRN_stringArray();

  // -2 unless 0 <= i < size; replaces entry i by a copy of text (null stays
  // null); 0.
  virtual int SetString(int i, const char* text);
  // Appends a copy of text (null stays null); 0.
  virtual int Add(const char* text);
  // i == size appends through Add; else -2 unless 0 <= i < size; inserts a
  // copy at i, later entries move up; 0.
  virtual int Insert(int i, const char* text);

  // The string at i; null when i is out of range (or the entry is null).
  const char* Get(int i) const;
  int GetSize() const { return static_cast<int>(items_.size()); }
  bool IsIndexValid(int i) const { return i >= 0 && i < GetSize(); }
  // Index of the first entry equal to text; null entries never match; -2
  // for a null text or no match.
  int FindString(const char* text) const;
  // -2 out of range; frees entry i, later entries move down; 0.
  int Delete(int i);
  // Frees every entry; size 0.
  void Flush();
  // New entry i = old entry order[i]; -2 (nothing changes) unless order is a
  // permutation of 0..size-1; 0.
  int ChangeOrder(const VRN_intArray& order);

 protected:
  // Whether another entry than i holds text (null never matches).
  bool HasOtherEqual(int i, const char* text) const;

  std::vector<char*> items_;

 private:
  // Shorter lists are searched entry by entry.
  static constexpr int kIndexedSize = 32;

  // Text -> its first index and its number of entries. Views point into
  // the owned entries.
  struct IndexEntry {
    int first;
    int count;
  };
  using Index = std::unordered_map<std::string_view, IndexEntry>;

  // The index, built when missing; null for a short list.
  const Index* CurrentIndex() const;
  void IndexAppended(int i) const;
  // Entry i is about to lose its text.
  void IndexRemoving(int i) const;
  void DropIndex() const { index_.reset(); }

  mutable std::unique_ptr<Index> index_;
};

class VRN_idArray : public VRN_stringArray {
 public:
  VRN_idArray() = default;
  VRN_idArray(const VRN_idArray& other);
  VRN_idArray& operator=(const VRN_idArray& other);

  // -2 when the text is not accepted or another index already holds it;
  // else the base operation.
  int SetString(int i, const char* text) override;
  // -2 when the text is not accepted; duplicates are not tested here.
  int Add(const char* text) override;
  int Insert(int i, const char* text) override;

  bool GetAllowEmpty() const { return allow_empty_; }
  void SetAllowEmpty(bool allow) { allow_empty_ = allow; }
  // Sets allowEmpty; for n < 0 every entry becomes "", keeping the size;
  // otherwise the array becomes n empty strings.
  void FillEmpty(int n);
  // name (null or empty means "x") repaired by VRN_MakeValidId, followed by
  // the decimal text of first when first >= 0. The name is never cut.
  static std::string MakeNumberedId(const char* name, int first);
  int AddNumbered(const char* name, int first);
  int InsertNumbered(const char* name, int first, int i);

 private:
  bool Accepts(const char* text) const;

  bool allow_empty_ = false;
};

// Rebuilds text unless it is already a valid identifier (false, no change):
// "o__<index>__" when index >= 0, then the old bytes with every byte other
// than an ASCII letter or digit replaced by '_'; true.
bool VRN_MakeValidOutcomeId(std::string& text, int index);
// Fills out with one identifier per name: the name when valid, else its
// repair: an 'x' before a first byte that may not start an identifier
// ("0" gives "x0"), '_' for every other failing byte, "x2" for an empty
// (or null) name; a repair that equals a valid name of the list or an
// earlier repair gets "_2", "_3", ... appended, so the repair never makes
// two entries equal (valid names repeated in names stay repeated).
// out is emptied first.
void VRN_MakeValidIdentifiers(const std::vector<std::string>& names,
                              VRN_idArray& out);
void VRN_MakeValidIdentifiers(const VRN_stringArray& names, VRN_idArray& out);

// Identifier, name and comment of a network, submodel or node. The node
// record derives VRN_nodeHeader from it and overrides SetId.
class VRN_header {
 public:
  // id and name both copies of id (no check); comment null.
  explicit VRN_header(const char* id);
  VRN_header(const VRN_header& other);
  // Copies all three strings (self-assignment does nothing).
  VRN_header& operator=(const VRN_header& other);
  virtual ~VRN_header();

  // -30 when text fails the identifier rule; else replaces the id; 0.
  virtual int SetId(const char* text);
  // Replace the string with a copy of any text (also null); 0.
  int SetName(const char* text);
  int SetComment(const char* text);
  // Replaces the id without any check.
  void StoreId(const char* text);

  const char* GetId() const { return id_; }
  const char* GetName() const { return name_; }
  const char* GetComment() const { return comment_; }

 private:
  char* id_ = nullptr;
  char* name_ = nullptr;
  char* comment_ = nullptr;
};

// Ordered (name, value) pairs; names are unique identifiers.
class VRN_userProperties {
 public:
  // -2 (nothing changes) for an invalid name. An existing pair of that name
  // is removed first; the pair is appended at the end; 0.
  int AddProperty(const char* name, const char* value);
  // Index of the pair named name; -2 when absent.
  int FindProperty(const char* name) const;
  int GetSize() const { return names_.GetSize(); }
  const char* GetPropertyName(int i) const { return names_.Get(i); }
  const char* GetPropertyValue(int i) const { return values_.Get(i); }
  // -2 for a bad index; 0.
  int ChangeValue(int i, const char* value) { return values_.SetString(i, value); }
  // -2 for a bad index; deletes pair i; 0.
  int DeleteProperty(int i);
  void Flush();

  const VRN_idArray& GetNames() const { return names_; }
  const VRN_stringArray& GetValues() const { return values_; }

 private:
  VRN_idArray names_;
  VRN_stringArray values_;
};

// Documents as parallel (title, path) lists.
class VRN_documentation {
 public:
  // Appends title then path; a failure is returned at once; 0.
  int Add(const char* title, const char* path);
  // -2 for a bad index; 0.
  int SetPath(int i, const char* path) { return paths_.SetString(i, path); }
  int GetSize() const { return titles_.GetSize(); }
  const char* GetTitle(int i) const { return titles_.Get(i); }
  const char* GetPath(int i) const { return paths_.Get(i); }
  void Flush();

  VRN_stringArray& GetTitles() { return titles_; }
  VRN_stringArray& GetPaths() { return paths_; }
  const VRN_stringArray& GetTitles() const { return titles_; }
  const VRN_stringArray& GetPaths() const { return paths_; }

 private:
  VRN_stringArray titles_;
  VRN_stringArray paths_;
};

#endif  // QELTA_BASE_STRINGS_H_
