// How the windows' message boxes are sized, wrapped and placed, whatever
// toolkit draws them: one rule for the Qt window and the Windows one. Sizes
// are the display's own pixels; texts are UTF-8, measured by the toolkit.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/look.h"

namespace enlazor::look {

// The width of a text in the box's font, as the toolkit measures it.
using Measure = std::function<int(std::string_view)>;

// Where a box of the given outer size goes: centred on the main window and
// moved, and if need be shrunk, to lie whole within the screen's work area.
Rect PlaceBox(Rect owner, Rect workArea, int width, int height);

// The widest a box's texts are before they wrap: half the work area.
int TextWidthLimit(Rect workArea);

// The details list: as wide as its widest line and up to kListLines high,
// within the work area (the box's frame and margins, chrome, left around it)
// and half its height; three lines at least.
inline constexpr int kListLines = 20;
struct ListSize {
  int width, height;
};
ListSize DetailsListSize(int widestLine, int lines, int lineHeight, int chrome, Rect workArea, int around);

// A text as lines no wider than width: broken at blanks; a word wider than a
// line (a path) after a path separator, "/" or "\"; a piece still wider,
// between characters. An indented line that wraps (an item of a list) goes on
// two blanks further in than its indent.
std::vector<std::string> WrapLines(std::string_view text, int width, const Measure& measure);
// The same lines joined by line breaks.
std::string Wrapped(std::string_view text, int width, const Measure& measure);

}  // namespace enlazor::look
