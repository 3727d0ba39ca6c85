// One automatable parameter: a real value with range, step, unit label, a shape that bends the
// mapping to the normalised position 0..1, a display precision and optional texts for particular
// integer values.
//
// No lock of its own: the plug-in base's mutex serialises host and audio-thread changes. The value
// is a SharedDouble, so the editor reads it for drawing without the mutex and never sees a torn
// value.
#pragma once

#include <cstdint>

#include "core/SharedValue.h"
#include "core/WDL_HeapBuf.h"

class IParam
{
public:
  enum EParamType
  {
    kTypeNone = 0,
    kTypeBool = 1,
    kTypeInt = 2,
    kTypeEnum = 3,
    kTypeDouble = 4,
  };

  static constexpr int kTextLength = 32; // name, label and display texts, with the terminator

  struct DisplayText
  {
    int32_t mValue;
    char mText[kTextLength];
  };

  IParam() = default;

  // Set-up. Texts longer than 31 characters are cut to fit.
  void SetupContinuous(const char* name, double defaultValue, double minValue, double maxValue,
                       double step, const char* label = "");
  void SetupInteger(const char* name, int32_t defaultValue, int32_t minValue, int32_t maxValue,
                    const char* label = "");
  void SetupSwitch(const char* name, bool defaultValue);
  // Stores the shape unless it is exactly 0.0.
  void SetMappingShape(double shape);

  void AddValueText(int32_t value, const char* text);
  int32_t ValueTextCount() const { return mDisplayTexts.GetSize(); }
  // Text of the first entry with this value, or "" when there is none.
  const char* TextForValue(int32_t value) const;
  // First entry whose text matches exactly: writes its value and returns true; else false.
  bool ValueForText(const char* text, int32_t* value) const;

  double Value() const { return mValue; }
  void SetValue(double value) { mValue = value; }
  // The value clamped to the bounds (below min gives min, otherwise the smaller of it and max).
  double Clamped(double value) const { return value < mMin ? mMin : (value < mMax ? value : mMax); }

  double ToNormalised() const { return ToNormalised(mValue); }
  double ToNormalised(double realValue) const;
  // Real value of a normalised position (no rounding, no clamp).
  double FromNormalised(double normalised) const;
  void SetFromNormalised(double normalised);

  // Display text of a value, without the label. `out` holds at least outSize bytes (>= 1).
  void FormatValue(double value, bool isNormalised, char* out, int outSize = 128) const;

  const char* NameText() const { return mName; }
  const char* LabelText() const { return mLabel; }
  void GetRange(double* minValue, double* maxValue) const;

  int32_t mType = kTypeNone;
  SharedDouble mValue = 0.0;
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mShape = 1.0;
  int32_t mDisplayPrecision = 0;
  char mName[kTextLength] = {};
  char mLabel[kTextLength] = {};
  bool mNegateDisplay = false;
  WDL_TypedBuf<DisplayText> mDisplayTexts{256};
};

// Copies at most size - 1 bytes of src into dst and terminates it; a null src gives "". size must
// be > 0.
void CopyTextBounded(char* dst, const char* src, int size);
