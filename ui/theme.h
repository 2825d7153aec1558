#pragma once
// The fixed dark theme: colours and style sizes, written into the current GUI context's style
// once, after the context is created and before its backends are initialised.

void apply_theme();
