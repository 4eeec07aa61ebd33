// Test stand-in for the network loader around the layout block.
#ifndef QELTA_TESTS_IO_XML_ZANTU_HOST_H_
#define QELTA_TESTS_IO_XML_ZANTU_HOST_H_

#include <gtest/gtest.h>

#include <string>

#include "network/network.h"
#include "network/node.h"
#include "io/xml/xml_reader.h"
#include "io/xml/zantu.h"

namespace qelta_test {

// Stands in for the network loader: declares qelta > extensions > zantu and
// maps the network's node identifiers as the loader would.
class ZantuHost : public XmlReader, public XmlErrorHandler {
 public:
  bool Load(VRN_network& network, const std::string& block) {
    qelta::XmlNodeIdMap ids;
    for (int h = network.GetFirstNode(); h >= 0; h = network.GetNextNode(h)) {
      ids[network.GetNode(h)->GetId()] = h;
    }
    Init(nullptr, network.ErrorLog());
    IXmlZantuLoader* zantu = XmlZantuLoader::Create(this, &network, &ids);
    EXPECT_NE(zantu, nullptr);
    XmlBinding root(nullptr, "qelta", 0);
    XmlBinding extensions(nullptr, "extensions", 0);
    root.AddChild(&extensions, 0);
    extensions.AddChild(zantu->GetRootBinding(), kXmlRequired);
    const std::string doc = "<qelta><extensions>" + block +
                            "</extensions></qelta>";
    const bool ok = ReadString(doc.c_str(), &root, this);
    if (ok) ReportUnknownContent();
    zantu->Release();
    return ok;
  }
};

}  // namespace qelta_test

#endif  // QELTA_TESTS_IO_XML_ZANTU_HOST_H_
