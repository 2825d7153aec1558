#include <io.h>
#include <windows.h>

#include "cli/terminal_size.h"

int terminal_columns(std::FILE* stream) {
  const HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (console == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(console, &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;  // the visible window, not the buffer
}

// The console sends no signal when it is resized: the width is asked at every redraw instead.
void watch_terminal_size() {}

bool terminal_size_changed() { return true; }
