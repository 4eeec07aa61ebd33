// Temporal belief updating of hidden Markov models against a forward-backward
// pass computed here: the umbrella world and random 3-state models.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "base/status.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"

namespace {

constexpr int kCpt = 18;

// Evidence of one slice: outcome >= 0, or likelihoods, or nothing.
struct Obs {
  int outcome = -1;
  std::vector<double> soft;
};

struct Hmm {
  int n = 2, m = 2;
  std::vector<double> prior, trans, emit;  // row-major: [from][to], [x][y]
};

// Smoothed posteriors (slices x n) and P(evidence) by forward-backward.
void ForwardBackward(const Hmm& h, const std::vector<Obs>& obs,
                     std::vector<std::vector<double>>& post, double& pe) {
  const int S = static_cast<int>(obs.size());
  auto like = [&](int s, int x) {
    if (obs[s].outcome >= 0) return h.emit[x * h.m + obs[s].outcome];
    if (obs[s].soft.empty()) return 1.0;
    double v = 0.0;
    for (int y = 0; y < h.m; ++y) v += h.emit[x * h.m + y] * obs[s].soft[y];
    return v;
  };
  std::vector<std::vector<double>> a(S, std::vector<double>(h.n));
  std::vector<std::vector<double>> b(S, std::vector<double>(h.n, 1.0));
  std::vector<double> scale(S);
  for (int s = 0; s < S; ++s) {
    double sum = 0.0;
    for (int x = 0; x < h.n; ++x) {
      double p = 0.0;
      if (s == 0) {
        p = h.prior[x];
      } else {
        for (int z = 0; z < h.n; ++z) p += a[s - 1][z] * h.trans[z * h.n + x];
      }
      a[s][x] = p * like(s, x);
      sum += a[s][x];
    }
    scale[s] = sum;
    for (double& v : a[s]) v /= sum;
  }
  for (int s = S - 2; s >= 0; --s) {
    for (int x = 0; x < h.n; ++x) {
      double v = 0.0;
      for (int z = 0; z < h.n; ++z) {
        v += h.trans[x * h.n + z] * like(s + 1, z) * b[s + 1][z];
      }
      b[s][x] = v / scale[s + 1];
    }
  }
  pe = 1.0;
  for (double c : scale) pe *= c;
  post.assign(S, std::vector<double>(h.n));
  for (int s = 0; s < S; ++s) {
    double sum = 0.0;
    for (int x = 0; x < h.n; ++x) sum += post[s][x] = a[s][x] * b[s][x];
    for (double& v : post[s]) v /= sum;
  }
}

// X (hidden) and Y (observed) plate nodes, X -> Y, X -> X of order 1.
class HmmNet {
 public:
  HmmNet(const Hmm& h, const std::vector<Obs>& obs) {
    x_ = net_.AddNode(kCpt, "X");
    y_ = net_.AddNode(kCpt, "Y");
    EXPECT_EQ(net_.GetNode(x_)->Definition()->SetNumberOfOutcomes(h.n), 0);
    EXPECT_EQ(net_.GetNode(y_)->Definition()->SetNumberOfOutcomes(h.m), 0);
    EXPECT_EQ(net_.AddArc(x_, y_), 0);
    EXPECT_EQ(net_.setNodeTemporalType(y_, 3), 0);
    EXPECT_EQ(net_.setNodeTemporalType(x_, 3), 0);
    EXPECT_EQ(net_.AddTemporalArc(x_, x_, 1), 0);
    EXPECT_EQ(net_.SetNumberOfSlices(static_cast<int>(obs.size())), 0);
    EXPECT_EQ(net_.GetNode(x_)->Definition()->SetDefinitionFromVector(h.prior),
              0);
    EXPECT_EQ(net_.GetNode(y_)->Definition()->SetDefinitionFromVector(h.emit),
              0);
    VRN_doubleArray trans;
    for (double v : h.trans) trans.Add(v);
    EXPECT_EQ(net_.GetNode(x_)->Definition()->SetTemporalDefinition(1, trans),
              0);
    VRN_nodeVal* y = net_.GetNode(y_)->Value();
    for (int s = 0; s < static_cast<int>(obs.size()); ++s) {
      if (obs[s].outcome >= 0) {
        EXPECT_EQ(s == 0 ? y->SetEvidence(obs[s].outcome)
                         : y->SetTemporalEvidence(s, obs[s].outcome),
                  0);
      } else if (!obs[s].soft.empty()) {
        EXPECT_EQ(y->SetTemporalVirtualEvidence(s, obs[s].soft), 0);
      }
    }
  }

  VRN_network net_;
  int x_ = -1, y_ = -1;
};

const Hmm kUmbrella{
    2, 2, {0.5, 0.5}, {0.7, 0.3, 0.3, 0.7}, {0.9, 0.1, 0.2, 0.8}};

std::vector<Obs> UmbrellaDays(int upTo) {
  const int seen[5] = {0, 0, 1, 0, 0};
  std::vector<Obs> obs(5);
  for (int s = 0; s < upTo; ++s) obs[s].outcome = seen[s];
  return obs;
}

TEST(DbnHmmTest, UmbrellaWorldSmoothedFilteredAndEvidence) {
  const Hmm& h = kUmbrella;
  HmmNet full(h, UmbrellaDays(5));
  ASSERT_EQ(full.net_.UpdateBeliefs(), 0);
  const VRN_matrix& rows = full.net_.GetNode(full.x_)->Value()->GetValue();
  ASSERT_EQ(rows.GetDimensionCount(), 2);
  ASSERT_EQ(rows.GetSize(0), 5);
  std::vector<std::vector<double>> post;
  double pe = 0.0;
  ForwardBackward(h, UmbrellaDays(5), post, pe);
  const double smoothed[5] = {0.867339, 0.820419, 0.307484, 0.820419,
                              0.867339};
  for (int s = 0; s < 5; ++s) {
    EXPECT_NEAR(rows.GetItem(2 * s), post[s][0], 1e-12);
    EXPECT_NEAR(rows.GetItem(2 * s), smoothed[s], 5e-7);
  }
  double p = 0.0;
  ASSERT_TRUE(full.net_.CalcPropEvidence(p, false));
  EXPECT_NEAR(p, pe, 1e-12);
  EXPECT_NEAR(p, 0.0343037005, 1e-10);

  const double filtered[5] = {0.818182, 0.883357, 0.190668, 0.730794,
                              0.867339};
  for (int t = 1; t <= 5; ++t) {
    HmmNet part(h, UmbrellaDays(t));
    ASSERT_EQ(part.net_.UpdateBeliefs(), 0);
    ForwardBackward(h, UmbrellaDays(t), post, pe);
    const double got =
        part.net_.GetNode(part.x_)->Value()->GetValue().GetItem(2 * (t - 1));
    EXPECT_NEAR(got, post[t - 1][0], 1e-12);
    EXPECT_NEAR(got, filtered[t - 1], 5e-7) << "day " << t;
  }
}

TEST(DbnHmmTest, RandomThreeStateModelsOf200Slices) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(0.05, 1.0);
  auto dist = [&](int n) {
    std::vector<double> v(n);
    double sum = 0.0;
    for (double& x : v) sum += x = u(rng);
    for (double& x : v) x /= sum;
    return v;
  };
  for (int round = 0; round < 3; ++round) {
    Hmm h;
    h.n = 3;
    h.m = 3;
    h.prior = dist(3);
    for (int i = 0; i < 3; ++i) {
      for (double v : dist(3)) h.trans.push_back(v);
      for (double v : dist(3)) h.emit.push_back(v);
    }
    std::vector<Obs> obs(200);
    for (int s = 0; s < 200; ++s) {
      const int kind = static_cast<int>(rng() % 3);
      if (kind == 0) obs[s].outcome = static_cast<int>(rng() % 3);
      // Stored normalised; the posteriors do not depend on the scale.
      if (kind == 1 && s > 0) obs[s].soft = {u(rng), u(rng), u(rng)};
    }
    HmmNet net(h, obs);
    ASSERT_EQ(net.net_.UpdateBeliefs(), 0);
    std::vector<std::vector<double>> post;
    double pe = 0.0;
    ForwardBackward(h, obs, post, pe);
    const VRN_matrix& rows = net.net_.GetNode(net.x_)->Value()->GetValue();
    for (int s = 0; s < 200; ++s) {
      for (int x = 0; x < 3; ++x) {
        ASSERT_NEAR(rows.GetItem(3 * s + x), post[s][x], 1e-10)
            << "slice " << s;
      }
    }
  }
}

}  // namespace
