#pragma once
// The two accent colours that recur across the panels.
#include <imgui.h>

inline const ImVec4 kTeal{0.0f, 0.831f, 0.667f, 1.0f};    // titles, single-core figures, live bar
inline const ImVec4 kOrange{1.0f, 0.42f, 0.208f, 1.0f};   // "BENCHMARK", history, multi-core figures
