#include "system/font_files.h"

#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <cstring>

#include <fstream>

const std::vector<std::string>& body_font_families() {
  static const std::vector<std::string> families = {"Segoe UI", "Inter", "sans-serif"};
  return families;
}

const std::vector<std::string>& mono_font_families() {
  static const std::vector<std::string> families = {"Consolas", "JetBrains Mono", "monospace"};
  return families;
}

static bool is_generic_family(const std::string& family) {
  return family == "sans-serif" || family == "monospace" || family == "serif";
}

static std::string match_family(FcConfig* config, const std::string& family) {
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return {};

  std::string file;
  FcChar8* matched_family = nullptr;
  FcChar8* format = nullptr;
  FcChar8* path = nullptr;
  const bool family_ok =
      is_generic_family(family) || (FcPatternGetString(match, FC_FAMILY, 0, &matched_family) == FcResultMatch &&
                                    strcasecmp(reinterpret_cast<const char*>(matched_family), family.c_str()) == 0);
  // stb_truetype, inside the GUI library, reads TrueType and CFF outlines; bitmap and Type 1
  // fonts would fail when the atlas is built.
  const bool format_ok = FcPatternGetString(match, FC_FONTFORMAT, 0, &format) == FcResultMatch &&
                         (std::strcmp(reinterpret_cast<const char*>(format), "TrueType") == 0 ||
                          std::strcmp(reinterpret_cast<const char*>(format), "CFF") == 0);
  if (family_ok && format_ok && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
    file = reinterpret_cast<const char*>(path);
  }
  FcPatternDestroy(match);
  // The GUI library stops on an unreadable file instead of reporting it, so check first.
  if (!file.empty() && !std::ifstream(file, std::ios::binary).good()) file.clear();
  return file;
}

static std::string find_in(FcConfig* config, const std::vector<std::string>& families) {
  for (const std::string& family : families) {
    std::string file = match_family(config, family);
    if (!file.empty()) return file;
  }
  return {};
}

std::string find_font_file(const std::vector<std::string>& families) {
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (config == nullptr) return {};
  std::string file = find_in(config, families);
  FcConfigDestroy(config);
  return file;
}

FontFiles find_font_files() {
  // One configuration for both look-ups: loading it scans every font directory.
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (config == nullptr) return {};
  FontFiles files{find_in(config, body_font_families()), find_in(config, mono_font_families())};
  FcConfigDestroy(config);
  return files;
}
