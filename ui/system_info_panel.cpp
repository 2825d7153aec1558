// The top of the left column: the machine's facts, gathered once at start-up, as label and value
// pairs. Long values (processor and adapter names) wrap within the value column.
#include <imgui.h>

#include <cstdio>
#include <string>

#include "state/app.h"
#include "ui/palette.h"
#include "ui/panel_parts.h"
#include "ui/panels.h"

namespace {

// The value in lines broken at spaces only: the library's wrapping also breaks after a full
// stop, which split "6.1.0-28-amd64" across lines. A word wider than the column stays whole.
void draw_wrapped_at_spaces(const std::string& value) {
  const float width = ImGui::GetContentRegionAvail().x;
  std::string line;
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t end = value.find(' ', start);
    if (end == std::string::npos) end = value.size();
    const std::string word = value.substr(start, end - start);
    const std::string longer = line.empty() ? word : line + " " + word;
    if (!line.empty() && ImGui::CalcTextSize(longer.c_str()).x > width) {
      ImGui::TextUnformatted(line.c_str());
      line = word;
    } else {
      line = longer;
    }
    start = end + 1;
  }
  ImGui::TextUnformatted(line.c_str());
}

void draw_row(const char* label, const char* value, float value_x, ImFont* font) {
  ImGui::TextColored(kLabelGrey, "%s", label);
  ImGui::SameLine(value_x);
  if (font != nullptr) ImGui::PushFont(font);
  ImGui::BeginGroup();  // the lines after the first start at the value column too
  draw_wrapped_at_spaces(value);
  ImGui::EndGroup();
  if (font != nullptr) ImGui::PopFont();
}

}  // namespace

void draw_system_info_panel(App& app, ImFont* font) {
  const SystemInfo& info = app.system_info;
  draw_section_title("SYSTEM INFO", kTeal);
  // Six body-font characters hold the longest label ("Cores") and a gap.
  const float value_x = 6.0f * ImGui::GetFontSize();

  // "16C / 32T (4 usable)" under a mask or quota; "6P + 8E / 20T" where core types differ.
  const std::string cores = cores_text(info);
  char clock[32];
  std::snprintf(clock, sizeof clock, "%.2f GHz", info.clock_ghz);
  char vram[32];
  std::snprintf(vram, sizeof vram, "%llu MB", static_cast<unsigned long long>(info.vram_mb));
  char ram[64];
  std::snprintf(ram, sizeof ram, "%llu MB", static_cast<unsigned long long>(info.ram_total_mb));

  draw_row("CPU", info.cpu_name.c_str(), value_x, font);
  draw_row("Cores", cores.c_str(), value_x, font);
  if (info.core_types.size() > 1 && ImGui::IsItemHovered()) {
    std::string threads;
    for (const CoreType& type : info.core_types)
      threads += (threads.empty() ? "" : "\n") + type.name + ": " + std::to_string(type.cores) + " cores, " +
                 std::to_string(type.threads) + " threads";
    ImGui::SetTooltip("%s", threads.c_str());
  }
  draw_row("Freq", clock, value_x, font);
  draw_row("L1", info.l1_cache.c_str(), value_x, font);
  draw_row("L2", info.l2_cache.c_str(), value_x, font);
  draw_row("L3", info.l3_cache.c_str(), value_x, font);
  ImGui::Spacing();
  draw_row("GPU", info.gpu_name.c_str(), value_x, font);
  draw_row("VRAM", vram, value_x, font);
  draw_row("RAM", ram, value_x, font);
  ImGui::Spacing();
  draw_row("OS", info.os_name.c_str(), value_x, font);
  draw_row("PC", info.computer_name.c_str(), value_x, font);
}
