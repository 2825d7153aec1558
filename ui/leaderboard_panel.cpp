#include <imgui.h>

#include "app/app.h"
#include "ui/palette.h"
#include "ui/panel_parts.h"
#include "ui/panels.h"

void draw_leaderboard_panel(App&) {}
