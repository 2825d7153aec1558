// The bottom of the centre column: machine-wide processor load during a run, as a value beside
// the title and a graph of the whole run, with the sensors' clock, temperature and power over
// the same time axis, each on its own scale. During a run the legend gives the current values;
// after it the graph stays, dimmed, the value becomes the run's average, and a line gives the
// run's sensor summary. A sensor that gave no reading has no line and no legend entry.
#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "state/app.h"
#include "state/run_monitoring.h"
#include "system/sensor_summary.h"
#include "ui/graph_curve.h"
#include "ui/item_rects.h"
#include "ui/palette.h"
#include "ui/panels.h"

namespace {

const ImU32 kBackground = packed(kCanvasBlack);
const ImU32 kGridLine = IM_COL32(26, 26, 26, 255);
const ImU32 kGridLabel = packed(kFaintGrey);
const ImU32 kBorder = packed(kOutlineGrey);
// The title's teal; strong while the run goes on, faded once it is over.
const ImU32 kGraphFillRunning = packed(kTeal, 0x25);
const ImU32 kGraphFillIdle = packed(kTeal, 0x1C);
const ImU32 kLineRunning = packed(kTeal, 0xDD);
const ImU32 kLineIdle = packed(kTeal, 0xA8);
constexpr float kMinGraphHeight = 80.0f;
constexpr float kEdgeMargin = 8.0f;
constexpr float kRounding = 4.0f;
constexpr float kTopRoom = 0.6f;  // in lines of text

// One sensor's line: its reading, colour, scale and how its value reads.
struct SensorLine {
  const char* name;
  std::optional<double> SensorSample::*reading;
  ImVec4 colour;
  const char* format;  // of a value in `divisor` units
  double divisor;
  double top = 0.0;  // the scale's top, in the reading's units; 0: no reading, no line
};

std::vector<SensorLine> sensor_lines(const std::vector<SensorSample>& samples) {
  std::vector<SensorLine> lines = {
      {"Clock", &SensorSample::clock_mhz, kOrange, "%.2f GHz", 1000.0},
      {"Temp", &SensorSample::temp_c, ImVec4(0.9f, 0.33f, 0.33f, 1.0f), "%.0f \u00B0C", 1.0},
      {"Power", &SensorSample::power_w, ImVec4(0.85f, 0.78f, 0.25f, 1.0f), "%.0f W", 1.0},
  };
  for (SensorLine& line : lines) {
    double highest = 0.0;
    for (const SensorSample& s : samples) {
      if (const auto& v = s.*line.reading) highest = std::max(highest, *v);
    }
    // Some headroom, so a steady line does not run along the top edge.
    if (highest > 0.0) line.top = round_scale_top(highest * 1.1);
  }
  std::erase_if(lines, [](const SensorLine& line) { return line.top <= 0.0; });
  return lines;
}

std::string value_text(const SensorLine& line, double value) {
  char text[32];
  std::snprintf(text, sizeof text, line.format, value / line.divisor);
  return text;
}

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
}

// Items on one line while they fit, wrapping onto the next otherwise.
void same_line_if_fits(bool first, const char* next) {
  if (first) return;
  const ImGuiStyle& style = ImGui::GetStyle();
  const float needed = style.ItemSpacing.x * 2.0f + ImGui::CalcTextSize(next).x;
  const float right = ImGui::GetItemRectMax().x + needed;
  if (right <= ImGui::GetWindowPos().x + ImGui::GetWindowContentRegionMax().x)
    ImGui::SameLine(0.0f, style.ItemSpacing.x * 2.0f);
}

// The legend: each line's name and scale, with its latest value while the run goes on.
void draw_legend(const std::vector<SensorLine>& lines, const std::vector<SensorSample>& samples, bool running) {
  bool first = true;
  for (const SensorLine& line : lines) {
    const std::optional<double> latest = running && !samples.empty() ? samples.back().*line.reading : std::nullopt;
    const std::string value = latest ? value_text(line, *latest) + " " : std::string();
    char text[96];
    std::snprintf(text, sizeof text, "%s %s(0-%s)", line.name, value.c_str(), value_text(line, line.top).c_str());
    same_line_if_fits(first, text);
    ImGui::TextColored(line.colour, "%s", text);
    first = false;
  }
}

// After the run: its mean and minimum clock, peak temperature, mean power and energy.
void draw_run_summary(const App& app) {
  if (app.finished_conditions.empty()) return;
  const std::string line = sensor_summary_line(app.finished_conditions.back().second.sensors);
  if (!line.empty()) ImGui::TextColored(kLabelGrey, "%s", line.c_str());
}

void draw_grid(ImDrawList* draw, const ImVec2& p0, const ImVec2& p1, float h) {
  for (int percent = 25; percent <= 100; percent += 25) {
    const float y = p1.y - static_cast<float>(percent) * h * 0.01f;
    draw->AddLine(ImVec2(p0.x, y), ImVec2(p1.x, y), kGridLine, 1.0f);
    char label[16];
    std::snprintf(label, sizeof label, "%d%%", percent);
    draw->AddText(ImVec2(p0.x + 4.0f, y + 2.0f), kGridLabel, label);
  }
}

// The load as a filled area under its line. The fill is drawn without anti-aliased edges: the
// soft edges of neighbouring quads added up to light vertical seams.
void draw_load(ImDrawList* draw, const CpuUsageMonitor& monitor, bool running, const TimeAxis& axis, const ImVec2& p1,
               float h) {
  const auto segments = curve_segments(
      monitor.sample_times, [&](std::size_t i) { return std::optional<float>(monitor.usage_history[i] * 0.01f); }, axis,
      p1.y, h);
  const ImDrawListFlags flags = draw->Flags;
  draw->Flags &= ~ImDrawListFlags_AntiAliasedFill;
  for (const auto& points : segments) {
    for (std::size_t i = 1; i < points.size(); ++i) {
      const ImVec2 a = points[i - 1], b = points[i];
      draw->AddQuadFilled(a, b, ImVec2(b.x, p1.y), ImVec2(a.x, p1.y), running ? kGraphFillRunning : kGraphFillIdle);
    }
  }
  draw->Flags = flags;
  for (const auto& points : segments) {
    if (points.size() > 1) {
      draw->AddPolyline(points.data(), static_cast<int>(points.size()), running ? kLineRunning : kLineIdle, 0, 1.5f);
    }
  }
}

void draw_sensor_lines(ImDrawList* draw, const std::vector<SensorLine>& lines, const std::vector<SensorSample>& samples,
                       bool running, const TimeAxis& axis, const ImVec2& p1, float h) {
  std::vector<double> times;
  times.reserve(samples.size());
  for (const SensorSample& s : samples) times.push_back(s.time_s);
  for (const SensorLine& line : lines) {
    const auto segments = curve_segments(
        times,
        [&](std::size_t i) -> std::optional<float> {
          const auto& v = samples[i].*line.reading;
          if (!v) return std::nullopt;
          return static_cast<float>(std::clamp(*v / line.top, 0.0, 1.0));
        },
        axis, p1.y, h);
    const ImU32 colour = packed(line.colour, running ? 0xE0 : 0x90);
    for (const auto& points : segments) {
      if (points.size() > 1) {
        draw->AddPolyline(points.data(), static_cast<int>(points.size()), colour, 0, 1.5f);
      } else if (points.size() == 1) {
        draw->AddCircleFilled(points[0], 2.0f, colour);  // a lone reading between gaps
      }
    }
  }
}

double duration(const std::vector<double>& times) { return times.size() < 2 ? 0.0 : times.back() - times.front(); }

}  // namespace

void draw_cpu_usage_panel(App& app, ImFont* font) {
  const bool running = app.engine.running.load();
  CpuUsageMonitor& monitor = app.cpu_monitor;
  // A stress test is one series, its passes included, so that the graph covers the whole test.
  monitor.update(running || app.stress.active);
  follow_sensors(app);
  if (monitor.stored == 0) return;

  const std::vector<SensorSample>& samples = app.sensor_samples.samples();
  const std::vector<SensorLine> lines = sensor_lines(samples);
  draw_heading(monitor, running, font);
  draw_legend(lines, samples, running);
  if (!running) draw_run_summary(app);
  ImGui::Separator();

  const ImVec2 p0 = ImGui::GetCursorScreenPos();
  const ImVec2 available = ImGui::GetContentRegionAvail();
  const float w = available.x - kEdgeMargin;
  const float h = std::max(available.y - kEdgeMargin, kMinGraphHeight);
  const ImVec2 p1(p0.x + w, p0.y + h);
  std::vector<double> sensor_times;
  for (const SensorSample& s : samples) sensor_times.push_back(s.time_s);
  // Both series start with the run; the axis spans the longer, so neither runs off the edge.
  const TimeAxis axis{p0.x, w,
                      std::max({duration(monitor.sample_times), duration(sensor_times), CpuUsageMonitor::kInterval})};
  ImDrawList* draw = ImGui::GetWindowDrawList();
  draw->AddRectFilled(p0, p1, kBackground, kRounding);
  // The scales' tops sit below the border, so a full load or a line at its top stays visible.
  const float plot_h = h - std::min(kTopRoom * ImGui::GetFontSize(), h * 0.25f);
  draw_grid(draw, p0, p1, plot_h);
  draw_load(draw, monitor, running, axis, p1, plot_h);
  draw_sensor_lines(draw, lines, samples, running, axis, p1, plot_h);
  draw->AddRect(p0, p1, kBorder, kRounding, 0, 1.0f);
  ImGui::Dummy(ImVec2(w, h));
  record_item_rect("cpu graph");
}
