// The top of the centre column: the image as its tiles complete, and the progress line.
#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "state/app.h"
#include "state/gpu_backend.h"
#include "ui/image_viewer.h"
#include "ui/item_rects.h"
#include "ui/palette.h"
#include "ui/panels.h"
#include "ui/stress_panel_parts.h"

namespace {

const ImU32 kPlaceholderFill = packed(kCanvasBlack);
const ImU32 kPlaceholderOutline = packed(kOutlineGrey);
const ImU32 kPlaceholderText = IM_COL32(64, 64, 64, 255);
const ImU32 kTrack = IM_COL32(21, 21, 21, 255);
const ImU32 kBarFillRunning = packed(kTeal);
const ImU32 kBarFillIdle = IM_COL32(0, 160, 128, 255);
const ImU32 kBarOutline = packed(kFaintGrey);
constexpr float kBarHeight = 20.0f;

// Uploads while a run is in progress, and once more in the first frame after it: the last rows
// finish after the last upload of the run.
void follow_run(App& app) {
  const bool running = app.engine.running.load();
  if (app.gpu != nullptr && (running || app.preview_follows_run)) {
    app.gpu->update_texture(app.engine.pixels, app.engine.width, app.engine.height);
  }
  app.preview_follows_run = running;
}

void draw_placeholder(float width, float height) {
  const ImVec2 p = ImGui::GetCursorScreenPos();
  ImDrawList* draw = ImGui::GetWindowDrawList();
  draw->AddRectFilled(p, ImVec2(p.x + width, p.y + height), kPlaceholderFill, 4.0f);
  draw->AddRect(p, ImVec2(p.x + width, p.y + height), kPlaceholderOutline, 4.0f, 0, 1.0f);
  const char* text = "Start a benchmark to render";
  const ImVec2 size = ImGui::CalcTextSize(text);
  draw->AddText(ImVec2(p.x + (width - size.x) * 0.5f, p.y + (height - size.y) * 0.5f), kPlaceholderText, text);
  ImGui::Dummy(ImVec2(width, height));
  record_item_rect("preview placeholder");
}

// The seconds the progress text shows: time into the measured phase while running (0 until it
// begins), the finished run's time once the result has been taken, or how far a cancelled run
// got.
double progress_seconds(App& app, bool running) {
  if (running) {
    const std::int64_t start = app.engine.start_time.load();
    app.shown_run_seconds = start == 0 ? 0.0 : (BenchmarkEngine::steady_now_ns() - start) * 1e-9;
    return app.shown_run_seconds;
  }
  if (app.engine.result_ready.load()) return app.engine.result.time_seconds;
  return app.shown_run_seconds;
}

}  // namespace

void draw_preview_panel(App& app) {
  const float available_width = ImGui::GetContentRegionAvail().x;
  const float height_limit = ImGui::GetContentRegionAvail().y * 0.65f;

  ImGui::PushStyleColor(ImGuiCol_Text, kTeal);
  ImGui::Text("RENDER PREVIEW");
  ImGui::PopStyleColor();
  ImGui::Separator();

  follow_run(app);

  const float max_width = available_width - 16.0f;
  const float max_height = height_limit - 40.0f;
  if (app.gpu == nullptr || !app.gpu->is_valid()) {
    draw_placeholder(max_width, max_height);
    return;
  }
  const float aspect = static_cast<float>(app.gpu->get_width()) / static_cast<float>(app.gpu->get_height());
  float h = max_width / aspect;
  const float w = h > max_height ? aspect * max_height : max_width;
  h = std::min(h, max_height);
  const float offset = (available_width - w) * 0.5f;
  if (offset > 0) ImGui::SetCursorPosX(ImGui::GetCursorPosX() + offset);
  ImGui::Image(app.gpu->get_texture(), ImVec2(w, h), ImVec2(0, 0), ImVec2(1, 1), ImVec4(1, 1, 1, 1),
               ImVec4(0, 0, 0, 0));
  record_item_rect("preview image");
  // A finished image opens at full size; a run in progress or cancelled has none to show.
  if (!app.engine.running.load() && app.finished_kind && ImGui::IsItemHovered()) {
    ImGui::SetMouseCursor(ImGuiMouseCursor_Hand);
    if (ImGui::IsMouseClicked(ImGuiMouseButton_Left)) open_image_viewer(app);
  }
}

void draw_progress_line(App& app, ImFont* font) {
  ImGui::Spacing();
  ImGui::Spacing();
  const bool running = app.engine.running.load();
  const std::int32_t done = app.engine.tiles_done.load();
  const std::int32_t count = app.engine.tile_count.load();
  // Weighted by the tiles' costs where they were counted: half the time is about half the bar.
  const auto fraction = static_cast<float>(app.run_progress.done_share(done, count));
  const double seconds = progress_seconds(app, running);

  const bool cancelled = !running && app.run_cancelled;
  if (!app.run_estimate.empty()) {
    // What runs and about how long, said as it starts; it stays after the run, beside its time.
    ImGui::TextColored(ImVec4(0.7f, 0.7f, 0.7f, 1.0f), "%s", app.run_estimate.c_str());
    record_item_rect("run estimate");
  }
  if (running || fraction > 0 || cancelled) {
    if (font != nullptr) ImGui::PushFont(font);
    char text[160];
    const int length = std::snprintf(text, sizeof text, "%s%d / %d tiles  |  %.1f%%  |  %.1fs",
                                     stress_progress_prefix(app).c_str(), done, count, fraction * 100.0f, seconds);
    if (running && done < count && length > 0 && static_cast<std::size_t>(length) < sizeof text) {
      const std::optional<double> remaining = app.run_progress.remaining_seconds(done, count, seconds);
      std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "  |  %s",
                    remaining ? (format_duration(*remaining) + " left").c_str() : "estimating...");
    }
    ImGui::TextColored(ImVec4(0.7f, 0.7f, 0.7f, 1.0f), "%s", text);
    if (font != nullptr) ImGui::PopFont();
    // Without it a cancelled run's bar just looks paused.
    if (cancelled) {
      ImGui::SameLine();
      ImGui::TextColored(kOrange, "Cancelled");
    }
    // Nothing else shows that the preview opens at full size, with Save PNG.
    if (!running && app.finished_kind) {
      ImGui::SameLine();
      ImGui::TextColored(kDimGrey, "  click the image to view or save it");
    }
  }

  const ImVec2 p = ImGui::GetCursorScreenPos();
  const float width = ImGui::GetContentRegionAvail().x - 8.0f;
  ImDrawList* draw = ImGui::GetWindowDrawList();
  draw->AddRectFilled(p, ImVec2(p.x + width, p.y + kBarHeight), kTrack, 4.0f);
  if (fraction > 0) {
    const float fill = width * fraction;
    draw->AddRectFilled(p, ImVec2(p.x + fill, p.y + kBarHeight), running ? kBarFillRunning : kBarFillIdle, 4.0f);
    if (running) {
      const float u = std::fmod(static_cast<float>(ImGui::GetTime()) * 2.0f, 1.0f);
      const float x0 = p.x + u * fill;
      const float x1 = std::min(x0 + 40.0f, p.x + fill);
      const int alpha = static_cast<int>(40.0f - std::fabs(u - 0.5f) * 80.0f);
      draw->AddRectFilled(ImVec2(x0, p.y), ImVec2(x1, p.y + kBarHeight), IM_COL32(255, 255, 255, alpha), 4.0f);
    }
  }
  draw->AddRect(p, ImVec2(p.x + width, p.y + kBarHeight), kBarOutline, 4.0f, 0, 1.0f);
  ImGui::Dummy(ImVec2(width, kBarHeight));
  record_item_rect("progress bar");
}
