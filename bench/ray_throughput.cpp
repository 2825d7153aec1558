// Single-thread throughput of the tile renderer over the whole image, against the same
// arithmetic on a flat array of spheres with the hit test inlined. Runs alternate so that both
// see the same machine; medians and the ratio come from this one run.
//
//   bench_ray_throughput [--spp 1] [--reps 5] [--width 1920] [--height 1080]
#include <cstdio>
#include <vector>

#include "bench/bench_util.h"
#include "bench/flat_scene.h"
#include "engine/render_tile.h"
#include "engine/tiles.h"

int main(int argc, char** argv) {
  const int spp = int_flag(argc, argv, "--spp", 1);
  const int reps = int_flag(argc, argv, "--reps", 5);
  const int width = int_flag(argc, argv, "--width", 1920);
  const int height = int_flag(argc, argv, "--height", 1080);
  const Workload workload{.width = width, .height = height, .samples_per_pixel = spp, .max_depth = 50, .tile_size = 32};

  BenchmarkScene scene = build_benchmark_scene();
  scene.camera.image_width = width;
  scene.camera.image_height = height;
  scene.camera.initialize();
  const FlatScene flat = flatten(scene);
  std::vector<Tile> tiles;
  build_tile_list(tiles, width, height, 32);

  std::vector<std::uint32_t> real_image(static_cast<std::size_t>(width) * height);
  std::vector<std::uint32_t> flat_image(real_image.size());
  FlatCounters counters;
  std::vector<double> real_times;
  std::vector<double> flat_times;
  for (int rep = 0; rep < reps; ++rep) {
    real_times.push_back(seconds_of([&] {
      for (const Tile& t : tiles) {
        render_tile(real_image.data(), workload, t, scene, tile_seed(t.index), nullptr);
      }
    }));
    counters = FlatCounters{};
    flat_times.push_back(seconds_of([&] {
      for (const Tile& t : tiles) {
        render_tile_flat(flat_image.data(), width, height, t.x, t.y, t.w, t.h, spp, 50, flat, tile_seed(t.index),
                         counters);
      }
    }));
    std::fprintf(stderr, "rep %d: real %.3f s, flat %.3f s\n", rep + 1, real_times.back(), flat_times.back());
  }
  if (real_image != flat_image) {
    std::printf("ERROR: the flat baseline rendered different bytes; its figures mean nothing\n");
    return 1;
  }

  const double real = median_of(real_times);
  const double base = median_of(flat_times);
  std::printf("image %dx%d, %d spp, %d reps, 1 thread\n", width, height, spp, reps);
  std::printf("ray segments: %llu, sphere tests: %llu (%zu spheres)\n",
              static_cast<unsigned long long>(counters.segments),
              static_cast<unsigned long long>(counters.sphere_tests), flat.spheres.size());
  std::printf("virtual world: median %.3f s (spread %.1f%%), %.2f M segments/s, %.1f M sphere tests/s\n", real,
              spread_percent(real_times), counters.segments / real / 1e6, counters.sphere_tests / real / 1e6);
  std::printf("flat baseline: median %.3f s (spread %.1f%%), %.2f M segments/s, %.1f M sphere tests/s\n", base,
              spread_percent(flat_times), counters.segments / base / 1e6, counters.sphere_tests / base / 1e6);
  std::printf("cost of the virtual world: %+.1f%% (median time ratio %.3f)\n", (real / base - 1.0) * 100.0,
              real / base);
  return 0;
}
