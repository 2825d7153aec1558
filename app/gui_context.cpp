#include "app/gui_context.h"

#include <imgui.h>

#include "ui/theme.h"

void create_gui_context() {
  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGui::GetIO().ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
  // No imgui.ini: the library would write it into the current directory (the user's home when
  // started from the desktop), and it could hold nothing this window uses, since every window's
  // place and size is set each frame.
  ImGui::GetIO().IniFilename = nullptr;
  // A blinking text cursor would need frames while nothing else changes (see FrameScheduler).
  ImGui::GetIO().ConfigInputTextCursorBlink = false;
  apply_theme();
}
