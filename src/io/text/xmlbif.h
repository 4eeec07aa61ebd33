// VRN_xmlSpeaker: the XMLBIF 0.3 network file (BayesNet Interchange
// Format; format code 6, extension "xml03").
//
//   <BIF VERSION="0.3"><NETWORK><NAME>Cancer</NAME>
//     <VARIABLE TYPE="nature"><NAME>Smoker</NAME>
//       <OUTCOME>yes</OUTCOME><OUTCOME>no</OUTCOME></VARIABLE>
//     <DEFINITION><FOR>Cancer</FOR><GIVEN>Smoker</GIVEN>
//       <TABLE>0.1 0.9 0.01 0.99</TABLE></DEFINITION>
//   </NETWORK></BIF>
//
// The file is read through the text lexer as a source of raw text: a small
// scanner of its own cuts it into start tags, end tags and the text between
// them, skipping the XML declaration, comments, the document type and
// processing instructions. Element texts are taken as written, with the
// XML character references resolved and the surrounding blanks dropped, so
// names and outcomes may hold any characters; they are repaired to
// distinct identifiers for the node and outcome ids, and definitions find
// their nodes by the names as written. Stored names are kept valid UTF-8:
// a byte sequence that is not UTF-8 becomes U+FFFD in a name, '_' in an id. Variable types "nature" and
// "chance" both give chance nodes. Tables are copied as they stand: the
// format lists them with the GIVEN variables in order and the FOR
// variable's outcomes fastest, which is the system's own order.
//
// Element names compare without regard to case and over the written
// name's length, so a name cut short ("NETW", "VAR") stands for the full one.
//
// Reading is lenient where no node loses what the file gives it: unknown
// elements, PROPERTY and misplaced NAME elements, and a decision's TABLE
// are logged with "(line %d) : " (unknown ones quietly) and skipped, and
// reading goes on. A file that cannot be read, lacks the BIF element, has
// another version, ends before its end tag or has BIF elements but no
// NETWORK among them fails, and so does one giving a table, a parent or a
// list of outcomes that cannot be taken as given, a VARIABLE of an unknown
// TYPE, or a known element that gives a node something skipped where it
// does not belong (-103).
//
// Ownership: the network is the caller's. Thread use: one speaker serves
// one call on the calling thread.
#ifndef QELTA_IO_TEXT_XMLBIF_H_
#define QELTA_IO_TEXT_XMLBIF_H_

#include <string>
#include <unordered_map>
#include <vector>

#include "io/format.h"

class VRN_xmlSpeaker : public VRN_fileFormat {
 public:
  // REQUIRES: network != nullptr and outlives the speaker.
  explicit VRN_xmlSpeaker(VRN_network* network);
  ~VRN_xmlSpeaker() override;

  // Builds the network from the file. 0 once the BIF element was read (bad
  // elements are logged and skipped); -42 when the lexer cannot be made;
  // the lexer's status when the file cannot be opened (-103) or is empty
  // (-102); -2 when the BIF element is missing ("ERROR: [BIF] : Tag Not
  // found") or its VERSION is not 0.3 ("ERROR: Incorrect BIF Version");
  // -111 when the input ends before the end tag of BIF; -127 naming the
  // first element skipped when BIF holds elements but no NETWORK; -103 when
  // a table cannot be built as given or a variable's OUTCOME list cannot be
  // taken as its outcomes (an empty one, or one alone); -103 naming the
  // encoding when the file's cannot be read (XmlUtf8Source: UTF-8, UTF-16
  // and ISO-8859-1 are, and ASCII bytes under any ASCII-compatible name).
  int Read(const char* file_name) override;
  // Writes the network as well-formed XML (declaration and document type
  // as conforming parsers take them; older files with an upper-case
  // declaration and an unquoted default still read). 0; -2 (nothing
  // written, message logged) for a network with an equation,
  // multi-attribute utility or temporal node, or an identifier holding a
  // character XML does not allow;
  // -101 when the file cannot be opened or a write fails. A node of a kind
  // the format has no word for is logged and written with the type
  // "Unknown".
  int Write(const char* file_name) override;

  // Consumes markup up to and including the next end tag of any name. 0;
  // -111 when the input ends first.
  int SkipStatement() override;
  // Set and clear the continuation mark (a backslash and a blank).
  void BeginContinuation() override;
  void EndContinuation() override;

 private:
  // One piece of the document.
  struct Markup {
    enum class Kind { kText, kStart, kEnd };
    Kind kind = Kind::kText;
    // The element name of a tag.
    std::string name;
    // Text: as written (literal set for a CDATA section, which holds no
    // references). Start tag: the attributes as written.
    std::string text;
    bool literal = false;
    // A start tag that closes itself ("<NAME/>").
    bool empty = false;
  };

  // The next text or tag; comments, declarations and processing
  // instructions are skipped. 0; -111 at the end of input; -103.
  int NextMarkup(Markup* markup);
  // Complete a piece of markup whose end lies beyond the ">" found: read on
  // through further ">" until the text ends with suffix and holds at least
  // least characters (comments, CDATA sections, processing instructions),
  // or until no quoted value (and with brackets, no "[" of an internal
  // subset) is open. 0; -111 at the end of input; -103.
  int ReadMarkupUntil(std::string* raw, const char* suffix, std::size_t least);
  int ReadMarkupBalanced(std::string* raw, bool brackets);

  // Each element reader starts after the element's start tag (given) and
  // ends after its end tag. 0 when the input may be read on (the problems
  // met are logged), else the input's failure.
  int SkipElement(const Markup& start);
  // For a known element skipped where it does not belong: notes the loss
  // (the read fails, -103 logged) unless the element is a NAME or a
  // PROPERTY, which give no node anything.
  void NoteMisplaced(const std::string& name);
  int ReadNetwork(const Markup& start);
  int ReadVariable(const Markup& start);
  int ReadDefinition(const Markup& start);
  // The text of a text element, references resolved, blanks trimmed. 0;
  // -127 (logged) when it holds an element; the input's failure.
  int ReadTextElement(const Markup& start, std::string* text);
  // The handle of the node with this name as written, else with this id;
  // -2 when there is none.
  int FindNamed(const std::string& name) const;
  // Gives node handle an identifier made from name, distinct from every
  // other node's. 0 or the network's refusal.
  int SetNodeId(int handle, const std::string& name);

  // Gives the network an identifier made from its name, distinct from
  // every node's.
  void SetNetworkId();

  void WriteNode(int handle);
  void WriteDefinition(int handle);
  // "<name>text</name>" and LF at the indentation.
  void WriteTextElement(const char* name, const char* text);
  void WriteLine(const std::string& text);

  // The scanner's position: after a "<" whose tag is next.
  bool at_tag_ = false;
  // The network's name as written; empty when the file gave none.
  std::string network_name_;
  // Node handles by the names written in the file.
  std::unordered_map<std::string, int> named_;
  // The next number to try after each repaired identifier in use.
  std::unordered_map<std::string, int> next_number_;
  // Nodes that received a definition.
  std::vector<bool> defined_;
};

#endif  // QELTA_IO_TEXT_XMLBIF_H_
