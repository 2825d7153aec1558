#include "ui/image_viewer.h"

#include <imgui.h>
#include <imgui_stdlib.h>

#include <filesystem>

#include "state/app.h"
#include "state/gpu_backend.h"
#include "system/png_writer.h"
#include "ui/item_rects.h"
#include "ui/palette.h"

std::string default_image_path(const std::string& history_path, RunKind kind, const std::string& date) {
  std::string stamp;
  for (const char c : date) {
    if (c == 'T') {
      stamp += '_';
    } else if (c != ':') {
      stamp += c;
    }
  }
  const std::string name = std::string("strelvik-") + run_kind_text(kind) + "-" + stamp + ".png";
  return (std::filesystem::path(history_path).parent_path() / name).string();
}

void open_image_viewer(App& app) {
  if (!app.finished_kind) return;  // no finished image to show
  app.viewer.open = true;
  app.viewer.path = default_image_path(app.history.path(), *app.finished_kind, app.finished_date);
  app.viewer.message.clear();
  app.viewer.save_failed = false;
}

static void save_image(App& app) {
  ImageViewerState& viewer = app.viewer;
  // The runner's rule: the name says PNG, or nothing is written.
  std::string problem = has_png_name(viewer.path) ? std::string() : "the name must end in .png";
  if (problem.empty()) {
    problem = write_png(viewer.path, app.engine.width, app.engine.height, app.engine.pixels.snapshot());
  }
  viewer.save_failed = !problem.empty();
  viewer.message = problem.empty() ? "Saved " + viewer.path : "Could not save " + viewer.path + ": " + problem;
}

void draw_image_viewer(App& app) {
  ImageViewerState& viewer = app.viewer;
  if (!viewer.open) return;
  if (app.engine.running.load() || !app.finished_kind || app.gpu == nullptr || !app.gpu->is_valid()) {
    viewer.open = false;
    return;
  }
  const ImGuiViewport* viewport = ImGui::GetMainViewport();
  const ImVec2 centre(viewport->WorkPos.x + viewport->WorkSize.x * 0.5f,
                      viewport->WorkPos.y + viewport->WorkSize.y * 0.5f);
  ImGui::SetNextWindowPos(centre, ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
  ImGui::SetNextWindowSize(ImVec2(viewport->WorkSize.x * 0.85f, viewport->WorkSize.y * 0.85f), ImGuiCond_Appearing);
  const bool shown = ImGui::Begin("Finished image##viewer", &viewer.open, ImGuiWindowFlags_NoCollapse);
  if (shown) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const char* save_label = "Save PNG...";
    const float button_width = ImGui::CalcTextSize(save_label).x + style.FramePadding.x * 2.0f;
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - button_width - style.ItemSpacing.x);
    ImGui::InputText("##image path", &viewer.path);
    record_item_rect("image path");
    ImGui::SameLine();
    const bool save = ImGui::Button(save_label);
    record_item_rect("Save PNG");
    if (save) save_image(app);
    if (!viewer.message.empty()) {
      ImGui::TextColored(viewer.save_failed ? kErrorRed : kLabelGrey, "%s", viewer.message.c_str());
    }
    ImGui::BeginChild("##viewer_image", ImVec2(0, 0), true, ImGuiWindowFlags_HorizontalScrollbar);
    // One texture pixel per screen pixel, whatever the DPI scale: the image as rendered.
    ImGui::Image(app.gpu->get_texture(),
                 ImVec2(static_cast<float>(app.gpu->get_width()), static_cast<float>(app.gpu->get_height())));
    ImGui::EndChild();
  }
  ImGui::End();
}
