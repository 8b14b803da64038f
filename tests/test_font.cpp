// The outline font on the headless backend: glyph lists against FreeType's own reading
// of the same font, and printed lines by where their pixels land. The font's texture is
// plain white here, so a lit pixel is a covered one.
#include <cmath>
#include <string>
#include <vector>

#include "effects/font.h"
#include "platform/glyph_outline.h"
#include "tests/support/test_support.h"

namespace {

const GlyphFontRequest ShowFont{"Arial Black", true};
// One eye-space unit at depth 13 in pixels: 384 / (13 tan 22.5 degrees).
const double PixelsPerUnit = 384.0 / (13.0 * std::tan(22.5 * M_PI / 180.0));

class Font : public HeadlessGL {
 protected:
  static void SetUpTestSuite() {
    HeadlessGL::SetUpTestSuite();
    BuildFont();
    FontTexture[0] = MakeTexture(8, 8, [](int, int) { return Rgb{255, 255, 255}; });
  }

  struct Lit {
    int count = 0;
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
  };
  Lit LitPixels() {
    std::vector<uint8_t> frame = Frame();
    Lit lit;
    for (int y = 0; y < height; y++)
      for (int x = 0; x < width; x++)
        if (frame[((size_t)y * width + x) * 4] > 127) {
          lit.count++;
          lit.left = std::min(lit.left, x);
          lit.right = std::max(lit.right, x);
          lit.top = std::min(lit.top, y);
          lit.bottom = std::max(lit.bottom, y);
        }
    return lit;
  }
  bool IsLit(const std::vector<uint8_t>& frame, int x, int y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return false;
    return frame[((size_t)y * width + x) * 4] > 127;
  }
};

TEST_F(Font, MetricsAgreeWithTheFont) {
  ASSERT_NE(FontListBase, 0u);
  float reference[256];
  ASSERT_TRUE(ReadGlyphAdvances(ShowFont, reference));
  for (int code = 0; code < 255; code++)
    EXPECT_NEAR(GlyphMetrics[code].gmfCellIncX, reference[code], 1e-6) << code;
  EXPECT_EQ(GlyphMetrics[255].gmfCellIncX, 0.0f) << "code 255 has no record";
  EXPECT_GT(GlyphMetrics[(int)' '].gmfCellIncX, 0.2f);
  // A bold sans in the em unit: capitals about three quarters of an em tall, standing on
  // the base line and inside their own advance.
  const GlyphMetricsFloat& h = GlyphMetrics[(int)'H'];
  EXPECT_GT(h.gmfBlackBoxY, 0.6f);
  EXPECT_LT(h.gmfBlackBoxY, 0.85f);
  EXPECT_NEAR(h.gmfptGlyphOrigin.y, h.gmfBlackBoxY, 1e-6);
  EXPECT_GT(h.gmfptGlyphOrigin.x, 0.0f);
  EXPECT_LT(h.gmfptGlyphOrigin.x + h.gmfBlackBoxX, h.gmfCellIncX);
  EXPECT_EQ(h.gmfCellIncY, 0.0f);
  // Codes are Windows-1252: 0x80 is the euro sign, 0x92 a right quote, not C1 controls.
  EXPECT_EQ(Cp1252ToUnicode(0x80), 0x20ACu);
  EXPECT_EQ(Cp1252ToUnicode(0x92), 0x2019u);
  EXPECT_EQ(Cp1252ToUnicode(0xE9), 0xE9u);
  EXPECT_GT(GlyphMetrics[0x80].gmfBlackBoxX, 0.3f);
}

// Draws one code's list at `ppem` pixels per em with its origin at (ox, oy) pixels from the
// bottom left, and compares the covered pixels with FreeType's rendering of the glyph.
TEST_F(Font, TrianglesCoverTheOutline) {
  const int ppem = 400, ox = 300, oy = 200;
  for (uint8_t code : {(uint8_t)'O', (uint8_t)'&', (uint8_t)0x80}) {
    SCOPED_TRACE((int)code);
    GlyphCoverage ft;
    ASSERT_TRUE(RenderGlyphCoverage(ShowFont, code, ppem, &ft));
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(ox, oy, 0);
    glScalef(ppem, ppem, 1);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glColor3f(1, 1, 1);
    glCallList(FontListBase + code);
    std::vector<uint8_t> frame = Frame();

    double ftArea = 0;
    int ftInside = 0, mismatched = 0, glInsideBox = 0;
    for (int r = 0; r < ft.rows; r++)
      for (int c = 0; c < ft.width; c++) {
        int value = ft.coverage[(size_t)r * ft.width + c];
        ftArea += value / 255.0;
        bool inFt = value >= 128;
        // Bitmap row r spans heights top - r - 1 to top - r above the origin.
        int x = ox + ft.left + c, yFromBottom = oy + ft.top - r - 1;
        bool inGl = IsLit(frame, x, height - 1 - yFromBottom);
        ftInside += inFt;
        glInsideBox += inGl;
        mismatched += inFt != inGl;
      }
    int glLit = LitPixels().count;
    mismatched += glLit - glInsideBox;  // anything drawn outside the glyph's box is wrong
    ASSERT_GT(ftInside, 10000);
    EXPECT_LT(mismatched, ftInside * 0.005) << "pixels that disagree with FreeType";
    EXPECT_NEAR(glLit, ftArea, ftArea * 0.005) << "covered area";
  }
}

TEST_F(Font, LineIsCentredAndPlaced) {
  PrintText(0.0f, 0.0f, 0.0f, 1.0f, "HOH");
  std::vector<uint8_t> frame = Frame();
  Lit lit = LitPixels();
  ASSERT_GT(lit.count, 1000);
  // Mirror-symmetric about the vertical centre line within a pixel.
  EXPECT_NEAR((lit.left + lit.right) / 2.0, (width - 1) / 2.0, 1.0);
  int unmatched = 0;
  for (int y = lit.top; y <= lit.bottom; y++)
    for (int x = lit.left; x <= lit.right; x++) {
      if (!IsLit(frame, x, y)) continue;
      int m = width - 1 - x;
      if (!IsLit(frame, m - 1, y) && !IsLit(frame, m, y) && !IsLit(frame, m + 1, y)) unmatched++;
    }
  EXPECT_EQ(unmatched, 0);
  // The base line at height -2.2, depth 13: capitals stand on it, one em of font about a
  // tenth of the screen tall.
  double baseLine = 384.0 + 2.2 * PixelsPerUnit;
  EXPECT_NEAR(lit.bottom + 1, baseLine, 1.5);
  // The left stem of the first H spans exactly the cap height (the O overshoots it).
  int stemTop = -1, stemBottom = -1;
  for (int y = 0; y < height; y++)
    if (IsLit(frame, lit.left + 3, y)) {
      if (stemTop < 0) stemTop = y;
      stemBottom = y;
    }
  double capHeight = GlyphMetrics[(int)'H'].gmfBlackBoxY * PixelsPerUnit;
  EXPECT_NEAR(stemBottom + 1 - stemTop, capHeight, 1.5);
  EXPECT_NEAR(stemBottom + 1, baseLine, 1.0);
  double total = 2 * GlyphMetrics[(int)'H'].gmfCellIncX + GlyphMetrics[(int)'O'].gmfCellIncX;
  double ink = total - GlyphMetrics[(int)'H'].gmfptGlyphOrigin.x * 2;
  EXPECT_NEAR(lit.right + 1 - lit.left, ink * PixelsPerUnit, 2.0);

  // Larger x moves the line left, larger y down; as blending adds, clear in between.
  glClear(GL_COLOR_BUFFER_BIT);
  PrintText(1.0f, 0.5f, 0.0f, 1.0f, "HOH");
  Lit moved = LitPixels();
  EXPECT_NEAR((moved.left + moved.right) / 2.0, (width - 1) / 2.0 - PixelsPerUnit, 1.5);
  EXPECT_NEAR(moved.bottom + 1, baseLine + 0.5 * PixelsPerUnit, 1.5);
  // Larger z moves it away: the same line, smaller.
  glClear(GL_COLOR_BUFFER_BIT);
  PrintText(0.0f, 0.0f, 13.0f, 1.0f, "HOH");
  Lit far = LitPixels();
  EXPECT_NEAR(far.right + 1 - far.left, ink * PixelsPerUnit / 2.0, 2.0);
  // Brightness scales the texture's colour.
  glClear(GL_COLOR_BUFFER_BIT);
  PrintText(0.0f, 0.0f, 0.0f, 0.5f, "HOH");
  int cx = lit.left + 3, cy = (lit.top + lit.bottom) / 2;
  EXPECT_NEAR(Pixel(cx, cy).r, 128, 2);
}

TEST_F(Font, BlankTextDrawsNothingAndLeavesTheState) {
  const char* none = nullptr;
  glEnable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  PrintText(0.0f, 0.0f, 0.0f, 1.0f, none);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));

  for (const char* text : {"     ", "", "\xff"}) {
    SCOPED_TRACE(text);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_GEN_S);
    PrintText(0.0f, 0.0f, 0.0f, 1.0f, "%s", text);
    EXPECT_EQ(LitPixels().count, 0);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
  }
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(Font, Code255AdvancesByItsMetric) {
  PrintText(0.0f, 0.0f, 0.0f, 1.0f, "HH");
  Lit plain = LitPixels();
  GlyphMetrics[255].gmfCellIncX = 1.0f;
  glClear(GL_COLOR_BUFFER_BIT);
  PrintText(0.0f, 0.0f, 0.0f, 1.0f, "H\xffH");
  Lit spread = LitPixels();
  GlyphMetrics[255].gmfCellIncX = 0.0f;
  // The same two glyphs (stems may gain or lose a pixel column at another sub-pixel phase).
  EXPECT_NEAR(spread.count, plain.count, plain.count * 0.08);
  EXPECT_NEAR(spread.right - spread.left, plain.right - plain.left + PixelsPerUnit, 1.5);
  EXPECT_NEAR((spread.left + spread.right) / 2.0, (plain.left + plain.right) / 2.0, 1.0);
}

TEST_F(Font, LongTextIsCutAt255Characters) {
  float space = GlyphMetrics[(int)' '].gmfCellIncX, h = GlyphMetrics[(int)'H'].gmfCellIncX;
  // 254 spaces then an H: the H is the 255th character and still shows, centred by x.
  std::string fits = std::string(254, ' ') + "H";
  PrintText(127.0f * space, 0.0f, 0.0f, 1.0f, "%s", fits.c_str());
  Lit shown = LitPixels();
  EXPECT_GT(shown.count, 500);
  EXPECT_NEAR((shown.left + shown.right) / 2.0, (width - 1) / 2.0, 1.5);
  // 255 spaces then more: everything after the cut is gone. Uncut, the H's would land in
  // the middle of the screen.
  glClear(GL_COLOR_BUFFER_BIT);
  std::string tooLong = std::string(255, ' ') + std::string(400, 'H');
  PrintText(127.5f * space - 200.0f * h, 0.0f, 0.0f, 1.0f, "%s", tooLong.c_str());
  EXPECT_EQ(LitPixels().count, 0);
}

TEST_F(Font, DeleteFontFreesTheLists) {
  uint32_t base = FontListBase;
  ASSERT_TRUE(glIsList(base + 'H'));
  DeleteFont();
  EXPECT_FALSE(glIsList(base + 'H'));
  EXPECT_EQ(FontListBase, 0u);
  DeleteFont();  // a second call, or one before building, deletes nothing
  PrintText(0.0f, 0.0f, 0.0f, 1.0f, "HOH");
  EXPECT_EQ(LitPixels().count, 0);
  BuildFont();  // the other tests of this program share the font
  EXPECT_TRUE(glIsList(FontListBase + 'H'));
}

}  // namespace
