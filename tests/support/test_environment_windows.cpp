// Through the C runtime's wide environment: it keeps the narrow copy (getenv) and the wide one
// (_wgetenv, which the history's path comes from) in step, and passes a path exactly.
#include <windows.h>

#include <cstdlib>
#include <stdexcept>

#include "tests/support/test_environment.h"

namespace {

std::wstring widen_utf8(const std::string& text) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) throw std::invalid_argument("not UTF-8: " + text);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

void put(const std::string& name, const std::string& value) {
  if (_wputenv_s(widen_utf8(name).c_str(), widen_utf8(value).c_str()) != 0)
    throw std::runtime_error("cannot set the variable " + name);
}

}  // namespace

void set_variable(const std::string& name, const std::string& value) { put(name, value); }

void unset_variable(const std::string& name) { put(name, ""); }
