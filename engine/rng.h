#pragma once
// MT19937 and the three ways the tracer draws from it. How many outputs each draw consumes and
// which output feeds which component are part of the image: change nothing here lightly.
#include <cstdint>

#include "engine/vec3.h"

class Rng {
 public:
  explicit Rng(std::uint32_t seed) {
    state_[0] = seed;
    for (std::uint32_t i = 1; i < kN; ++i) {
      state_[i] = 1812433253u * (state_[i - 1] ^ (state_[i - 1] >> 30)) + i;
    }
  }

  std::uint32_t next_u32() {
    if (index_ >= kN) {
      twist();
    }
    std::uint32_t y = state_[index_++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
  }

 private:
  static constexpr std::uint32_t kN = 624;
  static constexpr std::uint32_t kM = 397;

  // The standard regeneration, split in three loops so that no index needs a modulo.
  static constexpr std::uint32_t mix(std::uint32_t upper, std::uint32_t lower, std::uint32_t far) {
    const std::uint32_t y = (upper & 0x80000000u) | (lower & 0x7FFFFFFFu);
    return far ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
  }

  void twist() {
    std::uint32_t i = 0;
    for (; i < kN - kM; ++i) {
      state_[i] = mix(state_[i], state_[i + 1], state_[i + kM]);
    }
    for (; i < kN - 1; ++i) {
      state_[i] = mix(state_[i], state_[i + 1], state_[i + kM - kN]);
    }
    state_[kN - 1] = mix(state_[kN - 1], state_[0], state_[kM - 1]);
    index_ = 0;
  }

  std::uint32_t state_[kN];
  std::uint32_t index_ = kN;  // the first output regenerates the whole block
};

// A 53-bit integer from two outputs: the second gives the high 32 bits, the top 21 bits of the
// first give the low bits. The scene builder applies the same conversion to two raw outputs.
constexpr double to_unit_double(std::uint32_t first, std::uint32_t second) {
  const std::uint64_t bits = (std::uint64_t{second} << 21) | (first >> 11);
  return static_cast<double>(bits) * 0x1.0p-53;
}

inline double random_double(Rng& rng) {
  const std::uint32_t a = rng.next_u32();
  const std::uint32_t b = rng.next_u32();
  return to_unit_double(a, b);
}

inline double random_double(Rng& rng, double min, double max) { return min + (max - min) * random_double(rng); }

// Rejection sampling in the cube; the first draw becomes z and the third x.
inline Vec3 random_unit_vector(Rng& rng) {
  for (;;) {
    const double d1 = random_double(rng, -1.0, 1.0);
    const double d2 = random_double(rng, -1.0, 1.0);
    const double d3 = random_double(rng, -1.0, 1.0);
    const double s = d1 * d1 + d2 * d2 + d3 * d3;
    if (s < 1.0) {
      return Vec3{d3, d2, d1} / std::sqrt(s);
    }
  }
}
