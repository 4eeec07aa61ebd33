#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/error_log.h"
#include "base/status.h"
#include "definitions/noisy_adder.h"
#include "definitions/noisy_max.h"
#include "definitions/qualitative.h"
#include "network/network.h"
#include "network/node.h"

namespace {

std::string ReadData(const char* name) {
  std::ifstream in(std::string(QELTA_TEST_DATA) + "/xml/" + name);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

template <typename T>
T* Def(VRN_network& net, const char* id) {
  return dynamic_cast<T*>(net.GetNode(net.FindNode(id))->Definition());
}

TEST(CanonicalXmlTest, EveryElementRoundTrips) {
  VRN_network net;
  ASSERT_EQ(0, net.ReadString(ReadData("canonical.xvrn").c_str(), 0));
  std::string first, second;
  ASSERT_EQ(0, net.WriteString(first, 0));
  VRN_network again;
  ASSERT_EQ(0, again.ReadString(first.c_str(), 0));
  ASSERT_EQ(0, again.WriteString(second, 0));
  EXPECT_EQ(first, second);
  EXPECT_NE(first.find("<noisyadder id=\"S\" function=\"singlefault\""),
            std::string::npos);
  EXPECT_NE(first.find("<strengths>1 2 0 0 1</strengths>"), std::string::npos);

  EXPECT_EQ(0.123456789, Def<VRN_cast>(again, "C1")->GetBaseline());
  EXPECT_EQ(1.0 / 3, Def<VRN_demorgan>(again, "D1")->GetPriorBelief());
  EXPECT_EQ(3, Def<VRN_demorgan>(again, "D3")->GetParentType(1));
  EXPECT_EQ(-0.4, Def<VRN_cast>(again, "C2")->GetNegativeWeights()[0]);
  VRN_noisyMAX* m = Def<VRN_noisyMAX>(again, "M");
  EXPECT_EQ((std::vector<int>{2, 0, 1}),
            std::vector<int>(m->GetParentOutcomeStrengths(0).begin(),
                             m->GetParentOutcomeStrengths(0).end()));
  VRN_noisyAdder* s = Def<VRN_noisyAdder>(again, "S");
  EXPECT_EQ(VRN_noisyAdder::kSingleFault, s->GetFunction());
  EXPECT_EQ(2, s->GetParentDistinguishedState(0));
  EXPECT_EQ(2.5, s->GetWeights()[1]);
  EXPECT_EQ(VRN_noisyAdder::kAverage, Def<VRN_noisyAdder>(again, "T")->GetFunction());
  EXPECT_EQ(0, again.UpdateBeliefs());
}

TEST(CanonicalXmlTest, UnnamedDeMorganRoleFailsTheSave) {
  VRN_network net;
  ASSERT_EQ(0, net.ReadString(ReadData("canonical.xvrn").c_str(), 0));
  ASSERT_EQ(0, Def<VRN_demorgan>(net, "D3")->SetParentType(0, 7));
  net.ErrorLog()->Flush();
  std::string out;
  EXPECT_EQ(qelta::kErrFileIo, net.WriteString(out, 0));
  ASSERT_EQ(1, net.ErrorLog()->GetNumberOfMessages());
  EXPECT_EQ(qelta::kErrFileIo, net.ErrorLog()->GetCode(0));
  EXPECT_NE(std::string(net.ErrorLog()->GetMessage(0))
                .find("Invalid DeMorgan parent type 7 of node 'D3'"),
            std::string::npos);
}

// Two-state CPT P and qualitative Q, R on lines 3 to 5; the failing node
// is on line 6.
std::string Document(const std::string& node) {
  return "<qelta version='1.0' id='N'>\n<nodes>\n"
         "<cpt id='P'><state id='p0'/><state id='p1'/>"
         "<probabilities>0.5 0.5</probabilities></cpt>\n"
         "<demorgan id='Q'><priorbelief>0.5</priorbelief></demorgan>\n"
         "<cast id='R'><baseline>0.5</baseline></cast>\n" +
         node + "\n</nodes></qelta>";
}

TEST(CanonicalXmlTest, LoadFailures) {
  const std::string states = "<state id='x0'/><state id='x1'/>";
  auto max = [&](const std::string& body) {
    return "<noisymax id='X'>" + states + "<parents>P</parents>" + body +
           "</noisymax>";
  };
  auto adder = [&](const std::string& attributes, const std::string& body) {
    return "<noisyadder id='X'" + attributes + ">" + states +
           "<parents>P</parents>" + body + "</noisyadder>";
  };
  const std::string params6 = "<parameters>0.1 0.9 0 1 0.2 0.8</parameters>";
  const struct {
    std::string node;
    std::string message;
  } cases[] = {
      {"<cast id='X'><baseline>0.5x</baseline></cast>", "Can't read baseline"},
      {"<cast id='X'><baseline>1.2</baseline></cast>", "SetBaseline failed"},
      {"<cast id='X'><parents>R</parents><pweights>1.5</pweights>"
       "<nweights>0</nweights><baseline>0.5</baseline></cast>",
       "SetPositiveWeights failed"},
      {"<cast id='X'><parents>R</parents><pweights>0.5</pweights>"
       "<baseline>0.5</baseline></cast>",
       "SetNegativeWeights failed"},
      {"<demorgan id='X'><priorbelief>-</priorbelief></demorgan>",
       "Can't read prior belief"},
      {"<demorgan id='X'><priorbelief>nan</priorbelief></demorgan>",
       "SetPriorBelief failed"},
      {"<demorgan id='X'><parents>Q</parents><types>cause</types>"
       "<weights>1.5</weights><priorbelief>0.5</priorbelief></demorgan>",
       "SetParentWeights failed"},
      {"<demorgan id='X'><parents>Q</parents><weights>0.5</weights>"
       "<priorbelief>0.5</priorbelief></demorgan>",
       "SetParentTypes failed"},
      {"<demorgan id='X'><parents>Q</parents><types>cause barrier x</types>"
       "<priorbelief>0.5</priorbelief></demorgan>",
       "Invalid parent type 'x' at element 3"},
      {max(params6), "SetParentOutcomeStrengths failed"},
      {max("<strengths>0</strengths>" + params6), "SetParentOutcomeStrengths failed"},
      {max("<strengths>0 2</strengths>" + params6), "SetParentOutcomeStrengths failed"},
      {max("<strengths>1 1</strengths>" + params6), "SetParentOutcomeStrengths failed"},
      {max("<strengths>0 1 0</strengths>" + params6), "SetParentOutcomeStrengths failed"},
      {max("<strengths>0 q</strengths>" + params6),
       "Can't read list of integers, failed at element 2"},
      {max("<strengths>1 0</strengths><parameters>0.5 0.5</parameters>"),
       "Invalid weights vector size 2, expected 6"},
      {adder(" function='sum'", "<dstates>1 1</dstates><weights>1 1</weights>" + params6),
       "Invalid noisy adder function: 'sum'"},
      {adder("", "<dstates>1</dstates><weights>1 1</weights>" + params6),
       "Size of distinguished state vector is invalid: 1, expected 2"},
      {adder("", "<dstates>2 1</dstates><weights>1 1</weights>" + params6),
       "SetDistinguishedState call fails"},
      {adder("", "<dstates>1 5</dstates><weights>1 1</weights>" + params6),
       "SetParentDistinguishedState call fails"},
      {adder("", "<dstates>1 1</dstates><weights>1</weights>" + params6),
       "Size of weights vector is invalid: 1, expected 2"},
      {adder("", "<dstates>1 1</dstates><weights>1 0</weights>" + params6),
       "SetParentWeight call fails"},
      {adder("", "<dstates>1 1</dstates><weights>1 1</weights>"
                 "<parameters>1</parameters>"),
       "Size of CI parameters vector is invalid: 1, expected 6"},
  };
  for (const auto& c : cases) {
    VRN_network net;
    EXPECT_EQ(qelta::kErrFileIo, net.ReadString(Document(c.node).c_str(), 0))
        << c.message;
    ASSERT_EQ(1, net.ErrorLog()->GetNumberOfMessages()) << c.message;
    EXPECT_EQ(qelta::kErrFileIo, net.ErrorLog()->GetCode(0));
    const std::string got = net.ErrorLog()->GetMessage(0);
    EXPECT_EQ(0u, got.find("Error at 6, ")) << got;
    EXPECT_NE(std::string::npos, got.find(": " + c.message)) << got;
  }
}

}  // namespace
