// The registry's random-range rule: the C library's generator seeded with the
// time in whole seconds at every call, one 15-bit draw r, and a + ((10 r) mod
// trunc(1000 (b - a))) / 1000.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "registry.h"

using VantorGL::RandomRange;

namespace {

// RandomRange(a, b) and the seed it used: the call is bracketed by two readings
// of the clock in whole seconds, and repeated until both agree.
struct Drawn {
  double value;
  unsigned seed;
};
Drawn DrawWithKnownSeed(double a, double b) {
  for (;;) {
    const std::time_t before = std::time(nullptr);
    const double value = RandomRange(a, b);
    if (std::time(nullptr) == before) return {value, static_cast<unsigned>(before)};
  }
}

// The generator's first draw after seeding, in the 15 bits the rule was made for.
int FirstDraw(unsigned seed) {
  std::srand(seed);
  return std::rand() & 0x7FFF;
}

}  // namespace

TEST(RandomRange, TenTimesTheDrawModuloTheRangeInThousandths) {
  struct Range {
    double a, b;
    int modulus;  // trunc(1000 (b - a)), 1000 when b - a is not positive
  };
  for (const Range& range : {Range{-300, 300, 600000}, Range{-1500, 1500, 3000000}, Range{0, 7.5, 7500},
                             Range{2, 2.0205, 20}, Range{5, 5, 1000}, Range{5, 4, 1000}}) {
    const Drawn d = DrawWithKnownSeed(range.a, range.b);
    const int r = FirstDraw(d.seed);
    EXPECT_DOUBLE_EQ(d.value, range.a + ((10 * r) % range.modulus) / 1000.0)
        << "RandomRange(" << range.a << ", " << range.b << ") with r = " << r;
  }
  // Wide ranges reach only 327.67 past their start: 10 r stays below 327 680.
  const Drawn wide = DrawWithKnownSeed(-1500, 1500);
  EXPECT_LE(wide.value, -1500 + 327.67);
}

TEST(RandomRange, CallsWithinOneSecondDrawTheSameNumber) {
  for (;;) {
    const std::time_t before = std::time(nullptr);
    const double first = RandomRange(0, 300), second = RandomRange(0, 300);
    if (std::time(nullptr) != before) continue;
    EXPECT_EQ(first, second) << "the generator is seeded again at every call";
    break;
  }
}

TEST(RandomRange, RangesTheIntegersCannotHoldStayFinite) {
  EXPECT_EQ(RandomRange(2, 2.0004), 2.0) << "a range under a thousandth would divide by zero";
  const double huge = RandomRange(0, 1e12);
  EXPECT_GE(huge, 0.0) << "a range past 32 bits would overflow";
  EXPECT_LE(huge, 327.67);
}
