#include "engine/benchmark_engine.h"

#include <chrono>
#include <exception>
#include <utility>

#include "engine/render_tile.h"
#include "engine/score.h"
#include "engine/thread_pool.h"
#include "engine/tile_order.h"

BenchmarkEngine::BenchmarkEngine(WorkerPlacement placement) : placement_(std::move(placement)) {}

BenchmarkEngine::~BenchmarkEngine() {
  cancel();
  if (run_thread_.joinable()) {
    run_thread_.join();
  }
}

std::int64_t BenchmarkEngine::steady_now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void BenchmarkEngine::start(const RunRequest& run) {
  if (running.load()) {
    return;
  }
  width = run.workload.width;
  height = run.workload.height;
  pixels.reset(width, height);

  tiles_done.exchange(0);
  start_time.exchange(0);
  cancel_requested.exchange(false);
  result_ready.exchange(false);
  run_failed.exchange(false);
  running.exchange(true);

  try {
    // Move-assigning joins the previous run thread, which has already finished its run; the
    // new thread is running during that join.
    run_thread_ = std::jthread([this, run](std::stop_token) { run_internal(run); });
  } catch (const std::exception& e) {
    publish_failure(std::string("could not start the run thread: ") + e.what());
  }
}

void BenchmarkEngine::cancel() { cancel_requested.exchange(true); }

BenchmarkResult BenchmarkEngine::take_result() {
  BenchmarkResult copy = result;
  result_ready.exchange(false);
  return copy;
}

std::optional<std::string> BenchmarkEngine::take_failure() {
  if (running.load() || !run_failed.exchange(false)) {
    return std::nullopt;
  }
  return failure_;
}

void BenchmarkEngine::publish_failure(std::string message) {
  failure_ = std::move(message);
  run_failed.exchange(true);
  running.exchange(false);
}

void BenchmarkEngine::render_tile_task(std::int32_t index, const Workload& workload) {
  if (cancel_requested.load()) {
    return;  // the tile stays Pending and is not counted
  }
  Tile tile;
  {
    std::lock_guard lock(state_mutex_);
    tiles_[index].state = TileState::Rendering;
    tile = tiles_[index];
  }
  render_tile(pixels.data(), workload, tile, scene_, tile_seed(index), &cancel_requested);
  {
    std::lock_guard lock(state_mutex_);
    tiles_[index].state = TileState::Done;  // also when cut short by a cancel
  }
  tiles_done.fetch_add(1);
}

void BenchmarkEngine::run_internal(RunRequest run) {
  const Workload& workload = run.workload;
  try {
    // Preparation, not measured.
    scene_ = build_benchmark_scene();
    scene_.camera.image_width = workload.width;
    scene_.camera.image_height = workload.height;
    scene_.camera.initialize();
    {
      std::lock_guard lock(state_mutex_);
      build_tile_list(tiles_, workload.width, workload.height, workload.tile_size);
      tile_count.exchange(static_cast<std::int32_t>(tiles_.size()));
    }
    tiles_done.exchange(0);
    const std::vector<std::int32_t> order = tile_queue_order(workload, tile_count.load());

    if (hooks_.before_measured_phase) hooks_.before_measured_phase(run, cancel_requested);

    // The measured phase: creating the workers, queuing, rendering, and joining the workers.
    const std::int64_t begin = steady_now_ns();
    start_time.exchange(begin);
    if (hooks_.measured_phase_started) hooks_.measured_phase_started();
    {
      ThreadPool pool(run.threads, placement_.worker_start(run.kind));
      for (std::size_t k = 0; k < order.size() && !cancel_requested.load(); ++k) {
        const std::int32_t i = order[k];
        pool.enqueue([this, i, &workload] { render_tile_task(i, workload); });
      }
      pool.wait_idle();
    }
    const std::int64_t end = steady_now_ns();
    if (hooks_.measured_phase_ended) hooks_.measured_phase_ended(!cancel_requested.load());

    if (cancel_requested.load()) {
      running.exchange(false);
      return;
    }
    const double time_seconds = static_cast<double>(end - begin) * 1e-9;
    result.kind = run.kind;
    result.score = compute_score(time_seconds);
    // Kept to the microsecond: the digits beyond it are the double's, not the clock's.
    // Integer rounding: the engine calls no maths-library function (see its imports test).
    result.time_seconds = static_cast<double>((end - begin + 500) / 1000) / 1e6;
    result.threads = run.threads;
    result.date = format_result_date(std::chrono::system_clock::now());
    result.core_type = placement_.core_type(run.kind);
    result_ready.exchange(true);
    running.exchange(false);
  } catch (const std::exception& e) {
    // A worker the system refused: the pool has joined what it created; end without a result.
    if (hooks_.measured_phase_ended) hooks_.measured_phase_ended(false);
    publish_failure(std::string("the benchmark could not run: ") + e.what());
  }
}
