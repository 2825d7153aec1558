#pragma once
// The width of the terminal the progress line is drawn on, and news of its changes. One
// implementation per platform (terminal_size_posix.cpp).
#include <cstdio>

// Columns of the terminal `stream` writes to; 0 when it is not a terminal or does not say.
int terminal_columns(std::FILE* stream);

// Starts noting changes of the terminal's size (SIGWINCH). Safe to call more than once.
void watch_terminal_size();

// True once after each change of the size since the last call (and on the first call).
bool terminal_size_changed();
