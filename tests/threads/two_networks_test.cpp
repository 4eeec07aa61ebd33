// Separate networks on separate threads share no state: two threads each
// build, read, edit and update networks of their own, at the same time, and
// must get what one thread alone gets. Built with ThreadSanitizer
// (scripts/tsan) this also proves that they touch no shared data unguarded,
// the C library's globals included.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/handle_table.h"
#include "base/matrix.h"
#include "base/random.h"
#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "equations/equation.h"
#include "equations/equation_evaluation.h"
#include "io/format.h"
#include "learning/bayesian_search.h"
#include "learning/dataset.h"
#include "learning/em.h"
#include "learning/em_session.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kRounds = 25;

// What one round computed, or the first step that failed.
struct Outcome {
  std::vector<double> numbers;
  std::string failure;

  void Check(bool ok, const char* step) {
    if (!ok && failure.empty()) failure = step;
  }
  void Add(VRN_network& net, int h) {
    const VRN_matrix& m = net.GetNode(h)->Value()->GetValue();
    numbers.insert(numbers.end(), m.GetItems().begin(), m.GetItems().end());
  }
};

VRN_nodeDef* Def(VRN_network& net, int h) {
  return net.GetNode(h)->Definition();
}

// A small network with every kind of node new networks start with: the
// first nodes of a network take the default outcome names.
void BeliefNetwork(Outcome& out, int round) {
  VRN_network net;
  const int a = net.AddNode(qelta::kDefCpt, "A");
  const int b = net.AddNode(qelta::kDefCpt, "B");
  const int c = net.AddNode(qelta::kDefTruthTable, "C");
  out.Check(net.AddArc(a, b) == 0 && net.AddArc(a, c) == 0, "arcs");
  out.Check(Def(net, a)->AddOutcome(nullptr) == 0, "AddOutcome");
  out.Check(Def(net, a)->SetDefinitionFromVector({0.2, 0.3, 0.5}) == 0, "A");
  out.Check(Def(net, b)->SetDefinitionFromVector(
                {0.9, 0.1, 0.5, 0.5, 0.1, 0.9}) == 0,
            "B");
  out.Check(net.GetNode(b)->Value()->SetEvidence(round % 2) == 0, "evidence");

  std::string text;
  out.Check(net.WriteString(text, qelta::kExtensionLayout) == 0, "write");
  VRN_network copy;
  out.Check(copy.ReadString(text.c_str(), qelta::kExtensionLayout) == 0, "read");
  const int ca = copy.FindNode("A");
  out.Check(copy.GetNode(ca)->setNodeType(qelta::kDefNoisyMax) == 0, "type");
  out.Check(copy.GetNode(ca)->setNodeType(qelta::kDefCpt) == 0, "type back");
  out.Check(Def(copy, ca)->SetDefinitionFromVector({0.2, 0.3, 0.5}) == 0, "A'");
  // The file formats each thread writes and reads, with names of its own.
  std::ostringstream name;
  name << testing::TempDir() << "two_networks_" << std::this_thread::get_id();
  for (const char* extension : {".net", ".dsc", ".dne", ".erg"}) {
    const std::string file = name.str() + extension;
    VRN_network text_copy;
    out.Check(copy.WriteFile(file.c_str(), qelta::kFormatByName,
                             qelta::kExtensionLayout) == 0 &&
                  text_copy.ReadFile(file.c_str(), qelta::kFormatByName,
                                     qelta::kExtensionLayout) == 0,
              extension);
    std::remove(file.c_str());
  }
  out.Check(copy.UpdateBeliefs() == 0, "update");
  out.Add(copy, ca);
  out.Add(copy, copy.FindNode("C"));
  VRN_randomGenerator generator(round + 1);  // seed 0 would draw from the clock
  out.Check(copy.RandomizeParameters(&generator, nullptr) == 0, "randomize");
  out.Check(copy.UpdateBeliefs() == 0, "update randomized");
  out.Add(copy, ca);

  // The binding's table of native objects is shared by every thread.
  const qelta::ForeignHandle handle =
      qelta::RegisterObject(new VRN_network(copy));
  auto* held = static_cast<VRN_network*>(qelta::AcquireObject(handle));
  out.Check(held != nullptr && held->FindNode("A") == ca, "handle");
  if (held != nullptr) qelta::ReleaseObject(handle);
  out.Check(qelta::CloseObject(handle), "close");
}

// An influence diagram solved by either solver while automatic updating is
// on, and a dynamic network whose plate node changes type.
void DecisionAndDynamicNetworks(Outcome& out, int round) {
  VRN_network id;
  const int x = id.AddNode(qelta::kDefCpt, "X");
  const int d = id.AddNode(qelta::kDefDecision, "D");
  const int u = id.AddNode(qelta::kDefUtility, "U");
  out.Check(id.AddArc(x, u) == 0 && id.AddArc(d, u) == 0, "id arcs");
  out.Check(Def(id, u)->SetDefinitionFromVector({10, 0, 0, 20}) == 0, "U");
  out.Check(id.SetDefaultIDAlgorithm(round % 2) == round % 2, "solver");
  out.Check(id.SetAutoUpdate(true) == 0, "auto update");
  out.Check(Def(id, x)->SetDefinitionFromVector({0.3, 0.7}) == 0, "X");
  out.Add(id, d);

  VRN_network dyn;
  const int p = dyn.AddNode(qelta::kDefCpt, "P");
  out.Check(dyn.setNodeTemporalType(p, qelta::kTemporalPlate) == 0, "plate");
  out.Check(dyn.AddTemporalArc(p, p, 1) == 0, "temporal arc");
  out.Check(dyn.SetNumberOfSlices(3) == 0, "slices");
  out.Check(dyn.GetNode(p)->Value()->SetTemporalEvidence(2, 1) == 0, "slice");
  out.Check(dyn.GetNode(p)->setNodeType(qelta::kDefDemorgan) == 0, "DeMorgan");
  out.Check(dyn.UpdateBeliefs() == 0, "dynamic update");
  out.Add(dyn, p);

  VRN_network eq;
  const int e = eq.AddNode(qelta::kDefEquation, "e");
  const int f = eq.AddNode(qelta::kDefEquation, "f");
  out.Check(VRN_GetEquation(&eq, e)->SetEquation("e=Normal(0,1)", nullptr,
                                                 nullptr) == 0,
            "equation e");
  out.Check(VRN_GetEquation(&eq, f)->SetEquation("f=2*e+1", nullptr,
                                                 nullptr) == 0,
            "equation f");
  out.Check(eq.SetNumberOfSamples(200) == 0, "samples");
  eq.SetRandSeed(round + 1);  // 0 would seed from the clock
  out.Check(eq.UpdateBeliefs() == 0, "sampling");
  const auto* sampled =
      dynamic_cast<const VRN_equationEvaluation*>(eq.GetNode(f)->Value());
  out.Check(sampled != nullptr, "sampled value");
  if (sampled != nullptr) {
    out.numbers.push_back(sampled->GetSampleMean());
    out.numbers.push_back(sampled->GetSampleStdDev());
  }
}

// Bayesian search and greedy thick thinning, each on data of its own:
// counts of 400 records jump by more than 48, so the scores take ln-gamma.
void StructureSearches(Outcome& out, int round) {
  for (bool thinning : {false, true}) {
    VRN_dataset data;
    for (const char* id : {"A", "B", "C"}) {
      out.Check(data.addIntVariable(id, -1) == 0 &&
                    data.setStateNames(data.GetVariableCount() - 1,
                                       {"s0", "s1"}) == 0,
                "variable");
    }
    for (int r = 0; r < 400; ++r) {  // B mostly follows A, C mostly B
      const int a = (r * 7 + round) % 3 == 0 ? 1 : 0;
      const int b = r % 10 == 0 ? 1 - a : a;
      data.AddEmptyRecord();
      data.SetInt(0, r, a);
      data.SetInt(1, r, b);
      data.SetInt(2, r, r % 6 == 0 ? 1 - b : b);
    }
    VRN_bayesianSearch search;
    search.greedyThickThinning = thinning;
    search.iterationCount = 3;
    search.randSeed = round + 1;  // 0 would seed from the clock
    VRN_network net;
    double score = 0.0;
    out.Check(search.Learn(data, net, nullptr, nullptr, &score, nullptr,
                           nullptr) == 0,
              thinning ? "thinning" : "search");
    out.numbers.push_back(score);
  }
}

// Distributed EM's pieces as a worker thread of a Spark executor runs
// them: a driver session and a worker session of its own per round, passes
// until converged; the tables must be the one-machine learner's.
void DistributedEmSessions(Outcome& out, int round) {
  VRN_network net;
  const int a = net.AddNode(qelta::kDefCpt, "A");
  const int b = net.AddNode(qelta::kDefCpt, "B");
  const int c = net.AddNode(qelta::kDefCpt, "C");
  out.Check(net.AddArc(a, b) == 0 && net.AddArc(b, c) == 0, "arcs");
  std::string text;
  out.Check(net.WriteString(text, qelta::kExtensionLayout) == 0, "write");
  constexpr int kRecords = 60;
  std::vector<int> values;
  VRN_dataset data;
  for (const char* id : {"A", "B", "C"}) {
    out.Check(data.addIntVariable(id, -1) == 0 &&
                  data.setStateNames(data.GetVariableCount() - 1, {"State0", "State1"}) == 0,
              "variable");
  }
  for (int r = 0; r < kRecords; ++r) {
    data.AddEmptyRecord();
    for (int v = 0; v < 3; ++v) {
      const int value = (r * (v + 3) + round) % 5 == 0 ? -1 : (r + v * round) % 3 == 0 ? 1 : 0;
      values.push_back(value);
      if (value < 0) {
        data.SetMissing(v, r);
      } else {
        data.SetInt(v, r, value);
      }
    }
  }
  VRN_em options;
  options.randomizeParameters = true;
  options.seed = round + 1;
  VRN_emSession driver, worker;
  std::string error;
  out.Check(driver.Open(text.c_str(), {"A", "B", "C"}, {}, options, &error) == 0 &&
                worker.Open(text.c_str(), {"A", "B", "C"}, {}, options, &error) == 0,
            "session");
  driver.Start();
  std::vector<double> parameters(static_cast<std::size_t>(driver.ParameterCount()));
  std::vector<double> counts(static_cast<std::size_t>(driver.CountSize()));
  for (int status = 0; status == 0;) {
    driver.GetParameters(parameters.data());
    out.Check(worker.SetParameters(parameters.data()) == 0 &&
                  worker.AddRecords(values.data(), kRecords, 0, &error) == 0,
              "pass");
    worker.TakeCounts(counts.data());
    status = driver.EndPass(counts.data(), kRecords, 1.0001, 0, &error);
    out.Check(status >= 0, "end pass");
  }
  VRN_network learned(net), alone(net);
  out.Check(driver.Apply(learned, &error) == 0, "apply");
  double score = 0.0;
  std::vector<VRN_dataMatch> matches = {{a, 0, 0}, {b, 0, 1}, {c, 0, 2}};
  out.Check(options.Learn(data, alone, matches, {}, &score, nullptr) == 0, "learn");
  out.Check(score == driver.Score(), "same score");
  for (int h : {a, b, c}) {
    const VRN_matrix* m = learned.GetNode(h)->Definition()->GetMatrixConst();
    const VRN_matrix* want = alone.GetNode(h)->Definition()->GetMatrixConst();
    out.Check(std::equal(m->GetItems().begin(), m->GetItems().end(), want->GetItems().begin(),
                         want->GetItems().end()),
              "same tables");
    out.numbers.insert(out.numbers.end(), m->GetItems().begin(), m->GetItems().end());
  }
  out.numbers.push_back(driver.Passes());
}

std::vector<Outcome> RunRounds() {
  std::vector<Outcome> rounds(kRounds);
  for (int r = 0; r < kRounds; ++r) {
    BeliefNetwork(rounds[r], r);
    DecisionAndDynamicNetworks(rounds[r], r);
    StructureSearches(rounds[r], r);
    DistributedEmSessions(rounds[r], r);
  }
  return rounds;
}

TEST(TwoNetworksTest, ThreadsGetWhatOneThreadAloneGets) {
  // The threads come first: what the engine builds on first use, they
  // build, at the same time.
  std::vector<Outcome> first, second;
  std::thread one([&] { first = RunRounds(); });
  std::thread two([&] { second = RunRounds(); });
  one.join();
  two.join();
  // Nothing writes the C library's ln-gamma sign, a global.
  signgam = 7;
  const std::vector<Outcome> alone = RunRounds();
  EXPECT_EQ(7, signgam);
  for (const Outcome& o : alone) ASSERT_EQ("", o.failure);
  for (int r = 0; r < kRounds; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ("", first[r].failure);
    EXPECT_EQ("", second[r].failure);
    EXPECT_EQ(alone[r].numbers, first[r].numbers);
    EXPECT_EQ(alone[r].numbers, second[r].numbers);
  }
}

}  // namespace
