#include "ui/percent_bar.h"

#include <string>

namespace ui {

int PercentFillEnd(int percent, int width) {
  const int inner_right = width - 1;
  int end = static_cast<int>(inner_right * (percent * 0.01));
  return end > inner_right ? inner_right : end;
}

int PercentTextLeft(int text_width, int width) { return (width - 1 - text_width) / 2; }

int PercentTextTop(int text_height, int height) { return (height - 1 - text_height) / 2; }

std::u16string PercentText(int percent) {
  std::string digits = std::to_string(percent) + "%";
  return std::u16string(digits.begin(), digits.end());
}

ProgressPlan PlanProgress(bool text_empty, double percent) {
  ProgressPlan plan;
  if (text_empty && !(percent > 0)) {
    plan.close = true;
    return plan;
  }
  if (percent >= 0) {
    plan.bar_visible = true;
    // The bar holds 0..100; larger values show as 100 (and never overflow).
    plan.bar_value = percent >= 100 ? 100 : static_cast<int>(percent);
  }
  return plan;
}

}  // namespace ui
