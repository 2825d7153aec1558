// strelvik: the benchmark's window. Takes no arguments; see app/program.h for the exit codes.
#include "app/program.h"
#include "app/shutdown_signals.h"

int main() {
  install_shutdown_signals();
  return run_program();
}
