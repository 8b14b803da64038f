// effects/font.h - the outline font: text printed as flat, textured 3D glyphs.
//
// Owns: 256 consecutive display lists, one per character code (Windows-1252), holding
// each glyph's filled outline in em units at z = 0 (code 255 stays empty); the glyph
// metrics; the one-entry texture table of the picture laid over the glyphs.
// Reads: a bold sans-serif system font (platform/glyph_outline.h), "text/font.jpg"
// (assets/jpeg_texture.h), the blend helpers of timeline/frame_services.h.
// Called by: loading (BuildFont, with the context current, after the archive is
// unpacked), the end scene (PrintText), shut-down (DeleteFont, before the context goes).
#pragma once

#include <cstdint>

struct PointFloat {
  float x, y;
};

// One glyph's measures in em units (the em height is 1): black-box size, the black box's
// upper-left corner relative to the glyph origin, and the cell advance. Printing uses only
// gmfCellIncX.
struct GlyphMetricsFloat {
  float gmfBlackBoxX;
  float gmfBlackBoxY;
  PointFloat gmfptGlyphOrigin;
  float gmfCellIncX;
  float gmfCellIncY;
};

extern uint32_t FontListBase;  // first of the 256 lists; 0 until BuildFont ran
extern GlyphMetricsFloat GlyphMetrics[256];
extern uint32_t FontTexture[1];

// Builds the lists and metrics from the font "Arial Black" (bold; the closest installed
// match), sets object-linear texture-coordinate generation for S and T (s follows x, t
// follows y, one repeat per em; generation itself is enabled only while printing) and
// loads "text/font.jpg" into FontTexture.
void BuildFont();

// Formats a line printf-style (at most 255 characters; longer text is cut) and draws it
// centred about -x, its base line at height -2.2 - y, at eye depth -13 - z, in grey
// `brightness`, added onto the frame. Leaves depth test on, blending and texture-coordinate
// generation off. A null format draws nothing and changes no state.
void PrintText(float x, float y, float z, float brightness, const char* format, ...)
    __attribute__((format(printf, 5, 6)));

// Deletes the 256 lists (nothing when the font was never built).
void DeleteFont();
