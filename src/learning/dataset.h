// VRN_dataset: the table of observations that the learners read.
//
// A data set is a list of variables (columns), each either discrete (32-bit
// int cells holding state indexes) or continuous (32-bit float cells), with
// a per-variable missing-value marker, optional state names for discrete
// variables, and an optional record index that selects and orders a subset
// of the stored records. It is filled from a delimited text file
// (ReadFile), cell by cell, or by the learners that build result tables.
//
// Record numbers taken by the cell operations are numbers after the record
// index: record r is the stored record index[r] when an index is set, else
// the stored record r. The cell operations do not check their indexes; the
// callers (the Java binding, the learners) do.
//
// Missing-value rule: a discrete cell is missing when it equals the
// variable's missing int. A continuous cell is missing when it equals a
// finite missing float; with a non-finite missing float (the default NaN)
// every NaN or infinite cell is missing, whatever its bits.
//
// Ownership: the data set owns its variables, columns and record index;
// copies are deep. Thread use: one thread at a time; const operations may
// run concurrently.
#ifndef QELTA_LEARNING_DATASET_H_
#define QELTA_LEARNING_DATASET_H_

#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <vector>

class VRN_network;

struct VRN_datasetVariable {
  bool discrete = true;  // int column; false for a float column
  std::string id;        // may be empty (a file without a header line)
  int missingInt = -1;
  float missingFloat = std::numeric_limits<float>::quiet_NaN();
  // Entry k names the int value k; empty unless set.
  std::vector<std::string> stateNames;
};

struct VRN_datasetReadOptions {
  std::string missingValueToken = "*";
  int missingInt = -1;
  float missingFloat = std::numeric_limits<float>::quiet_NaN();
  bool columnIdsPresent = true;
};

struct VRN_datasetWriteOptions {
  std::string missingValueToken = "*";
  bool columnIdsPresent = true;
  bool unused = false;  // kept for callers that fill it; never read
  char separator = '\t';
  // printf format applied to a float cell converted to double. The default
  // "%g" is written as the shortest text that reads back to the same float.
  std::string floatFormat = "%g";
};

// One column-to-node match: node handle, slice (0 for an ordinary node, k
// for slice k of a temporal plate node), column (variable index).
struct VRN_dataMatch {
  int node = 0;
  int slice = 0;
  int column = 0;
};

class VRN_dataset {
 public:
  VRN_dataset() = default;
  VRN_dataset(const VRN_dataset&) = default;
  VRN_dataset& operator=(const VRN_dataset&) = default;
  VRN_dataset(VRN_dataset&&) noexcept = default;
  VRN_dataset& operator=(VRN_dataset&&) noexcept = default;
  ~VRN_dataset() = default;

  // Frees every column and the record index; no variables remain.
  void Clear();

  // -32 when id is non-empty and already used; otherwise appends the
  // variable (no state names) with a column holding its missing value for
  // every stored record; 0.
  int AddVariable(const std::string& id, bool discrete, int missingInt,
                  float missingFloat);
  int addIntVariable(const std::string& id, int missingInt);
  int addFloatVariable(const std::string& id, float missingFloat);
  // Drops the record index, then appends a record of missing cells.
  void AddEmptyRecord();

  // Index of the first variable with exactly this id; -1 for an empty or
  // unknown id.
  int FindVariable(const std::string& id) const;
  // -2 for a bad index; 0 without change for the variable's own id; -32
  // when another variable has it; else sets it, 0.
  int SetVariableId(int variable, const std::string& id);
  // -2 for a bad index, -4 for a continuous variable; else replaces the
  // state names; 0.
  int setStateNames(int variable, const std::vector<std::string>& names);

  int GetVariableCount() const { return static_cast<int>(variables_.size()); }
  // REQUIRES: 0 <= variable < GetVariableCount().
  const VRN_datasetVariable& GetVariable(int variable) const {
    return variables_[static_cast<std::size_t>(variable)];
  }

  // Stored records (the length of every column); 0 without variables.
  int GetNumberOfRecords() const;
  // Records in use: the index's length when one is set, else stored ones.
  int GetRecordCount() const;
  // -2 (nothing changes) when an entry is not a stored record; else
  // replaces the record index with a copy; 0.
  int SetRecordIndex(const std::vector<int>& index);
  void ClearRecordIndex() { recordIndex_.reset(); }
  bool HasRecordIndex() const { return recordIndex_.has_value(); }

  // Cells, by record number after the index.
  // REQUIRES: valid variable of the right kind; 0 <= record < count.
  int GetInt(int variable, int record) const {
    return columns_[static_cast<std::size_t>(variable)]
        .ints[Stored(record)];
  }
  void SetInt(int variable, int record, int value) {
    columns_[static_cast<std::size_t>(variable)].ints[Stored(record)] = value;
  }
  float GetFloat(int variable, int record) const {
    return columns_[static_cast<std::size_t>(variable)]
        .floats[Stored(record)];
  }
  void SetFloat(int variable, int record, float value) {
    columns_[static_cast<std::size_t>(variable)].floats[Stored(record)] =
        value;
  }
  // The stored cells of a discrete variable (GetNumberOfRecords() of them,
  // before the record index), for loops over many records.
  // REQUIRES: a valid discrete variable.
  const int* IntCells(int variable) const {
    return columns_[static_cast<std::size_t>(variable)].ints.data();
  }
  // The record index, or null when none is set.
  const std::vector<int>* RecordIndex() const {
    return recordIndex_ ? &*recordIndex_ : nullptr;
  }
  void SetMissing(int variable, int record);
  bool IsMissing(int variable, int record) const;
  // True when a record in use is missing; false without records.
  bool HasMissingValues(int variable) const;
  // True when all non-missing values in use are equal (or there are none).
  bool IsConstant(int variable) const;

  // True when value is missing under the rule for a float column whose
  // missing value is missingFloat.
  static bool IsMissingFloat(float value, float missingFloat) {
    if (std::isfinite(missingFloat)) return value == missingFloat;
    return !std::isfinite(value);
  }

  // ------------------------------------------------------------ files
  // Reads a delimited text file (see dataset_file.cpp). Null options mean
  // the defaults. 0 on success, the data set then holding exactly the file;
  // -103 on failure with the reason in *errorText (when given), the data
  // set then unchanged.
  int ReadFile(const std::string& fileName,
               const VRN_datasetReadOptions* options, std::string* errorText);
  // Writes the records in use as delimited text, so that ReadFile with the
  // same token and ids (and the default missing int -1 and float NaN) gives
  // the same cells: continuous cells as continuous ones, bit for bit with
  // the default float format (another format rounds as it says); discrete
  // cells by state name, a column coming back with the states its cells
  // name in bytewise order, the others dropped and the indexes renumbered,
  // and without names when no cell in use has one. A continuous column
  // without any value comes back as an int column of missing cells; ids
  // come back when written. 0, or -103 with the reason in *errorText (when
  // given), the file then not created unless it failed to open or write:
  // an invalid separator or token; no variables, or no records without
  // ids; an id or name that could not be read back (a state name the reader
  // takes as a number, "2" or "nan", or a state name a variable holds
  // twice, included); a cell the reader would
  // take for missing (-1 in a column of numbers whose missing int is
  // another, a non-finite value of a column whose missing float is
  // finite); a first line the reader would split elsewhere (more than one
  // column with a separator other than TAB, ',', ';' or ' ', or a cell
  // there holding one of these the reader prefers to the separator) or
  // refuse (a single column without any of them over 128 bytes); with a
  // single column, a token holding the separator found in the first line.
  // The record or variable concerned is named.
  int WriteFile(const std::string& fileName,
                const VRN_datasetWriteOptions* options,
                std::string* errorText) const;

  // --------------------------------------------------- discretization
  // Bin counts size allocations (names, edges); more bins than this make no
  // sense for a learner.
  static constexpr int kMaxBins = 65535;
  // Turns the values of one variable into bin numbers (method 0 grouping,
  // 1 equal width, 2 equal count) and names the bins after namePrefix
  // (none when empty); *edges (when given) receives the bin edges. 0, or
  // -2, -3, -19, -30 from the edge computation with nothing changed; -2
  // also for a bad variable index or more than 65,535 bins.
  int Discretize(int variable, int method, int binCount,
                 const std::string& namePrefix, std::vector<double>* edges);

  // ---------------------------------------------------------- matching
  // Pairs columns with nodes of net by identifier (and with slices of
  // temporal plate nodes as "<id>_<k>") and maps discrete columns' named
  // values to outcome indexes. 0 with at least one match; -51, -4 or -2
  // with *errorText set; matches found before a failure stay.
  int MatchNetwork(VRN_network& net, std::vector<VRN_dataMatch>& matches,
                   std::string& errorText);
  // Maps the column's state names to the node's outcome indexes. 0, -4 or
  // -51 with errorText set (the column then unchanged).
  int MapValuesToOutcomes(int column, int node, const VRN_network& net,
                          std::string& errorText);
  // Resets net and gives it one CPT node per column (node i is column i),
  // repairing ids and state names, and rewrites the columns' values as
  // outcome indexes.
  void BuildNetwork(VRN_network& net);

 private:
  struct Column {
    std::vector<int> ints;      // discrete variable
    std::vector<float> floats;  // continuous variable
  };
  friend class VRN_datasetReader;

  std::size_t Stored(int record) const {
    return recordIndex_ ? static_cast<std::size_t>(
                              (*recordIndex_)[static_cast<std::size_t>(record)])
                        : static_cast<std::size_t>(record);
  }

  std::vector<VRN_datasetVariable> variables_;
  std::vector<Column> columns_;
  std::optional<std::vector<int>> recordIndex_;
};

#endif  // QELTA_LEARNING_DATASET_H_
