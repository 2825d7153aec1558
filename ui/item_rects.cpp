#include "ui/item_rects.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <cstdio>

static ItemRects g_rects;

void begin_item_rects() { g_rects.clear(); }

void record_item_rect(const std::string& name) {
  const ImVec2 min = ImGui::GetItemRectMin();
  const ImVec2 max = ImGui::GetItemRectMax();
  // An item laid out for the first time can report an empty rectangle (a new tab); a click
  // there would land in the window's corner.
  if (max.x <= min.x || max.y <= min.y) return;
  // Only items drawn whole are listed: a row scrolled out of its table, or a button cut by its
  // column, would send a click to empty space or to its neighbour.
  const ImRect clip = GImGui->CurrentWindow->ClipRect;
  if (!clip.Contains(ImRect(min, max))) return;
  const bool disabled = (GImGui->LastItemData.InFlags & ImGuiItemFlags_Disabled) != 0;
  g_rects[name] = ItemRect{min.x, min.y, max.x, max.y, disabled};
}

const ItemRects& item_rects() { return g_rects; }

const ItemRect* find_item_rect(const std::string& name) {
  const auto found = g_rects.find(name);
  return found == g_rects.end() ? nullptr : &found->second;
}

std::string format_item_rects(const ItemRects& rects) {
  std::string text;
  char line[64];
  for (const auto& [name, rect] : rects) {
    std::snprintf(line, sizeof line, "\t%.0f %.0f %.0f %.0f%s\n", rect.x0, rect.y0, rect.x1, rect.y1,
                  rect.disabled ? " disabled" : "");
    text += name + line;
  }
  return text;
}
