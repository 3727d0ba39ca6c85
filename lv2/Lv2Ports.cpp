#include "lv2/Lv2Ports.h"

void Lv2PortSymbol(const char* name, char* out, int outSize)
{
  if (!out || outSize < 1) return;
  int n = 0;
  bool pendingSeparator = false;
  for (const char* c = name ? name : ""; *c && n < outSize - 1; ++c)
  {
    char ch = *c;
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    const bool word = (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9');
    if (!word)
    {
      pendingSeparator = n > 0;
      continue;
    }
    if (pendingSeparator && n < outSize - 2) out[n++] = '_';
    pendingSeparator = false;
    out[n++] = ch;
  }
  out[n] = 0;
}
