// Windows: the interface's fonts are files in the system's Fonts folder, found by file name.
#include <windows.h>

#include <fstream>

#include "system/font_files.h"

namespace {

std::string fonts_directory() {
  char windows[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "C:\\Windows\\Fonts\\";
  return std::string(windows) + "\\Fonts\\";
}

// The file names of the families the interface asks for, in their order.
std::string file_of(const std::string& family) {
  if (family == "Segoe UI" || family == "sans-serif") return "segoeui.ttf";
  if (family == "Consolas" || family == "monospace") return "consola.ttf";
  return {};
}

}  // namespace

const std::vector<std::string>& body_font_families() {
  static const std::vector<std::string> families = {"Segoe UI"};
  return families;
}

const std::vector<std::string>& mono_font_families() {
  static const std::vector<std::string> families = {"Consolas"};
  return families;
}

std::string find_font_file(const std::vector<std::string>& families) {
  const std::string dir = fonts_directory();
  for (const std::string& family : families) {
    const std::string name = file_of(family);
    if (name.empty()) continue;
    // The GUI library stops on an unreadable file instead of reporting it, so check first.
    if (std::ifstream(dir + name, std::ios::binary).good()) return dir + name;
  }
  return {};
}

FontFiles find_font_files() {
  return FontFiles{find_font_file(body_font_families()), find_font_file(mono_font_families())};
}
