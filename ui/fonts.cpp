#include "ui/fonts.h"

#include <imgui.h>

#include <cmath>

#include "state/app.h"

static ImFont* add_font_file(const std::string& file, float size) {
  if (file.empty()) return nullptr;
  return ImGui::GetIO().Fonts->AddFontFromFileTTF(file.c_str(), size);
}

void load_fonts(App& app, float scale, const FontFiles& files) {
  ImFontAtlas* atlas = ImGui::GetIO().Fonts;
  app.font_body = add_font_file(files.body, kBodyFontSize * scale);
  if (app.font_body == nullptr) app.font_body = atlas->AddFontDefault();
  app.font_mono = add_font_file(files.mono, kMonoFontSize * scale);
  if (app.font_mono == nullptr) app.font_mono = atlas->AddFontDefault();
  app.font_mono_large = add_font_file(files.mono, kMonoLargeFontSize * scale);
  if (app.font_mono_large == nullptr) app.font_mono_large = app.font_mono;
  app.font_heading = add_font_file(files.body, kHeadingFontSize * scale);
  if (app.font_heading == nullptr) app.font_heading = app.font_body;

  ImGui::GetStyle().ScaleAllSizes(scale);
  app.dpi_scale = scale;
}

float dpi_scale_from_content_scale(float content_scale) {
  if (!std::isfinite(content_scale) || content_scale <= 0.0f) return 1.0f;
  return content_scale;
}
