// The arithmetic behind the send delay and the integer properties the assistant writes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/handlers.h"

namespace kesu::app {
namespace {

TEST(SendDelay, EstimatesTheLineTimeInWholeMilliseconds) {
    EXPECT_EQ(SendDelayMilliseconds(27, 10.0, 9600.0), 28);  // 28.125 ms
    EXPECT_EQ(SendDelayMilliseconds(27, 10.0, 115200.0), 2);
    EXPECT_EQ(SendDelayMilliseconds(9, 11.5, 1200.0), 86);  // 86.25 ms
    EXPECT_EQ(SendDelayMilliseconds(0, 10.0, 9600.0), 0);
    // 200000 bytes at 110 baud and 12 bits per character: about six hours, still exact.
    EXPECT_EQ(SendDelayMilliseconds(200000, 12.0, 110.0), 21818181);
}

TEST(SendDelay, ARateThatIsNoPositiveNumberTakesNoTime) {
    EXPECT_EQ(SendDelayMilliseconds(27, 10.0, 0.0), 0);
    EXPECT_EQ(SendDelayMilliseconds(27, 10.0, -9600.0), 0);
    EXPECT_EQ(SendDelayMilliseconds(0, 10.0, 0.0), 0);  // 0 / 0
    EXPECT_EQ(SendDelayMilliseconds(27, 10.0, std::numeric_limits<double>::quiet_NaN()), 0);
    // Line settings not applied yet: no bits per character.
    EXPECT_EQ(SendDelayMilliseconds(27, 0.0, 9600.0), 0);
}

TEST(SendDelay, AnAbsurdlyLongDelayIsHeldAtTheLargestInteger) {
    EXPECT_EQ(SendDelayMilliseconds(2000000000, 12.0, 1.0), std::numeric_limits<int32_t>::max());
}

TEST(IntegerOf, TruncatesTowardZeroAndHoldsTheEnds) {
    EXPECT_EQ(IntegerOf(3.99), 3);
    EXPECT_EQ(IntegerOf(1.5), 1);
    EXPECT_EQ(IntegerOf(-2.7), -2);
    EXPECT_EQ(IntegerOf(1843200.0), 1843200);
    EXPECT_EQ(IntegerOf(1e12), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(IntegerOf(-1e12), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(IntegerOf(std::numeric_limits<double>::infinity()),
              std::numeric_limits<int32_t>::max());
    EXPECT_EQ(IntegerOf(std::numeric_limits<double>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace kesu::app
