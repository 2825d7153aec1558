#pragma once
// Paths are UTF-8 throughout the program; the wide-character file functions take UTF-16.
#include <string>

std::wstring to_utf16(const std::string& utf8);
std::string to_utf8(const std::wstring& utf16);
