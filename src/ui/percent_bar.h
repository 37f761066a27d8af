// The percentage bar's geometry and the progress window's call rules,
// without windows.
#pragma once

#include <string>

namespace ui {

// The bar's fill ends before this x: trunc(inner_right × P/100), at most
// inner_right, where inner_right is the bar's width − 1. Nothing is filled
// when it is 1 or less.
int PercentFillEnd(int percent, int width);

// Left and top of the percentage text inside a bar of width × height:
// ((width − 1 − text_width) div 2, (height − 1 − text_height) div 2), the
// division dropping the fraction.
int PercentTextLeft(int text_width, int width);
int PercentTextTop(int text_height, int height);

// "45%".
std::u16string PercentText(int percent);

// What one ShowProgress call does.
struct ProgressPlan {
  bool close = false;        // close the window if one exists, nothing more
  bool bar_visible = false;  // otherwise: show the bar at bar_value or hide it
  int bar_value = 0;         // the percentage truncated toward zero, at most 100
};

// An empty text with a percentage not above 0 (NaN included) closes; any
// other call shows, with the bar when the percentage is at least 0.
ProgressPlan PlanProgress(bool text_empty, double percent);

}  // namespace ui
