// The selection conventions that the edit box and the combo box share.
#include "units/common/selection.h"

#include <gtest/gtest.h>

namespace kesu::units {
namespace {

TEST(Selection, WrittenStartAndLength) {
    EXPECT_EQ(SelectionForStart(-1, 7).start, 7);
    EXPECT_EQ(SelectionForStart(-1, 7).length, 0);
    EXPECT_EQ(SelectionForStart(-9, 7).start, 0);
    EXPECT_EQ(SelectionForStart(3, 7).start, 3);
    Selection all = SelectionForLength(3, -1, 7);
    EXPECT_EQ(all.start, 0);
    EXPECT_EQ(all.length, 7);
    EXPECT_EQ(SelectionForLength(3, -4, 7).length, 0);
    EXPECT_EQ(SelectionForLength(3, 2, 7).start, 3);
}

}  // namespace
}  // namespace kesu::units
