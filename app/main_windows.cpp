// strelvik.exe: the benchmark's window. Takes no arguments; see app/program.h for the exit codes.
#include <windows.h>

#include "app/program.h"
#include "system/stop_signal.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  install_stop_signal_handlers();
  return run_program();
}
