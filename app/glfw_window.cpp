#include "app/glfw_window.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>

#include "app/window_icon.h"
#include "ui/main_window.h"

static std::string g_last_glfw_error;

static void remember_glfw_error(int, const char* description) {
  g_last_glfw_error = description != nullptr ? description : "unknown GLFW error";
}

static std::string last_error_or(const char* fallback) {
  return g_last_glfw_error.empty() ? std::string(fallback) : g_last_glfw_error;
}

std::string start_window_system() {
  glfwSetErrorCallback(remember_glfw_error);
  if (glfwInit() == GLFW_TRUE) return {};
  return "cannot open a window: " + last_error_or("no display");
}

int centred_origin(int area_origin, int area_size, int outer_size) {
  return area_origin + (area_size - outer_size) / 2;
}

static void set_window_icons(GLFWwindow* window) {
  // The large and the small icon of the window's class; the window manager picks a size.
  IconImage large = make_window_icon(48);
  IconImage small = make_window_icon(16);
  GLFWimage images[2] = {{large.size, large.size, large.rgba.data()}, {small.size, small.size, small.rgba.data()}};
  glfwSetWindowIcon(window, 2, images);
}

MainWindow create_main_window() {
  glfwDefaultWindowHints();
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
  glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);  // shown once the context works, as the start-up order asks
  glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
  // The X11 class ties the window to the desktop entry (StartupWMClass) for its icon and name.
  glfwWindowHintString(GLFW_X11_CLASS_NAME, "strelvik");
  glfwWindowHintString(GLFW_X11_INSTANCE_NAME, "strelvik");
  GLFWwindow* window = glfwCreateWindow(kWindowWidth, kWindowHeight, kWindowTitle, nullptr, nullptr);
  if (window == nullptr)
    return {nullptr, "cannot create the window with an OpenGL 3.3 core context: " + last_error_or("unknown reason")};
  glfwMakeContextCurrent(window);

  // GLFW sizes the client area; the outer size, frame included, is what is fixed and centred.
  int left = 0, top = 0, right = 0, bottom = 0;
  glfwGetWindowFrameSize(window, &left, &top, &right, &bottom);
  if (left + right < kWindowWidth && top + bottom < kWindowHeight) {
    glfwSetWindowSize(window, kWindowWidth - left - right, kWindowHeight - top - bottom);
  }
  if (GLFWmonitor* monitor = glfwGetPrimaryMonitor()) {
    int mx = 0, my = 0;
    glfwGetMonitorPos(monitor, &mx, &my);
    if (const GLFWvidmode* mode = glfwGetVideoMode(monitor)) {
      glfwSetWindowPos(window, centred_origin(mx, mode->width, kWindowWidth) + left,
                       centred_origin(my, mode->height, kWindowHeight) + top);
    }
  }
  set_window_icons(window);
  return {window, {}};
}

int primary_monitor_refresh_rate() {
  GLFWmonitor* monitor = glfwGetPrimaryMonitor();
  const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr;
  return mode != nullptr ? mode->refreshRate : 0;
}

float window_content_scale(GLFWwindow* window) {
  float x = 1.0f, y = 1.0f;
  glfwGetWindowContentScale(window, &x, &y);
  return x;
}

MinimumSizeKeeper::MinimumSizeKeeper(GLFWwindow* window, float dpi_scale)
    : window_(window),
      min_width_(static_cast<int>(std::ceil(kMinimumWindowWidth * dpi_scale))),
      min_height_(static_cast<int>(std::ceil(kMinimumWindowHeight * dpi_scale))) {
  glfwSetWindowSizeLimits(window_, min_width_, min_height_, GLFW_DONT_CARE, GLFW_DONT_CARE);
}

void MinimumSizeKeeper::enforce() {
  if (glfwGetWindowAttrib(window_, GLFW_ICONIFIED) == GLFW_TRUE) return;
  int width = 0, height = 0;
  glfwGetWindowSize(window_, &width, &height);
  if (width >= min_width_ && height >= min_height_) return;
  if (width == corrected_width_ && height == corrected_height_) return;
  corrected_width_ = width;
  corrected_height_ = height;
  glfwSetWindowSize(window_, std::max(width, min_width_), std::max(height, min_height_));
}
