// platform/glyph_outline.cpp - glyph outlines from FreeType, filled by the GLU tessellator.
//
// Glyphs are loaded unscaled and unhinted, so the outline is the designer's own, in
// design units; dividing by units_per_em gives the em unit the lists are built in. Curves
// are cut into straight pieces by a bound on the chord error (below), fine enough that no
// flattening shows at any size text is drawn at.
#include "platform/glyph_outline.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_ADVANCES_H
#include <GL/gl.h>
#include <GL/glu.h>

#include <array>
#include <cmath>
#include <cstring>
#include <deque>

#include "platform/platform.h"

namespace {

// Largest distance, in em, between a curve and the straight pieces that replace it. At the
// largest text the show draws an em is well under 200 pixels, so this is below 0.05 pixel.
const double FlattenTolerance = 1.0 / 4096.0;
const int MaxPiecesPerCurve = 256;

// Code points of 0x80..0x9F, the only range where Windows-1252 differs from Latin-1.
const uint16_t Cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// One open face; closes itself.
struct FontFace {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~FontFace() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
  bool Open(const GlyphFontRequest& request) {
    int index = 0;
    std::string path = FindGlyphFontFile(request, &index);
    if (path.empty()) {
      LogWarn("font", "no font file matches \"%s\"", request.family ? request.family : "");
      return false;
    }
    if (FT_Init_FreeType(&library) != 0) {
      library = nullptr;
      LogWarn("font", "FreeType cannot start");
      return false;
    }
    if (FT_New_Face(library, path.c_str(), index, &face) != 0) {
      face = nullptr;
      LogWarn("font", "%s: not a font FreeType can read", path.c_str());
      return false;
    }
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
      LogWarn("font", "%s: has no outlines", path.c_str());
      return false;
    }
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
      LogWarn("font", "%s: has no Unicode character map", path.c_str());
      return false;
    }
    LogInfo("font", "\"%s\" resolved to %s", request.family, path.c_str());
    return true;
  }
  FT_UInt GlyphIndex(uint8_t code) const {
    uint32_t unicode = Cp1252ToUnicode(code);
    if (unicode == 0 && code != 0) return 0;
    return FT_Get_Char_Index(face, unicode);
  }
};

// Contours of one glyph as flat point lists (x, y, z triples in em), filled by
// FT_Outline_Decompose through the callbacks below.
struct ContourSink {
  double scale = 1.0;  // em per design unit
  std::vector<std::vector<double>> contours;
  double lastX = 0, lastY = 0;

  void Point(double x, double y) {
    std::vector<double>& c = contours.back();
    c.push_back(x);
    c.push_back(y);
    c.push_back(0.0);
    lastX = x;
    lastY = y;
  }
};

int Pieces(double deviation, double factor) {
  // A curve with second derivative bounded by |B''| cut into n equal parameter steps is off
  // its chords by at most |B''| / (8 n^2); `deviation` * `factor` is that |B''| / 8.
  double n = std::ceil(std::sqrt(deviation * factor / FlattenTolerance));
  if (!(n >= 1.0)) return 1;
  return n > MaxPiecesPerCurve ? MaxPiecesPerCurve : (int)n;
}

int MoveTo(const FT_Vector* to, void* user) {
  ContourSink* sink = static_cast<ContourSink*>(user);
  sink->contours.emplace_back();
  sink->Point(to->x * sink->scale, to->y * sink->scale);
  return 0;
}

int LineTo(const FT_Vector* to, void* user) {
  ContourSink* sink = static_cast<ContourSink*>(user);
  if (sink->contours.empty()) return 1;
  sink->Point(to->x * sink->scale, to->y * sink->scale);
  return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  ContourSink* sink = static_cast<ContourSink*>(user);
  if (sink->contours.empty()) return 1;
  double x0 = sink->lastX, y0 = sink->lastY;
  double x1 = control->x * sink->scale, y1 = control->y * sink->scale;
  double x2 = to->x * sink->scale, y2 = to->y * sink->scale;
  // B'' = 2 (P0 - 2 P1 + P2), so the bound is |P0 - 2 P1 + P2| / 4.
  double d = std::hypot(x0 - 2 * x1 + x2, y0 - 2 * y1 + y2);
  int n = Pieces(d, 0.25);
  for (int i = 1; i <= n; i++) {
    double t = (double)i / n, u = 1.0 - t;
    sink->Point(u * u * x0 + 2 * u * t * x1 + t * t * x2, u * u * y0 + 2 * u * t * y1 + t * t * y2);
  }
  return 0;
}

int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  ContourSink* sink = static_cast<ContourSink*>(user);
  if (sink->contours.empty()) return 1;
  double x0 = sink->lastX, y0 = sink->lastY;
  double x1 = c1->x * sink->scale, y1 = c1->y * sink->scale;
  double x2 = c2->x * sink->scale, y2 = c2->y * sink->scale;
  double x3 = to->x * sink->scale, y3 = to->y * sink->scale;
  // |B''| <= 6 max(|P0 - 2 P1 + P2|, |P1 - 2 P2 + P3|), so the bound is 3/4 of that maximum.
  double d = std::fmax(std::hypot(x0 - 2 * x1 + x2, y0 - 2 * y1 + y2),
                       std::hypot(x1 - 2 * x2 + x3, y1 - 2 * y2 + y3));
  int n = Pieces(d, 0.75);
  for (int i = 1; i <= n; i++) {
    double t = (double)i / n, u = 1.0 - t;
    double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, e = t * t * t;
    sink->Point(a * x0 + b * x1 + c * x2 + e * x3, a * y0 + b * y1 + c * y2 + e * y3);
  }
  return 0;
}

// What the tessellator needs while one glyph is filled: vertices it makes where edges
// cross must stay at fixed addresses until the polygon ends.
struct TessState {
  std::deque<std::array<double, 3>> made;
  bool failed = false;
};

void GLAPIENTRY TessBegin(GLenum type, void*) { glBegin(type); }
void GLAPIENTRY TessVertex(void* vertex, void*) { glVertex3dv(static_cast<const GLdouble*>(vertex)); }
void GLAPIENTRY TessEnd(void*) { glEnd(); }
// Registering an edge-flag callback makes the tessellator emit separate triangles only
// (no fans or strips); the flags themselves are not needed for filled glyphs.
void GLAPIENTRY TessEdgeFlag(GLboolean, void*) {}
void GLAPIENTRY TessCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* data) {
  TessState* state = static_cast<TessState*>(data);
  state->made.push_back({coords[0], coords[1], coords[2]});
  *out = state->made.back().data();
}
void GLAPIENTRY TessError(GLenum, void* data) { static_cast<TessState*>(data)->failed = true; }

template <typename F>
_GLUfuncptr Callback(F* f) {
  return reinterpret_cast<_GLUfuncptr>(f);
}

// Reads one glyph's outline into flat contours (em units); false when it has none.
bool ReadContours(const FontFace& font, FT_UInt glyph, ContourSink* sink) {
  if (FT_Load_Glyph(font.face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
    return false;
  FT_GlyphSlot slot = font.face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
  FT_Outline_Funcs funcs;
  std::memset(&funcs, 0, sizeof funcs);
  funcs.move_to = MoveTo;
  funcs.line_to = LineTo;
  funcs.conic_to = ConicTo;
  funcs.cubic_to = CubicTo;
  sink->scale = 1.0 / font.face->units_per_EM;
  if (FT_Outline_Decompose(&slot->outline, &funcs, sink) != 0) {
    sink->contours.clear();
    return false;
  }
  // The decomposer closes each contour by returning to its first point; the tessellator
  // closes contours itself, so the repeated point goes.
  for (std::vector<double>& c : sink->contours) {
    size_t n = c.size();
    if (n >= 6 && c[0] == c[n - 3] && c[1] == c[n - 2]) c.resize(n - 3);
  }
  return true;
}

void FillContours(GLUtesselator* tess, const ContourSink& sink) {
  TessState state;
  gluTessBeginPolygon(tess, &state);
  for (const std::vector<double>& c : sink.contours) {
    if (c.size() < 9) continue;  // fewer than three points enclose nothing
    gluTessBeginContour(tess);
    for (size_t i = 0; i + 2 < c.size(); i += 3)
      gluTessVertex(tess, const_cast<GLdouble*>(&c[i]), const_cast<GLdouble*>(&c[i]));
    gluTessEndContour(tess);
  }
  gluTessEndPolygon(tess);
  if (state.failed) LogWarn("font", "the tessellator rejected a glyph outline");
}

}  // namespace

uint32_t Cp1252ToUnicode(uint8_t code) {
  if (code >= 0x80 && code <= 0x9F) return Cp1252High[code - 0x80];
  return code;
}

std::string FindGlyphFontFile(const GlyphFontRequest& request, int* faceIndex) {
  if (faceIndex) *faceIndex = 0;
  if (!request.family) return std::string();
  // A configuration of our own, destroyed after the one lookup the show makes (a few
  // milliseconds with the font caches built). FcInit's process-wide configuration would
  // stay allocated to the end, and parts of it are out of a leak checker's sight.
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return std::string();
  std::string result;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) {
    FcConfigDestroy(config);
    return result;
  }
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.family));
  FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult status = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &status);
  if (match) {
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
      result = reinterpret_cast<const char*>(file);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch && faceIndex)
      *faceIndex = index;
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  return result;
}

bool BuildGlyphOutlineLists(const GlyphFontRequest& request, uint32_t listBase, int first,
                            int count, GlyphOutlineMetrics* metrics) {
  if (first < 0 || count <= 0 || first + count > 256 || !metrics) return false;
  for (int code = first; code < first + count; code++) metrics[code] = GlyphOutlineMetrics();
  FontFace font;
  if (!font.Open(request)) return false;
  GLUtesselator* tess = gluNewTess();
  if (!tess) {
    LogWarn("font", "no GLU tessellator");
    return false;
  }
  gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
  gluTessNormal(tess, 0.0, 0.0, 1.0);
  gluTessCallback(tess, GLU_TESS_BEGIN_DATA, Callback(TessBegin));
  gluTessCallback(tess, GLU_TESS_VERTEX_DATA, Callback(TessVertex));
  gluTessCallback(tess, GLU_TESS_END_DATA, Callback(TessEnd));
  gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, Callback(TessEdgeFlag));
  gluTessCallback(tess, GLU_TESS_COMBINE_DATA, Callback(TessCombine));
  gluTessCallback(tess, GLU_TESS_ERROR_DATA, Callback(TessError));

  double em = font.face->units_per_EM;
  for (int code = first; code < first + count; code++) {
    FT_UInt glyph = font.GlyphIndex((uint8_t)code);
    ContourSink sink;
    bool outlined = glyph != 0 && ReadContours(font, glyph, &sink);
    glNewList(listBase + code, GL_COMPILE);
    if (outlined) {
      const FT_Glyph_Metrics& m = font.face->glyph->metrics;
      GlyphOutlineMetrics& g = metrics[code];
      g.blackBoxX = (float)(m.width / em);
      g.blackBoxY = (float)(m.height / em);
      g.originX = (float)(m.horiBearingX / em);
      g.originY = (float)(m.horiBearingY / em);
      g.cellIncX = (float)(m.horiAdvance / em);
      g.cellIncY = 0.0f;
      FillContours(tess, sink);
      // Each list moves the pen on by its advance, as outline lists of this kind do, so
      // that a run of glyphs can also be drawn by calling the lists in a row.
      glTranslatef(g.cellIncX, 0.0f, 0.0f);
    }
    glEndList();
  }
  gluDeleteTess(tess);
  return true;
}

bool ReadGlyphAdvances(const GlyphFontRequest& request, float advances[256]) {
  for (int i = 0; i < 256; i++) advances[i] = 0.0f;
  FontFace font;
  if (!font.Open(request)) return false;
  for (int code = 0; code < 256; code++) {
    FT_UInt glyph = font.GlyphIndex((uint8_t)code);
    FT_Fixed advance = 0;
    if (glyph != 0 && FT_Get_Advance(font.face, glyph, FT_LOAD_NO_SCALE, &advance) == 0)
      advances[code] = (float)((double)advance / font.face->units_per_EM);
  }
  return true;
}

bool RenderGlyphCoverage(const GlyphFontRequest& request, uint8_t code, int pixelsPerEm,
                         GlyphCoverage* out) {
  if (!out || pixelsPerEm <= 0 || pixelsPerEm > 4096) return false;
  *out = GlyphCoverage();
  FontFace font;
  if (!font.Open(request)) return false;
  FT_UInt glyph = font.GlyphIndex(code);
  if (glyph == 0 || FT_Set_Pixel_Sizes(font.face, 0, (FT_UInt)pixelsPerEm) != 0) return false;
  if (FT_Load_Glyph(font.face, glyph, FT_LOAD_NO_HINTING | FT_LOAD_RENDER) != 0) return false;
  const FT_Bitmap& bitmap = font.face->glyph->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.pitch < 0) return false;
  out->width = (int)bitmap.width;
  out->rows = (int)bitmap.rows;
  out->left = font.face->glyph->bitmap_left;
  out->top = font.face->glyph->bitmap_top;
  out->coverage.resize((size_t)out->width * out->rows);
  for (int r = 0; r < out->rows; r++) {
    const unsigned char* row = bitmap.buffer + (ptrdiff_t)r * bitmap.pitch;
    std::memcpy(&out->coverage[(size_t)r * out->width], row, (size_t)out->width);
  }
  return true;
}
