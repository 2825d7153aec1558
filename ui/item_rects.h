#pragma once
// Where the clickable items of the last frame were drawn, by name ("Single-Core", "Refresh",
// "history delete 2"), in screen pixels. Tests and the real-window check click by these
// rectangles instead of by hard-coded coordinates. Main thread only.
#include <map>
#include <string>

struct ItemRect {
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool disabled = false;  // drawn inside a disabled block: clicks do nothing
  float center_x() const { return (x0 + x1) * 0.5f; }
  float center_y() const { return (y0 + y1) * 0.5f; }
  bool operator==(const ItemRect&) const = default;
};

using ItemRects = std::map<std::string, ItemRect>;

// Forgets the previous frame's rectangles; called when a frame's drawing begins.
void begin_item_rects();
// Records the rectangle of the item just submitted to the GUI library under `name`, when the
// item lies whole inside the area its window shows (not scrolled away, not clipped).
void record_item_rect(const std::string& name);
// The rectangles recorded since the frame began.
const ItemRects& item_rects();
// The rectangle of `name` in the last frame, or null when it was not drawn.
const ItemRect* find_item_rect(const std::string& name);

// One line per item, "name<TAB>x0 y0 x1 y1", for a script to read.
std::string format_item_rects(const ItemRects& rects);
