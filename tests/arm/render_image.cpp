// Renders one configuration through the real engine and writes the finished image's RGBA bytes
// to stdout. scripts/check-arm-image.sh builds it for this machine and, statically, for 64-bit
// ARM, runs the second under user-mode emulation and compares the two images' hashes.
//
//   render_image <samples> <depth> <tile> <threads> <width> <height>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "engine/benchmark_engine.h"

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: render_image <samples> <depth> <tile> <threads> <width> <height>\n");
    return 2;
  }
  int values[6];
  for (int i = 0; i < 6; ++i) {
    values[i] = std::atoi(argv[i + 1]);
    if (values[i] < 1 || values[i] > 4096) {
      std::fprintf(stderr, "render_image: argument %d out of range\n", i + 1);
      return 2;
    }
  }
  const Workload workload{.width = values[4],
                          .height = values[5],
                          .samples_per_pixel = values[0],
                          .max_depth = values[1],
                          .tile_size = values[2]};
  BenchmarkEngine engine{WorkerPlacement{}};
  engine.start(RunRequest{.workload = workload, .kind = RunKind::multi, .threads = values[3]});
  while (engine.running.load()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (!engine.result_ready.load()) {
    std::fprintf(stderr, "render_image: the run ended without a result\n");
    return 1;
  }
  const std::vector<std::uint8_t> image = engine.pixels.snapshot();
  return std::fwrite(image.data(), 1, image.size(), stdout) == image.size() ? 0 : 1;
}
