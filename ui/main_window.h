#pragma once
// The frame's top-level drawing: one borderless window filling the viewport, a title line, and
// three bordered columns whose panels are drawn in a fixed order.
struct App;

// Left and right columns keep fixed widths (times the DPI scale); the centre takes the rest of
// the available width, less the spacing between columns, and is not clamped.
struct ColumnWidths {
  float left;
  float center;
  float right;
};
ColumnWidths column_widths(float available_width, float dpi_scale);

// The smallest main window, in pixels at 100 % scaling (the window multiplies it by the DPI
// scale), at which every item lies whole inside it. At 150 % it is 1440 x 900.
inline constexpr float kMinimumWindowWidth = 960.0f;
inline constexpr float kMinimumWindowHeight = 600.0f;

// Called between ImGui::NewFrame and ImGui::Render with App::font_body pushed.
void draw_main_window(App& app);
