#include "leaderboard_client/terminal_text.h"

#include <cstdio>

#include "leaderboard_client/utf8_decode.h"

std::string escape_for_terminal(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char code[8];
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const std::size_t len = decode_utf8(text, i, cp);
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
