#include "app/win32_window_windows.h"

#include <imgui.h>

#include <cstdio>
#include <string>

#include "app/d3d11_texture_windows.h"
#include "backends/imgui_impl_win32.h"

extern IMGUI_IMPL_API LRESULT ImGui_ImplWin32_WndProcHandler(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

namespace {

// Written by the window procedure, read by the frame loop; both run on the interface thread.
bool g_resize_pending = false;
UINT g_resize_width = 0;
UINT g_resize_height = 0;
bool g_window_event = false;
// The smallest outer size the user may drag the window to; 0 before it is known.
LONG g_min_outer_width = 0;
LONG g_min_outer_height = 0;

bool shows_on_screen(UINT message) {
  return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         message == WM_MOUSELEAVE || message == WM_SETFOCUS || message == WM_KILLFOCUS || message == WM_ACTIVATE ||
         message == WM_PAINT || message == WM_SIZE || message == WM_SETCURSOR;
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (shows_on_screen(message)) g_window_event = true;
  if (ImGui::GetCurrentContext() != nullptr && ImGui_ImplWin32_WndProcHandler(window, message, wparam, lparam)) {
    return 1;
  }
  switch (message) {
    case WM_SIZE:
      if (wparam == SIZE_MINIMIZED) return 0;
      g_resize_width = LOWORD(lparam);
      g_resize_height = HIWORD(lparam);
      g_resize_pending = true;
      return 0;
    case WM_GETMINMAXINFO:
      if (g_min_outer_width > 0) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
        info->ptMinTrackSize.x = g_min_outer_width;
        info->ptMinTrackSize.y = g_min_outer_height;
      }
      return 0;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_KEYMENU) return 0;  // Alt alone does not open the window menu
      break;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

MainWindow create_main_window(HINSTANCE instance) {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kLargeIconResource));
  window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kWindowClassName;
  window_class.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(kSmallIconResource));
  RegisterClassExW(&window_class);
  // Integer division truncates toward zero: on a screen smaller than the window the corner
  // lies at negative coordinates, the window still centred.
  const int x = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
  HWND window = CreateWindowExW(0, kWindowClassName, kWindowTitle, WS_OVERLAPPEDWINDOW, x, y, kWindowWidth,
                                kWindowHeight, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return {nullptr, "cannot create the window (error " + std::to_string(GetLastError()) + ")"};
  return {window, {}};
}

std::string create_device(HWND window, DX11State& dx) {
  DXGI_SWAP_CHAIN_DESC desc = {};
  desc.BufferDesc.RefreshRate = {60, 1};
  desc.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  desc.SampleDesc.Count = 1;
  desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  desc.BufferCount = 2;
  desc.OutputWindow = window;
  desc.Windowed = TRUE;
  desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
  desc.Flags = DXGI_SWAP_CHAIN_FLAG_ALLOW_MODE_SWITCH;
  const D3D_FEATURE_LEVEL wanted = D3D_FEATURE_LEVEL_11_0;
  D3D_FEATURE_LEVEL obtained = {};
  const HRESULT result =
      D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &wanted, 1, D3D11_SDK_VERSION, &desc,
                                    &dx.swap_chain, &dx.device, &obtained, &dx.context);
  if (FAILED(result)) {
    dx.release();
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lx", static_cast<unsigned long>(result));
    return std::string("cannot create the Direct3D 11 device (") + code + ")";
  }
  dx.create_back_buffer_view();
  return {};
}

void apply_pending_resize(DX11State& dx) {
  if (!g_resize_pending) return;
  g_resize_pending = false;
  dx.release_back_buffer_view();
  if (dx.swap_chain != nullptr)
    dx.swap_chain->ResizeBuffers(0, g_resize_width, g_resize_height, DXGI_FORMAT_UNKNOWN, 0);
  dx.create_back_buffer_view();
}

bool take_window_event() {
  const bool event = g_window_event;
  g_window_event = false;
  return event;
}

void set_minimum_client_size(HWND window, int width, int height) {
  RECT rect = {0, 0, width, height};
  AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
  g_min_outer_width = rect.right - rect.left;
  g_min_outer_height = rect.bottom - rect.top;
}

float window_dpi_scale(HWND window) {
  // 1/96 as a single-precision float: 96 DPI gives exactly 1, 120 gives 1.25, 144 gives 1.5.
  return static_cast<float>(GetDpiForWindow(window)) * 0.010416667f;
}

int display_refresh_rate() {
  DEVMODEW mode = {};
  mode.dmSize = sizeof(mode);
  if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return 0;
  return mode.dmDisplayFrequency > 1 ? static_cast<int>(mode.dmDisplayFrequency) : 0;
}
