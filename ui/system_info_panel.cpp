#include <imgui.h>

#include "app/app.h"
#include "ui/palette.h"
#include "ui/panel_parts.h"
#include "ui/panels.h"

void draw_system_info_panel(App&, ImFont*) { draw_section_title("SYSTEM INFO", kTeal); }
