#pragma once
// The palette's brand colours as plain channels (0-1), for code that draws without ImGui: the
// window icon, which a host tool also draws at build time. ui/palette.h builds on them.

struct PaletteRgb {
  float r, g, b;
};

inline constexpr PaletteRgb kTealRgb{0.0f, 0.831f, 0.667f};
inline constexpr PaletteRgb kOrangeRgb{1.0f, 0.42f, 0.208f};
inline constexpr PaletteRgb kWindowBlackRgb{0.051f, 0.051f, 0.051f};
