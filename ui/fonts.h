#pragma once
// The four interface fonts, added to the current GUI context's font atlas at the window's DPI
// scale, and the style sizes scaled once to match. Called once at start-up, before the first
// frame builds the atlas.
#include "system/font_files.h"

struct App;

inline constexpr float kBodyFontSize = 16.0f;
inline constexpr float kMonoFontSize = 15.0f;
inline constexpr float kMonoLargeFontSize = 28.0f;
inline constexpr float kHeadingFontSize = 24.0f;

// Adds the fonts in the order body, mono, large mono, heading, with the fallbacks: the
// built-in font for a missing body or mono face, the mono font for the large one, the body font
// for the heading. Scales all style sizes by `scale` and stores it in App::dpi_scale.
void load_fonts(App& app, float scale, const FontFiles& files);

// The DPI scale from the window's content scale (1.0 at 96 DPI); anything not positive or not a
// number counts as 1.
float dpi_scale_from_content_scale(float content_scale);
