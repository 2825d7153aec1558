#include "leaderboard/terminal_text.h"

#include <cstdio>

namespace {

// Length of the well-formed UTF-8 sequence at text[i] (no overlong forms, surrogates or code
// points past U+10FFFF), or 0.
std::size_t sequence_length(std::string_view text, std::size_t i, char32_t& cp) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t len = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  }
  if ((lead & 0xE0) == 0xC0) {
    len = 2, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    len = 3, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    len = 4, cp = lead & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > text.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

std::string escape_for_terminal(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char code[8];
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const std::size_t len = sequence_length(text, i, cp);
    if (len == 0) {
      std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned char>(text[i]));
      out += code;
      ++i;
      continue;
    }
    if (cp < 0x20 || cp == 0x7F) {
      std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned>(cp));
      out += code;
    } else if (cp >= 0x80 && cp <= 0x9F) {
      std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(cp));
      out += code;
    } else {
      out.append(text.substr(i, len));
    }
    i += len;
  }
  return out;
}
