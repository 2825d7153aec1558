#pragma once
// The panels inside the main window's three columns, each a plain function of the App drawn
// once per frame. A font argument may be null: the panel then keeps the current font.
struct App;
struct ImFont;

// Left column.
void draw_system_info_panel(App& app, ImFont* font);
void draw_benchmark_panel(App& app);
void draw_score_panel(App& app, ImFont* font);
// Centre column.
void draw_preview_panel(App& app);
void draw_progress_line(App& app, ImFont* font);
void draw_cpu_usage_panel(App& app, ImFont* font);
// Right column's tabs.
void draw_history_panel(App& app);
void draw_leaderboard_panel(App& app);
