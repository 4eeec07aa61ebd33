#include "io/xml/xml_net_writer.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "network/cases.h"
#include "base/error_log.h"
#include "network/network.h"
#include "network/node.h"
#include "base/special_values.h"
#include "base/strings.h"
#include "network/submodel.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
#include "definitions/truth_table.h"
#include "io/xml/xml_net_loader.h"

namespace {

using qelta::FormatExtension;

// -------------------------------------------------------------- helpers

std::string Save(VRN_network& net,
                 const FormatExtension& extension = FormatExtension()) {
  std::string text;
  EXPECT_TRUE(XmlNetworkSaver::Save(nullptr, &text, &net, extension));
  return text;
}

bool Load(VRN_network& net, const std::string& text) {
  return XmlNetLoader::Load(nullptr, text.c_str(), &net);
}

std::string LogText(const VRN_network& net) {
  std::string text;
  const VRN_errorLog* log = net.ErrorLog();
  for (int i = 0; i < log->GetNumberOfMessages(); ++i) {
    text += std::to_string(log->GetCode(i)) + ": " + log->GetMessage(i) + "\n";
  }
  return text;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

int AddCpt(VRN_network& net, const char* id,
           const std::vector<const char*>& outcomes) {
  const int h = net.AddNode(qelta::kDefCpt, id);
  EXPECT_GE(h, 0);
  VRN_idArray ids;
  for (const char* o : outcomes) EXPECT_EQ(ids.Add(o), 0);
  EXPECT_EQ(net.GetNode(h)->Definition()->SetNumberOfOutcomesByIds(ids), 0);
  return h;
}

VRN_discDef* Disc(VRN_network& net, int h) {
  return dynamic_cast<VRN_discDef*>(net.GetNode(h)->Definition());
}

// Read, write, read, write: both texts are identical (and the original's,
// where given): whatever the loader drops or alters changes the text.
void ExpectStableRoundTrip(const std::string& first, const std::string& name,
                           VRN_network* original = nullptr) {
  SCOPED_TRACE(name);
  VRN_network n1, n2;
  ASSERT_TRUE(Load(n1, first)) << LogText(n1);
  const std::string second = Save(n1);
  if (original != nullptr) {
    // The layout block lists nodes in handle order, which a file changes.
    EXPECT_EQ(Save(*original, FormatExtension::None()),
              Save(n1, FormatExtension::None()));
  }
  ASSERT_TRUE(Load(n2, second)) << LogText(n2) << second;
  EXPECT_EQ(second, Save(n2));
}

// A network that uses everything this build can write.
void BuildRichNetwork(VRN_network& net) {
  ASSERT_EQ(net.Header()->SetId("Rich"), 0);
  ASSERT_EQ(net.SetNumberOfSamples(2500), 0);
  ASSERT_EQ(net.SetNumberOfDiscretizationSamples(700), 0);
  net.SetRandSeed(-17);
  net.SetZeroAvoidance(false);
  net.SetOutlierRejection(true);
  net.SetNoisyDecompLimit(6);
  VRN_episParams epis;
  epis.proplen = 9;
  epis.eps1 = 0.01;
  ASSERT_EQ(net.SetEpisParams(epis), 0);
  ASSERT_EQ(net.UserProperties().AddProperty("multi", "line one\n\tline two"),
            0);
  ASSERT_EQ(net.UserProperties().AddProperty("quote", "a<b & \"c\" \\d"), 0);
  int index = 0, position = 0;
  std::string message;
  ASSERT_EQ(net.SetExtFunctions({"f(x) = x*2", "g(a,b) = a+b"}, index, position,
                                message),
            0);

  // The child first: handle order is not the file's order.
  const int child = AddCpt(net, "Child", {"lo", "hi"});
  const int root = AddCpt(net, "Root", {"r0", "r1", "r2"});
  const int det = net.AddNode(qelta::kDefTruthTable, "Det");
  const int num = AddCpt(net, "Num", {"small", "big"});
  ASSERT_GE(det, 0);
  ASSERT_EQ(net.AddArc(root, child), 0);
  ASSERT_EQ(net.AddArc(root, det), 0);
  ASSERT_EQ(net.AddArc(child, det), 0);
  ASSERT_EQ(Disc(net, root)->SetDefinitionFromVector({0.25, 0.5, 0.25}), 0);
  ASSERT_EQ(Disc(net, child)
                ->SetDefinitionFromVector({0.125, 0.875, 0.5, 0.5, 0.75, 0.25}),
            0);
  VRN_intArray states;
  for (int s : {1, 0, 1, 1, 0, 0}) states.Add(s);
  auto* table = dynamic_cast<VRN_truthTable*>(net.GetNode(det)->Definition());
  ASSERT_EQ(table->SetResultingStates(states), 0);

  // Outcome extras: default, labels and faults, also on a non-target node.
  ASSERT_EQ(net.GetNode(root)->SetDiagType(0), 0);
  ASSERT_EQ(Disc(net, root)->SetDefaultOutcome(1), 0);
  ASSERT_EQ(Disc(net, root)->SetOutcomeLabel(2, "broken"), 0);
  ASSERT_EQ(Disc(net, root)->SetFaultOutcome(2, true), 0);
  ASSERT_EQ(Disc(net, child)->SetOutcomeLabel(0, "low"), 0);
  ASSERT_EQ(Disc(net, child)->SetFaultOutcome(1, true), 0);
  ASSERT_EQ(Disc(net, num)->SetPointValues({1.5, -2.25}), 0);
  // Intervals with the empty state ids they allow.
  const int level = AddCpt(net, "Level", {"a", "b", "c"});
  ASSERT_EQ(Disc(net, level)->SetIntervals({0.0, 1.5, 2.0, 10.0}, true), 0);

  ASSERT_EQ(net.GetNode(child)->SetDiagType(1), 0);
  net.GetNode(child)->SetRanked(true);
  net.GetNode(child)->SetMandatory(true);
  ASSERT_EQ(net.SetTarget(det, true), 0);
  ASSERT_EQ(net.GetNode(det)->UserProperties().AddProperty("note", "x\ty"), 0);

  // Observation costs with the not-available value.
  ASSERT_EQ(net.AddArc(root, child, qelta::kArcLayerCost), 0);
  ASSERT_EQ(
      net.GetNode(child)->SetCostArray({qelta::kNotAvailableValue, 2.5, 4.0}),
      0);

  // Cases of every kind this build stores.
  VRN_case* first = net.AddCase("First");
  ASSERT_NE(first, nullptr);
  first->SetCategory("daily");
  first->SetDescription("two\nlines\tand a tab");
  first->SetCreated(1700000000);
  first->SetModified(-5);
  ASSERT_EQ(first->SetEvidence(root, 2), 0);
  ASSERT_EQ(first->SetVirtualEvidence(child, {0.25, 0.75}), 0);
  ASSERT_EQ(first->AddNode(det), 0);
  ASSERT_EQ(first->AddNode(root), 0);
  ASSERT_NE(net.AddCase("Empty"), nullptr);
}

// ------------------------------------------------------------------ tests

TEST(XmlNetWriterTest, EmptyNetworkWithoutExtensionIsTheMinimalDocument) {
  VRN_network net;
  EXPECT_EQ(Save(net, FormatExtension::None()),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<qelta version=\"1.0\" id=\"Unnamed\" numsamples=\"10000\" "
            "discsamples=\"10000\">\n"
            "\t<nodes>\n"
            "\t</nodes>\n"
            "</qelta>\n");
}

TEST(XmlNetWriterTest, LayoutExtensionAddsCommentAndBlock) {
  VRN_network net;
  const std::string text = Save(net);
  EXPECT_EQ(text.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- "), 0u);
  const size_t extensions = text.find("\t<extensions>\n\t\t<zantu ");
  ASSERT_NE(extensions, std::string::npos);
  EXPECT_GT(extensions, text.find("\t</nodes>\n"));
  EXPECT_NE(text.find("\t</extensions>\n</qelta>\n"), std::string::npos);
}

// Defaults are left out: the empty network's document above holds none.
TEST(XmlNetWriterTest, SettingsOtherThanTheDefaultsAreWritten) {
  VRN_network net;
  net.SetRandSeed(3);
  net.SetZeroAvoidance(false);
  net.SetOutlierRejection(true);
  net.SetNoisyDecomp(true);
  std::string text = Save(net, FormatExtension::None());
  EXPECT_NE(text.find("<qelta version=\"1.0\" id=\"Unnamed\" "
                      "numsamples=\"10000\" discsamples=\"10000\" "
                      "randseed=\"3\" discavoidzero=\"false\" "
                      "rejectoutliers=\"true\" enablenoisydecomp=\"true\" "
                      "noisydecomplimit=\"4\">"),
            std::string::npos)
      << text;
  // A limit other than 4 alone brings both decomposition attributes.
  VRN_network other;
  other.SetNoisyDecompLimit(7);
  text = Save(other, FormatExtension::None());
  EXPECT_NE(text.find("enablenoisydecomp=\"false\" noisydecomplimit=\"7\""),
            std::string::npos);
}

TEST(XmlNetWriterTest, RichNetworkElementsAreWrittenAsTheFormatSays) {
  VRN_network net;
  BuildRichNetwork(net);
  const std::string text = Save(net, FormatExtension::None());
  // Parents before children, whatever the handles.
  EXPECT_LT(text.find("<cpt id=\"Root\""), text.find("<cpt id=\"Child\""));
  EXPECT_LT(text.find("<cpt id=\"Child\""), text.find("<deterministic"));
  for (const char* line : {
           "\t<properties>\n\t\t<property id=\"multi\">line one\\n\\tline "
           "two</property>\n",
           "<property id=\"quote\">a&lt;b &amp; &quot;c&quot; "
           "\\\\d</property>",
           "\t<algparams>\n\t\t<epis proplen=\"9\" numstates1=\"5\" "
           "numstates2=\"8\" numstates3=\"20\" eps1=\"0.01\" eps2=\"0.0001\" "
           "eps3=\"5e-05\" eps4=\"5e-05\" />\n\t</algparams>\n",
           "\t<functions>\n\t\t<function>f(x)=x*2</function>\n"
           "\t\t<function>g(a,b)=a+b</function>\n\t</functions>\n",
           "\t\t<cpt id=\"Root\" diagtype=\"target\">\n"
           "\t\t\t<state id=\"r0\" />\n"
           "\t\t\t<state id=\"r1\" default=\"true\" />\n"
           "\t\t\t<state id=\"r2\" label=\"broken\" fault=\"true\" />\n"
           "\t\t\t<probabilities>0.25 0.5 0.25</probabilities>\n"
           "\t\t</cpt>\n",
           "\t\t<cpt id=\"Child\" diagtype=\"observation\" ranked=\"true\" "
           "mandatory=\"true\">\n"
           "\t\t\t<state id=\"lo\" label=\"low\" />\n"
           "\t\t\t<state id=\"hi\" fault=\"true\" />\n"
           "\t\t\t<parents>Root</parents>\n"
           "\t\t\t<probabilities>0.125 0.875 0.5 0.5 0.75 "
           "0.25</probabilities>\n",
           "\t\t<deterministic id=\"Det\" target=\"true\">\n"
           "\t\t\t<state id=\"State0\" />\n"
           "\t\t\t<state id=\"State1\" />\n"
           "\t\t\t<parents>Root Child</parents>\n"
           "\t\t\t<resultingstates>State1 State0 State1 State1 State0 "
           "State0</resultingstates>\n"
           "\t\t\t<property id=\"note\">x\\ty</property>\n"
           "\t\t</deterministic>\n",
           "\t\t\t<pointvalues>1.5 -2.25</pointvalues>\n",
           "\t\t<cpt id=\"Level\">\n\t\t\t<state id=\"\" />\n",
           "\t\t\t<intervals>0 1.5 2 10</intervals>\n",
           "\t<observationcost>\n\t\t<node id=\"Child\">\n"
           "\t\t\t<parents>Root</parents>\n"
           "\t\t\t<cost>n/a 2.5 4</cost>\n\t\t</node>\n\t</observationcost>\n",
           "\t<cases>\n"
           "\t\t<case name=\"First\" category=\"daily\" created=\"1700000000\" "
           "modified=\"-5\">\n"
           "\t\t\t<description>two\\nlines\\tand a tab</description>\n"
           "\t\t\t<evidence node=\"Root\" state=\"r2\" />\n"
           "\t\t\t<softevidence node=\"Child\">0.25 0.75</softevidence>\n"
           "\t\t\t<target node=\"Det\" />\n"
           "\t\t\t<target node=\"Root\" />\n"
           "\t\t</case>\n"
           "\t\t<case name=\"Empty\">\n\t\t</case>\n"
           "\t</cases>\n</qelta>\n",
       }) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n---\n" << text;
  }
}

// The rich network reads back equal; every text the document carries keeps
// its backslashes, TABs, line feeds and carriage returns, whether it travels
// as an attribute, as plain text or as escaped text; case stamps keep all 64
// bits; the layout comes along.
TEST(XmlNetWriterTest, AwkwardTextsLayoutAndLargeStampsReadBackEqual) {
  const char* const kText = "a\\b\tc\nd\re\r\n\\n\\";
  VRN_network net;
  BuildRichNetwork(net);
  ASSERT_EQ(net.Header()->SetName(kText), 0);
  ASSERT_EQ(net.Header()->SetComment(kText), 0);
  ASSERT_EQ(net.UserProperties().AddProperty("awkward", kText), 0);
  int index = 0, position = 0;
  std::string message;
  // Function texts are parsed and written in one form; blanks between the
  // tokens are what they may hold.
  ASSERT_EQ(net.SetExtFunctions({"f(x)\t=\nx\r\n"}, index, position, message),
            0);
  const int root = net.FindNode("Root");
  VRN_node* node = net.GetNode(root);
  ASSERT_EQ(node->Header().SetName(kText), 0);
  node->ScreenInfo().x = 120;
  node->ScreenInfo().y = 80;
  node->ScreenInfo().width = 60;
  node->ScreenInfo().height = 30;
  node->SetQuestion(kText);
  ASSERT_EQ(node->Documentation().Add(kText, kText), 0);
  ASSERT_EQ(node->UserProperties().AddProperty("p", kText), 0);
  ASSERT_EQ(Disc(net, root)->SetOutcomeLabel(0, kText), 0);
  ASSERT_EQ(Disc(net, root)->SetOutcomeDescription(1, kText), 0);
  ASSERT_EQ(Disc(net, root)->SetOutcomeFix(1, kText), 0);
  const int sub = net.Submodels()->CreateSubmodel(qelta::kMainSubmodel, "S");
  ASSERT_GE(sub, 0);
  ASSERT_EQ(net.GetNode(net.FindNode("Num"))->SetSubmodel(sub), 0);
  ASSERT_EQ(net.Submodels()->GetSubmodel(sub)->Header().SetName(kText), 0);
  net.Submodels()->GetSubmodel(sub)->TextBoxes().push_back({kText, {1, 2, 3, 4}});
  VRN_case* c = net.AddCase("Odd");
  ASSERT_NE(c, nullptr);
  c->SetCategory(kText);
  c->SetDescription(kText);
  c->SetCreated(INT64_C(5000000000));
  c->SetModified(INT64_C(-9000000000000000000));

  const std::string first = Save(net);
  VRN_network back;
  ASSERT_TRUE(Load(back, first)) << LogText(back);
  // Each text arrives, so none was left out of the document.
  const VRN_node* r = back.GetNode(back.FindNode("Root"));
  const VRN_discDef* d = Disc(back, back.FindNode("Root"));
  const VRN_submodel* s =
      back.Submodels()->GetSubmodel(back.Submodels()->FindSubmodel("S"));
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(back.GetNumberOfCases(), 3);
  const VRN_case* odd = back.GetCase(2);
  for (const char* got :
       {back.Header()->GetName(), back.Header()->GetComment(),
        back.UserProperties().GetPropertyValue(2), r->Header().GetName(),
        r->GetQuestion(), r->Documentation().GetTitle(0),
        r->Documentation().GetPath(0), r->UserProperties().GetPropertyValue(0),
        d->GetOutcomeLabel(0), d->GetOutcomeDescription(1),
        d->GetOutcomeFix(1), s->Header().GetName(),
        s->TextBoxes().at(0).caption.c_str(), odd->GetCategory().c_str(),
        odd->GetDescription().c_str()}) {
    EXPECT_STREQ(got, kText);
  }
  EXPECT_EQ(r->ScreenInfo().width, 60);
  EXPECT_EQ(s->TextBoxes()[0].rect[3], 4);
  EXPECT_EQ(odd->GetModified(), INT64_C(-9000000000000000000));
  ExpectStableRoundTrip(first, "awkward", &net);
}

TEST(XmlNetWriterTest, TemporalTypesAndCaseEvidenceOfOtherKindsAreWritten) {
  // The loader of this build reads neither; the writer still says them.
  VRN_network net;
  const int a = AddCpt(net, "A", {"x", "y"});
  const int b = AddCpt(net, "B", {"u", "v"});
  net.GetNode(a)->SetTemporalTypeRaw(3);
  net.GetNode(b)->SetTemporalTypeRaw(1);
  VRN_case* c = net.AddCase("C");
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(c->SetTemporalEvidence(a, 1, 0), 0);
  ASSERT_EQ(c->SetTemporalEvidence(a, 0, 2), 0);
  const std::string text = Save(net, FormatExtension::None());
  EXPECT_NE(text.find("<cpt id=\"A\" dynamic=\"plate\">"), std::string::npos);
  EXPECT_NE(text.find("<cpt id=\"B\" dynamic=\"anchor\">"), std::string::npos);
  EXPECT_NE(
      text.find("\t\t\t<evidence node=\"A\" slice=\"0\" state=\"y\" />\n"
                "\t\t\t<evidence node=\"A\" slice=\"2\" state=\"x\" />\n"),
      std::string::npos)
      << text;
}

TEST(XmlNetWriterTest, CorpusRoundTripsAreStable) {
  const std::string dir = std::string(QELTA_TEST_DATA) + "/xml";
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) GTEST_SKIP() << "no corpus at " << dir;
  std::vector<std::string> names;
  while (const dirent* entry = readdir(d)) {
    const std::string name = entry->d_name;
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".xvrn") == 0) {
      names.push_back(name);
    }
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  ASSERT_FALSE(names.empty());
  for (const std::string& name : names) {
    ExpectStableRoundTrip(ReadAll(dir + "/" + name), name);
  }
}

TEST(XmlNetWriterTest, StringOutputAppendsAndFileOutputMatchesIt) {
  VRN_network net;
  BuildRichNetwork(net);
  std::string text = "prefix";
  ASSERT_TRUE(XmlNetworkSaver::Save(nullptr, &text, &net, FormatExtension()));
  EXPECT_EQ(text.substr(0, 6), "prefix");
  const std::string path = testing::TempDir() + "xml_net_writer_test.xvrn";
  ASSERT_TRUE(
      XmlNetworkSaver::Save(path.c_str(), nullptr, &net, FormatExtension()));
  EXPECT_EQ(ReadAll(path), text.substr(6));
  std::remove(path.c_str());
}

TEST(XmlNetWriterTest, TextsXmlCannotCarryAreRefusedOrReplaced) {
  // U+FFFE, U+FFFF, a stray byte, a cut sequence, an encoded surrogate.
  const char* const kBad[] = {"x\xEF\xBF\xBEy", "x\xEF\xBF\xBF", "\xFF",
                              "x\xE2\x82", "\xED\xA0\x80"};
  const std::string path = testing::TempDir() + "xml_net_writer_bad.xvrn";
  for (const char* bad : kBad) {
    VRN_network net;
    BuildRichNetwork(net);
    ASSERT_EQ(net.GetNode(net.FindNode("Root"))->Header().SetComment(bad), 0);
    std::remove(path.c_str());
    EXPECT_EQ(net.WriteFile(path.c_str(), 0, 0), qelta::kErrFileIo);
    EXPECT_NE(LogText(net).find("Node 'Root' cannot be written: its comment"),
              std::string::npos) << LogText(net);
    EXPECT_FALSE(std::ifstream(path).good());
    ASSERT_EQ(net.GetNode(net.FindNode("Root"))->Header().SetComment("ok"), 0);
    net.ErrorLog()->Flush();
    net.AddCase("K")->SetCategory(bad);
    std::string text;
    EXPECT_EQ(net.WriteString(text, 0), qelta::kErrFileIo);
    EXPECT_NE(LogText(net).find("Case 'K' cannot be written: its category"),
              std::string::npos) << LogText(net);
    // Writers that do not refuse (the knowledge file, a caller's block)
    // write U+FFFD, so the document stays readable.
    std::string written;
    XmlWriterStringOutput output(&written);
    XmlWriter writer(&output);
    writer.AddStringAttribute("a", bad);
    writer.WriteTextElement("e", bad, 1);
    EXPECT_TRUE(XmlWriter::IsXmlText(written.c_str())) << written;
    EXPECT_NE(written.find("\xEF\xBF\xBD"), std::string::npos);
  }
}

// A caller's block: written inside "extensions", never released.
class CountingExtension : public IXmlWriterExtension {
 public:
  void Write(IXmlWriter& writer) override {
    ++writes;
    writer.AddStringAttribute("kind", "mine");
    writer.WriteTextElement("custom", "data", 0);
  }
  void GetComment(std::string& out) override { out = "custom comment"; }
  void Release() override { ++releases; }
  int writes = 0;
  int releases = 0;
};

TEST(XmlNetWriterTest, CallerExtensionIsUsedAndNotReleased) {
  VRN_network net;
  CountingExtension extension;
  const std::string text = Save(net, FormatExtension::ForWriting(&extension));
  EXPECT_EQ(extension.writes, 1);
  EXPECT_EQ(extension.releases, 0);
  EXPECT_NE(text.find("?>\n<!-- custom comment -->\n<qelta "),
            std::string::npos);
  EXPECT_NE(
      text.find("\t<extensions>\n\t\t<custom kind=\"mine\">data</custom>\n"
                "\t</extensions>\n"),
      std::string::npos)
      << text;
  // A null caller object writes no block at all.
  EXPECT_EQ(Save(net, FormatExtension::ForWriting(nullptr)),
            Save(net, FormatExtension::None()));
}

}  // namespace
