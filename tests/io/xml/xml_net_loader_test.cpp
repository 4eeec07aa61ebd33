#include "io/xml/xml_net_loader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "base/arrays.h"
#include "base/error_log.h"
#include "base/matrix.h"
#include "base/special_values.h"
#include "base/status.h"
#include "base/strings.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/truth_table.h"
#include "io/format.h"
#include "io/xml/xml_reader.h"
#include "network/network.h"
#include "network/node.h"
#include "network/submodel.h"

namespace {

std::string DataPath(const char* name) {
  return std::string(QELTA_TEST_DATA) + "/xml/" + name;
}

class XmlNetLoaderTest : public ::testing::Test {
 protected:
  // Loads as the network's read operations do: loading flags on meanwhile.
  bool Load(const char* file, const char* text,
            int extension = qelta::kXmlExtensionLayout,
            IXmlBinding* caller = nullptr) {
    net_.SetLoadFlags(qelta::kLoadLoading | qelta::kLoadSkipAcyclicity |
                      qelta::kLoadAllowDuplicateIds);
    const bool ok = XmlNetLoader::Load(file, text, &net_, extension, caller);
    net_.SetLoadFlags(0);
    return ok;
  }
  bool LoadText(const std::string& text,
                int extension = qelta::kXmlExtensionLayout) {
    return Load(nullptr, text.c_str(), extension);
  }
  bool LoadFile(const char* name) {
    return Load(DataPath(name).c_str(), nullptr);
  }

  std::vector<std::string> Messages(int code) const {
    std::vector<std::string> out;
    const VRN_errorLog* log = net_.ErrorLog();
    for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
      if (log->GetCode(i) == code) out.push_back(log->GetMessage(i));
    }
    return out;
  }

  int Node(const char* id) const { return net_.FindNode(id); }
  VRN_discDef* Def(const char* id) const {
    VRN_node* node = net_.GetNode(Node(id));
    return node == nullptr ? nullptr
                           : dynamic_cast<VRN_discDef*>(node->Definition());
  }
  std::vector<double> Table(const char* id) const {
    const VRN_matrix* matrix = nullptr;
    std::vector<double> out;
    if (Def(id) == nullptr || Def(id)->GetDefinitionConst(&matrix) != 0) {
      return out;
    }
    for (int i = 0; i < matrix->GetItemCount(); ++i) {
      out.push_back(matrix->GetItem(i));
    }
    return out;
  }
  std::vector<std::string> Outcomes(const char* id) const {
    std::vector<std::string> out;
    const VRN_idArray* ids = Def(id)->GetOutcomesNames();
    for (int i = 0; i < ids->GetSize(); ++i) out.push_back(ids->Get(i));
    return out;
  }
  std::vector<int> Parents(const char* id) const {
    const VRN_intArray& parents = net_.GetNode(Node(id))->Parents();
    return std::vector<int>(parents.begin(), parents.end());
  }

  VRN_network net_;
};

// ------------------------------------------------------------ good files

// What the written rich network already pins (every element and value the
// writer produces, read back equal) is not repeated here: these files hold
// what only other producers write.

TEST_F(XmlNetLoaderTest, MinimalRootTakesTheFileDefaults) {
  ASSERT_TRUE(LoadFile("minimal.xvrn"));
  EXPECT_STREQ(net_.Header()->GetId(), "Minimal");
  EXPECT_EQ(net_.GetNumberOfSamples(), 1000);
  EXPECT_EQ(net_.GetNumberOfDiscretizationSamples(), 10000);
  EXPECT_TRUE(net_.IsZeroAvoidance());
  EXPECT_EQ(net_.GetNoisyDecompLimit(), 4);
  EXPECT_EQ(net_.ErrorLog()->GetNumberOfMessages(), 0);
  // Relevance reasoning, paused while the file is read, is on again.
  EXPECT_TRUE(net_.IsRelevanceReasoning());
}

TEST_F(XmlNetLoaderTest, EmptyPropertiesAndBlanksInFunctionsAreKept) {
  ASSERT_TRUE(LoadFile("settings.xvrn"));
  EXPECT_EQ(net_.GetRandSeed(), 77);
  const VRN_userProperties& props = net_.UserProperties();
  ASSERT_EQ(props.GetSize(), 3);
  EXPECT_STREQ(props.GetPropertyValue(1), "first\nsecond\tTAB \\ end");
  EXPECT_STREQ(props.GetPropertyValue(2), "");
  EXPECT_EQ(net_.GetEpisParams().eps4, 7e-05);
  // Function texts are parsed and kept in the writer's form.
  std::vector<std::string> functions;
  net_.GetExtFunctions(functions, false);
  EXPECT_EQ(functions, (std::vector<std::string>{"sq(x)=x*x", "half(x)=x/2"}));
}

TEST_F(XmlNetLoaderTest, NodeElementsBuildDefinitions) {
  ASSERT_TRUE(LoadFile("nodes.xvrn"));
  EXPECT_EQ(net_.ErrorLog()->GetNumberOfMessages(), 0);
  ASSERT_EQ(net_.GetNumberOfNodes(), 8);
  EXPECT_EQ(net_.GetNumberOfTargets(), 1);
  EXPECT_STREQ(Def("Fault")->GetOutcomeLabel(1), "BROKEN_LABEL");
  EXPECT_STREQ(net_.GetNode(Node("Fault"))->UserProperties().GetPropertyValue(1),
               "fault\nnode");

  // Numbers in any form; empty ids with intervals, named outcomes with them.
  std::vector<double> values;
  ASSERT_EQ(Def("Temp")->GetPointValues(&values), 0);
  EXPECT_EQ(values, (std::vector<double>{-5, 20.5, 100}));
  ASSERT_EQ(Def("Level")->GetIntervals(&values), 0);
  EXPECT_EQ(values, (std::vector<double>{0, 1.5, 3}));
  EXPECT_FALSE(Def("Level")->HasOutcomeIds());
  ASSERT_EQ(Def("Named")->GetIntervals(&values), 0);
  EXPECT_EQ(Outcomes("Named"), (std::vector<std::string>{"small", "large"}));

  // A table spread over lines; parents in file order.
  EXPECT_EQ(Parents("Sensor"),
            (std::vector<int>{Node("Fault"), Node("Temp")}));
  EXPECT_EQ(Table("Sensor"), (std::vector<double>{0.99, 0.01, 0.95, 0.05, 0.9,
                                                  0.1, 0.2, 0.8, 0.1, 0.9,
                                                  0.05, 0.95}));

  // Diagnostic roles; ranked and mandatory count only for observations,
  // and an empty role is the auxiliary one.
  for (const auto& [id, type, ranked, mandatory] :
       std::vector<std::tuple<const char*, int, bool, bool>>{
           {"Sensor", 1, true, true},
           {"Lamp", 1, false, false},
           {"Gauge", 0, false, false},
           {"Level", 2, false, false}}) {
    const VRN_node* node = net_.GetNode(Node(id));
    EXPECT_EQ(node->GetDiagType(), type) << id;
    EXPECT_EQ(node->IsRanked(), ranked) << id;
    EXPECT_EQ(node->IsMandatory(), mandatory) << id;
  }

  auto* alarm =
      dynamic_cast<VRN_truthTable*>(net_.GetNode(Node("Alarm"))->Definition());
  ASSERT_NE(alarm, nullptr);
  VRN_intArray states;
  alarm->GetResultingStates(&states);
  EXPECT_EQ(std::vector<int>(states.begin(), states.end()),
            (std::vector<int>{0, 1, 1, 1}));
}

// Stamps of all 64 bits are pinned by the writer's round trip.
TEST_F(XmlNetLoaderTest, BoundsMayBeInfinite) {
  ASSERT_TRUE(LoadText(
      "<qelta version='1.0' id='N'><nodes><cpt id='A'><state id='a'/>"
      "<state id='b'/><intervals>-inf 0 INF</intervals>"
      "<probabilities>0.5 0.5</probabilities></cpt></nodes></qelta>"));
  std::vector<double> bounds;
  ASSERT_EQ(Def("A")->GetIntervals(&bounds), 0);
  EXPECT_EQ(bounds, (std::vector<double>{-HUGE_VAL, 0, HUGE_VAL}));
}

// Every element and attribute of the layout block is declared: the file
// loads without a single warning, and what is applied arrives.
TEST_F(XmlNetLoaderTest, EveryLayoutElementAndAttributeIsKnown) {
  ASSERT_TRUE(LoadFile("layout_full.xvrn"));
  EXPECT_EQ(net_.ErrorLog()->GetNumberOfMessages(), 0);
  EXPECT_STREQ(net_.Header()->GetComment(), "Block\twith a TAB");
  const VRN_submodelTable* table = net_.Submodels();
  const int room = table->FindSubmodel("Room");
  ASSERT_GE(room, 0);
  const VRN_submodel* record = table->GetSubmodel(room);
  EXPECT_EQ(record->Window()[3], 400);
  ASSERT_EQ(record->TextBoxes().size(), 1u);
  EXPECT_EQ(record->TextBoxes()[0].caption, "Check\nweekly");
  EXPECT_EQ(table->GetSubmodel(qelta::kMainSubmodel)->TextBoxes().size(), 1u);
  const VRN_node* valve = net_.GetNode(Node("Valve"));
  EXPECT_EQ(valve->GetSubmodel(), room);
  EXPECT_EQ(valve->ScreenInfo().text_color, 0xFFFFFF);
  EXPECT_EQ(valve->ScreenInfo().bar_chart_height, 72);
  EXPECT_STREQ(valve->Documentation().GetPath(1), "valve.png");
  const VRN_documentation* repair = Def("Valve")->GetOutcomeDocumentation(1);
  ASSERT_NE(repair, nullptr);
  EXPECT_STREQ(repair->GetTitle(0), "Repair");
}

TEST_F(XmlNetLoaderTest, UnknownContentOnlyWarns) {
  ASSERT_TRUE(LoadFile("unknown.xvrn"));
  EXPECT_TRUE(Messages(qelta::kErrFileIo).empty());
  const std::vector<std::string> warnings = Messages(qelta::kErrFileRead);
  const std::string file = DataPath("unknown.xvrn");
  EXPECT_EQ(warnings,
            (std::vector<std::string>{
                "Warning: Ignored unknown attribute 'colour' in 'qelta' at 3, "
                "0 while loading " + file,
                "Warning: Ignored unknown element 'future' at 4, 1 while "
                "loading " + file,
                "Warning: Ignored unknown attribute 'shape' in 'cpt' at 6, 2 "
                "while loading " + file,
                "Warning: Ignored unknown element 'comment' at 10, 3 while "
                "loading " + file,
                "XML contains unknown elements and/or attributes. "}));
  // Nothing inside an ignored element is built.
  EXPECT_LT(Node("Hidden"), 0);
  EXPECT_GE(Node("A"), 0);
}

TEST_F(XmlNetLoaderTest, MissingFileFailsWithItsName) {
  const std::string name = DataPath("no_such_file.xvrn");
  EXPECT_FALSE(Load(name.c_str(), nullptr));
  EXPECT_EQ(Messages(qelta::kErrFileIo),
            (std::vector<std::string>{"Error at 0, 0 while loading " + name +
                                      ": Can't open file " + name}));
}

// Bytes that are not UTF-8 never reach a stored id, name or text: the
// parser refuses the document, in attribute values and in element text.
TEST_F(XmlNetLoaderTest, InvalidUtf8IsRefused) {
  const char* const docs[] = {
      "<qelta version='1.0' id='N\xff'/>",
      "<?xml version='1.0' encoding='UTF-8'?>\n"
      "<qelta version='1.0' id='N'>\n<other>a\xc3</other>\n</qelta>",
      "<qelta version='1.0' id='N'>\n<other>\xed\xa0\x80</other>\n</qelta>"};
  for (const char* doc : docs) {
    VRN_network net;
    EXPECT_FALSE(XmlNetLoader::Load(nullptr, doc, &net)) << doc;
    std::vector<std::string> errors;
    const VRN_errorLog* log = net.ErrorLog();
    for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
      if (log->GetCode(i) == qelta::kErrFileIo) {
        errors.push_back(log->GetMessage(i));
      }
    }
    ASSERT_EQ(errors.size(), 1u) << doc;
    EXPECT_NE(errors[0].find("not well-formed (invalid token)"),
              std::string::npos)
        << errors[0];
  }
}

// ------------------------------------------------------------ extensions

TEST_F(XmlNetLoaderTest, ExtensionWordChoosesTheBlock) {
  const std::string with_block =
      "<qelta version='1.0' id='N'><extensions><zantu version='1.0' "
      "name='Drawn'/></extensions></qelta>";
  // The layout block is read by default and is required inside extensions.
  EXPECT_TRUE(LoadText(with_block));
  EXPECT_STREQ(net_.Header()->GetName(), "Drawn");
  EXPECT_TRUE(LoadText("<qelta version='1.0' id='N'/>"));
  EXPECT_FALSE(LoadText(
      "<qelta version='1.0' id='N'>\n<extensions>\n</extensions></qelta>"));
  EXPECT_EQ(Messages(qelta::kErrFileIo),
            (std::vector<std::string>{
                "Error at 3, 0: Required element 'zantu' not present in "
                "element 'extensions'"}));

  // Without an extension the block is only warned about.
  VRN_network plain;
  EXPECT_TRUE(XmlNetLoader::Load(nullptr, with_block.c_str(), &plain,
                                 qelta::kXmlExtensionNone));
  EXPECT_STRNE(plain.Header()->GetName(), "Drawn");
  EXPECT_EQ(plain.ErrorLog()->GetNumberOfMessages(), 2);
  EXPECT_EQ(plain.ErrorLog()->GetCode(0), qelta::kErrFileRead);
}

class CountingHandler : public IXmlHandler {
 public:
  void OnStart(IXmlReader& reader) override {
    std::string value;
    reader.GetAttribute("value", value);
    values.push_back(value);
  }
  void OnEnd(IXmlReader& reader) override {}
  std::vector<std::string> values;
};

TEST_F(XmlNetLoaderTest, CallerExtensionIsAttachedAndRequired) {
  CountingHandler handler;
  XmlBinding mine(&handler, "mine", 0);
  mine.AddAttribute("value", false);
  const std::string text =
      "<qelta version='1.0' id='N'><extensions><mine value='7'/>"
      "</extensions></qelta>";
  EXPECT_TRUE(Load(nullptr, text.c_str(), qelta::kXmlExtensionCaller, &mine));
  EXPECT_EQ(handler.values, (std::vector<std::string>{"7"}));
  EXPECT_EQ(net_.ErrorLog()->GetNumberOfMessages(), 0);

  EXPECT_FALSE(Load(nullptr,
                    "<qelta version='1.0' id='N'><extensions><zantu/>"
                    "</extensions></qelta>",
                    qelta::kXmlExtensionCaller, &mine));
  ASSERT_EQ(Messages(qelta::kErrFileIo).size(), 1u);
  EXPECT_NE(Messages(qelta::kErrFileIo)[0].find(
                "Required element 'mine' not present in element 'extensions'"),
            std::string::npos);
}

// ------------------------------------------------------------ identifiers

TEST_F(XmlNetLoaderTest, InvalidNodeIdGetsAGeneratedOne) {
  // The file's text is not in the identifier map, so naming it as a parent
  // fails; the generated identifier is what the network and map hold.
  EXPECT_FALSE(LoadText(
      "<qelta version='1.0' id='N'><nodes>"
      "<cpt id='2x'><state id='a'/><state id='b'/>"
      "<probabilities>.5 .5</probabilities></cpt>\n"
      "<cpt id='B'><state id='a'/><state id='b'/><parents>2x</parents>"
      "<probabilities>.5 .5 .5 .5</probabilities></cpt></nodes></qelta>"));
  EXPECT_EQ(net_.FindNode("2x"), -2);
  EXPECT_GE(net_.FindNode("Node0"), 0);
  const std::vector<std::string> errors = Messages(qelta::kErrFileIo);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("Node parent not found: '2x'"), std::string::npos);

  // An escape prefix is not honoured from a file either.
  VRN_network other;
  EXPECT_TRUE(XmlNetLoader::Load(
      nullptr,
      "<qelta version='1.0' id='N'><nodes><cpt id='@raw id'><state id='a'/>"
      "<state id='b'/><probabilities>.5 .5</probabilities></cpt></nodes>"
      "</qelta>",
      &other));
  EXPECT_EQ(other.FindNode("@raw id"), -2);
  EXPECT_TRUE(VRN_IsValidId(other.GetNode(other.GetFirstNode())->GetId()));
}

TEST_F(XmlNetLoaderTest, NodeAlreadyInTheNetworkIsNotCreatedTwice) {
  // Loading into a network that was not emptied: the network's own test
  // refuses the identifier.
  ASSERT_GE(net_.AddNode(qelta::kDefCpt, "X"), 0);
  EXPECT_FALSE(XmlNetLoader::Load(
      nullptr,
      "<qelta version='1.0' id='N'><nodes>\n<cpt id='X'><state id='a'/>"
      "<state id='b'/><probabilities>.5 .5</probabilities></cpt></nodes>"
      "</qelta>",
      &net_));
  EXPECT_EQ(Messages(qelta::kErrFileIo),
            (std::vector<std::string>{
                "Error at 2, 0: QELTA failed to create node: 'X'"}));
  EXPECT_EQ(net_.GetNumberOfNodes(), 1);
}

// Stored files may give a node the identifier of the network (the main
// submodel) or of a submodel; the loader keeps node identifiers unique by
// its own map only, and what it builds writes and reads back.
// Reads text into net and writes net into written.
void ReadAndWrite(VRN_network* net, const std::string& text,
                  std::string* written) {
  ASSERT_EQ(net->ReadString(text.c_str(), qelta::kExtensionLayout), qelta::kOk)
      << net->ErrorLog()->GetMessage(0);
  ASSERT_EQ(net->WriteString(*written, qelta::kExtensionLayout), qelta::kOk);
}

TEST(XmlNetIdentifierTest, NodesMayShareTheirIdentifierWithASubmodel) {
  const std::string doc =
      "<qelta version='1.0' id='Umbrella'>\n<nodes>\n"
      "<cpt id='Rain'><state id='yes'/><state id='no'/>"
      "<probabilities>0.2 0.8</probabilities></cpt>\n"
      "<cpt id='Umbrella'><state id='take'/><state id='leave'/>"
      "<parents>Rain</parents>"
      "<probabilities>0.9 0.1 0.3 0.7</probabilities></cpt>\n"
      "</nodes>\n</qelta>\n";
  VRN_network net, back, shared, shared_back;
  std::string text, again, last;
  ReadAndWrite(&net, doc, &text);
  EXPECT_STREQ(net.Header()->GetId(), "Umbrella");
  ASSERT_GE(net.FindNode("Umbrella"), 0);
  ReadAndWrite(&back, text, &again);
  EXPECT_EQ(text, again);

  // A submodel "Shelter" holding Rain, renamed in the text to "Rain".
  const int shelter =
      back.Submodels()->CreateSubmodel(qelta::kMainSubmodel, "Shelter");
  ASSERT_GE(shelter, 0);
  ASSERT_EQ(back.GetNode(back.FindNode("Rain"))->SetSubmodel(shelter),
            qelta::kOk);
  ASSERT_EQ(back.WriteString(text, qelta::kExtensionLayout), qelta::kOk);
  const std::string named = "id=\"Shelter\"";
  const std::size_t at = text.find(named);
  ASSERT_NE(at, std::string::npos) << text;
  text.replace(at, named.size(), "id=\"Rain\"");
  ReadAndWrite(&shared, text, &again);
  EXPECT_EQ(text, again);
  const int rain = shared.FindNode("Rain");
  const int submodel = shared.Submodels()->FindSubmodel("Rain");
  ASSERT_GE(rain, 0);
  ASSERT_GE(submodel, 0);
  EXPECT_EQ(shared.GetNode(rain)->GetSubmodel() & ~qelta::kSubmodelBit,
            submodel & ~qelta::kSubmodelBit);
  ReadAndWrite(&shared_back, again, &last);
  EXPECT_EQ(again, last);

  // Edits keep refusing a new clash.
  EXPECT_EQ(shared.AddNode(qelta::kDefCpt, "Umbrella"), qelta::kErrOutOfRange);
  ASSERT_GE(shared.Submodels()->CreateSubmodel(qelta::kMainSubmodel, "Shelf"),
            0);
  EXPECT_EQ(shared.AddNode(qelta::kDefCpt, "Shelf"), qelta::kErrOutOfRange);
  EXPECT_EQ(shared.GetNode(rain)->Header().SetId("Shelf"),
            qelta::kErrDuplicatedIdentifier);
  EXPECT_LT(shared.Submodels()->CreateSubmodel(qelta::kMainSubmodel, "Rain"),
            0);
}

// ------------------------------------------------------------ failures

// Shared start of the failure documents: node A (outcomes a0, a1) on line 3.
const char kHead[] =
    "<qelta version='1.0' id='Net'>\n"
    "<nodes>\n"
    "<cpt id='A'><state id='a0'/><state id='a1'/>"
    "<probabilities>0.5 0.5</probabilities></cpt>\n";

// A document whose line 4 is a node element.
std::string NodeLine(const std::string& line) {
  return std::string(kHead) + line + "\n</nodes>\n</qelta>\n";
}
std::string Cpt(const std::string& attributes, const std::string& inside) {
  return "<cpt id='B'" + attributes + ">" + inside + "</cpt>";
}
const char kStates[] = "<state id='b0'/><state id='b1'/>";
const char kTwo[] = "<probabilities>0.5 0.5</probabilities>";
const char kFour[] = "<probabilities>0.5 0.5 0.5 0.5</probabilities>";
// A document whose line 5 follows the nodes.
std::string AfterNodes(const std::string& line) {
  return std::string(kHead) + "</nodes>\n" + line + "\n</qelta>\n";
}
std::string CaseLine(const std::string& inside) {
  return AfterNodes("<cases><case name='c'>" + inside + "</case></cases>");
}

struct Failure {
  std::string doc;
  const char* message;
  int line;
  // Text on that line where the reader stands when the failure is found;
  // the expected column is its offset.
  const char* at;
  int occurrence = 1;
};

std::vector<Failure> Failures() {
  const std::string states = kStates;
  return {
      // Root and network level.
      {"<qelta version='1.0' id='N'>\n<nodes>\n</qelta>", "mismatched tag", 3,
       "qelta"},
      {"<qelta version='2.0' id='Net'/>",
       "Invalid version number '2.0', expected 1.0", 1, "<qelta"},
      {"<qelta version='1.0'/>",
       "Required attribute 'id' not found in element 'qelta'", 1, "<qelta"},
      {"<qelta version='1.0' id='Net'>\n<algparams><epis proplen='5' "
       "numstates1='8' numstates2='8' numstates3='20' eps1='0.006' "
       "eps2='0.0001' eps3='5e-5' eps4='5e-5'/></algparams></qelta>",
       "Invalid EPIS parameters", 2, "<epis"},
      {"<qelta version='1.0' id='Net'>\n<properties><property id='1x'>v"
       "</property></properties></qelta>",
       "Can't add network property: '1x'", 2, "</property>"},
      {"<qelta version='1.0' id='Net'>\n<dynamic numslices='-2'/></qelta>",
       "Invalid slice count: -2, non-negative integer expected", 2,
       "<dynamic"},
      {"<network version='1.0' id='Net'/>",
       "Unknown root element 'network', expected 'qelta'", 1, "<network"},
      {"<qelta version='1.0' id='Net' numsamples='many'/>",
       "Integer value expected for attribute 'numsamples'", 1, "<qelta"},
      {"<qelta version='1.0' id='Net' discavoidzero='no'/>",
       "'true' or 'false' expected as value of boolean attribute "
       "'discavoidzero'",
       1, "<qelta"},
      {"<qelta version='1.0' id='Net'>\n<algparams><epis proplen='5' "
       "numstates1='5' numstates2='8' numstates3='20' eps1='small' "
       "eps2='0.0001' eps3='5e-5' eps4='5e-5'/></algparams></qelta>",
       "Floating point value expected for attribute 'eps1'", 2, "<epis"},
      {"<qelta version='1.0' id='Net'>\n<algparams><epis proplen='5'/>"
       "</algparams></qelta>",
       "Required attribute 'numstates1' not found in element 'epis'", 2,
       "<epis"},
      {"<qelta version='1.0' id='Net'>\n<properties/><properties/></qelta>",
       "Multiple occurences of 'properties' not allowed in 'qelta'", 2,
       "<properties/></qelta>"},
      {"<qelta version='1.0' id='Net'>\n<properties><property>v</property>"
       "</properties></qelta>",
       "Required attribute 'id' not found in element 'property'", 2,
       "<property>"},

      // Node attributes and identifiers.
      {NodeLine(Cpt(" diagtype='Target'", states + kTwo)),
       "Unknown diagnosis node type: 'Target'", 4, "<cpt"},
      {NodeLine(Cpt(" dynamic='slab'", states + kTwo)),
       "Unknown dynamic node type: 'slab'", 4, "<cpt"},
      {NodeLine(Cpt(" target='1'", states + kTwo)),
       "'true' or 'false' expected as value of boolean attribute 'target'", 4,
       "<cpt"},
      {NodeLine(Cpt("", states + "<parents/><parents/>" + kTwo)),
       "Multiple occurences of 'parents' not allowed in 'cpt'", 4,
       "<parents/><prob"},
      {NodeLine("<cpt id='A'>" + states + kTwo + "</cpt>"),
       "Duplicated node identifier: 'A'", 4, "<cpt"},
      {NodeLine(Cpt("", states + kTwo +
                            "<property id='bad id'>v</property>")),
       "Can't add node property: 'bad id'", 4, "</property>"},

      // States.
      {NodeLine(Cpt("", "<state id='b0'/><state id='b0' label='x'/>" +
                            std::string(kTwo))),
       "Duplicate state identifier: 'b0'", 4, "<state id='b0' label"},
      {NodeLine(Cpt("", "<state id='b0' fault='yes'/>" + std::string(kTwo))),
       "'true' or 'false' expected as value of boolean attribute 'fault'", 4,
       "<state"},
      {NodeLine(Cpt("", "<state/>" + std::string(kTwo))),
       "Required attribute 'id' not found in element 'state'", 4, "<state"},
      {NodeLine(Cpt("", "<state id='b0' default='true'/>"
                        "<state id='b1' default='true'/>" +
                            std::string(kTwo))),
       "Duplicate default state attribute at state: 'b1'", 4,
       "<state id='b1'"},
      {NodeLine(Cpt("", "<state id=''/><state id='b1'/>" + std::string(kTwo))),
       "Both empty and non-empty state ids found.", 4, "</cpt>"},
      {NodeLine(Cpt("", "<state id=''/><state id=''/>" + std::string(kTwo))),
       "Empty state ids can only be used with intervals", 4, "</cpt>"},
      {NodeLine(Cpt("", "<state id='1b'/><state id='b1'/>" +
                            std::string(kTwo))),
       "Invalid state id: 1b", 4, "</cpt>"},
      {NodeLine(Cpt("", "<state id='b0'/><probabilities>1</probabilities>")),
       "SetNumberOfOutcomes failed", 4, "</cpt>"},
      {NodeLine(Cpt("", "<probabilities>0.5 0.5</probabilities>")),
       "Required element 'state' not present in element 'cpt'", 4, "</cpt>"},

      // Parents.
      {NodeLine(Cpt("", states + "<parents>Z</parents>" + kFour)),
       "Node parent not found: 'Z'", 4, "</parents>"},
      {NodeLine(Cpt("", states + "<parents>A A</parents>" + kFour)),
       "Duplicate parent: 'A'", 4, "</parents>"},
      {NodeLine(Cpt("", states + "<parents>B</parents>" + kFour)),
       "AddArc failed", 4, "</cpt>"},

      // Intervals and point values.
      {NodeLine(Cpt("", states + "<intervals>0 1 2</intervals>"
                                 "<pointvalues>1 2</pointvalues>" +
                            kTwo)),
       "Intervals and point values cannot be defined for the same node", 4,
       "</cpt>"},
      {NodeLine(Cpt("", states + "<intervals>2 1 0</intervals>" + kTwo)),
       "SetIntervals failed", 4, "</cpt>"},
      // Four bounds for two named states would invent a third outcome.
      {NodeLine(Cpt("", states + "<intervals>0 1 2 3</intervals>" + kTwo)),
       "SetIntervals failed", 4, "</cpt>"},
      {NodeLine(Cpt("", states + "<intervals>0 y 2</intervals>" + kTwo)),
       "Can't read list of doubles, failed at element 2", 4, "0 y 2"},
      {NodeLine(Cpt("", states + "<pointvalues>1 2 3</pointvalues>" + kTwo)),
       "SetPointValues failed", 4, "</cpt>"},
      {NodeLine(Cpt("", states + "<pointvalues>1 inf</pointvalues>" + kTwo)),
       "Can't read list of doubles, failed at element 2", 4,
       "</pointvalues>"},
      {NodeLine(Cpt("", states + "<intervals>0 nan 2</intervals>" + kTwo)),
       "Can't read list of doubles, failed at element 2", 4, "0 nan 2"},

      // Definitions.
      {NodeLine(Cpt("", states + "<probabilities>0.2</probabilities>")),
       "SetProbabilities failed: node 'B': 1 numbers in probabilities, 2 in its table", 4,
       "</cpt>"},
      {NodeLine(Cpt("", states + "<probabilities>0.2 x</probabilities>")),
       "Can't read list of doubles, failed at element 2", 4,
       "</probabilities>"},
      // strtod reads these, but no probability is either.
      {NodeLine(Cpt("", states + "<probabilities>nan 0.5</probabilities>")),
       "Can't read list of doubles, failed at element 1", 4, "nan 0.5"},
      {NodeLine(Cpt("", states + "<probabilities>0.5 -INF</probabilities>")),
       "Can't read list of doubles, failed at element 2", 4,
       "</probabilities>"},
      {NodeLine(Cpt("", states)),
       "Required element 'probabilities' not present in element 'cpt'", 4,
       "</cpt>"},
      {NodeLine("<deterministic id='B'>" + states +
                "<parents>A</parents><resultingstates>b0</resultingstates>"
                "</deterministic>"),
       "Invalid number of resulting states: 1, expected 2", 4,
       "</deterministic>"},
      {NodeLine("<deterministic id='B'>" + states +
                "<parents>A</parents><resultingstates>b0 zz</resultingstates>"
                "</deterministic>"),
       "Invalid resulting state: zz", 4, "</deterministic>"},
      {NodeLine("<deterministic id='B'>" + states + "</deterministic>"),
       "Required element 'resultingstates' not present in element "
       "'deterministic'",
       4, "</deterministic>"},

      // Observation costs.
      {AfterNodes("<observationcost><node id='Z'><cost>1</cost></node>"
                  "</observationcost>"),
       "Invalid node identifier: 'Z'", 5, "<node"},
      {AfterNodes("<observationcost><node id='A'><parents>A</parents>"
                  "<cost>0 0</cost></node></observationcost>"),
       "AddArc failed", 5, "</node>"},
      {AfterNodes("<observationcost><node id='A'><cost>1 2</cost></node>"
                  "</observationcost>"),
       "SetCosts failed", 5, "</node>"},
      {AfterNodes("<observationcost><node id='A'><cost>n/b</cost></node>"
                  "</observationcost>"),
       "Can't read list of doubles, failed at element 1", 5, "</cost>"},
      {AfterNodes("<observationcost><node id='A'><cost>infinity</cost>"
                  "</node></observationcost>"),
       "Can't read list of doubles, failed at element 1", 5, "</cost>"},
      {AfterNodes("<observationcost><node id='A'></node></observationcost>"),
       "Required element 'cost' not present in element 'node'", 5, "</node>"},

      // Cases.
      {AfterNodes("<cases><case name='c'/><case name='c' category='x'/>"
                  "</cases>"),
       "Duplicate case name: 'c'", 5, "<case name='c' category"},
      {AfterNodes("<cases><case name=''/></cases>"), "Invalid case name: ''",
       5, "<case name"},
      {AfterNodes("<cases><case name='c' created='soon'/></cases>"),
       "Integer value expected for attribute 'created'", 5, "<case name"},
      {AfterNodes("<cases><case name='c' modified='99999999999999999999'/>"
                  "</cases>"),
       "Integer value expected for attribute 'modified'", 5, "<case name"},
      {CaseLine("<evidence node='Z' state='a0'/>"),
       "Invalid node identifier: 'Z'", 5, "<evidence"},
      {CaseLine("<evidence node='A' state='zz'/>"),
       "Invalid outcome identifier: 'zz'", 5, "<evidence"},
      {CaseLine("<evidence node='A' state='a0'/>"
                "<evidence node='A' state='a1'/>"),
       "Evidence 'a1' of node 'A' cannot be added.", 5,
       "<evidence node='A' state='a1'"},
      {CaseLine("<softevidence node='Z'>1 0</softevidence>"),
       "Invalid node identifier: 'Z'", 5, "<softevidence"},
      {CaseLine("<softevidence node='A'>1</softevidence>"),
       "Can't add soft evidence", 5, "</softevidence>"},
      {CaseLine("<softevidence node='A'>1 NaN</softevidence>"),
       "Can't read list of doubles, failed at element 2", 5,
       "</softevidence>"},
      {CaseLine("<target node='Z'/>"), "Can't add target node: 'Z'", 5,
       "<target"},
      {CaseLine("<evidence node='A' state='a1' slice='2'/>"),  // not a plate
       "Evidence 'a1' of node 'A' cannot be added.", 5, "<evidence"},
      {CaseLine("<evidence node='A' slice='late' state='a0'/>"),
       "Integer value expected for attribute 'slice'", 5, "<evidence"},
      {CaseLine("<evidence node='A'/>"),
       "Required attribute 'state' not found in element 'evidence'", 5,
       "<evidence"},
      {CaseLine("<description>a</description><description>b</description>"),
       "Multiple occurences of 'description' not allowed in 'case'", 5,
       "<description>b"},
  };
}

// The text of line `line` (1-based) of doc.
std::string LineOf(const std::string& doc, int line) {
  std::istringstream in(doc);
  std::string text;
  for (int i = 0; i < line && std::getline(in, text); ++i) {
  }
  return text;
}

TEST_F(XmlNetLoaderTest, EachFailureLogsOneErrorWithItsLocation) {
  for (const Failure& failure : Failures()) {
    VRN_network net;
    net.SetLoadFlags(qelta::kLoadLoading | qelta::kLoadSkipAcyclicity |
                     qelta::kLoadAllowDuplicateIds);
    EXPECT_FALSE(XmlNetLoader::Load(nullptr, failure.doc.c_str(), &net))
        << failure.message;
    const std::string line = LineOf(failure.doc, failure.line);
    const size_t column = line.find(failure.at);
    ASSERT_NE(column, std::string::npos) << failure.at;
    const std::string expected = "Error at " + std::to_string(failure.line) +
                                 ", " + std::to_string(column) + ": " +
                                 failure.message;
    std::vector<std::string> errors;
    const VRN_errorLog* log = net.ErrorLog();
    for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
      if (log->GetCode(i) == qelta::kErrFileIo) {
        errors.push_back(log->GetMessage(i));
      }
    }
    EXPECT_EQ(errors, std::vector<std::string>{expected}) << failure.doc;
  }
}

TEST_F(XmlNetLoaderTest, FileFailuresNameTheFile) {
  const std::string name = testing::TempDir() + "xml_net_loader_bad.xvrn";
  const std::string doc = NodeLine(
      Cpt("", std::string(kStates) + "<probabilities>0.2</probabilities>"));
  {
    std::ofstream out(name, std::ios::binary);
    out << doc;
  }
  EXPECT_FALSE(Load(name.c_str(), nullptr));
  const size_t column = LineOf(doc, 4).find("</cpt>");
  EXPECT_EQ(Messages(qelta::kErrFileIo),
            (std::vector<std::string>{"Error at 4, " + std::to_string(column) +
                                      " while loading " + name +
                                      ": SetProbabilities failed: node 'B': 1 numbers in "
                                      "probabilities, 2 in its table"}));
  // What came before the failing element stays in the network.
  EXPECT_GE(Node("A"), 0);
  EXPECT_TRUE(net_.IsRelevanceReasoning());
  std::remove(name.c_str());
}

}  // namespace
