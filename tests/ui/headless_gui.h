#pragma once
// A GUI context without a window: the font atlas is built, the display has a size and time
// advances, so whole frames of the interface can be drawn and inspected. Frames run as the
// program runs them, with the body font pushed around the main window.
#include <imgui.h>
#include <imgui_internal.h>

#include <string>

#include "state/app.h"
#include "ui/main_window.h"

class HeadlessGui {
 public:
  HeadlessGui() {
    context_ = ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;  // tests leave no settings file behind
    io.DisplaySize = ImVec2(1600, 900);
    io.DeltaTime = 1.0f / 60.0f;
  }
  ~HeadlessGui() { ImGui::DestroyContext(context_); }
  HeadlessGui(const HeadlessGui&) = delete;
  HeadlessGui& operator=(const HeadlessGui&) = delete;

  // What the renderer backend does on its first frame.
  void build_fonts() {
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    ImGui::GetIO().Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
  }

  // Draws one frame and returns every text it drew, in drawing order. The library's text log
  // ends when a top-level window ends, handing its text to the clipboard function.
  std::string frame(App& app) {
    ImGui::NewFrame();
    captured_.clear();
    ImGui::GetIO().SetClipboardTextFn = capture_text;
    ImGui::GetIO().ClipboardUserData = &captured_;
    ImGui::LogToClipboard();
    if (app.font_body != nullptr) ImGui::PushFont(app.font_body);
    draw_main_window(app);
    if (app.font_body != nullptr) ImGui::PopFont();
    ImGui::LogFinish();
    ImGui::Render();
    return captured_;
  }

  // The child window whose id is `id` ("##left"), or null.
  static ImGuiWindow* child(const char* id) {
    for (ImGuiWindow* window : GImGui->Windows) {
      if (std::string(window->Name).find(std::string("/") + id + "_") != std::string::npos) return window;
    }
    return nullptr;
  }

 private:
  static void capture_text(void* user_data, const char* text) { *static_cast<std::string*>(user_data) = text; }

  ImGuiContext* context_ = nullptr;
  std::string captured_;
};
