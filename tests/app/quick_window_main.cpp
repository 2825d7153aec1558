// The window program with a workload small enough for a test to run to its end: the image the
// panels' tests use (128 x 72, 8 samples), its reference rendered here first, so a finished run
// is verified, recorded and shown as the real program's is.
#include "app/program.h"
#include "tests/support/test_workloads.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

int run_quick_window() {
  ProgramOptions options;
  options.reference = ReferenceWorkload{kQuickWorkload, reference_hash(kQuickWorkload)};
  return run_program(options);
}

}  // namespace

#ifdef _WIN32
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return run_quick_window(); }
#else
int main() { return run_quick_window(); }
#endif
