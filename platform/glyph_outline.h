// platform/glyph_outline.h - filled glyph outlines of a system font, as GL display lists.
//
// Owns: finding a font file by family name and weight (fontconfig), reading its glyph
// outlines (FreeType, unscaled, so in the font's own design units divided by its em),
// flattening their curves and filling them (GLU tessellator, non-zero winding as TrueType
// outlines fill) into flat triangles at z = 0, one display list per character code.
// Character codes are Windows-1252; they are mapped to Unicode before the font is asked.
//
// Reads: the system's font configuration and font files. Writes: GL display lists.
// Called by: the outline font (effects/font.h) while loading, with the context current;
// tests use the reference functions at the bottom to check what the lists draw.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Per code: black-box size, the black box's upper-left corner relative to the glyph
// origin, and the cell advance. All in em units (the em height is 1).
struct GlyphOutlineMetrics {
  float blackBoxX = 0, blackBoxY = 0;
  float originX = 0, originY = 0;
  float cellIncX = 0, cellIncY = 0;
};

struct GlyphFontRequest {
  const char* family;  // e.g. "Arial Black"; fontconfig picks its closest installed match
  bool bold;
};

// The Unicode code point of a Windows-1252 character code; 0 for the five codes that
// code page leaves undefined.
uint32_t Cp1252ToUnicode(uint8_t code);

// The file (and face index) fontconfig resolves the request to. Empty when none.
std::string FindGlyphFontFile(const GlyphFontRequest& request, int* faceIndex);

// Compiles `count` display lists listBase + first ... listBase + first + count - 1, one per
// code, each drawing the glyph's filled outline in em units at z = 0 (GL_TRIANGLES, positions
// only) and then translating by its advance, and fills metrics[first ...]. A code the font
// has no glyph for gets an empty list and zero metrics. Returns false (lists left empty,
// metrics zero, reason logged) when no font file can be found or read.
bool BuildGlyphOutlineLists(const GlyphFontRequest& request, uint32_t listBase, int first,
                            int count, GlyphOutlineMetrics* metrics);

// Reference values straight from the font, for checks. Advances of codes 0..255 in em
// units, read from the font's horizontal metrics table (0 where no glyph).
bool ReadGlyphAdvances(const GlyphFontRequest& request, float advances[256]);

// FreeType's own anti-aliased rendering of one code at `pixelsPerEm`, unhinted.
// `left` and `top` place the bitmap's upper-left corner relative to the glyph origin
// (pixels, y up); coverage holds width * rows values 0..255, rows from the top.
struct GlyphCoverage {
  int width = 0, rows = 0;
  int left = 0, top = 0;
  std::vector<uint8_t> coverage;
};
bool RenderGlyphCoverage(const GlyphFontRequest& request, uint8_t code, int pixelsPerEm,
                         GlyphCoverage* out);
