#include "engine/run_estimate.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "engine/render_tile.h"
#include "engine/tile_order.h"
#include "engine/tiles.h"

namespace {
constexpr std::size_t kProbedTiles = 16;

// The engine calls no maths-library function (its imports test): rounds a count of seconds
// or minutes, never negative here, to the nearest whole one.
long nearest(double value) { return value > 0.0 ? static_cast<long>(value + 0.5) : 0; }
}  // namespace

double scale_probe(const TileProbe& probe, const RunRequest& run) {
  if (probe.seconds <= 0.0 || probe.probed_cost <= 0.0 || probe.samples_per_pixel <= 0 || run.threads <= 0) return 0.0;
  const double samples = static_cast<double>(run.workload.samples_per_pixel) / probe.samples_per_pixel;
  return probe.seconds * (probe.total_cost / probe.probed_cost) * samples / run.threads;
}

TileProbe probe_tiles(const Workload& workload) {
  BenchmarkScene scene = build_benchmark_scene();
  scene.camera.image_width = workload.width;
  scene.camera.image_height = workload.height;
  scene.camera.initialize();
  std::vector<Tile> tiles;
  build_tile_list(tiles, workload.width, workload.height, workload.tile_size);
  const auto count = static_cast<std::int32_t>(tiles.size());
  const std::vector<std::int32_t> order = tile_queue_order(workload, count);
  // The counted costs weigh the tiles of any workload that traces the standard image's tiles to
  // the standard depth (a quicker check at fewer samples, say); the samples only scale them.
  Workload geometry = workload;
  geometry.samples_per_pixel = kStandardWorkload.samples_per_pixel;
  const std::span<const std::uint32_t> counted = counted_tile_costs(geometry);
  // Uncounted tiles cost their pixels: the last column and row are narrower.
  const auto cost_of = [&](std::size_t position) {
    const auto index = static_cast<std::size_t>(order[position]);
    return counted.size() == order.size() ? static_cast<double>(counted[index])
                                          : static_cast<double>(tiles[index].w) * tiles[index].h;
  };

  Workload one_sample = workload;
  one_sample.samples_per_pixel = 1;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(workload.width) * workload.height);
  TileProbe probe;
  for (std::size_t k = 0; k < order.size(); ++k) probe.total_cost += cost_of(k);
  const std::size_t step = order.size() > kProbedTiles ? order.size() / kProbedTiles : 1;
  const auto begin = std::chrono::steady_clock::now();
  for (std::size_t k = 0; k < order.size(); k += step) {
    const std::int32_t index = order[k];
    render_tile(pixels.data(), one_sample, tiles[static_cast<std::size_t>(index)], scene, tile_seed(index), nullptr);
    probe.probed_cost += cost_of(k);
  }
  probe.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  return probe;
}

double estimate_run_seconds(const RunRequest& run) { return scale_probe(probe_tiles(run.workload), run); }

std::string format_estimate(double seconds) {
  if (seconds < 60.0) {
    // Under ten seconds a guess is "a few"; above, to five seconds.
    const long shown = seconds < 10.0 ? std::max(1L, nearest(seconds)) : nearest(seconds / 5.0) * 5;
    return "about " + std::to_string(shown) + " s";
  }
  const long minutes = nearest(seconds / 60.0);
  if (minutes < 60) return "about " + std::to_string(minutes) + " min";
  // Above an hour, to five minutes.
  const long rounded = nearest(seconds / 300.0) * 5;
  const long hours = rounded / 60;
  const long rest = rounded % 60;
  std::string text = "about " + std::to_string(hours) + " h";
  if (rest != 0) text.append(" ").append(std::to_string(rest)).append(" min");
  return text;
}

std::string describe_workload(const Workload& workload) {
  std::string text = is_standard_workload(workload) ? "standard workload (" : "custom workload (";
  text += std::to_string(workload.width) + "x" + std::to_string(workload.height) + ", " +
          std::to_string(workload.samples_per_pixel) + " spp, depth " + std::to_string(workload.max_depth);
  if (!is_standard_workload(workload)) text += ", tiles of " + std::to_string(workload.tile_size);
  return text + ")";
}
