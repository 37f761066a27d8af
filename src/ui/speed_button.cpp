#include "ui/speed_button.h"

namespace ui {

SpeedButtonLook LookOf(TButtonState state, bool flat, bool transparent, bool hot) {
  SpeedButtonLook look;
  const bool down = state == TButtonState::bsDown;
  look.embossed = state == TButtonState::bsDisabled;
  look.content_offset = down ? 1 : 0;
  if (!flat) {
    look.fill = true;
    look.thick_edge = true;
    look.edge = down ? ButtonEdge::kSunken : ButtonEdge::kRaised;
    return look;
  }
  look.fill = !transparent;
  look.thick_edge = false;
  if (down) {
    look.edge = ButtonEdge::kSunken;
  } else if (hot && state == TButtonState::bsUp) {
    look.edge = ButtonEdge::kRaised;
  } else {
    look.edge = ButtonEdge::kNone;
  }
  return look;
}

}  // namespace ui
