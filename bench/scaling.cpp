// Speed-up of the machine's hardware threads over one worker, through the real engine, with
// alternating runs so both settings see the same machine.
//
// At least 16 samples: at 2 the fixed costs of a run (workers, queuing) weigh 64 times more than
// in the standard run of 128.
//
//   bench_scaling [--spp 16] [--reps 5] [--threads <hardware count>]
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/bench_util.h"
#include "engine/benchmark_engine.h"
#include "system/processor_groups.h"

namespace {

double run_once(BenchmarkEngine& engine, const RunRequest& run) {
  engine.start(run);
  while (engine.running.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return engine.take_result().time_seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int spp = int_flag(argc, argv, "--spp", 16);
  const int reps = int_flag(argc, argv, "--reps", 5);
  BenchmarkEngine engine(platform_worker_placement());
  const int threads = int_flag(argc, argv, "--threads", engine.placement().thread_count());
  Workload workload = kStandardWorkload;
  workload.samples_per_pixel = spp;
  std::vector<double> one;
  std::vector<double> many;
  std::vector<double> ratios;
  for (int rep = 0; rep < reps; ++rep) {
    one.push_back(run_once(engine, RunRequest{.workload = workload, .kind = RunKind::single, .threads = 1}));
    many.push_back(run_once(engine, RunRequest{.workload = workload, .kind = RunKind::multi, .threads = threads}));
    ratios.push_back(one.back() / many.back());
    std::fprintf(stderr, "rep %d: 1 worker %.3f s, %d workers %.3f s\n", rep + 1, one.back(), threads, many.back());
  }
  std::printf("1920x1080, %d spp, %d reps\n", spp, reps);
  std::printf("1 worker:   median %.3f s, spread %.1f%%\n", median_of(one), spread_percent(one));
  std::printf("%d workers: median %.3f s, spread %.1f%%\n", threads, median_of(many), spread_percent(many));
  std::printf("speed-up: %.3f (ratio of medians), %.3f (median of paired ratios)\n", median_of(one) / median_of(many),
              median_of(ratios));
  return 0;
}
