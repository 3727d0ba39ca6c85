// Small value types of the editor framework: rectangles, mouse state, channel blend.
#pragma once

// A rectangle in editor pixels (origin top-left, y down). All four values 0 means empty.
struct IRECT
{
  int L = 0, T = 0, R = 0, B = 0;

  IRECT() = default;
  IRECT(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}

  bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
  int W() const { return R - L; }
  int H() const { return B - T; }
  bool operator==(const IRECT& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
  bool operator!=(const IRECT& o) const { return !(*this == o); }

  // The other rectangle when either is empty, else the bounding box of both.
  IRECT Union(const IRECT& o) const
  {
    if (Empty()) return o;
    if (o.Empty()) return *this;
    return IRECT(L < o.L ? L : o.L, T < o.T ? T : o.T, R > o.R ? R : o.R, B > o.B ? B : o.B);
  }
  // False when either is empty. This rectangle's right and bottom edges count as inside, o's do
  // not.
  bool Intersects(const IRECT& o) const
  {
    if (Empty() || o.Empty()) return false;
    return R >= o.L && L < o.R && B >= o.T && T < o.B;
  }
};

// Buttons and modifiers of one mouse event. `right` is also set for a primary click with the
// command key.
struct IMouseState
{
  bool left = false;
  bool right = false;
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

// Carried by every control; no drawing code reads it. Greying a control out sets the weight to
// 0.25.
struct IChannelBlend
{
  int mMethod = 0;
  float mWeight = 1.0f;
};
