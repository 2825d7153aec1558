// The benchmark panel: the start and cancel buttons, and the one place where a finished run's
// result is taken from the engine.
#include <imgui.h>

#include <cstdio>
#include <optional>
#include <string>

#include "state/app.h"
#include "state/benchmark_runs.h"
#include "state/stress_runs.h"
#include "ui/item_rects.h"
#include "ui/palette.h"
#include "ui/panel_parts.h"
#include "ui/panels.h"

namespace {

struct ButtonColours {
  ImVec4 normal, hovered, active;
};
const ButtonColours kStartColours{{0.0f, 0.5f, 0.4f, 1.0f}, {0.0f, 0.65f, 0.52f, 1.0f}, {0.0f, 0.75f, 0.6f, 1.0f}};
const ButtonColours kRunBothColours{{0.6f, 0.25f, 0.1f, 1.0f}, {0.75f, 0.32f, 0.12f, 1.0f}, {0.9f, 0.4f, 0.15f, 1.0f}};
const ButtonColours kStressColours{
    {0.36f, 0.24f, 0.55f, 1.0f}, {0.45f, 0.3f, 0.68f, 1.0f}, {0.52f, 0.36f, 0.78f, 1.0f}};

void push_button_colours(const ButtonColours& colours) {
  ImGui::PushStyleColor(ImGuiCol_Button, colours.normal);
  ImGui::PushStyleColor(ImGuiCol_ButtonHovered, colours.hovered);
  ImGui::PushStyleColor(ImGuiCol_ButtonActive, colours.active);
}

bool button(const char* label, const ImVec2& size, const char* name) {
  const bool pressed = ImGui::Button(label, size);
  record_item_rect(name);
  return pressed;
}

// Run Both: the single result starts the multi run in the same frame; the multi result ends
// the sequence. A wrong image ends it too: the machine's results cannot be trusted.
void take_run_both_result(App& app) {
  if (!app.engine.result_ready.load()) return;
  if (!app.run_both_single_done) {
    const FinishedRun single = take_finished_run(app);
    if (single.verdict.image_verified != true) {
      app.run_both = false;
      return;
    }
    app.run_both_single_done = true;
    if (!app.engine.running.load()) start_run(app, RunKind::multi);
  } else {
    take_finished_run(app);
    app.run_both = false;
    app.run_both_single_done = false;
  }
}

// Between Single-Core and Multi-Core; disabled on a processor without SMT, the reason under the
// pointer.
void smt_button(App& app, float width) {
  const std::int32_t threads = run_threads(app, RunKind::smt);
  ImGui::BeginDisabled(threads < 1);
  char label[64];
  std::snprintf(label, sizeof label, threads < 1 ? "  Single-Core + SMT  " : "  Single-Core + SMT (%dT)  ", threads);
  if (button(label, ImVec2(width, 35), "Single-Core + SMT") && !app.engine.running.load()) {
    start_run(app, RunKind::smt);
  }
  ImGui::EndDisabled();
  if (threads < 1 && ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled)) {
    ImGui::SetTooltip("%s", app.system_info.smt_unavailable_reason.c_str());
  }
}

void take_results(App& app) {
  // A run the system could not carry out leaves no result; a Run Both sequence would wait for
  // it forever.
  if (std::optional<std::string> failure = app.engine.take_failure()) {
    app.run_failure = *failure;
    app.run_both = false;
    app.stress.active = false;
    return;
  }
  if (app.stress.active) {
    take_stress_pass(app);
    return;
  }
  if (app.run_both) take_run_both_result(app);
  if (!app.run_both && app.engine.result_ready.load()) take_finished_run(app);
}

}  // namespace

void draw_benchmark_panel(App& app) {
  ImGui::Spacing();
  draw_section_title("BENCHMARK", kOrange);

  const bool was_running = app.engine.running.load();
  if (!was_running) take_results(app);

  ImGui::BeginDisabled(was_running);
  const float width = ImGui::GetContentRegionAvail().x;
  push_button_colours(kStartColours);
  if (button("  Single-Core  ", ImVec2(width, 35), "Single-Core") && !app.engine.running.load()) {
    start_run(app, RunKind::single);
  }
  smt_button(app, width);
  char multi_label[64];
  std::snprintf(multi_label, sizeof multi_label, "  Multi-Core (%dT)  ", run_threads(app, RunKind::multi));
  if (button(multi_label, ImVec2(width, 35), "Multi-Core") && !app.engine.running.load()) {
    start_run(app, RunKind::multi);
  }
  ImGui::PopStyleColor(3);
  push_button_colours(kRunBothColours);
  if (button("  Run Both  ", ImVec2(width, 35), "Run Both")) {
    app.run_both = true;
    app.run_both_single_done = false;
    if (!app.engine.running.load()) start_run(app, RunKind::single);
  }
  ImGui::PopStyleColor(3);
  // Apart from the benchmark buttons on purpose: it runs for minutes and stores no score of a kind.
  ImGui::Spacing();
  push_button_colours(kStressColours);
  char stress_label[64];
  std::snprintf(stress_label, sizeof stress_label, "  Stress Test (%d min)  ", app.stress.minutes);
  if (button(stress_label, ImVec2(width, 35), "Stress Test") && !app.engine.running.load()) start_stress_test(app);
  ImGui::PopStyleColor(3);
  ImGui::EndDisabled();

  // Cancel's row is kept while no run is in progress, so the scores below never jump.
  ImGui::Spacing();
  if (!was_running) {
    ImGui::Dummy(ImVec2(width, 30));
  } else if (button("  Cancel  ", ImVec2(width, 30), "Cancel")) {
    app.engine.cancel();
    app.run_both = false;
    app.run_cancelled = true;
  }
  if (!app.run_failure.empty()) {
    ImGui::PushStyleColor(ImGuiCol_Text, kErrorRed);
    ImGui::TextWrapped("Run failed: %s", app.run_failure.c_str());
    ImGui::PopStyleColor();
  }
}
