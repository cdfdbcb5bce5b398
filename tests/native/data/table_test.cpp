#include "core/data/table.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(AssignmentTable, StepDataMapsFieldsAndKeepsUnusedSlotsAwayFromLiveData) {
  AssignmentTable t;
  t.StepData(1, 5, 2, 0) = u"分割";
  t.StepData(1, 5, 1, 1) = u"#";
  t.StepData(1, 5, 2, 1) = u"Shift";
  EXPECT_EQ(t.Entry(1, 5).mode, u"分割");
  EXPECT_EQ(t.Entry(1, 5).marker[1], u"#");
  EXPECT_EQ(t.Entry(1, 5).body[1], u"Shift");
  // Field 0 and out-of-range steps are not storage.
  t.StepData(1, 5, 0, 1) = u"x";
  t.StepData(1, 5, 2, 61) = u"y";
  EXPECT_EQ(t.StepData(1, 5, 0, 1), u"");
  EXPECT_EQ(t.Entry(1, 5).body[1], u"Shift");
}

TEST(AssignmentTable, ClearEmptiesLabelsCountsAndStepsButNotTheMode) {
  AssignmentTable t;
  t.KeyLabel(4, 32) = u"部品図";
  t.StepCount(4, 32) = 3;
  t.StepData(4, 32, 2, 0) = u"結合";
  t.StepData(4, 32, 1, 60) = u"*";
  t.StepData(4, 32, 2, 60) = u"図面";
  t.Clear();
  EXPECT_EQ(t.KeyLabel(4, 32), u"");
  EXPECT_EQ(t.StepCount(4, 32), 0);
  EXPECT_EQ(t.StepData(4, 32, 1, 60), u"");
  EXPECT_EQ(t.StepData(4, 32, 2, 60), u"");
  EXPECT_EQ(t.StepData(4, 32, 2, 0), u"結合");
}

}  // namespace
}  // namespace vantrel
