#include "core/data/table.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(AssignmentTable, ClearEmptiesEveryStepHoweverWrittenOrLookedAtAndKeepsTheModes) {
  AssignmentTable t, expected;
  expected.Entry(1, 1).mode = u"分割";
  for (int round = 0; round < 2; ++round) {
    t.Entry(4, 32).body[60] = u"stale";
    t.Entry(1, 1) = {u"label", 3, u"分割", {u"#"}, {u"", u"A", u"B"}};
    t.Entry(2, 5).marker.fill(u"*");
    t.Clear();
    EXPECT_TRUE(t.Entry(2, 1).body[60].empty() && t == expected) << "round " << round;
  }
}

}  // namespace
}  // namespace vantrel
