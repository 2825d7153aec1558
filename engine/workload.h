#pragma once
// What a run renders: the image's size, the samples and bounces per pixel, and the tile edge.
// The thread count is not part of it: every thread count renders the same image. Whether a
// workload is the standard one is asked here, and only here.
#include <cstdint>
#include <span>

struct Workload {
  std::int32_t width;
  std::int32_t height;
  std::int32_t samples_per_pixel;
  std::int32_t max_depth;
  // The tile size counts towards the image: each tile draws from a generator seeded by its index.
  std::int32_t tile_size;

  bool operator==(const Workload&) const = default;
};

// The standard workload, the one image every machine renders and every standard run is timed
// on. Every other place takes its numbers from here.
inline constexpr Workload kStandardWorkload{
    .width = 1920, .height = 1080, .samples_per_pixel = 128, .max_depth = 50, .tile_size = 32};

constexpr bool is_standard_workload(const Workload& workload) { return workload == kStandardWorkload; }

// The counted cost of each of the workload's tiles in tile index order (engine/standard_tile_costs.h):
// the standard workload's table, empty for any other workload, whose costs nobody counted.
std::span<const std::uint32_t> counted_tile_costs(const Workload& workload);
