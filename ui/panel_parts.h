#pragma once
// Pieces the panels share.
#include <imgui.h>

// A panel's title in its accent colour, then a separator and a little space.
void draw_section_title(const char* title, const ImVec4& colour);
