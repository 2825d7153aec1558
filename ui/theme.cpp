#include "ui/theme.h"

#include <imgui.h>

#include "ui/palette.h"

void apply_theme() {
  ImGuiStyle& style = ImGui::GetStyle();
  ImVec4* c = style.Colors;
  // Slots are set by name: their index numbers differ between versions of the library. Slots
  // not named here (TabActive, TabUnfocused, TabUnfocusedActive, PlotLinesHovered and from
  // TextSelectedBg on) keep the library's default dark colours.
  c[ImGuiCol_Text] = ImVec4(0.9f, 0.9f, 0.9f, 1.0f);
  c[ImGuiCol_TextDisabled] = kLabelGrey;
  c[ImGuiCol_WindowBg] = kWindowBlack;
  c[ImGuiCol_ChildBg] = ImVec4(0.078f, 0.078f, 0.078f, 1.0f);
  c[ImGuiCol_PopupBg] = kRaisedGrey;
  c[ImGuiCol_Border] = kEdgeGrey;
  c[ImGuiCol_BorderShadow] = ImVec4(0.0f, 0.0f, 0.0f, 0.0f);
  c[ImGuiCol_FrameBg] = kFrameGrey;
  c[ImGuiCol_FrameBgHovered] = ImVec4(0.16f, 0.16f, 0.16f, 1.0f);
  c[ImGuiCol_FrameBgActive] = ImVec4(0.2f, 0.2f, 0.2f, 1.0f);
  c[ImGuiCol_TitleBg] = kWindowBlack;
  c[ImGuiCol_TitleBgActive] = ImVec4(0.08f, 0.08f, 0.08f, 1.0f);
  c[ImGuiCol_TitleBgCollapsed] = kWindowBlack;
  c[ImGuiCol_MenuBarBg] = kRaisedGrey;
  c[ImGuiCol_ScrollbarBg] = kWindowBlack;
  c[ImGuiCol_ScrollbarGrab] = ImVec4(0.2f, 0.2f, 0.2f, 1.0f);
  c[ImGuiCol_ScrollbarGrabHovered] = ImVec4(0.3f, 0.3f, 0.3f, 1.0f);
  c[ImGuiCol_ScrollbarGrabActive] = ImVec4(0.4f, 0.4f, 0.4f, 1.0f);
  c[ImGuiCol_CheckMark] = kTeal;
  c[ImGuiCol_SliderGrab] = kTeal;
  c[ImGuiCol_SliderGrabActive] = kTeal;
  c[ImGuiCol_Button] = kEdgeGrey;
  c[ImGuiCol_ButtonHovered] = kDeepTeal;
  c[ImGuiCol_ButtonActive] = ImVec4(0.0f, 0.75f, 0.6f, 1.0f);
  c[ImGuiCol_Header] = kEdgeGrey;
  c[ImGuiCol_HeaderHovered] = ImVec4(0.0f, 0.5f, 0.4f, 0.5f);
  c[ImGuiCol_HeaderActive] = kDeepTeal;
  c[ImGuiCol_Separator] = kEdgeGrey;
  c[ImGuiCol_SeparatorHovered] = kTeal;
  c[ImGuiCol_SeparatorActive] = kTeal;
  c[ImGuiCol_ResizeGrip] = kEdgeGrey;
  c[ImGuiCol_ResizeGripHovered] = kTeal;
  c[ImGuiCol_ResizeGripActive] = kTeal;
  c[ImGuiCol_TabHovered] = ImVec4(kDeepTeal.x, kDeepTeal.y, kDeepTeal.z, 0.8f);
  c[ImGuiCol_Tab] = kFrameGrey;
  c[ImGuiCol_PlotLines] = kTeal;
  c[ImGuiCol_PlotHistogram] = kOrange;
  c[ImGuiCol_PlotHistogramHovered] = kTeal;
  c[ImGuiCol_TableHeaderBg] = kFrameGrey;
  c[ImGuiCol_TableBorderStrong] = kEdgeGrey;
  c[ImGuiCol_TableBorderLight] = kFrameGrey;
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
