// The registry's random-range rule: 15-bit draws scaled by 10 modulo the range in
// thousandths, so wide ranges only reach 327.67 past their start.
#include <gtest/gtest.h>

#include "registry.h"

using VantorGL::RandomRange;

TEST(RandomRange, WideRangesReachOnly32767ThousandthsPastTheStart) {
  for (int i = 0; i < 50; ++i) {
    const double v = RandomRange(-300, 300);
    EXPECT_GE(v, -300.0);
    EXPECT_LE(v, -300.0 + 327.67);
    const double w = RandomRange(-1500, 1500);
    EXPECT_GE(w, -1500.0);
    EXPECT_LE(w, -1500.0 + 327.67);
  }
}

TEST(RandomRange, EmptyAndTinyRangesStayFinite) {
  const double v = RandomRange(5, 5);  // an empty range counts as 1 wide
  EXPECT_GE(v, 5.0);
  EXPECT_LT(v, 6.0);
  EXPECT_EQ(RandomRange(2, 2.0004), 2.0) << "a range under a thousandth would divide by zero";
  EXPECT_GE(RandomRange(0, 1e12), 0.0) << "a range past 32 bits would overflow";
}
