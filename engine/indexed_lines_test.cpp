// The line order of the indexed view against a plain vector of ids.
#include "engine/indexed_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

// Lines added after random lines, many after the same few ones (deep
// chains), with random marks: positions, marked ranks and the whole order
// match the vector's.
TEST(LineOrderTest, MatchesAVectorUnderRandomInsertsAndMarks) {
  std::mt19937 random(7);
  LineOrder order;
  std::vector<int> model{order.AddAfter(-1)};
  std::vector<bool> marked(1, false);
  for (int step = 0; step < 3000; ++step) {
    const int after = random() % 4 == 0 ? model.front() : model[random() % model.size()];
    const auto at = std::find(model.begin(), model.end(), after) + 1;
    model.insert(at, order.AddAfter(after));
    marked.push_back(false);
    const int flip = model[random() % model.size()];
    marked[flip] = !marked[flip];
    order.SetMarked(flip, marked[flip]);
  }
  EXPECT_EQ(order.InOrder(), model);
  std::vector<int> marks;
  for (int i = 0; i < static_cast<int>(model.size()); ++i) {
    ASSERT_EQ(order.Position(model[i]), i);
    if (marked[model[i]]) marks.push_back(model[i]);
  }
  ASSERT_EQ(order.MarkedCount(), static_cast<int>(marks.size()));
  for (int n = 0; n < static_cast<int>(marks.size()); ++n) ASSERT_EQ(order.NthMarked(n), marks[n]);
  EXPECT_EQ(order.NthMarked(static_cast<int>(marks.size())), -1);
}

}  // namespace
