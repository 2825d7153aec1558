#pragma once
// Runs one benchmark at a time on a thread of its own: builds the scene, cuts the image into
// tiles, renders them on a pool of workers, times the run and publishes the result.
//
// The interface thread starts runs, cancels them and reads the public members below once per
// frame without locks. Publication follows one rule: data first, then its atomic flag.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/benchmark_run.h"
#include "engine/benchmark_scene.h"
#include "engine/preview_image.h"
#include "engine/run_phase_hooks.h"
#include "engine/tiles.h"
#include "engine/worker_placement.h"

class BenchmarkEngine {
 public:
  // Every run's workers are placed by `placement`: the platform's in a program (see
  // system/processor_groups.h), none in most tests.
  explicit BenchmarkEngine(WorkerPlacement placement);
  // Cancels a run in progress and waits until its workers have finished their current rows.
  ~BenchmarkEngine();

  BenchmarkEngine(const BenchmarkEngine&) = delete;
  BenchmarkEngine& operator=(const BenchmarkEngine&) = delete;

  // Begins a run and returns at once; ignored while a run is in progress. Clears the image and
  // the counters. The caller keeps the workload's samples and tile size and the run's threads at
  // least 1, and width x height x 4 within 32 bits. The result carries the request's kind.
  void start(const RunRequest& run);
  // Stops queuing tiles; tiles in progress stop before their next row. Does not wait.
  void cancel();

  // Copies the finished result, then clears `result_ready`: each run is taken exactly once.
  BenchmarkResult take_result();
  // The reason a run ended without a result because the system refused a thread; taken once.
  std::optional<std::string> take_failure();

  const WorkerPlacement& placement() const { return placement_; }
  // Set while no run is in progress; every later run calls them.
  void set_phase_hooks(RunPhaseHooks hooks) { hooks_ = std::move(hooks); }

  // The steady clock in nanoseconds, the clock `start_time` is read from.
  static std::int64_t steady_now_ns();

  // Read by the interface without locks.
  std::atomic<bool> running{false};
  std::atomic<bool> cancel_requested{false};
  std::atomic<bool> result_ready{false};
  std::atomic<bool> run_failed{false};
  std::atomic<std::int32_t> tiles_done{0};
  std::atomic<std::int32_t> tile_count{0};
  std::int32_t width = kStandardWorkload.width;  // written only by start, while no run is in progress
  std::int32_t height = kStandardWorkload.height;
  PreviewImage pixels{kStandardWorkload.width, kStandardWorkload.height};
  // Steady-clock nanoseconds at the start of the measured phase; 0 until it has begun.
  std::atomic<std::int64_t> start_time{0};
  BenchmarkResult result;  // readable while running is false and result_ready is true

 private:
  void run_internal(RunRequest run);
  void render_tile_task(std::int32_t index, const Workload& workload);
  void publish_failure(std::string message);

  const WorkerPlacement placement_;
  std::vector<Tile> tiles_;
  std::mutex state_mutex_;  // guards `tiles_` and each tile's state
  std::string failure_;     // readable once run_failed is true
  BenchmarkScene scene_;
  RunPhaseHooks hooks_;
  std::jthread run_thread_;  // last: destroyed (joined) before the members the run uses
};
