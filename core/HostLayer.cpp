#include "core/HostLayer.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/IParam.h"
#include "core/IPlugBase.h"
#include "core/StateChunk.h"
#include "graphics/IGraphics.h"

double RoundToStep(const IParam& param, double value)
{
  if (param.mType == IParam::kTypeDouble || !(param.mStep > 0.0)) return value;
  return param.mStep * std::floor(value / param.mStep + 0.5);
}

bool SetParamFromHost(IPlugBase& plug, int index, double value, HostUnits units, HostSteps steps)
{
  IParam* param = plug.GetParam(index);
  if (!param || std::isnan(value)) return false;
  if (units == HostUnits::kNormalised)
    value = param->FromNormalised(value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value));
  if (steps == HostSteps::kRound) value = RoundToStep(*param, value);
  value = param->Clamped(value);
  if (value == param->Value()) return true;
  if (IGraphics* gui = plug.GetGUI()) gui->SetParameterFromPlugin(index, value, false);
  param->mValue = value;
  plug.ParamChanged(index);
  return true;
}

bool ParamValueFromText(const IParam& param, const char* text, double* value)
{
  if (!text || !value) return false;
  int32_t listed = 0;
  if (param.ValueTextCount() > 0 && param.ValueForText(text, &listed))
  {
    *value = param.Clamped(listed);
    return true;
  }
  char* end = nullptr;
  double number = strtod(text, &end);
  if (end == text || std::isnan(number)) return false;
  if (param.mNegateDisplay) number = -number;
  *value = param.Clamped(number);
  return true;
}

bool IsCompleteParamState(const void* bytes, size_t size, int nParams)
{
  if (!bytes || nParams <= 0 || size != sizeof(double) * static_cast<size_t>(nParams)) return false;
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  for (int i = 0; i < nParams; ++i)
  {
    double v;
    std::memcpy(&v, p + sizeof(double) * static_cast<size_t>(i), sizeof(v));
    if (!std::isfinite(v)) return false;
  }
  return true;
}

bool ChunkFromBytes(const void* bytes, size_t size, StateChunk* chunk)
{
  if (!chunk) return false;
  chunk->Clear();
  if (size > static_cast<size_t>(INT_MAX) || (size > 0 && !bytes)) return false;
  const int n = static_cast<int>(size);
  chunk->SetLength(n);
  if (chunk->Size() != n)
  {
    chunk->Clear();
    return false;
  }
  if (n > 0) std::memcpy(chunk->GetBytes(), bytes, size);
  return true;
}

bool RestoreParamState(IPlugBase& plug, const void* bytes, size_t size)
{
  if (!IsCompleteParamState(bytes, size, plug.NParams())) return false;
  StateChunk chunk;
  if (!ChunkFromBytes(bytes, size, &chunk)) return false;
  WDL_MutexLock lock(plug.GetMutex());
  if (plug.LoadState(&chunk, 0) < 0) return false;
  plug.PushParamsToEditor();
  return true;
}

void CloseViewAndDelete(IPlugBase* plug)
{
  if (!plug) return;
  if (IGraphics* gui = plug->GetGUI()) gui->CloseView();
  delete plug;
}
