// Writing multi-attribute utility nodes to the XML network file.
#include <string>

#include "equations/mau.h"
#include "io/xml/xml_net_writer.h"

void XmlNetworkSaver::VisitMau(VRN_mau& definition) {
  const VRN_mauExpressions* set = definition.GetExpressionSet();
  if (set == nullptr) {
    WriteNodeStart(definition, "mau", "weights", false);
    return;
  }
  WriteNodeStart(definition, "maux", nullptr, false);
  for (int i = 0; i < set->GetSlotCount(); ++i) {
    std::string text;
    set->Get(i)->Write(text);
    WriteTextElement("expression", text.c_str(), 0);
  }
}
