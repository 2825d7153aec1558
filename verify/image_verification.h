#pragma once
// The standard image (128 samples, depth 50, tiles of 32, 1920 x 1080) is fixed forever: every
// correct machine, compiler and thread count renders the same bytes. A run whose image differs
// was computed wrongly (an unstable overclock, a broken build) and its score means nothing.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "engine/benchmark_config.h"

// SHA-256 of the finished standard image's RGBA bytes.
extern const char* const kStandardImageSha256;

// True when the configuration is the standard one (any thread count): only such runs can be
// verified, recorded and submitted.
bool is_standard_workload(const BenchmarkConfig& config);

struct ImageVerification {
  std::string sha256;
  // Empty for a custom workload, which has no reference.
  std::optional<bool> verified;
};

ImageVerification verify_image(const BenchmarkConfig& config, std::span<const std::uint8_t> rgba);
