#pragma once
// The window's colours, each written once. Texts and the style (theme.cpp) take them as they
// are; shapes drawn straight into a draw list (graph, bars, highlights) take them packed().
#include <imgui.h>

#include "ui/palette_rgb.h"

inline const ImVec4 kTeal{kTealRgb.r, kTealRgb.g, kTealRgb.b, 1.0f};  // titles, single-core figures, live bar, graph
inline const ImVec4 kOrange{kOrangeRgb.r, kOrangeRgb.g, kOrangeRgb.b,
                            1.0f};                       // "BENCHMARK", history, multi-core figures
inline const ImVec4 kViolet{0.62f, 0.52f, 1.0f, 1.0f};   // SMT figures
inline const ImVec4 kLabelGrey{0.5f, 0.5f, 0.5f, 1.0f};  // labels and secondary figures
inline const ImVec4 kDimGrey{0.4f, 0.4f, 0.4f, 1.0f};    // "no data" texts, the version
inline const ImVec4 kErrorRed{0.8f, 0.2f, 0.2f, 1.0f};   // failures the user must see

// The style's surfaces and edges.
inline const ImVec4 kWindowBlack{kWindowBlackRgb.r, kWindowBlackRgb.g, kWindowBlackRgb.b,
                                 1.0f};                         // window, title bar, scroll track
inline const ImVec4 kRaisedGrey{0.102f, 0.102f, 0.102f, 1.0f};  // pop-ups, menu bar
inline const ImVec4 kFrameGrey{0.12f, 0.12f, 0.12f, 1.0f};      // fields, tabs, table header
inline const ImVec4 kEdgeGrey{0.15f, 0.15f, 0.15f, 1.0f};       // borders, buttons, separators
inline const ImVec4 kDeepTeal{0.0f, 0.6f, 0.48f, 1.0f};         // hovered button and tab, chosen row

// The canvases the panels draw themselves (preview, CPU graph), as 8-bit channels over 255.
inline const ImVec4 kCanvasBlack{10 / 255.0f, 10 / 255.0f, 10 / 255.0f, 1.0f};
inline const ImVec4 kOutlineGrey{32 / 255.0f, 32 / 255.0f, 32 / 255.0f, 1.0f};  // their outlines
inline const ImVec4 kFaintGrey{48 / 255.0f, 48 / 255.0f, 48 / 255.0f, 1.0f};    // graph labels, bar outline

// A palette colour for a draw list, with the given alpha (0-255). The channels round as ImGui
// rounds the style's colours, so a shape and a text of one colour match to the byte.
inline ImU32 packed(const ImVec4& colour, int alpha = 255) {
  return (ImGui::ColorConvertFloat4ToU32(colour) & ~IM_COL32_A_MASK) | (static_cast<ImU32>(alpha) << IM_COL32_A_SHIFT);
}
