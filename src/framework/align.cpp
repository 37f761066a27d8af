#include "framework/align.h"

#include <algorithm>

namespace framework {

namespace {

// How far a control stands from the side it docks to, for ordering.
int DistanceFromSide(const DockedControl& c) {
  switch (c.align) {
    case TAlign::alTop: return c.bounds.Top;
    case TAlign::alBottom: return -c.bounds.Bottom;
    case TAlign::alLeft: return c.bounds.Left;
    case TAlign::alRight: return -c.bounds.Right;
    default: return 0;
  }
}

}  // namespace

void AlignBounds(const TRect& client, std::vector<DockedControl>* controls) {
  TRect rest = client;
  for (TAlign side : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
    std::vector<DockedControl*> order;
    for (DockedControl& c : *controls) {
      if (c.align == side) order.push_back(&c);
    }
    std::stable_sort(order.begin(), order.end(), [](const DockedControl* a, const DockedControl* b) {
      return DistanceFromSide(*a) < DistanceFromSide(*b);
    });
    for (DockedControl* c : order) {
      // Each keeps its own size along the side's normal, even where the
      // rest has run out; across, it spans what is left (never less than 0).
      const int h = c->bounds.Height();
      const int w = c->bounds.Width();
      const int across_w = std::max(rest.Width(), 0);
      const int across_h = std::max(rest.Height(), 0);
      switch (side) {
        case TAlign::alTop:
          c->bounds = Bounds(rest.Left, rest.Top, across_w, h);
          rest.Top += h;
          break;
        case TAlign::alBottom:
          c->bounds = Bounds(rest.Left, rest.Bottom - h, across_w, h);
          rest.Bottom -= h;
          break;
        case TAlign::alLeft:
          c->bounds = Bounds(rest.Left, rest.Top, w, across_h);
          rest.Left += w;
          break;
        case TAlign::alRight:
          c->bounds = Bounds(rest.Right - w, rest.Top, w, across_h);
          rest.Right -= w;
          break;
        default:
          c->bounds = Bounds(rest.Left, rest.Top, across_w, across_h);
          break;
      }
    }
  }
}

}  // namespace framework
