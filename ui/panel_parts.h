#pragma once
// Pieces the panels share.
#include <imgui.h>

#include "engine/run_kind.h"

// A panel's title in its accent colour, then a separator and a little space.
void draw_section_title(const char* title, const ImVec4& colour);

// How the panels mark a kind in a score line or a history row: its abbreviation ("SC", "MC") in
// its colour (teal, orange).
struct KindBadge {
  const char* label;
  ImVec4 colour;
};
KindBadge kind_badge(RunKind kind);
