// effects/font.cpp - building the outline font and printing with it.
//
// Every glyph is placed from the identity matrix at its own pen position, so the advance
// each list applies at its end never accumulates; centring uses the metrics' advances.
#include "effects/font.h"

#include <cstdarg>
#include <cstdio>

#include "app/gl.h"
#include "assets/jpeg_texture.h"
#include "platform/glyph_outline.h"
#include "platform/platform.h"
#include "timeline/frame_services.h"

uint32_t FontListBase = 0;
GlyphMetricsFloat GlyphMetrics[256];
uint32_t FontTexture[1] = {0};

namespace {
const char* const FontFamily = "Arial Black";
// Codes 0 to 254 get a glyph; code 255 keeps an empty list and a zero record.
const int BuiltCodes = 255;
const int TextCapacity = 256;  // bytes, terminator included
}  // namespace

void BuildFont() {
  FontListBase = glGenLists(256);
  GlyphOutlineMetrics built[256];
  GlyphFontRequest request{FontFamily, true};
  if (FontListBase == 0 || !BuildGlyphOutlineLists(request, FontListBase, 0, BuiltCodes, built))
    LogWarn("font", "no glyph outlines: text will not show");
  for (int code = 0; code < 256; code++) {
    const GlyphOutlineMetrics& m = built[code];
    GlyphMetrics[code] = GlyphMetricsFloat{m.blackBoxX, m.blackBoxY, {m.originX, m.originY},
                                           m.cellIncX, m.cellIncY};
  }
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
  LoadTexture(FontTexture, "text/font.jpg", 0);
}

void PrintText(float x, float y, float z, float brightness, const char* format, ...) {
  if (!format) return;
  // vsnprintf cuts a longer text at 255 characters instead of writing past the buffer.
  char text[TextCapacity];
  va_list args;
  va_start(args, format);
  int length = vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (length < 0) return;  // an encoding error leaves nothing sensible to print
  if (length >= TextCapacity) length = TextCapacity - 1;

  float total = 0.0f;
  for (int i = 0; i < length; i++) total += GlyphMetrics[(unsigned char)text[i]].gmfCellIncX;

  glDisable(GL_DEPTH_TEST);
  AdditiveBlend();
  float pen = 0.0f;
  for (int i = 0; i < length; i++) {
    unsigned char code = (unsigned char)text[i];
    // Before BuildFont the list names are not ours, so nothing is called.
    if (code != ' ' && FontListBase != 0) {
      glLoadIdentity();
      glBindTexture(GL_TEXTURE_2D, FontTexture[0]);
      glEnable(GL_TEXTURE_GEN_S);
      glEnable(GL_TEXTURE_GEN_T);
      glPushAttrib(GL_LIST_BIT);
      glListBase(FontListBase);
      glTranslatef(pen - total / 2.0f - x, -2.0f - y, -13.0f - z);
      glColor3f(brightness, brightness, brightness);
      glTranslatef(0.0f, -0.2f, 0.0f);
      glCallLists(1, GL_UNSIGNED_BYTE, &code);
      glPopAttrib();
    }
    pen += GlyphMetrics[code].gmfCellIncX;
  }
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  BlendOff();
  glEnable(GL_DEPTH_TEST);
}

void DeleteFont() {
  // Without a built font the range from 0 would name lists that belong to nobody here.
  if (FontListBase == 0) return;
  glDeleteLists(FontListBase, 256);
  FontListBase = 0;
}
