#include <imgui.h>

#include "app/app.h"
#include "ui/palette.h"
#include "ui/panel_parts.h"
#include "ui/panels.h"

void draw_cpu_usage_panel(App& app, ImFont*) { app.cpu_monitor.update(app.engine.running.load()); }
