// strelvik: the benchmark's window. Takes no arguments; see app/program.h for the exit codes.
#include "app/program.h"
#include "system/stop_signal.h"

int main() {
  install_stop_signal_handlers();
  return run_program();
}
