#pragma once
// The finished image at full size: a scrollable window inside the program that shows it one
// texture pixel per screen pixel, with the path to save it to and a "Save PNG..." button.
#include <string>

#include "engine/run_kind.h"

struct App;

// "strelvik-<kind>-<date>.png" in the history file's folder; the date's "T" becomes "_" and its
// colons go, as a file name on every system allows ("2026-01-02T10:30:00" gives
// "2026-01-02_103000").
std::string default_image_path(const std::string& history_path, RunKind kind, const std::string& date);

// Opens the viewer on the finished image, with the default path; nothing without one.
void open_image_viewer(App& app);

// Called once per frame after the main window; draws nothing while the viewer is closed. It
// closes itself when a run starts, since the image it shows is then cleared.
void draw_image_viewer(App& app);
