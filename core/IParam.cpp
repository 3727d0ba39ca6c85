#include "core/IParam.h"

#include <cmath>
#include <cstdio>
#include <cstring>

void CopyTextBounded(char* dst, const char* src, int size)
{
  if (!dst || size <= 0) return;
  if (!src) src = "";
  int n = 0;
  while (n < size - 1 && src[n]) ++n;
  memcpy(dst, src, static_cast<size_t>(n));
  dst[n] = 0;
}

static int PrecisionForStep(double step)
{
  int count = 0;
  double s = step;
  while (count < 6 && s != std::floor(s))
  {
    ++count;
    s *= 10.0;
  }
  return count;
}

void IParam::SetupContinuous(const char* name, double defaultValue, double minValue,
                             double maxValue, double step, const char* label)
{
  if (mType == kTypeNone) mType = kTypeDouble;
  CopyTextBounded(mName, name, kTextLength);
  CopyTextBounded(mLabel, label, kTextLength);
  mValue = defaultValue;
  mMin = minValue;
  mMax = maxValue > minValue + step ? maxValue : minValue + step;
  mStep = step;
  mDisplayPrecision = PrecisionForStep(step);
}

void IParam::SetupInteger(const char* name, int32_t defaultValue, int32_t minValue,
                          int32_t maxValue, const char* label)
{
  if (mType == kTypeNone) mType = kTypeInt;
  SetupContinuous(name, defaultValue, minValue, maxValue, 1.0, label);
}

void IParam::SetupSwitch(const char* name, bool defaultValue)
{
  if (mType == kTypeNone) mType = kTypeBool;
  SetupInteger(name, defaultValue ? 1 : 0, 0, 1, "");
  AddValueText(0, "off");
  AddValueText(1, "on");
}

void IParam::SetMappingShape(double shape)
{
  if (shape != 0.0) mShape = shape;
}

void IParam::AddValueText(int32_t value, const char* text)
{
  DisplayText entry;
  entry.mValue = value;
  CopyTextBounded(entry.mText, text, kTextLength);
  mDisplayTexts.Add(&entry);
}

const char* IParam::TextForValue(int32_t value) const
{
  const DisplayText* texts = mDisplayTexts.Get();
  for (int i = 0; i < mDisplayTexts.GetSize(); ++i)
    if (texts[i].mValue == value) return texts[i].mText;
  return "";
}

bool IParam::ValueForText(const char* text, int32_t* value) const
{
  if (!text) return false;
  const DisplayText* texts = mDisplayTexts.Get();
  for (int i = 0; i < mDisplayTexts.GetSize(); ++i)
    if (!strcmp(texts[i].mText, text))
    {
      if (value) *value = texts[i].mValue;
      return true;
    }
  return false;
}

double IParam::ToNormalised(double v) const
{
  v = Clamped(v);
  return std::pow((v - mMin) * (1.0 / (mMax - mMin)), 1.0 / mShape);
}

double IParam::FromNormalised(double normalised) const
{
  return std::pow(normalised, mShape) * (mMax - mMin) + mMin;
}

void IParam::SetFromNormalised(double normalised)
{
  double v = FromNormalised(normalised);
  if (mType != kTypeDouble) v = mStep * std::floor(v / mStep + 0.5);
  mValue = v < mMax ? v : mMax;
}

// Truncation toward zero to int32 that stays defined for NaN and out-of-range values.
static int32_t TruncateToInt32(double v)
{
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int32_t>(v);
}

void IParam::FormatValue(double value, bool isNormalised, char* out, int outSize) const
{
  if (!out || outSize <= 0) return;
  if (isNormalised) value = FromNormalised(value);
  const char* text = TextForValue(TruncateToInt32(value));
  if (*text)
  {
    CopyTextBounded(out, text, outSize);
    return;
  }
  if (mNegateDisplay) value = -value;
  if (value == 0.0)
    CopyTextBounded(out, "0", outSize);
  else if (mDisplayPrecision > 0)
    snprintf(out, static_cast<size_t>(outSize), "%.*f", mDisplayPrecision, value);
  else
    snprintf(out, static_cast<size_t>(outSize), "%d", TruncateToInt32(value));
}

void IParam::GetRange(double* minValue, double* maxValue) const
{
  if (minValue) *minValue = mMin;
  if (maxValue) *maxValue = mMax;
}
