#pragma once
// The colours that recur across the panels.
#include <imgui.h>

inline const ImVec4 kTeal{0.0f, 0.831f, 0.667f, 1.0f};   // titles, single-core figures, live bar
inline const ImVec4 kOrange{1.0f, 0.42f, 0.208f, 1.0f};  // "BENCHMARK", history, multi-core figures
inline const ImVec4 kLabelGrey{0.5f, 0.5f, 0.5f, 1.0f};  // labels and secondary figures
inline const ImVec4 kDimGrey{0.4f, 0.4f, 0.4f, 1.0f};    // "no data" texts
inline const ImVec4 kErrorRed{0.8f, 0.2f, 0.2f, 1.0f};   // failures the user must see
