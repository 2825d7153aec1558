#pragma once
// The program's one window through GLFW: an OpenGL 3.3 core context, the title, the size of
// 1600 x 900 with its frame, centred on the primary monitor, and the window icons.
#include <string>

struct GLFWwindow;

inline constexpr const char* kWindowTitle = "Strelvik v1.4 - CPU Benchmark";
inline constexpr int kWindowWidth = 1600;  // outer size, frame included
inline constexpr int kWindowHeight = 900;

// Starts GLFW. Empty when it did; otherwise why not (no display can be opened).
[[nodiscard]] std::string start_window_system();
// The window, created hidden with its context current on this thread; or, when the window or an
// OpenGL 3.3 core context cannot be had, none and the reason.
struct MainWindow {
  GLFWwindow* window = nullptr;
  std::string error;
};
MainWindow create_main_window();
// The top-left corner that centres an outer size on a screen area. Integer division truncates
// toward zero, so on a screen smaller than the window the corner lies at negative coordinates.
int centred_origin(int area_origin, int area_size, int outer_size);
// The primary monitor's refresh rate in Hz; 0 when unknown.
int primary_monitor_refresh_rate();
// The window's content scale (1.0 at 96 DPI).
float window_content_scale(GLFWwindow* window);

// Keeps the client area at least the interface's minimum size (ui/main_window.h) times the DPI
// scale. The limit goes to the window manager; where none enforces it (a bare X server) the
// window asks for that size itself, once for each smaller size it is given, so a manager that
// insists on its own size cannot make the two argue without end.
class MinimumSizeKeeper {
 public:
  MinimumSizeKeeper(GLFWwindow* window, float dpi_scale);
  // Called once per loop iteration, after the events are taken.
  void enforce();
  int min_width() const { return min_width_; }
  int min_height() const { return min_height_; }

 private:
  GLFWwindow* window_;
  int min_width_, min_height_;
  int corrected_width_ = -1, corrected_height_ = -1;
};
