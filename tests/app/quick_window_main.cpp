// The window program with a workload small enough for a test to run to its end: the image the
// panels' tests use (128 x 72, 8 samples), its reference rendered here first, so a finished run
// is verified, recorded and shown as the real program's is.
#include <chrono>
#include <thread>

#include "app/program.h"
#include "engine/benchmark_engine.h"
#include "verify/sha256.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr BenchmarkConfig kQuickWorkload{8, 50, 32, 1, 128, 72};

std::string reference_hash(BenchmarkConfig config) {
  BenchmarkEngine engine;
  config.thread_count = 2;
  engine.start(config);
  while (engine.running.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  engine.take_result();
  return sha256_hex(engine.pixels.snapshot());
}

int run_quick_window() {
  ProgramOptions options;
  options.workload = ReferenceWorkload{kQuickWorkload, reference_hash(kQuickWorkload)};
  return run_program(options);
}

}  // namespace

#ifdef _WIN32
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return run_quick_window(); }
#else
int main() { return run_quick_window(); }
#endif
