// How a speed button looks in each of its states; no window needed.
#pragma once

namespace ui {

enum class TButtonState { bsUp, bsDown, bsDisabled };

enum class ButtonEdge { kNone, kRaised, kSunken };

struct SpeedButtonLook {
  bool fill = true;          // paint the face colour (else the parent shows)
  ButtonEdge edge = ButtonEdge::kRaised;
  bool thick_edge = true;    // two-pixel edge of a standard button
  int content_offset = 0;    // caption moved right and down while pressed
  bool embossed = false;     // disabled caption
};

// `hot`: the mouse is over the button. A flat button shows a thin raised
// edge only while hot and enabled, a thin sunken one while pressed, and
// lets its parent show through when transparent.
SpeedButtonLook LookOf(TButtonState state, bool flat, bool transparent, bool hot);

}  // namespace ui
