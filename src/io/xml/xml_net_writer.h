// Writer of the XML network file ("xvrn"), the engine's own network format.
//
// XmlNetworkSaver streams a whole network as the document XmlNetLoader
// reads: the declaration, the extension's comment, the root "qelta" with
// the network's settings, then "properties", "algparams", "functions",
// "nodes" (parents before children), "dynamic", "observationcost",
// "cases" and "extensions", each only when the network has something for
// it ("nodes" always). It is an XmlWriter that walks the node definitions as a
// VRN_nodeDefVisitor: each visit writes the element of its definition kind.
//
// Every write is checked: a file that cannot be opened, a refused write, a
// failed flush or close (a full device), or a definition this writer cannot
// express make Save answer false with the reason logged (code -103) in the
// network's error log.
//
// Ownership: the network and a caller's writer extension are the caller's;
// the default layout-block writer is created and released by Save. One
// saver serves one Save call on the calling thread.
#ifndef QELTA_IO_XML_XML_NET_WRITER_H_
#define QELTA_IO_XML_XML_NET_WRITER_H_

#include <string>

#include "definitions/def_visitor.h"
#include "io/format.h"
#include "io/xml/xml_writer.h"

class VRN_network;
class VRN_nodeDef;
class VRN_intArray;
class VRN_userProperties;
class VRN_case;

namespace qelta {

// The identifier by which the XML file names outcome `outcome` of node h:
// the one the node reads back with, so its own, but the fixed "True" and
// "False" of a CAST or DeMorgan node, whose element holds no outcomes.
// Null when the file cannot name it: no such node or outcome, or an
// identifier that an earlier outcome carries too (cleared interval
// outcomes all carry the empty one), which reading would give to that
// earlier outcome.
const char* XmlOutcomeName(const VRN_network& network, int h, int outcome);

}  // namespace qelta

class XmlNetworkSaver : public XmlWriter, public VRN_nodeDefVisitor {
 public:
  // Writes network as a document: to the UTF-8 named file (created or
  // truncated) when fileName is not null, else appended to *text.
  // extension: the layout block (written by an XmlZantuSaver made for the
  // call), none (no comment, no "extensions" element), or the caller's
  // writer extension (used, not released; a null one writes no block).
  //
  // True on success. False, with the reason logged in the network's error
  // log with code -103, when the file cannot be opened or written
  // completely or a node cannot be expressed; *text is then as it was
  // before the call, while a file may hold part of the document. A truth
  // table with a column that is not one 1.0 among zeros (the file keeps
  // resulting states only), a table holding a number its kind does not take
  // (a noisy-MAX parameter outside [0, 1] stored through GetMatrix) and a
  // temporal definition of a kind the file cannot hold are refused, naming
  // the node, before any file is opened;
  // so are a text XML cannot carry (XmlWriter::IsXmlText), naming its node,
  // case, submodel or the network and the field, and a case's soft vector
  // whose length no longer fits its node, naming the case and the node.
  // REQUIRES: network != nullptr; text != nullptr when fileName is null.
  [[nodiscard]] static bool Save(const char* fileName, std::string* text,
                                 VRN_network* network,
                                 const qelta::FormatExtension& extension);

  XmlNetworkSaver(const XmlNetworkSaver&) = delete;
  XmlNetworkSaver& operator=(const XmlNetworkSaver&) = delete;
  ~XmlNetworkSaver() override;

  // Node elements by definition kind.
  void VisitCpt(VRN_cpt& definition) override;
  void VisitTruthTable(VRN_truthTable& definition) override;
  void VisitDecision(VRN_decision& definition) override;
  void VisitUtility(VRN_utility& definition) override;
  void VisitEquation(VRN_equation& definition) override;
  // Canonical kinds (xml_net_writer_canonical.cpp).
  void VisitCast(VRN_cast& definition) override;
  void VisitDemorgan(VRN_demorgan& definition) override;
  void VisitNoisyMAX(VRN_noisyMAX& definition) override;
  void VisitNoisyAdder(VRN_noisyAdder& definition) override;
  // "maux" with its expressions, else "mau" with its weights
  // (xml_net_writer_mau.cpp).
  void VisitMau(VRN_mau& definition) override;
  // A kind without a visit here: the save fails rather than drop the node.
  void VisitDefault(VRN_nodeDef& definition) override;

 private:
  // Sets the output and writes the XML declaration.
  XmlNetworkSaver(IXmlWriterOutput* output, VRN_network* network,
                  IXmlWriterExtension* extension);

  void WriteNetwork();
  void QueueRootAttributes();
  void WriteEpis();
  void WriteFunctions();
  void WriteNodes();
  // The dynamic part (xml_dynamic_writer.cpp): the slice count and the
  // temporal definitions of the plate nodes, written in temporal mode.
  void WriteDynamic();
  void WriteObservationCosts();
  void WriteCases();
  void WriteCase(const VRN_case& record);

  // The shared first half of every node visit: stores elementName as the
  // element to close, queues the node attributes, starts the element and
  // writes the outcomes (withOutcomes), the parents and the definition's
  // table as valuesElement (when not null).
  void WriteNodeStart(const VRN_nodeDef& definition, const char* elementName,
                      const char* valuesElement, bool withOutcomes);
  void WriteStates(const VRN_nodeDef& definition);
  void WriteParents(const VRN_intArray& handles);
  void WriteProperties(const VRN_userProperties& properties);

  // Records the first failure; later ones add nothing.
  void Fail(const std::string& message);

  VRN_network* network_;
  IXmlWriterExtension* extension_ = nullptr;
  int node_ = -1;                // node being written
  std::string current_element_;  // element the last visit opened
  bool failed_ = false;
  std::string failure_;
  // Temporal mode: set while "dynamic" is written. The visits then write
  // the temporal parents instead of the node's own attributes, outcomes and
  // parents, and name resulting states by the plate node's own outcomes.
  bool temporal_mode_ = false;
  const VRN_intArray* temporal_parents_ = nullptr;
  const VRN_nodeDef* temporal_node_definition_ = nullptr;
};

#endif  // QELTA_IO_XML_XML_NET_WRITER_H_
