#include <imgui.h>

#include "app/app.h"
#include "ui/palette.h"
#include "ui/panel_parts.h"
#include "ui/panels.h"

void draw_history_panel(App&) { draw_section_title("RESULTS HISTORY", kOrange); }
