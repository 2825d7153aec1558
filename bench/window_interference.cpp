// What the window costs the run it shows: the same workload timed headless and in the real
// window (start it under a display, e.g. Xvfb), alternating, at several frame rates during the
// run. Prints each run, then per frame rate the median time against the headless median and the
// median of the paired ratios, and the interface thread's CPU time per second of run.
//
//   bench_window_interference --width 640 --height 360 --spp 40 --reps 5 --fps auto,30,10
//
// "auto" is the rate the window chooses itself from what its frames cost.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
#include "bench/bench_util.h"
#include "engine/benchmark_engine.h"
#include "state/benchmark_runs.h"
#include "state/cpu_clock.h"
#include "system/processor_groups.h"
#include "verify/image_verification.h"
#include "verify/sha256.h"

namespace {

// CPU seconds of the X server named by STRELVIK_BENCH_X_SERVER_PID (the script sets it): with a
// virtual screen, putting each frame on the screen is work the server does on this machine.
double x_server_cpu_seconds() {
  const char* pid = std::getenv("STRELVIK_BENCH_X_SERVER_PID");
  if (pid == nullptr) return 0.0;
  std::ifstream in(std::string("/proc/") + pid + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return 0.0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Measured {
  double seconds = 0;       // the engine's measured time of the run
  double ui_cpu_per_s = 0;  // interface thread CPU seconds per second of run
  double process_cpu_per_s = 0;
  double x_server_cpu_per_s = 0;  // the display server's drawing, when its pid is known
  long frames = 0;
  double wall = 0;
  bool verified = true;
};

Measured headless(const RunRequest& run, std::string* hash) {
  BenchmarkEngine engine(platform_worker_placement());
  const double cpu0 = process_cpu_seconds();
  const auto wall0 = std::chrono::steady_clock::now();
  engine.start(run);
  while (engine.running.load()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  Measured m;
  m.seconds = engine.take_result().time_seconds;
  m.process_cpu_per_s = (process_cpu_seconds() - cpu0) / wall;
  if (hash != nullptr) *hash = sha256_hex(engine.pixels.snapshot());
  return m;
}

Measured windowed(const RunRequest& run, const std::string& reference, double fps) {
  Measured m;
  long frame = 0;
  bool started = false;
  double ui0 = 0, cpu0 = 0, x0 = 0;
  std::chrono::steady_clock::time_point wall0;
  ProgramOptions options;
  options.reference = ReferenceWorkload{run.workload, reference};
  if (fps > 0) options.running_frame_rate = fps;  // 0: the window's own choice
  options.after_frame = [&](App& app) {
    ++frame;
    if (!started) {
      if (frame < 30) return true;  // let start-up settle
      started = true;
      ui0 = thread_cpu_seconds();
      cpu0 = process_cpu_seconds();
      wall0 = std::chrono::steady_clock::now();
      m.frames = frame;
      // The scores shown at start-up come from the history of earlier repetitions.
      app.single_score = 0;
      app.multi_score = 0;
      x0 = x_server_cpu_seconds();
      start_run(app, run.kind, run.threads);
      return true;
    }
    if (app.single_score == 0 && app.multi_score == 0) return true;  // not taken yet
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    m.seconds = app.shown_run_seconds;
    m.ui_cpu_per_s = (thread_cpu_seconds() - ui0) / wall;
    m.process_cpu_per_s = (process_cpu_seconds() - cpu0) / wall;
    m.frames = frame - m.frames;
    m.wall = wall;
    m.x_server_cpu_per_s = (x_server_cpu_seconds() - x0) / wall;
    m.verified = !app.unverified_kind;
    return false;
  };
  run_program(options);
  return m;
}

std::vector<double> parse_list(const std::string& text) {
  std::vector<double> out;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) out.push_back(item == "auto" ? 0.0 : std::atof(item.c_str()));
  return out;
}

std::string rate_name(double fps) { return fps > 0 ? std::to_string(static_cast<int>(fps)) + "fps" : "auto"; }

std::string string_flag(int argc, char** argv, const char* name, const char* fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == name) return argv[i + 1];
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const int threads = int_flag(argc, argv, "--threads", platform_worker_placement().thread_count());
  const RunRequest run{.workload = {.width = int_flag(argc, argv, "--width", 640),
                                    .height = int_flag(argc, argv, "--height", 360),
                                    .samples_per_pixel = int_flag(argc, argv, "--spp", 40),
                                    .max_depth = 50,
                                    .tile_size = 32},
                       .kind = RunKind::multi,
                       .threads = threads};
  const Workload& workload = run.workload;
  const int reps = int_flag(argc, argv, "--reps", 5);
  const bool with_headless = int_flag(argc, argv, "--headless", 1) != 0;
  const std::vector<double> rates = parse_list(string_flag(argc, argv, "--fps", "auto,30,10"));

  // The window records and would submit its runs: a private history, and no leaderboard.
  const std::string history = "/tmp/strelvik-interference-" + std::to_string(getpid()) + ".json";
  setenv("STRELVIK_HISTORY", history.c_str(), 1);
  setenv("STRELVIK_NO_SUBMIT", "1", 1);
  setenv("STRELVIK_LEADERBOARD_URL", "https://leaderboard.example", 1);

  // The image every run must reproduce; rendering it also warms the machine up. The standard
  // workload's is known, which saves a full run.
  std::string reference = kStandardImageSha256;
  if (!is_standard_workload(workload)) headless(run, &reference);
  std::printf("workload %dx%d, %d spp, %d threads; %d repetitions; running frame rates:", workload.width,
              workload.height, workload.samples_per_pixel, threads, reps);
  for (double fps : rates) std::printf(" %s", rate_name(fps).c_str());
  std::printf("\n");

  std::vector<double> headless_times;
  std::vector<std::vector<double>> window_times(rates.size()), paired(rates.size()), ui_cpu(rates.size());
  for (int rep = 0; rep < reps; ++rep) {
    // --headless 0 leaves the headless side to another program (strelvik-cli on the standard run).
    const Measured h = with_headless ? headless(run, nullptr) : Measured{1.0};
    headless_times.push_back(h.seconds);
    if (with_headless) {
      std::printf("rep %d headless      %8.3f s  process %.2f CPU-s/s\n", rep, h.seconds, h.process_cpu_per_s);
    }
    for (std::size_t i = 0; i < rates.size(); ++i) {
      const Measured w = windowed(run, reference, rates[i]);
      window_times[i].push_back(w.seconds);
      paired[i].push_back(w.seconds / h.seconds);
      ui_cpu[i].push_back(w.ui_cpu_per_s);
      std::printf(
          "rep %d window %4s %8.3f s  interface %.4f CPU-s/s  process %.2f CPU-s/s  X server %.3f "
          "CPU-s/s  %.1f frames/s%s\n",
          rep, rate_name(rates[i]).c_str(), w.seconds, w.ui_cpu_per_s, w.process_cpu_per_s, w.x_server_cpu_per_s,
          w.frames / w.wall, w.verified ? "" : "  WRONG IMAGE");
    }
    std::fflush(stdout);
  }
  std::remove(history.c_str());
  std::remove((history + ".lock").c_str());

  if (!with_headless) {
    for (std::size_t i = 0; i < rates.size(); ++i) {
      std::printf("window %4s: median %.3f s (spread %.1f%%), interface %.4f CPU-s/s\n", rate_name(rates[i]).c_str(),
                  median_of(window_times[i]), spread_percent(window_times[i]), median_of(ui_cpu[i]));
    }
    return 0;
  }
  const double headless_median = median_of(headless_times);
  std::printf("\nheadless median %.3f s (spread %.1f%%)\n", headless_median, spread_percent(headless_times));
  for (std::size_t i = 0; i < rates.size(); ++i) {
    const double median = median_of(window_times[i]);
    std::printf(
        "window %4s: median %.3f s (spread %.1f%%), %+.2f%% against headless medians, paired median "
        "%+.2f%%, interface %.4f CPU-s/s\n",
        rate_name(rates[i]).c_str(), median, spread_percent(window_times[i]), (median / headless_median - 1.0) * 100.0,
        (median_of(paired[i]) - 1.0) * 100.0, median_of(ui_cpu[i]));
  }
  return 0;
}
