#pragma once
// Finding the interface's font files (fontconfig on Linux). The body face is "Segoe UI" where
// installed, else Inter, else the system's sans-serif; the monospace face "Consolas", else
// JetBrains Mono, else the system's monospace. Only outline fonts the GUI library can read
// (TrueType or CFF) are taken.
#include <string>
#include <vector>

struct FontFiles {
  std::string body;  // empty when no usable font was found
  std::string mono;
};

const std::vector<std::string>& body_font_families();
const std::vector<std::string>& mono_font_families();

// The file of the first family in `families` that is installed. A named family must match
// exactly (fontconfig otherwise answers with its nearest substitute); the generic names
// "sans-serif" and "monospace" take whatever the system maps them to.
std::string find_font_file(const std::vector<std::string>& families);

FontFiles find_font_files();
