#include "verify/image_verification.h"

#include "verify/sha256.h"

const char* const kStandardImageSha256 = "b2f076d5211c16a919c5c123a0e18c70dd01359ffcd6d3481545049d0a7b8147";

bool is_standard_workload(const BenchmarkConfig& config) {
  const BenchmarkConfig standard = standard_config(config.thread_count);
  return config.samples_per_pixel == standard.samples_per_pixel && config.max_depth == standard.max_depth &&
         config.tile_size == standard.tile_size && config.width == standard.width && config.height == standard.height;
}

ImageVerification verify_image(const BenchmarkConfig& config, std::span<const std::uint8_t> rgba) {
  ImageVerification verification{sha256_hex(rgba), std::nullopt};
  if (is_standard_workload(config)) {
    verification.verified = verification.sha256 == kStandardImageSha256;
  }
  return verification;
}
