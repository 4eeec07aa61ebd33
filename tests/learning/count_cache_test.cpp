#include "learning/count_cache.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "learning/dataset.h"
#include "structure_data.h"

namespace {

int BruteCount(const VRN_dataset& data, const std::vector<VRN_countCache::Pair>& pairs) {
  int total = 0;
  for (int r = 0; r < data.GetRecordCount(); ++r) {
    bool all = true;
    for (const auto& p : pairs) all = all && data.GetInt(p.first, r) == p.second;
    total += all ? 1 : 0;
  }
  return total;
}

struct Shape {
  int variables;
  int arity;
  int records;
  int memoryLimit;  // MiB, 0: default
  bool index;       // a record index with repeats
  int maxQuery;
};

TEST(CountCacheTest, AgreesWithBruteForceOnRandomQueries) {
  const Shape shapes[] = {
      {8, 3, 500, 0, false, 4},
      {8, 3, 500, 0, true, 4},
      {20, 40, 2000, 1, false, 6},  // builds pass 1 MiB again and again
      {20, 40, 2000, 1, true, 6},
  };
  std::mt19937 rng(7);
  for (const Shape& s : shapes) {
    std::vector<std::vector<int>> cols(static_cast<std::size_t>(s.variables));
    for (auto& c : cols) {
      for (int r = 0; r < s.records; ++r) c.push_back(static_cast<int>(rng() % static_cast<unsigned>(s.arity)));
    }
    VRN_dataset data = structdata::Columns(cols, std::vector<int>(cols.size(), s.arity));
    if (s.index) {
      std::vector<int> index;
      for (int r = 0; r < s.records; ++r) index.push_back(static_cast<int>(rng() % 50));
      ASSERT_EQ(0, data.SetRecordIndex(index));
    }
    VRN_countCache cache(data);
    if (s.memoryLimit != 0) cache.memory_limit = s.memoryLimit;
    EXPECT_EQ(data.GetRecordCount(), cache.GetCount({}));
    for (int q = 0; q < 2000; ++q) {
      std::vector<int> vars(static_cast<std::size_t>(s.variables));
      for (int v = 0; v < s.variables; ++v) vars[static_cast<std::size_t>(v)] = v;
      std::shuffle(vars.begin(), vars.end(), rng);
      const int size = 1 + static_cast<int>(rng() % static_cast<unsigned>(s.maxQuery));
      std::vector<VRN_countCache::Pair> pairs;
      for (int k = 0; k < size; ++k) {
        // Mostly values seen in a record, so that counts are not all zero.
        const int v = vars[static_cast<std::size_t>(k)];
        pairs.emplace_back(v, q % 3 == 0 ? static_cast<int>(rng() % static_cast<unsigned>(s.arity))
                                         : data.GetInt(v, q % data.GetRecordCount()));
      }
      ASSERT_EQ(BruteCount(data, pairs), cache.GetCount(pairs)) << "query " << q;
    }
    if (s.memoryLimit == 1) {
      EXPECT_GT(cache.GetResetCount(), 0);
    }
  }
}

TEST(CountCacheTest, NonZeroCountsCoverTheRecords) {
  VRN_dataset data = structdata::Columns({{0, 1, 1, 2, 2, 2}, {0, 0, 1, 1, 1, 1}}, {3, 2});
  VRN_countCache cache(data);
  std::vector<int> counts;
  const int both[] = {0, 1};
  cache.GetNonZeroCounts(both, 2, counts);
  std::sort(counts.begin(), counts.end());
  EXPECT_EQ((std::vector<int>{1, 1, 1, 3}), counts);
  EXPECT_EQ(0, cache.GetCount({{1, 0}, {0, 2}}));
  EXPECT_EQ(3, cache.GetCount({{1, 1}, {0, 2}}));
}

}  // namespace
