#include "graphics/IGraphicsView.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <ctime>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/IParam.h"
#include "graphics/IControl.h"
#include "graphics/IGraphics.h"
#include "graphics/LICE_Bitmap.h"

namespace
{
// Truncation towards zero that stays defined for NaN and values beyond int.
int TruncateToInt(double v)
{
  if (!(v == v)) return 0;
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(v);
}

constexpr uint64_t kCocoaShift = 1ull << 17;
constexpr uint64_t kCocoaControl = 1ull << 18;
constexpr uint64_t kCocoaOption = 1ull << 19;
constexpr uint64_t kCocoaCommand = 1ull << 20;

constexpr uint32_t kCarbonCommand = 1u << 8;
constexpr uint32_t kCarbonShift = 1u << 9;
constexpr uint32_t kCarbonOption = 1u << 11;
constexpr uint32_t kCarbonControl = 1u << 12;

constexpr unsigned kX11Shift = 1u << 0;
constexpr unsigned kX11Control = 1u << 2;
constexpr unsigned kX11Mod1 = 1u << 3;

// Prompt sizes.
constexpr int kCocoaFieldHalfW = 21, kCocoaFieldW = 42, kCocoaFieldH = 21, kCocoaFieldBelow = 10;
constexpr int kCocoaComboH = 26;
constexpr int kCarbonComboH = 22;
constexpr int kCarbonFieldHalfW = 16, kCarbonFieldHalfH = 7;
constexpr int kListMinW = 24, kListCharW = 8, kListPadW = 24;
} // namespace

void CocoaPointToEditor(double px, double py, int height, int* x, int* y)
{
  if (x) *x = TruncateToInt(px);
  if (y) *y = height - TruncateToInt(py);
}

IRECT CocoaRectToEditor(double x, double y, double w, double h, int height)
{
  const int ix = TruncateToInt(x), iy = TruncateToInt(y);
  const int iw = TruncateToInt(w), ih = TruncateToInt(h);
  return IRECT(ix, height - iy - ih, ix + iw, height - iy);
}

IViewRect EditorRectToCocoa(const IRECT& rect, int height)
{
  IViewRect r;
  r.x = rect.L;
  r.y = height - rect.B;
  r.w = rect.R - rect.L;
  r.h = rect.B - rect.T;
  return r;
}

IViewRect EditorRectToTopLeft(const IRECT& rect)
{
  IViewRect r;
  r.x = rect.L;
  r.y = rect.T;
  r.w = rect.R - rect.L;
  r.h = rect.B - rect.T;
  return r;
}

// ---- scale factor ----

namespace
{
constexpr double kDpiAtScale1 = 96.0; // the X default; Xft.dpi 192 is a 2x screen

bool IsBlank(char c)
{
  return c == ' ' || c == '\t' || c == '\r';
}

bool IsDigit(char c)
{
  return c >= '0' && c <= '9';
}

// [begin, end) without blanks at either end.
void Trim(const char** begin, const char** end)
{
  while (*begin < *end && IsBlank(**begin)) ++*begin;
  while (*end > *begin && IsBlank((*end)[-1])) --*end;
}

// "digits[.digits]" exactly, in any locale; -1 for anything else. Long numbers may reach infinity.
double ParseDecimal(const char* begin, const char* end)
{
  const char* p = begin;
  double value = 0.0;
  int digits = 0;
  for (; p < end && IsDigit(*p); ++p, ++digits) value = value * 10.0 + (*p - '0');
  if (p < end && *p == '.')
  {
    double unit = 0.1;
    for (++p; p < end && IsDigit(*p); ++p, ++digits, unit *= 0.1) value += (*p - '0') * unit;
  }
  return (digits > 0 && p == end) ? value : -1.0;
}
} // namespace

int WholeViewScale(double factor)
{
  if (!(factor > 0.0)) return 0; // NaN, zero, negative
  return factor < 1.5 ? 1 : kMaxViewScale;
}

int ViewScaleFromGdkScale(const char* value)
{
  if (!value) return 0;
  const char* begin = value;
  const char* end = value + strlen(value);
  Trim(&begin, &end);
  if (begin == end) return 0;
  int factor = 0; // saturates at the largest factor, so any length is read without overflow
  for (const char* p = begin; p < end; ++p)
  {
    if (!IsDigit(*p)) return 0;
    factor = factor * 10 + (*p - '0');
    if (factor > kMaxViewScale) factor = kMaxViewScale + 1;
  }
  return factor < 1 ? 0 : (factor > kMaxViewScale ? kMaxViewScale : factor);
}

double XftDpiFromResources(const char* resources)
{
  if (!resources) return 0.0;
  static const char kName[] = "Xft.dpi";
  double dpi = 0.0;
  for (const char* line = resources; *line;)
  {
    const char* lineEnd = strchr(line, '\n');
    if (!lineEnd) lineEnd = line + strlen(line);
    const char* colon = static_cast<const char*>(memchr(line, ':', lineEnd - line));
    if (colon)
    {
      const char *name = line, *nameEnd = colon;
      Trim(&name, &nameEnd);
      if (nameEnd - name == static_cast<long>(sizeof(kName) - 1) &&
          !memcmp(name, kName, sizeof(kName) - 1))
      {
        const char *value = colon + 1, *valueEnd = lineEnd;
        Trim(&value, &valueEnd);
        const double v = ParseDecimal(value, valueEnd);
        dpi = v > 0.0 ? v : 0.0; // a later line replaces an earlier one, a bad one included
      }
    }
    line = *lineEnd ? lineEnd + 1 : lineEnd;
  }
  return dpi;
}

int ViewScaleFromDpi(double dpi)
{
  return WholeViewScale(dpi / kDpiAtScale1);
}

IViewScale ChooseViewScale(double hostScale, const char* gdkScale, const char* resources)
{
  IViewScale scale;
  if (const int host = WholeViewScale(hostScale))
    scale = IViewScale{host, kViewScaleHost};
  else if (const int gdk = ViewScaleFromGdkScale(gdkScale))
    scale = IViewScale{gdk, kViewScaleGdkScale};
  else if (const int xft = ViewScaleFromDpi(XftDpiFromResources(resources)))
    scale = IViewScale{xft, kViewScaleXftDpi};
  return scale;
}

int WindowToEditor(int v, int scale)
{
  if (scale <= 1) return v;
  return v >= 0 ? v / scale : -((-(v + 1)) / scale) - 1;
}

IRECT EditorToWindow(const IRECT& rect, int scale)
{
  if (scale <= 1) return rect;
  return IRECT(rect.L * scale, rect.T * scale, rect.R * scale, rect.B * scale);
}

namespace
{
static_assert(LICE_PIXEL_A == 0 && LICE_PIXEL_R == 1 && LICE_PIXEL_G == 2 && LICE_PIXEL_B == 3,
              "the conversion reverses the bytes of each A R G B pixel");

uint32_t XrgbOf(const unsigned char* p, uint32_t opaqueBits)
{
  return (static_cast<uint32_t>(p[LICE_PIXEL_R]) << 16) |
         (static_cast<uint32_t>(p[LICE_PIXEL_G]) << 8) | p[LICE_PIXEL_B] | opaqueBits;
}

#if defined(__SSE2__)
// Four pixels' A R G B bytes (little-endian words 0xBBGGRRAA) to 0x00RRGGBB | opaque: the bytes of
// each word reversed (16-bit halves swapped, then the bytes of each half), the top byte replaced.
__m128i XrgbOf4(__m128i pixels, __m128i rgbMask, __m128i opaque)
{
  __m128i t = _mm_shufflehi_epi16(_mm_shufflelo_epi16(pixels, 0xB1), 0xB1);
  t = _mm_or_si128(_mm_slli_epi16(t, 8), _mm_srli_epi16(t, 8));
  return _mm_or_si128(_mm_and_si128(t, rgbMask), opaque);
}
#endif

#if defined(__SSE2__)
// 16 bytes at p: streamed past the caches when p is aligned (kStream), else an ordinary store.
template <bool kStream> void Store16(unsigned char* p, __m128i v)
{
  if (kStream)
    _mm_stream_si128(reinterpret_cast<__m128i*>(p), v);
  else
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Whole groups of four pixels of a row; returns how many pixels it took.
template <int kScale, bool kStream>
int ExpandGroups(const unsigned char* src, int width, uint32_t opaqueBits, unsigned char* row0,
                 unsigned char* row1)
{
  const __m128i rgbMask = _mm_set1_epi32(0x00ffffff);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(opaqueBits));
  int x = 0;
  for (; x + 4 <= width; x += 4)
  {
    const __m128i v =
        XrgbOf4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x)), rgbMask, opaque);
    if (kScale == 1)
      Store16<kStream>(row0 + 4 * x, v);
    else
    {
      const __m128i first = _mm_unpacklo_epi32(v, v), second = _mm_unpackhi_epi32(v, v);
      Store16<kStream>(row0 + 8 * x, first);
      Store16<kStream>(row0 + 8 * x + 16, second);
      Store16<kStream>(row1 + 8 * x, first);
      Store16<kStream>(row1 + 8 * x + 16, second);
    }
  }
  return x;
}
#endif

// One source row into kScale image rows, each pixel kScale times along them. At scale 2 the
// image (4 times the bitmap, 7 MB for the editor) is streamed to memory when its rows are
// aligned: the stores then need no reads of lines that are not in the caches.
template <int kScale>
void ExpandRow(const unsigned char* src, int width, uint32_t opaqueBits, unsigned char* row0,
               unsigned char* row1)
{
  int x = 0;
#if defined(__SSE2__)
  const bool aligned =
      kScale == 2 &&
      ((reinterpret_cast<uintptr_t>(row0) | reinterpret_cast<uintptr_t>(row1)) & 15) == 0;
  x = aligned ? ExpandGroups<kScale, true>(src, width, opaqueBits, row0, row1)
              : ExpandGroups<kScale, false>(src, width, opaqueBits, row0, row1);
#endif
  for (; x < width; ++x)
  {
    const uint64_t v = XrgbOf(src + 4 * x, opaqueBits);
    if (kScale == 1)
    {
      const uint32_t word = static_cast<uint32_t>(v);
      memcpy(row0 + 4 * x, &word, 4); // little-endian words, as the callers' images hold them
    }
    else
    {
      const uint64_t pair = v | (v << 32);
      memcpy(row0 + 8 * x, &pair, 8);
      memcpy(row1 + 8 * x, &pair, 8);
    }
  }
}
} // namespace

void ExpandBitmapToXrgb(const unsigned char* src, int srcRowSpan, int width, int height, int scale,
                        uint32_t opaqueBits, unsigned char* dst, int dstBytesPerLine)
{
  if (!src || !dst || width <= 0 || height <= 0) return;
  const size_t srcStride = static_cast<size_t>(srcRowSpan) * 4;
  const size_t dstStride = static_cast<size_t>(dstBytesPerLine);
  for (int y = 0; y < height; ++y)
  {
    const unsigned char* row = src + y * srcStride;
    if (scale <= 1)
      ExpandRow<1>(row, width, opaqueBits, dst + y * dstStride, nullptr);
    else
    {
      unsigned char* top = dst + 2 * y * dstStride;
      ExpandRow<2>(row, width, opaqueBits, top, top + dstStride);
    }
  }
#if defined(__SSE2__)
  _mm_sfence(); // streamed stores are in memory before the image is handed on
#endif
}

IMouseState MouseStateFromCocoa(uint64_t flags, bool rightButtonEvent)
{
  IMouseState mods;
  mods.left = !rightButtonEvent;
  mods.right = rightButtonEvent || (flags & kCocoaCommand) != 0;
  mods.shift = (flags & kCocoaShift) != 0;
  mods.ctrl = (flags & kCocoaControl) != 0;
  mods.alt = (flags & kCocoaOption) != 0;
  return mods;
}

IMouseState MouseStateFromCarbon(uint32_t modifiers, int button)
{
  if (button == 1 && (modifiers & kCarbonCommand)) button = 2;
  IMouseState mods;
  mods.left = true;
  mods.right = button == 2;
  mods.shift = (modifiers & kCarbonShift) != 0;
  mods.alt = (modifiers & kCarbonOption) != 0;
  mods.ctrl = (modifiers & kCarbonControl) != 0;
  return mods;
}

IMouseState MouseStateFromX11(unsigned state, bool rightButton)
{
  IMouseState mods;
  mods.left = !rightButton;
  mods.right = rightButton;
  mods.shift = (state & kX11Shift) != 0;
  mods.ctrl = (state & kX11Control) != 0;
  mods.alt = (state & kX11Mod1) != 0;
  return mods;
}

int WheelDeltaFromScroll(double deltaY)
{
  return TruncateToInt(deltaY);
}

// ---- redraw timer ----

IFrameClock::IFrameClock(int fps) : mIntervalNs(1000000000ll / (fps < 1 ? 24 : fps)) {}

void IFrameClock::Start(int64_t nowNs)
{
  mNextNs = nowNs + mIntervalNs;
}

bool IFrameClock::Due(int64_t nowNs)
{
  if (nowNs < mNextNs) return false;
  mNextNs += mIntervalNs;
  if (mNextNs <= nowNs) mNextNs = nowNs + mIntervalNs; // late: no burst of catch-up frames
  return true;
}

int64_t IFrameClock::WaitNs(int64_t nowNs) const
{
  return nowNs >= mNextNs ? 0 : mNextNs - nowNs;
}

bool CollectRedraw(IGraphics* graphics, IRECT* dirty)
{
  if (!graphics || !dirty) return false;
  *dirty = IRECT();
  return graphics->CollectDirtyRect(dirty);
}

int64_t MonotonicNs()
{
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000ll + ts.tv_nsec;
}

int IClickCounter::Press(int button, int x, int y, int64_t timeMs)
{
  const bool follows = mCount == 1 && button == mButton && timeMs >= mTimeMs &&
                       timeMs - mTimeMs <= kIntervalMs && std::abs(x - mX) <= kSlopPixels &&
                       std::abs(y - mY) <= kSlopPixels;
  mCount = follows ? 2 : 1;
  mButton = button;
  mX = x;
  mY = y;
  mTimeMs = timeMs;
  return mCount;
}

// ---- text prompt ----

bool LayoutPrompt(const IControl* control, const IParam* param, int height,
                  EPromptPlatform platform, IPromptLayout* layout)
{
  if (!control || !param || !layout) return false;
  const IRECT& r = control->GetRect();
  const int cx = TruncateToInt((r.L + r.R) * 0.5);
  const int cy = TruncateToInt((r.T + r.B) * 0.5);
  char text[128];
  param->FormatValue(param->mValue, false, text, sizeof(text));

  IPromptLayout out;
  out.mText = text;
  const bool list = param->ValueTextCount() > 0 &&
                    (param->mType == IParam::kTypeBool || param->mType == IParam::kTypeEnum);
  if (list)
  {
    out.mKind = kPromptList;
    int w = kListMinW;
    const IParam::DisplayText* texts = param->mDisplayTexts.Get();
    for (int i = 0; i < param->ValueTextCount(); ++i)
    {
      out.mItems.push_back(texts[i].mText);
      const int itemW = kListCharW * static_cast<int>(out.mItems.back().size()) + kListPadW;
      if (itemW > w) w = itemW;
      if (out.mItems.back() == out.mText) out.mSelected = i;
    }
    const int left = cx - w / 2;
    if (platform == kPromptCocoa)
    {
      out.mViewRect = IViewRect{left, height - cy - kCocoaComboH, w, kCocoaComboH};
      out.mRect = CocoaRectToEditor(left, height - cy - kCocoaComboH, w, kCocoaComboH, height);
    }
    else
    {
      out.mRect = IRECT(left, cy, left + w, cy + kCarbonComboH);
      out.mViewRect = EditorRectToTopLeft(out.mRect);
    }
  }
  else if (platform == kPromptCocoa)
  {
    out.mKind = kPromptTextField;
    const int x = cx - kCocoaFieldHalfW, y = height - cy - kCocoaFieldBelow;
    out.mViewRect = IViewRect{x, y, kCocoaFieldW, kCocoaFieldH};
    out.mRect = CocoaRectToEditor(x, y, kCocoaFieldW, kCocoaFieldH, height);
  }
  else
  {
    out.mKind = kPromptTextField;
    out.mRect = IRECT(cx - kCarbonFieldHalfW, cy - kCarbonFieldHalfH, cx + kCarbonFieldHalfW,
                      cy + kCarbonFieldHalfH);
    out.mViewRect = EditorRectToTopLeft(out.mRect);
  }
  *layout = out;
  return true;
}

IPromptClick DecidePromptClick(EPromptPlatform platform, bool insidePrompt, bool rightButton)
{
  IPromptClick click;
  if (platform == kPromptCocoa)
  {
    // The prompt is a subview: presses on it never reach the editor view. Elsewhere the prompt is
    // cancelled; a primary press then goes on, a secondary one stops there.
    if (insidePrompt) return click;
    click.mClose = true;
    click.mDispatch = !rightButton;
    return click;
  }
  // Carbon: a press on the prompt is the prompt's; a secondary press elsewhere cancels and stops;
  // any other press applies the prompt and goes on.
  if (insidePrompt) return click;
  click.mClose = true;
  click.mApply = !rightButton;
  click.mDispatch = !rightButton;
  return click;
}

bool IPromptEditor::Open(IControl* control, IParam* param, int height, EPromptPlatform platform)
{
  if (IsOpen() || !control || !param) return false;
  if (!LayoutPrompt(control, param, height, platform, &mLayout)) return false;
  mControl = control;
  mParam = param;
  mText = mLayout.mText;
  mSelected = mLayout.mSelected;
  mAllSelected = true;
  return true;
}

void IPromptEditor::Close()
{
  mControl = nullptr;
  mParam = nullptr;
  mLayout = IPromptLayout();
  mText.clear();
  mSelected = -1;
  mAllSelected = false;
}

void IPromptEditor::Type(const char* text)
{
  if (!IsOpen() || !text || !*text) return;
  if (mAllSelected) mText.clear();
  mAllSelected = false;
  constexpr size_t kMaxText = 1000; // as much as a prompt may hand on
  for (const char* c = text; *c && mText.size() < kMaxText; ++c)
    if (static_cast<unsigned char>(*c) >= 0x20 && *c != 0x7f) mText.push_back(*c);
  mSelected = -1;
}

void IPromptEditor::Backspace()
{
  if (!IsOpen()) return;
  if (mAllSelected)
    mText.clear();
  else if (!mText.empty())
  {
    // Drop a whole UTF-8 sequence.
    size_t n = mText.size() - 1;
    while (n > 0 && (static_cast<unsigned char>(mText[n]) & 0xC0) == 0x80) --n;
    mText.erase(n);
  }
  mAllSelected = false;
  mSelected = -1;
}

void IPromptEditor::MoveSelection(int step)
{
  if (!IsOpen() || mLayout.mKind != kPromptList || mLayout.mItems.empty()) return;
  int index = mSelected < 0 ? (step > 0 ? 0 : static_cast<int>(mLayout.mItems.size()) - 1)
                            : mSelected + step;
  if (index < 0) index = 0;
  if (index >= static_cast<int>(mLayout.mItems.size()))
    index = static_cast<int>(mLayout.mItems.size()) - 1;
  Select(index);
}

void IPromptEditor::Select(int index)
{
  if (!IsOpen() || index < 0 || index >= static_cast<int>(mLayout.mItems.size())) return;
  mSelected = index;
  mText = mLayout.mItems[static_cast<size_t>(index)];
  mAllSelected = true;
}

void IPromptEditor::Apply(IGraphics* graphics)
{
  if (!IsOpen()) return;
  IControl* control = mControl;
  IParam* param = mParam;
  const std::string text = mText;
  const bool listChoice = mLayout.mKind == kPromptList && mSelected != -1;
  const int selected = mSelected;
  Close();
  if (listChoice)
    control->SetValueFromUser(param->ToNormalised(static_cast<double>(selected)));
  else if (graphics)
    graphics->ApplyPromptText(control, param, text.c_str());
}

IRECT IPromptEditor::ListRowRect(int i) const
{
  const IRECT& f = mLayout.mRect;
  const int top = f.B + i * kListRowHeight;
  return IRECT(f.L, top, f.R, top + kListRowHeight);
}

int IPromptEditor::ListRowAt(int x, int y) const
{
  if (!IsOpen() || mLayout.mKind != kPromptList) return -1;
  for (int i = 0; i < static_cast<int>(mLayout.mItems.size()); ++i)
  {
    const IRECT r = ListRowRect(i);
    if (x >= r.L && x < r.R && y >= r.T && y < r.B) return i;
  }
  return -1;
}

bool IPromptEditor::Contains(int x, int y) const
{
  if (!IsOpen()) return false;
  const IRECT& f = mLayout.mRect;
  if (x >= f.L && x < f.R && y >= f.T && y < f.B) return true;
  return ListRowAt(x, y) >= 0;
}
