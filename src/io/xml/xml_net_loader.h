// Loader of the XML network file ("xvrn"), the engine's own network format.
//
// XmlNetLoader declares the element tree of the document (root "qelta" with
// its settings, user properties, sampling parameters, user-defined
// functions, nodes, observation costs, saved cases and the extension block)
// on the XML reading framework and builds the network through the network's
// own operations as the elements arrive, in document order. Every reference
// to a node (parents, cost parents, evidence, targets, layout) resolves
// through the loader's identifier map, so a node must appear before anything
// that names it; together with the loader's duplicate checks this keeps the
// network's identifiers unique and its arcs acyclic even while the network
// has relaxed its own checks for loading.
//
// A file is never trusted: every problem ends the parse with one -103 entry
// (message, line and column) in the network's error log and Load answers
// false; unknown elements and attributes are -100 warnings only. The network
// keeps what was built before the failing point; emptying it first is the
// caller's job.
//
// Ownership: the loader owns its bindings and, for the default extension, the
// layout-block loader; the network and a caller's extension binding are the
// caller's. One loader serves one Load call on the calling thread.
#ifndef QELTA_IO_XML_XML_NET_LOADER_H_
#define QELTA_IO_XML_XML_NET_LOADER_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "io/xml/xml_reader.h"
#include "io/xml/zantu.h"

class VRN_network;
class VRN_nodeDef;
class VRN_case;

namespace qelta {

// Extension words of the XML network file (reading and writing).
inline constexpr int kXmlExtensionLayout = 0;  // the "zantu" layout block
inline constexpr int kXmlExtensionNone = -1;   // no extension block
// Any other word: the caller supplies its own extension object.
inline constexpr int kXmlExtensionCaller = 1;

}  // namespace qelta

class XmlNetLoader : public XmlReader, public XmlErrorHandler {
 public:
  // Reads a network document into network. When fileName is not null the
  // UTF-8 named file is read, else the NUL-terminated text.
  //
  // extension: qelta::kXmlExtensionLayout reads the "zantu" layout block
  // under "extensions" (when "extensions" is present it must hold it);
  // qelta::kXmlExtensionNone declares nothing there, so its content is only
  // warned about; any other word attaches callerExtension, the root binding
  // of the caller's block, as the required child of "extensions" (not owned;
  // it must outlive the call; a null one declares nothing, as
  // kXmlExtensionNone).
  //
  // True on success (after logging the unknown-content summary when any
  // warning was logged). False after a failure, which is in the network's
  // error log with code -103; the network keeps what was built until then.
  // Throws only std::bad_alloc and the like.
  // REQUIRES: network is not null.
  [[nodiscard]] static bool Load(const char* fileName, const char* text,
                                 VRN_network* network,
                                 int extension = qelta::kXmlExtensionLayout,
                                 IXmlBinding* callerExtension = nullptr);

  XmlNetLoader(const XmlNetLoader&) = delete;
  XmlNetLoader& operator=(const XmlNetLoader&) = delete;
  ~XmlNetLoader() override;

  class Binding;
  class NodeBinding;
  class TemporalBinding;

 private:
  using Member = void (XmlNetLoader::*)(IXmlReader&);

  // Names of "resultingstates": name -> index of first appearance.
  using NameTable = std::map<std::string, int>;

  explicit XmlNetLoader(VRN_network* network);

  // Builds the element tree; extension (may be null) becomes the required
  // child of "extensions".
  void BuildBindings(IXmlBinding* extension);
  Binding* Bind(const char* name, int mode, Member start, Member end,
                Member text = nullptr);
  NodeBinding* BindNode(const char* name, int type, bool hasStates,
                        Member end);

  // Fails the parse with message + ": '" + quoted + "'".
  void AbortQuoted(IXmlReader& reader, const char* message,
                   const std::string& quoted);
  // Fails the parse at a table of node_ that given probabilities cannot fill
  // (cells entries), naming the node and both counts.
  void AbortProbabilityCount(IXmlReader& reader, std::size_t given,
                             std::uint64_t cells);
  // Appends the current token to list as a double; a token strtod does not
  // consume whole, NaN, and an infinity unless allowInfinite abort with the
  // list message and the token's 1-based position in list.
  void AppendDoubleToken(IXmlReader& reader, std::vector<double>& list,
                         bool allowInfinite = false);
  // Handle of the node named id in the identifier map, or -1.
  int FindId(const std::string& id) const;
  // Empties the per-node collections.
  void ClearNodeData();

  // Node elements (called by NodeBinding).
  void OnNodeStart(IXmlReader& reader, const NodeBinding& binding);
  void OnNodeEnd(IXmlReader& reader, const NodeBinding& binding);
  // Arcs and outcomes of the node element that ends; false after a failure.
  bool FinishArcs(IXmlReader& reader);
  bool FinishOutcomes(IXmlReader& reader);

  // Root and network-level elements.
  void OnRootStart(IXmlReader& reader);
  void OnNetPropertyStart(IXmlReader& reader);
  void OnNetPropertyEnd(IXmlReader& reader);
  void OnEpisStart(IXmlReader& reader);
  void OnFunctionEnd(IXmlReader& reader);
  void OnFunctionsEnd(IXmlReader& reader);
  void OnDynamicStart(IXmlReader& reader);

  // Children of node elements.
  void OnNodePropertyStart(IXmlReader& reader);
  void OnNodePropertyEnd(IXmlReader& reader);
  void OnStateStart(IXmlReader& reader);
  void OnParentToken(IXmlReader& reader);
  void OnIntervalsStart(IXmlReader& reader);
  void OnIntervalToken(IXmlReader& reader);
  void OnPointValuesStart(IXmlReader& reader);
  void OnPointValueToken(IXmlReader& reader);
  void OnProbabilitiesStart(IXmlReader& reader);
  void OnValueToken(IXmlReader& reader);
  void OnResultingStatesStart(IXmlReader& reader);
  void OnResultingStateToken(IXmlReader& reader);
  void OnCptEnd(IXmlReader& reader);
  void OnDeterministicEnd(IXmlReader& reader);
  void OnDecisionEnd(IXmlReader& reader);
  void OnUtilityEnd(IXmlReader& reader);
  void OnEquationDefinitionStart(IXmlReader& reader);
  void OnEquationDefinitionEnd(IXmlReader& reader);
  // Parses the element's text with the network's user functions; false,
  // the load ended with "Invalid expression: " and the parser's message,
  // when it does not parse.
  bool CheckExpression(IXmlReader& reader);
  void OnDiscIntervalStart(IXmlReader& reader);
  void OnEquationEnd(IXmlReader& reader);

  // Canonical node elements ("cast", "demorgan", "noisymax", "noisyadder";
  // xml_net_loader_canonical.cpp). AppendCanonicalNodes adds their bindings
  // to `nodes`; StartCanonical runs at the end of a node's start tag.
  void AppendCanonicalNodes(std::vector<NodeBinding*>* nodes);
  void StartCanonical(IXmlReader& reader, const NodeBinding& binding);
  void AppendIntToken(IXmlReader& reader, std::vector<int>& list);
  void OnPositiveWeightToken(IXmlReader& reader);
  void OnNegativeWeightToken(IXmlReader& reader);
  void OnWeightToken(IXmlReader& reader);
  void OnParentTypeToken(IXmlReader& reader);
  void OnStrengthToken(IXmlReader& reader);
  void OnParameterToken(IXmlReader& reader);
  void OnDistinguishedStateToken(IXmlReader& reader);
  void OnBaselineEnd(IXmlReader& reader);
  void OnPriorBeliefEnd(IXmlReader& reader);
  void OnCastEnd(IXmlReader& reader);
  void OnDemorganEnd(IXmlReader& reader);
  void OnNoisyMaxEnd(IXmlReader& reader);
  void OnNoisyAdderEnd(IXmlReader& reader);

  // Multi-attribute utility elements "mau" (weights) and "maux" (one
  // expression per decision configuration; xml_net_loader_mau.cpp).
  void AppendMauNodes(std::vector<NodeBinding*>* nodes);
  void OnMauEnd(IXmlReader& reader);
  void OnMauExpressionEnd(IXmlReader& reader);
  void OnMauxEnd(IXmlReader& reader);
  // Puts the current node's parents back in the order its `parents` element
  // lists them.
  void RestoreParentOrder(IXmlReader& reader);

  // The dynamic part: slice count and temporal definitions of plate nodes
  // (xml_dynamic_loader.cpp).
  void AppendTemporalDefinitions(Binding* dynamic, Binding* parents);
  void OnDynamicEnd(IXmlReader& reader);
  void OnTemporalStart(IXmlReader& reader, const TemporalBinding& binding);
  void OnTemporalEnd(IXmlReader& reader, const TemporalBinding& binding);

  // Observation costs.
  void OnCostNodeStart(IXmlReader& reader);
  void OnCostNodeEnd(IXmlReader& reader);
  void OnCostStart(IXmlReader& reader);
  void OnCostToken(IXmlReader& reader);

  // Cases.
  void OnCaseStart(IXmlReader& reader);
  void OnDescriptionEnd(IXmlReader& reader);
  void OnEvidenceStart(IXmlReader& reader);
  void OnSoftEvidenceStart(IXmlReader& reader);
  void OnSoftEvidenceEnd(IXmlReader& reader);
  void OnTargetStart(IXmlReader& reader);

  VRN_network* network_;
  int node_ = -1;                 // current node handle
  VRN_nodeDef* definition_ = nullptr;  // current node's definition
  VRN_case* case_ = nullptr;      // current case

  // Per-node collections.
  std::vector<std::string> state_ids_;
  std::vector<std::string> state_labels_;
  std::vector<int> parents_;
  // The same as sets, so that duplicates are found without quadratic scans
  // of a long list.
  std::set<std::string> state_id_set_;
  std::set<int> parent_set_;
  std::vector<double> values_;
  std::vector<double> intervals_;
  std::vector<double> point_values_;
  bool has_intervals_ = false;
  bool has_point_values_ = false;
  NameTable resulting_names_;
  std::vector<int> resulting_states_;
  int default_state_ = -1;
  std::vector<int> fault_states_;
  // Whether the element's values child ("probabilities", "resultingstates",
  // "cost") has started; without it the reader reports the missing child.
  bool seen_values_ = false;
  // Lists and numbers of the canonical elements; the noisy-adder function
  // is read from the start tag.
  struct CanonicalData {
    std::vector<double> positive, negative, weights, parameters;
    std::vector<int> types, strengths, dstates;
    double number = 0.0;  // baseline or prior belief
    int function = 0;
  };
  CanonicalData canonical_;
  // Dynamic part: the slice count applied at its end, the order of the
  // temporal definition being read, and the definition whose outcome
  // identifiers name resulting states (null: the current definition's).
  int slice_count_ = 0;
  int temporal_order_ = 0;
  const VRN_nodeDef* names_definition_ = nullptr;

  std::string property_name_;
  std::vector<std::string> functions_;
  // The equation element: its text and its discretization intervals.
  std::string equation_text_;
  std::vector<std::string> mau_texts_;
  std::vector<std::pair<std::string, double>> disc_intervals_;
  qelta::XmlNodeIdMap ids_;

  Binding* root_ = nullptr;
  std::vector<std::unique_ptr<XmlBinding>> bindings_;
};

// A binding whose callbacks are member functions of the loader.
class XmlNetLoader::Binding : public XmlHandler<XmlNetLoader> {
 public:
  Binding(XmlNetLoader* loader, const char* name, int mode, Member start,
          Member end, Member text)
      : XmlHandler<XmlNetLoader>(loader, name, mode, start, end, text) {}
};

// The binding of one node element: knows the definition type it creates,
// whether outcomes come from "state" children, and the type's end step (null
// for a type this build cannot load yet, whose element is refused).
class XmlNetLoader::NodeBinding : public XmlBinding, public IXmlHandler {
 public:
  NodeBinding(XmlNetLoader* loader, const char* name, int type,
              bool hasStates, Member end);

  void OnStart(IXmlReader& reader) override;
  void OnEnd(IXmlReader& reader) override;

  int type() const { return type_; }
  bool has_states() const { return has_states_; }
  Member end_step() const { return end_step_; }

 private:
  XmlNetLoader* loader_;
  int type_;
  bool has_states_;
  Member end_step_;
};

#endif  // QELTA_IO_XML_XML_NET_LOADER_H_
