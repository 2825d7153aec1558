#pragma once
// "did you mean --threads?" for an option typed a letter or two wrong.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The known option closest to `word` ("--thread" -> "--threads"), when it is within two edits
// and closer than any other; nothing for a word that is no option or too far from all.
std::optional<std::string> closest_option(std::string_view word, const std::vector<std::string>& known);
