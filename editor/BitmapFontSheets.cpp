// Fonts from decoded pictures; kept apart so that the picture tools need no framework code.
#include "editor/BitmapFont.h"

#include "graphics/LICE_Bitmap.h"

BitmapFont* BuildBitmapFontFromSheets(LICE_IBitmap* glyphSheet, LICE_IBitmap* limitsSheet,
                                      int32_t spacing)
{
  if (!glyphSheet || !limitsSheet) return nullptr;
  if (glyphSheet->Width() != limitsSheet->Width() || glyphSheet->Height() != limitsSheet->Height())
    return nullptr;
  if (glyphSheet->IsBottomUp() || limitsSheet->IsBottomUp()) return nullptr;
  return BuildBitmapFont(glyphSheet->Width(), glyphSheet->Height(), glyphSheet->PixelData(),
                         glyphSheet->RowSpan(), limitsSheet->PixelData(), limitsSheet->RowSpan(),
                         spacing);
}
