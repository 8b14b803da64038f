// tools/bake/text.h - lettering set with FreeType from the free DejaVu fonts.
//
// Owns: the font faces the generators use (loaded once by LoadFonts, freed by FreeFonts)
// and text layout into coverage masks: kerning, letter spacing, separate horizontal and
// vertical sizes (for pictures stretched on screen to another aspect).
// Reads: TrueType files of Debian's fonts-dejavu-core, from their usual place or, failing
// that, from a search under /usr/share/fonts and /usr/local/share/fonts.
// Called by: the generators and the contact sheet; LoadFonts first, from the baker's main.
#pragma once

#include <string>

#include "tools/bake/draw.h"

enum class FontStyle { Sans, SansBold, SansCondensedBold, Serif, SerifBold, SerifItalic, Mono, SansLight, Count };

// Loads every style; false (with the reason) when a face cannot be found or opened.
bool LoadFonts(std::string* error);
void FreeFonts();

struct TextStyle {
  FontStyle font = FontStyle::Sans;
  float size = 32;          // em height in pixels
  float stretchY = 1;       // vertical size = size * stretchY
  float tracking = 0;       // extra space between letters, in ems
};

// Width of the text in pixels.
float MeasureText(const TextStyle& style, const std::string& text);
// Draws the text with its base line at y; `x` is its left end, or its centre if `centred`.
// Returns the width. Coverage combines by maximum.
float DrawText(Mask& m, const TextStyle& style, const std::string& text, float x, float y, bool centred = false);
// Ascender height of capitals (the height of "H") in pixels, for vertical placement.
float CapHeight(const TextStyle& style);
