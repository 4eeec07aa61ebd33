// VRN_vrnSpeaker: the engine's own text network file (format code 4,
// extension "vrn").
//
// A file is one "net" block of statements, each ending with ";". Blocks are
// a name, "=", "{", statements and "}"; nodes, submodels and the cost
// entries are a word, an identifier and a brace block:
//
//   net Example
//   {
//    HEADER =
//     {
//      ID = Example;
//     };
//    node Rain
//     {
//      TYPE = CPT;
//      PARENTS = ();
//      DEFINITION =
//       {
//        NAMESTATES = (yes, no);
//        PROBABILITIES = (0.2, 0.8);
//       };
//     };
//    OBSERVATION_COST =
//     {
//     };
//   };
//
// The file carries everything of a network but evidence and results:
// headers, layout, submodels, text boxes, user properties, documentation,
// definitions, diagnosis attributes and observation costs. DeMorgan,
// noisy-adder and equation nodes keep only their kind (so only those the
// reader makes by default are written), multi-attribute utility nodes only
// their weights.
//
// Reading is lenient: a bad statement is logged with "(line %d) : " and
// skipped, and reading goes on. Only a file that cannot be read, one that
// does not start with "net" <identifier> "{", an unknown character, a
// string or comment left open, a file that ends before its net block is
// closed, a table, parameter (baseline, strengths, resulting states) or
// outcome list that cannot be built as given, a node kind or submodel the
// node cannot take, a parents list that cannot be read, a
// statement or block left unended before a statement that gives a node
// or part of one (the skip would lose it) and a submodel nested too
// deeply end the read with a failure, and so does an arc that cannot be
// added (a parent must come before its child). Text is stored as valid UTF-8 (see
// ReadIdentifierList).
//
// Writing puts every node in parents-before-children order, so the file
// reads back into the same network; each number is the shortest text that
// reads back to the same double.
//
// Ownership: the network is the caller's. Thread use: one speaker serves one
// call on the calling thread.
#ifndef QELTA_IO_TEXT_VRN_H_
#define QELTA_IO_TEXT_VRN_H_

#include <string>

#include "io/format.h"

class VRN_documentation;
class VRN_header;
class VRN_node;
class VRN_submodel;
class VRN_userProperties;
struct VRN_screenInfo;
struct VRN_textBox;

class VRN_vrnSpeaker : public VRN_fileFormat {
 public:
  // REQUIRES: network != nullptr and outlives the speaker.
  explicit VRN_vrnSpeaker(VRN_network* network);
  ~VRN_vrnSpeaker() override;

  // Builds the network from the file. 0 once the file was read (bad
  // statements are logged and skipped); -42 when the lexer cannot be made;
  // the lexer's status when the file cannot be opened (-103) or is empty
  // (-102); -127 with a message when it does not start with "net", an
  // identifier and "{"; the lexer's status for an unknown character
  // (-126), a string or comment left open (-128) or a read error (-103);
  // -111 when the file ends before the net block is closed; -103 when a
  // table or parameter it gives cannot be built, a node's TYPE or SUBMODEL
  // cannot be taken or its PARENTS list read, an arc it gives cannot be added (a
  // parent not before its child, a table too large), a NAMESTATES or
  // NAMECHOICES list cannot
  // be taken as given, a skip would pass a node's statement (SkipGuard) or
  // a submodel lies deeper than kMaxSubmodelDepth.
  int Read(const char* file_name) override;
  // Writes the network. 0; -101 with a message when the file cannot be
  // opened or any write fails; -2 when a node in the parents-before-
  // children order cannot be found (the file then ends there); -2 before
  // the file is opened when it would not read back (RefuseUnreadable) or
  // the network has temporal nodes.
  int Write(const char* file_name) override;
  // Selects the layout the KI speaker writes for a "dxp" name: node
  // identifiers wrap like other text, a noisy-MAX node gives its outcomes
  // and its parameters in Henrion form (no STRENGTHS), a CAST node no
  // parameters, and every EXTRA_DEFINITION block is empty.
  void SetKiLayout(bool on) { ki_layout_ = on; }

  // The identifier name (else -129, nothing consumed), then "=" and "{"
  // through ExpectOrFail.
  int ReadBlockStart(const char* name) override;
  // name " = " LF at the indentation; one level deeper, "{" LF; one deeper.
  int WriteBlockStart(const char* name) override;
  // The lists with their items stored as valid UTF-8: identifiers with
  // '_' for each byte sequence that is not UTF-8, strings with U+FFFD.
  int ReadIdentifierList(VRN_stringArray* list) override;
  int ReadStringList(VRN_stringArray* list) override;
  // Escaped text wraps with a backslash and a blank ending the line.
  void BeginContinuation() override;
  void EndContinuation() override;

 private:
  // A statement reader answers 0, or a failure after which the statement
  // is skipped (its message already logged). network: the statements are
  // the network block's; else they are a block below it, inside which the
  // file may not end. guard: the words a skip must not pass (SkipGuard);
  // meeting one stops the read with -103.
  template <typename ReadOne>
  int ReadStatements(ReadOne read_one, bool network = false,
                     const char* const* guard = nullptr);
  // Whether the read must stop: an input failure the lexer cannot get past,
  // or the end of the file where it may not end.
  bool Stopped() const { return stop_ != 0; }
  // The current token's text as valid UTF-8.
  std::string Text() const;
  // Records an input failure that ends the read; answers status.
  int NoteInput(int status);
  // After a statement giving the table of node handle answered status: a
  // failure (other than the input's) is logged and fails the read once it
  // ends. Answers status.
  int TableNotBuilt(int handle, int status);
  // Logs that submodel handle lies deeper than any network file may nest
  // submodels and stops the read; answers -103.
  int SubmodelTooDeep(int handle);

  // ---- network level
  int ReadNetStatement();
  int ReadNetField();
  int ReadHeaderBlock(VRN_header* header, bool check_id, int submodel);
  int ReadScreenBlock(const char* name, VRN_screenInfo* info);
  int ReadRectangleBlock(const char* name, int* rect);
  int ReadScreenComment(VRN_submodel* submodel);
  int ReadUserProperties(VRN_userProperties* properties);
  int ReadDocumentation(VRN_documentation* documentation);
  int ReadSubmodel();
  int ReadSubmodelStatement(int submodel);
  int ReadObservationCosts();
  int ReadCostEntry();

  // ---- node level
  int ReadNode();
  int ReadNodeStatement(int handle);
  int ReadNodeType(int handle);
  int ReadNodeHeader(int handle);
  int ReadParents(int handle);
  int ReadDefinitionStatement(int handle);
  int ReadExtraStatement(int handle);
  // Kind-specific definition statements; each answers -129 when the next
  // statement is not its own.
  int ReadProbabilities(int handle);
  int ReadStrengths(int handle);
  int ReadCastStatement(int handle);
  // Outcome ids for NAMESTATES and NAMECHOICES, refused when the table
  // they give would be too large.
  int ReadOutcomeIds(const char* name, int handle);

  // ---- writing
  // -2 with a message naming the node when the file would not read back:
  // a DeMorgan, noisy-adder or equation node whose definition is not the one
  // the reader makes of its kind, parents and outcomes; a table holding a
  // number its kind does not take (stored through GetMatrix); a table over
  // an equation parent of other than two intervals (equation nodes read
  // back with two).
  int RefuseUnreadable();
  int WriteNetwork();
  void WriteHeaderBlock(const VRN_header& header);
  void WriteScreenBlock(const VRN_screenInfo& info);
  void WriteRectangleBlock(const char* name, const int* rect);
  void WriteScreenComments(const VRN_submodel& submodel);
  void WriteUserProperties(const VRN_userProperties& properties);
  void WriteDocumentation(const VRN_documentation& documentation);
  void WriteSubmodels();
  void WriteNode(const VRN_node& node);
  void WriteDefinition(const VRN_node& node);
  void WriteExtraDefinition(const VRN_node& node);
  void WriteCosts(const VRN_node& node);
  // Opens and closes the brace block of a node, submodel or cost entry.
  void WriteEntityStart(const char* word, const char* id);
  void WriteEntityEnd();

  // Set by SetKiLayout.
  bool ki_layout_ = false;
  // The outcome the next DOCUMENTATION block of EXTRA_DEFINITION describes.
  int outcome_documentation_ = 0;
  // Set by TYPE = NOISY_OR or NOISY_AND; cleared by every TYPE statement.
  bool noisy_or_ = false;
  bool noisy_and_ = false;
  // The input failure that ends the read, 0 while reading goes on.
  int stop_ = 0;
};

#endif  // QELTA_IO_TEXT_VRN_H_
