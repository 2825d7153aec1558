#pragma once

#include <cstdint>

// floor() without the C runtime: the image may not depend on anything a maths library computes,
// and this keeps the engine's objects free of libm imports other than sqrt. Exact for every
// double: from 2^52 up every double is already an integer, below it the truncation is exact.
constexpr double exact_floor(double x) {
  constexpr double kAllIntegral = 4503599627370496.0;      // 2^52
  if (!(x > -kAllIntegral && x < kAllIntegral)) return x;  // NaN, infinities, integers
  const double truncated = static_cast<double>(static_cast<std::int64_t>(x));
  return truncated > x ? truncated - 1.0 : truncated;
}
