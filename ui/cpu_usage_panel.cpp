// The bottom of the centre column: machine-wide processor load during a run, as a value beside
// the title and a graph of the whole run (at most 300 points). After the run the graph stays, dimmed, and the
// value becomes the run's average.
#include <imgui.h>

#include <algorithm>
#include <cstdio>

#include "state/app.h"
#include "ui/item_rects.h"
#include "ui/palette.h"
#include "ui/panels.h"

namespace {

const ImU32 kBackground = packed(kCanvasBlack);
const ImU32 kGridLine = IM_COL32(26, 26, 26, 255);
const ImU32 kGridLabel = packed(kFaintGrey);
const ImU32 kBorder = packed(kOutlineGrey);
// The title's teal; strong while the run goes on, faded once it is over.
const ImU32 kFillRunning = packed(kTeal, 0x25);
const ImU32 kFillIdle = packed(kTeal, 0x15);
const ImU32 kLineRunning = packed(kTeal, 0xDD);
const ImU32 kLineIdle = packed(kTeal, 0x80);
constexpr float kMinGraphHeight = 80.0f;
constexpr float kEdgeMargin = 8.0f;
constexpr float kRounding = 4.0f;

void draw_heading(const CpuUsageMonitor& monitor, bool running, ImFont* font) {
  ImGui::Spacing();
  ImGui::PushStyleColor(ImGuiCol_Text, kTeal);
  ImGui::Text("CPU UTILIZATION");
  ImGui::PopStyleColor();
  ImGui::SameLine();
  if (font != nullptr) ImGui::PushFont(font);
  if (running) {
    ImGui::TextColored(ImVec4(1.0f, 1.0f, 1.0f, 1.0f), "%.0f%%", monitor.smoothed);
  } else {
    ImGui::TextColored(kLabelGrey, "avg %.0f%%", static_cast<float>(monitor.average()));
  }
  if (font != nullptr) ImGui::PopFont();
  ImGui::Separator();
}

void draw_grid(ImDrawList* draw, const ImVec2& p0, const ImVec2& p1, float h) {
  for (int percent = 25; percent <= 100; percent += 25) {
    const float y = p1.y - static_cast<float>(percent) * h * 0.01f;
    draw->AddLine(ImVec2(p0.x, y), ImVec2(p1.x, y), kGridLine, 1.0f);
    char label[8];
    std::snprintf(label, sizeof label, "%d%%", percent);
    draw->AddText(ImVec2(p0.x + 4.0f, y + 2.0f), kGridLabel, label);
  }
}

// Oldest value at the left; the newest always sits at the right edge, so a short series starts
// part of the way in.
void draw_curve(ImDrawList* draw, const CpuUsageMonitor& monitor, bool running, const ImVec2& p0, const ImVec2& p1,
                float w, float h) {
  const std::int32_t stored = monitor.drawn_count();
  if (stored < 2) return;
  const float step = w * (1.0f / static_cast<float>(CpuUsageMonitor::kCapacity - 1));
  const std::int32_t offset = CpuUsageMonitor::kCapacity - stored;
  const ImU32 fill = running ? kFillRunning : kFillIdle;
  const ImU32 line = running ? kLineRunning : kLineIdle;
  for (std::int32_t i = 1; i < stored; ++i) {
    const float a = monitor.drawn_value(i - 1);
    const float b = monitor.drawn_value(i);
    const float xa = p0.x + static_cast<float>(i - 1 + offset) * step;
    const float xb = p0.x + static_cast<float>(i + offset) * step;
    const float ya = p1.y - h * a * 0.01f;
    const float yb = p1.y - h * b * 0.01f;
    draw->AddQuadFilled(ImVec2(xa, ya), ImVec2(xb, yb), ImVec2(xb, p1.y), ImVec2(xa, p1.y), fill);
    draw->AddLine(ImVec2(xa, ya), ImVec2(xb, yb), line, 1.5f);
  }
}

}  // namespace

void draw_cpu_usage_panel(App& app, ImFont* font) {
  const bool running = app.engine.running.load();
  CpuUsageMonitor& monitor = app.cpu_monitor;
  monitor.update(running);
  if (monitor.stored == 0) return;

  draw_heading(monitor, running, font);

  const ImVec2 p0 = ImGui::GetCursorScreenPos();
  const ImVec2 available = ImGui::GetContentRegionAvail();
  const float w = available.x - kEdgeMargin;
  const float h = std::max(available.y - kEdgeMargin, kMinGraphHeight);
  const ImVec2 p1(p0.x + w, p0.y + h);
  ImDrawList* draw = ImGui::GetWindowDrawList();
  draw->AddRectFilled(p0, p1, kBackground, kRounding);
  draw_grid(draw, p0, p1, h);
  draw_curve(draw, monitor, running, p0, p1, w, h);
  draw->AddRect(p0, p1, kBorder, kRounding, 0, 1.0f);
  ImGui::Dummy(ImVec2(w, h));
  record_item_rect("cpu graph");
}
