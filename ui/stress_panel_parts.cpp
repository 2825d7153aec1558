#include "ui/stress_panel_parts.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>

#include "history/stress_entry.h"
#include "state/app.h"
#include "ui/item_rects.h"
#include "ui/palette.h"

namespace {

const ImVec4 kStressViolet{0.62f, 0.45f, 0.9f, 1.0f};
constexpr float kBarsHeight = 28.0f;
constexpr float kBarGap = 2.0f;

std::string minutes_seconds(double seconds) {
  const auto whole = static_cast<long>(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

// One bar per finished pass, the best pass full height, so a falling score shows as a slope.
void draw_pass_bars(const StressTest& test, bool running) {
  const std::vector<StressPass>& passes = test.passes();
  const float width = ImGui::GetContentRegionAvail().x;
  const ImVec2 p0 = ImGui::GetCursorScreenPos();
  ImDrawList* draw = ImGui::GetWindowDrawList();
  draw->AddRectFilled(p0, ImVec2(p0.x + width, p0.y + kBarsHeight), packed(kCanvasBlack), 3.0f);
  std::int32_t best = 1;
  for (const StressPass& pass : passes) best = std::max(best, pass.score);
  // Room for the test's likely number of passes, narrowing once more have run.
  const auto slots = static_cast<float>(std::max<std::size_t>(passes.size() + (running ? 1 : 0), 10));
  const float bar = (width - kBarGap) / slots - kBarGap;
  for (std::size_t i = 0; i < passes.size(); ++i) {
    const float x = p0.x + kBarGap + static_cast<float>(i) * (bar + kBarGap);
    const float h = (kBarsHeight - 2.0f) * static_cast<float>(passes[i].score) / static_cast<float>(best);
    draw->AddRectFilled(ImVec2(x, p0.y + kBarsHeight - 1.0f - h), ImVec2(x + bar, p0.y + kBarsHeight - 1.0f),
                        packed(kStressViolet, running ? 0xDD : 0x99));
  }
  draw->AddRect(p0, ImVec2(p0.x + width, p0.y + kBarsHeight), packed(kOutlineGrey), 3.0f);
  ImGui::Dummy(ImVec2(width, kBarsHeight));
  record_item_rect("stress pass bars");
}

void draw_failure(const StressFailure& failure) {
  ImGui::PushStyleColor(ImGuiCol_Text, kErrorRed);
  char temperature[32] = "";
  if (failure.temp_c) std::snprintf(temperature, sizeof temperature, " at %.0f °C", *failure.temp_c);
  ImGui::TextWrapped(
      "UNSTABLE: pass %d computed a wrong image after %s%s. Unstable clocks, overheating or faulty memory can "
      "cause this. Nothing of this test was saved.",
      failure.pass, minutes_seconds(failure.elapsed_seconds).c_str(), temperature);
  ImGui::PopStyleColor();
}

}  // namespace

void draw_stress_score(const App& app) {
  if (!app.stress.test) return;
  const StressTest& test = *app.stress.test;
  const bool running = app.stress.active;
  const StressSummary summary = test.summary();
  ImGui::Spacing();
  ImGui::TextColored(kStressViolet, "STR:");
  ImGui::SameLine();
  if (running) {
    ImGui::TextColored(kLabelGrey, "pass %d, %s left", summary.pass_count + 1,
                       minutes_seconds(test.seconds_left(app.stress.clock())).c_str());
  } else if (summary.failure) {
    ImGui::TextColored(kErrorRed, "unstable");
  } else if (summary.verdict == StressVerdict::cancelled) {
    ImGui::TextColored(kLabelGrey, "cancelled after %d passes", summary.pass_count);
  } else {
    ImGui::TextColored(kStressViolet, "%d, %s", summary.median_score, stress_verdict_text(summary.verdict));
  }
  if (summary.pass_count > 0) {
    draw_pass_bars(test, running);
    ImGui::TextColored(kLabelGrey, "Stability %.1f %%%s", summary.stability_percent, running ? " so far" : "");
  }
  if (summary.failure) draw_failure(*summary.failure);
}

std::string stress_progress_prefix(const App& app) {
  if (!app.stress.active || !app.stress.test) return {};
  const StressTest& test = *app.stress.test;
  return "Pass " + std::to_string(test.passes().size() + 1) + "  |  " +
         minutes_seconds(test.seconds_left(app.stress.clock())) + " left  |  ";
}

KindBadge history_badge(const HistoryEntry& entry) {
  if (entry.type == kStressEntryType) return {"STR", kStressViolet};
  // A type that names no kind (a hand-edited file) shows as multi-core, as it always has.
  return kind_badge(entry.kind().value_or(RunKind::multi));
}
