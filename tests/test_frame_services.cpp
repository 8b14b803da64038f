// Frame services, checked by what they leave in the frame and in the GL state.
#include <cmath>

#include "assets/texture_table.h"
#include "tests/support/test_support.h"
#include "timeline/frame_services.h"

namespace {
class FrameServices : public HeadlessGL {
 protected:
  // Fills the frame with one colour through the same path the scenes use.
  void FillFrame(int r, int g, int b) {
    glClearColor(r / 255.0f, g / 255.0f, b / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
  }
  void ExpectNear(Rgb got, Rgb want, int tolerance, const char* what) {
    EXPECT_NEAR(got.r, want.r, tolerance) << what;
    EXPECT_NEAR(got.g, want.g, tolerance) << what;
    EXPECT_NEAR(got.b, want.b, tolerance) << what;
  }
  void ExpectEverywhere(Rgb want, int tolerance, const char* what) {
    for (int y : {0, height / 3, height / 2, height - 1})
      for (int x : {0, width / 4, width / 2, width - 1}) ExpectNear(Pixel(x, y), want, tolerance, what);
  }
  // The state an overlay leaves: depth test, texturing, blending and the blend function.
  void ExpectState(bool depth, bool texture, bool blend, GLenum src, GLenum dst) {
    EXPECT_EQ((bool)glIsEnabled(GL_DEPTH_TEST), depth);
    EXPECT_EQ((bool)glIsEnabled(GL_TEXTURE_2D), texture);
    EXPECT_EQ((bool)glIsEnabled(GL_BLEND), blend);
    GLint s = 0, d = 0;
    glGetIntegerv(GL_BLEND_SRC, &s);
    glGetIntegerv(GL_BLEND_DST, &d);
    EXPECT_EQ((GLenum)s, src);
    EXPECT_EQ((GLenum)d, dst);
  }
  void TearDown() override {
    for (uint32_t& name : TextureTable) {
      if (name) glDeleteTextures(1, &name);
      name = 0;
    }
  }
};

Rgb Gradient(int x, int y) { return Rgb{x * 4, y * 4, 128}; }
Rgb Flat(int, int) { return Rgb{200, 100, 50}; }

double MeanAbsoluteDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double sum = 0;
  // Colour only: the overlays write different alpha values.
  for (size_t i = 0; i < a.size() && i < b.size(); i++)
    if (i % 4 != 3) sum += std::abs(a[i] - b[i]);
  return sum / (double)(a.size() / 4 * 3);
}
}  // namespace

TEST_F(FrameServices, FadeToBlackScalesTheFrame) {
  struct Case {
    float amount;
    Rgb want;
  } cases[] = {{0.0f, {200, 100, 50}}, {0.5f, {100, 50, 25}}, {1.0f, {0, 0, 0}}, {1.5f, {0, 0, 0}}};
  for (const Case& c : cases) {
    FillFrame(200, 100, 50);
    FadeToBlack(c.amount);
    ExpectEverywhere(c.want, 2, "fade");
    ExpectState(true, true, false, GL_DST_COLOR, GL_ZERO);
  }
}

TEST_F(FrameServices, AddFlashAddsGrey) {
  FillFrame(100, 60, 20);
  AddFlash(0.0f);
  ExpectEverywhere({100, 60, 20}, 1, "flash 0");
  AddFlash(0.25f);
  ExpectEverywhere({164, 124, 84}, 2, "flash 0.25");
  ExpectState(true, true, false, GL_ONE, GL_ONE);
}

TEST_F(FrameServices, DrawPictureCoversTheScreenTinted) {
  TextureTable[3] = MakeTexture(64, 64, Gradient);
  FillFrame(0, 0, 0);
  DrawPicture(3, 1.0f);
  std::vector<Rgb> full;
  const int xs[] = {40, width / 2, width - 40}, ys[] = {40, height / 2, height - 40};
  for (int y : ys)
    for (int x : xs) full.push_back(Pixel(x, y));
  FillFrame(255, 0, 255);
  DrawPicture(3, 0.5f);
  // The picture's top row is the screen's top: t = 0 is the top of the picture.
  EXPECT_LT(full[1].g, 30);
  EXPECT_GT(full[7].g, 200);
  EXPECT_LT(full[3].r, 30);
  EXPECT_GT(full[5].r, 200);
  // Brightness 0.5 halves every channel of the picture, and the magenta is replaced.
  int i = 0;
  for (int y : ys)
    for (int x : xs) {
      Rgb want = {full[i].r / 2, full[i].g / 2, full[i].b / 2};
      ExpectNear(Pixel(x, y), want, 2, "half-bright picture");
      i++;
    }
  // No trace of the magenta frame: the quad reaches past every edge.
  for (int x : {0, width - 1})
    for (int y : {0, height - 1}) EXPECT_LT(Pixel(x, y).b, 70) << x << "," << y;
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));  // unchanged
  EXPECT_FALSE(glIsEnabled(GL_BLEND));      // unchanged
}

TEST_F(FrameServices, DrawPictureLeavesTexturingAndBlendingAsTheCallerHadThem) {
  TextureTable[3] = MakeTexture(8, 8, Flat);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  FillFrame(10, 10, 10);
  DrawPicture(3, 0.2f);
  // Untextured, added: 10 + 0.2 * 255.
  ExpectEverywhere({61, 61, 61}, 2, "untextured additive picture");
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
}

TEST_F(FrameServices, TileScatterAtPhaseOneIsThePicture) {
  TextureTable[4] = MakeTexture(64, 64, Gradient);
  FillFrame(0, 0, 0);
  glDisable(GL_BLEND);
  DrawPicture(4, 1.0f);
  std::vector<uint8_t> picture = Frame();
  FillFrame(90, 0, 0);  // must be replaced everywhere, not added to
  TileScatter(4, 0.0f, 20, 1.0f);
  std::vector<uint8_t> tiles = Frame();
  EXPECT_LT(MeanAbsoluteDifference(picture, tiles), 2.0);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLint src;
  glGetIntegerv(GL_BLEND_SRC, &src);
  EXPECT_EQ(src, GL_ONE);
  // The swapped paths meet in the same place at phase 1.
  FillFrame(90, 0, 0);
  TileScatterSwapped(4, 0.0f, 10, 1.0f);
  EXPECT_LT(MeanAbsoluteDifference(picture, Frame()), 2.0);
}

TEST_F(FrameServices, TileScatterAtHalfPhaseAddsHalfBrightTilesAwayFromTheirPlaces) {
  TextureTable[4] = MakeTexture(8, 8, Flat);
  FillFrame(40, 40, 40);
  TileScatter(4, 0.0f, 4, 0.5f);
  std::vector<uint8_t> frame = Frame();
  int background = 0, single = 0, other = 0;
  for (size_t i = 0; i < frame.size(); i += 4) {
    int r = frame[i], g = frame[i + 1], b = frame[i + 2];
    if (std::abs(r - 40) <= 2 && std::abs(g - 40) <= 2 && std::abs(b - 40) <= 2) background++;
    else if (std::abs(r - 140) <= 3 && std::abs(g - 90) <= 3 && std::abs(b - 65) <= 3) single++;
    else other++;  // overlapping tiles add up, and edges are blended
  }
  size_t pixels = frame.size() / 4;
  EXPECT_GT(background, (int)(pixels / 10));  // tiles 3 units off leave gaps
  EXPECT_GT(single, (int)(pixels / 10));
  GLint src, dst;
  glGetIntegerv(GL_BLEND_SRC, &src);
  glGetIntegerv(GL_BLEND_DST, &dst);
  EXPECT_EQ(src, GL_ONE);
  EXPECT_EQ(dst, GL_SRC_ALPHA);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  // Below half phase the tiles are added at brightness p.
  FillFrame(40, 40, 40);
  TileScatter(4, 0.0f, 1, 0.25f);
  glGetIntegerv(GL_BLEND_DST, &dst);
  EXPECT_EQ(dst, GL_ONE);
  (void)other;
}

TEST_F(FrameServices, FlipbookSpriteOutsideItsSpanDrawsNothingAndChangesNothing) {
  TextureTable[5] = MakeTexture(8, 8, Flat);
  DemoTimer timer(10.0f);
  for (float t : {0.5f, 3.01f}) {
    for (bool depth : {true, false}) {
      FillFrame(30, 30, 30);
      timer.elapsed = t;
      if (depth) glEnable(GL_DEPTH_TEST); else glDisable(GL_DEPTH_TEST);
      if (depth) glDisable(GL_BLEND); else glEnable(GL_BLEND);
      glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
      FlipbookSprite(5, 1, timer, 1.0f, 3.0f, 2.0f, 0.0f, 0.0f, -3.6f);
      EXPECT_EQ((bool)glIsEnabled(GL_DEPTH_TEST), depth);
      EXPECT_EQ((bool)glIsEnabled(GL_BLEND), !depth);
      GLfloat colour[4];
      glGetFloatv(GL_CURRENT_COLOR, colour);
      EXPECT_FLOAT_EQ(colour[0], 0.25f);
      EXPECT_FLOAT_EQ(colour[1], 0.5f);
      EXPECT_FLOAT_EQ(colour[2], 0.75f);
      ExpectNear(Pixel(width / 2, height / 2), {30, 30, 30}, 1, "no sprite");
    }
  }
}

TEST_F(FrameServices, FlipbookSpriteInsideItsSpanAddsAFadingFrame) {
  TextureTable[5] = MakeTexture(8, 8, Flat);
  DemoTimer timer(10.0f);
  glEnable(GL_BLEND);
  FillFrame(0, 0, 0);
  timer.elapsed = 2.0f;  // halfway: brightness 0.5
  FlipbookSprite(5, 1, timer, 1.0f, 3.0f, 1.0f, 0.0f, 0.0f, -3.6f);
  ExpectNear(Pixel(width / 2, height / 2), {100, 50, 25}, 3, "sprite centre");
  ExpectNear(Pixel(10, 10), {0, 0, 0}, 1, "outside the sprite");
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  // A span of zero length never divides by zero.
  timer.elapsed = 4.0f;
  FlipbookSprite(5, 6, timer, 4.0f, 4.0f, 1.0f, 0.0f, 0.0f, -3.6f);
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(FrameServices, CopyFrameToTextureGivesTheTextureTheCopiedSize) {
  GLuint name;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 512, 512, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  TextureTable[19] = name;
  FillFrame(0, 200, 0);
  CopyFrameToTexture(19, 256, 128);
  GLint w = 0, h = 0, bound = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(w, 256);
  EXPECT_EQ(h, 128);
  EXPECT_EQ((GLuint)bound, name);
  // What was copied is the frame: draw it back and find the green.
  FillFrame(0, 0, 0);
  glDisable(GL_BLEND);
  DrawPicture(19, 1.0f);
  ExpectNear(Pixel(width / 2, height / 2), {0, 200, 0}, 2, "copied frame");
  GLint minFilter = 0;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  EXPECT_EQ(minFilter, GL_LINEAR);
}

TEST_F(FrameServices, OverlaysLeaveTheModelViewTranslated) {
  float m[16];
  for (auto overlay : {+[] { FadeToBlack(0.1f); }, +[] { AddFlash(0.1f); },
                       +[] { DrawPicture(0, 1.0f); }}) {
    glLoadIdentity();
    glRotatef(30, 0, 1, 0);
    overlay();
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[0], 1.0f);
    EXPECT_FLOAT_EQ(m[14], -1.6f);
  }
  // TileScatter leaves the last tile's transform: row n-1, column n-1.
  TileScatter(0, 0.0f, 2, 1.0f);
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  EXPECT_NEAR(m[12], 1.0f, 1e-5);
  EXPECT_NEAR(m[13], 0.75f, 1e-5);
  EXPECT_NEAR(m[14], -3.6f, 1e-5);
}
