#include "ui/theme.h"

#include <imgui.h>

void apply_theme() {
  ImGuiStyle& style = ImGui::GetStyle();
  ImVec4* c = style.Colors;
  // Slots are set by name: their index numbers differ between versions of the library. Slots
  // not named here (TabActive, TabUnfocused, TabUnfocusedActive, PlotLinesHovered and from
  // TextSelectedBg on) keep the library's default dark colours.
  c[ImGuiCol_Text] = ImVec4(0.9f, 0.9f, 0.9f, 1.0f);
  c[ImGuiCol_TextDisabled] = ImVec4(0.5f, 0.5f, 0.5f, 1.0f);
  c[ImGuiCol_WindowBg] = ImVec4(0.051f, 0.051f, 0.051f, 1.0f);
  c[ImGuiCol_ChildBg] = ImVec4(0.078f, 0.078f, 0.078f, 1.0f);
  c[ImGuiCol_PopupBg] = ImVec4(0.102f, 0.102f, 0.102f, 1.0f);
  c[ImGuiCol_Border] = ImVec4(0.15f, 0.15f, 0.15f, 1.0f);
  c[ImGuiCol_BorderShadow] = ImVec4(0.0f, 0.0f, 0.0f, 0.0f);
  c[ImGuiCol_FrameBg] = ImVec4(0.12f, 0.12f, 0.12f, 1.0f);
  c[ImGuiCol_FrameBgHovered] = ImVec4(0.16f, 0.16f, 0.16f, 1.0f);
  c[ImGuiCol_FrameBgActive] = ImVec4(0.2f, 0.2f, 0.2f, 1.0f);
  c[ImGuiCol_TitleBg] = ImVec4(0.051f, 0.051f, 0.051f, 1.0f);
  c[ImGuiCol_TitleBgActive] = ImVec4(0.08f, 0.08f, 0.08f, 1.0f);
  c[ImGuiCol_TitleBgCollapsed] = ImVec4(0.051f, 0.051f, 0.051f, 1.0f);
  c[ImGuiCol_MenuBarBg] = ImVec4(0.102f, 0.102f, 0.102f, 1.0f);
  c[ImGuiCol_ScrollbarBg] = ImVec4(0.051f, 0.051f, 0.051f, 1.0f);
  c[ImGuiCol_ScrollbarGrab] = ImVec4(0.2f, 0.2f, 0.2f, 1.0f);
  c[ImGuiCol_ScrollbarGrabHovered] = ImVec4(0.3f, 0.3f, 0.3f, 1.0f);
  c[ImGuiCol_ScrollbarGrabActive] = ImVec4(0.4f, 0.4f, 0.4f, 1.0f);
  c[ImGuiCol_CheckMark] = ImVec4(0.0f, 0.831f, 0.667f, 1.0f);
  c[ImGuiCol_SliderGrab] = ImVec4(0.0f, 0.831f, 0.667f, 1.0f);
  c[ImGuiCol_SliderGrabActive] = ImVec4(0.0f, 0.831f, 0.667f, 1.0f);
  c[ImGuiCol_Button] = ImVec4(0.15f, 0.15f, 0.15f, 1.0f);
  c[ImGuiCol_ButtonHovered] = ImVec4(0.0f, 0.6f, 0.48f, 1.0f);
  c[ImGuiCol_ButtonActive] = ImVec4(0.0f, 0.75f, 0.6f, 1.0f);
  c[ImGuiCol_Header] = ImVec4(0.15f, 0.15f, 0.15f, 1.0f);
  c[ImGuiCol_HeaderHovered] = ImVec4(0.0f, 0.5f, 0.4f, 0.5f);
  c[ImGuiCol_HeaderActive] = ImVec4(0.0f, 0.6f, 0.48f, 1.0f);
  c[ImGuiCol_Separator] = ImVec4(0.15f, 0.15f, 0.15f, 1.0f);
  c[ImGuiCol_SeparatorHovered] = ImVec4(0.0f, 0.831f, 0.667f, 1.0f);
  c[ImGuiCol_SeparatorActive] = ImVec4(0.0f, 0.831f, 0.667f, 1.0f);
  c[ImGuiCol_ResizeGrip] = ImVec4(0.15f, 0.15f, 0.15f, 1.0f);
  c[ImGuiCol_ResizeGripHovered] = ImVec4(0.0f, 0.831f, 0.667f, 1.0f);
  c[ImGuiCol_ResizeGripActive] = ImVec4(0.0f, 0.831f, 0.667f, 1.0f);
  c[ImGuiCol_TabHovered] = ImVec4(0.0f, 0.6f, 0.48f, 0.8f);
  c[ImGuiCol_Tab] = ImVec4(0.12f, 0.12f, 0.12f, 1.0f);
  c[ImGuiCol_PlotLines] = ImVec4(0.0f, 0.831f, 0.667f, 1.0f);
  c[ImGuiCol_PlotHistogram] = ImVec4(1.0f, 0.42f, 0.208f, 1.0f);
  c[ImGuiCol_PlotHistogramHovered] = ImVec4(0.0f, 0.831f, 0.667f, 1.0f);
  c[ImGuiCol_TableHeaderBg] = ImVec4(0.12f, 0.12f, 0.12f, 1.0f);
  c[ImGuiCol_TableBorderStrong] = ImVec4(0.15f, 0.15f, 0.15f, 1.0f);
  c[ImGuiCol_TableBorderLight] = ImVec4(0.12f, 0.12f, 0.12f, 1.0f);
  c[ImGuiCol_TableRowBg] = ImVec4(0.0f, 0.0f, 0.0f, 0.0f);
  c[ImGuiCol_TableRowBgAlt] = ImVec4(0.05f, 0.05f, 0.05f, 1.0f);

  style.WindowPadding = ImVec2(12, 12);
  style.WindowRounding = 0;
  style.WindowBorderSize = 0;
  style.ChildRounding = 4;
  style.ChildBorderSize = 1;
  style.PopupRounding = 4;
  style.PopupBorderSize = 1;
  style.FramePadding = ImVec2(8, 5);
  style.FrameRounding = 4;
  style.FrameBorderSize = 0;
  style.ItemSpacing = ImVec2(8, 6);
  style.ItemInnerSpacing = ImVec2(6, 4);
  style.ScrollbarSize = 12;
  style.ScrollbarRounding = 4;
  style.GrabMinSize = 10;
  style.GrabRounding = 4;
  style.TabRounding = 4;
}
