#pragma once
// The GUI library's context as both windows create it: keyboard navigation, no settings file,
// no blinking text cursor, and the theme, applied before the platform's backends start.
void create_gui_context();
