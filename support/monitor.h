// Monitors and their work areas.
#pragma once

#include <windows.h>

namespace my {

// Fills `info` (size field set here) for the primary monitor. False when there
// is no monitor or it cannot be read; the rectangles are then not to be used.
bool PrimaryMonitorInfo(MONITORINFOEXW& info) noexcept;

// The work area of `monitor`, read with the short record. False on failure.
bool GetWorkArea(HMONITOR monitor, RECT& work) noexcept;

// Where a box of w x h centred on `centre` lies once kept inside `area`: the
// right and bottom edges are pulled in first, then the left and top, so a box
// larger than the area ends on the area's left or top edge.
POINT CalcCenteredPos(const RECT& centre, const RECT& area, int w, int h) noexcept;

// x kept within [left, right] of `work`; the popup menu's rule, under which a
// point right of the area lands on its (exclusive) right edge.
int ClampXToWorkArea(int x, const RECT& work) noexcept;

// The x at which a popup menu for point `pt` opens: unchanged on any monitor,
// otherwise kept inside the nearest monitor's work area. y is never moved, so
// only x is given.
int KeepMenuXOnScreen(POINT pt) noexcept;

}  // namespace my
