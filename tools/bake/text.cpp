// tools/bake/text.cpp - FreeType glyph rendering into masks.
#include "tools/bake/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

namespace {
// FreeType faces keep their current size: pictures drawn on several threads take turns.
std::mutex FaceLock;
FT_Library Library = nullptr;
FT_Face Faces[(int)FontStyle::Count] = {};

const char* const FileNames[(int)FontStyle::Count] = {
    "DejaVuSans.ttf",       "DejaVuSans-Bold.ttf",  "DejaVuSansCondensed-Bold.ttf", "DejaVuSerif.ttf",
    "DejaVuSerif-Bold.ttf", "DejaVuSerif-Italic.ttf", "DejaVuSansMono.ttf",          "DejaVuSans-ExtraLight.ttf"};

std::string FindFontFile(const std::string& name) {
  std::error_code ec;
  std::string usual = "/usr/share/fonts/truetype/dejavu/" + name;
  if (std::filesystem::is_regular_file(usual, ec)) return usual;
  for (const char* root : {"/usr/share/fonts", "/usr/local/share/fonts"}) {
    std::filesystem::recursive_directory_iterator it(root, ec), end;
    for (; !ec && it != end; it.increment(ec))
      if (it->path().filename() == name) return it->path().string();
  }
  return {};
}

FT_Face Face(const TextStyle& s) { return Faces[(int)s.font]; }

void SetSize(const TextStyle& s) {
  // 26.6 fixed point at 72 dpi, so points are pixels; width and height apart for stretching.
  FT_Set_Char_Size(Face(s), (FT_F26Dot6)std::lround(s.size * 64),
                   (FT_F26Dot6)std::lround(s.size * s.stretchY * 64), 72, 72);
}

// Walks the text's glyphs, calling `each(glyphSlot, penX)` with the pen in 26.6 units.
template <typename F>
float Layout(const TextStyle& s, const std::string& text, F each) {
  FT_Face face = Face(s);
  if (!face) return 0;
  SetSize(s);
  long pen = 0;
  FT_UInt previous = 0;
  long tracking = std::lround(s.tracking * s.size * 64);
  for (size_t i = 0; i < text.size(); i++) {
    // The texts are ASCII and Latin-1 written as UTF-8; decode two-byte sequences.
    unsigned code = (unsigned char)text[i];
    if ((code & 0xE0) == 0xC0 && i + 1 < text.size()) {
      code = ((code & 0x1F) << 6) | ((unsigned char)text[i + 1] & 0x3F);
      i++;
    }
    FT_UInt index = FT_Get_Char_Index(face, code);
    if (previous && index && FT_HAS_KERNING(face)) {
      FT_Vector k;
      if (FT_Get_Kerning(face, previous, index, FT_KERNING_UNFITTED, &k) == 0) pen += k.x;
    }
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING) != 0) continue;
    each(face->glyph, pen);
    pen += face->glyph->advance.x + tracking;
    previous = index;
  }
  return (pen - (text.empty() ? 0 : tracking)) / 64.0f;
}
}  // namespace

bool LoadFonts(std::string* error) {
  if (Library) return true;
  if (FT_Init_FreeType(&Library) != 0) {
    if (error) *error = "cannot start FreeType";
    return false;
  }
  for (int i = 0; i < (int)FontStyle::Count; i++) {
    std::string path = FindFontFile(FileNames[i]);
    if (path.empty() || FT_New_Face(Library, path.c_str(), 0, &Faces[i]) != 0) {
      if (error) *error = std::string("cannot open the font ") + FileNames[i] + " (package fonts-dejavu-core)";
      FreeFonts();
      return false;
    }
  }
  return true;
}

void FreeFonts() {
  for (FT_Face& f : Faces) {
    if (f) FT_Done_Face(f);
    f = nullptr;
  }
  if (Library) FT_Done_FreeType(Library);
  Library = nullptr;
}

float MeasureText(const TextStyle& s, const std::string& text) {
  std::lock_guard<std::mutex> hold(FaceLock);
  return Layout(s, text, [](FT_GlyphSlot, long) {});
}

float CapHeight(const TextStyle& s) {
  std::lock_guard<std::mutex> hold(FaceLock);
  FT_Face face = Face(s);
  if (!face) return s.size * 0.7f;
  SetSize(s);
  if (FT_Load_Char(face, 'H', FT_LOAD_NO_HINTING) != 0) return s.size * 0.7f;
  return face->glyph->metrics.horiBearingY / 64.0f;
}

float DrawText(Mask& m, const TextStyle& s, const std::string& text, float x, float y, bool centred) {
  if (centred) x -= MeasureText(s, text) / 2;
  std::lock_guard<std::mutex> hold(FaceLock);
  // Glyphs are rendered at a sub-pixel offset so that spacing stays exact at any size.
  return Layout(s, text, [&](FT_GlyphSlot slot, long pen) {
    float gx = x + pen / 64.0f;
    float fx = gx - std::floor(gx), fy = y - std::floor(y);
    FT_Outline_Translate(&slot->outline, (FT_Pos)std::lround(fx * 64), (FT_Pos)std::lround(-fy * 64));
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
    const FT_Bitmap& b = slot->bitmap;
    int left = (int)std::floor(gx) + slot->bitmap_left, top = (int)std::floor(y) - slot->bitmap_top;
    for (unsigned r = 0; r < b.rows; r++)
      for (unsigned c = 0; c < b.width; c++) {
        int px = left + (int)c, py = top + (int)r;
        if (px < 0 || py < 0 || px >= m.width || py >= m.height) continue;
        float v = b.buffer[r * b.pitch + c] / 255.0f;
        if (v > m.At(px, py)) m.At(px, py) = v;
      }
  });
}
