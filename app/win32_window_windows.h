#pragma once
// The program's one window on Windows: its class, the window of 1600 x 900 (frame included)
// centred on the screen, the window procedure with the resize it leaves for the next frame, and
// the Direct3D 11 device with its two-buffer swap chain.
#include <windows.h>

#include <string>

class DX11State;

inline constexpr const wchar_t* kWindowClassName = L"StrelvikWindowClass";
inline constexpr const wchar_t* kWindowTitle = L"Strelvik v1.4 - CPU Benchmark";
inline constexpr int kWindowWidth = 1600;  // outer size, frame included
inline constexpr int kWindowHeight = 900;
inline constexpr int kLargeIconResource = 107;
inline constexpr int kSmallIconResource = 108;

// Registers the class and creates the window, hidden; or, when either fails, none and the reason.
struct MainWindow {
  HWND window = nullptr;
  std::string error;
};
MainWindow create_main_window(HINSTANCE instance);
// Device, immediate context and swap chain into `dx`, then the back buffer's view. Empty when
// created; otherwise why not, with nothing left in `dx`.
[[nodiscard]] std::string create_device(HWND window, DX11State& dx);
// Applies the size the window procedure recorded since the last frame, if any.
void apply_pending_resize(DX11State& dx);
// True once per message that the interface may show: input, focus, size, paint.
bool take_window_event();
// The client area's smallest size, in pixels (the interface's minimum times the DPI scale).
void set_minimum_client_size(HWND window, int width, int height);
// The window's DPI divided by 96 (1.0 at 96 DPI).
float window_dpi_scale(HWND window);
// The primary display's refresh rate in Hz; 0 when unknown.
int display_refresh_rate();
