#pragma once
// Text from a leaderboard server made safe for a terminal: a server, or a name someone submitted,
// must not be able to clear the screen, set the window title or hide lines.

#include <string>
#include <string_view>

// Returns `text` with the C0 controls, DEL and the C1 controls (U+0000-U+001F, U+007F-U+009F)
// written as \xNN or \u00NN, and each byte of invalid UTF-8 as \xNN; everything else unchanged.
std::string escape_for_terminal(std::string_view text);
