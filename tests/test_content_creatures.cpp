// The creatures' model files and skins: the file layout the readers expect, the built
// vertices surviving the readers' axis conversions, looping cycles, sizes and facing,
// winding, and frames drawn the way the show draws them (written as contact sheets and a
// close look per creature into the tests' scratch directory, creatures/, for looking at).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "app/gl.h"
#include "app/settings.h"
#include "assets/manifest.h"
#include "engine/models.h"
#include "scenes/bath.h"
#include "tests/support/test_support.h"
#include "tools/bake/png.h"
#include "tools/bake/scenes/creatures.h"

namespace {

struct Built {
  FrameMesh mesh;
  bool mirrored;
  const char* name;
};

const Built& Raptor() {
  static Built b{BuildRaptor(), false, "raptor"};
  return b;
}
const Built& Girl() {
  static Built b{BuildGirl(), true, "girl"};
  return b;
}

void Load(const Built& b, AnimatedModel* model) {
  std::vector<uint8_t> bytes = WriteRyx(b.mesh, b.mirrored);
  ASSERT_TRUE(model->ParseModel(bytes.data(), bytes.size(), b.mirrored)) << b.name;
}

struct Bounds {
  V3 lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
  void Add(V3 p) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
};

float LargestStep(const std::vector<V3>& a, const std::vector<V3>& b) {
  float m = 0;
  for (size_t i = 0; i < a.size(); i++) m = std::max(m, Length(b[i] - a[i]));
  return m;
}

// Six times the enclosed volume: positive when faces turn counter-clockwise seen from outside.
double SignedVolume(const FrameMesh& m, const std::vector<V3>& frame) {
  double sum = 0;
  for (const auto& f : m.faces) sum += Dot(frame[f[0]], Cross(frame[f[1]], frame[f[2]]));
  return sum;
}

}  // namespace

TEST(CreatureFiles, LayoutAndAxesRoundTripThroughTheReaders) {
  for (const Built* b : {&Raptor(), &Girl()}) {
    const FrameMesh& m = b->mesh;
    std::vector<uint8_t> bytes = WriteRyx(m, b->mirrored);
    size_t f = m.frames.size(), v = m.uvs.size(), t = m.faces.size();
    ASSERT_EQ(bytes.size(), 12 + 6 * t + 8 * v + 24 * f * v) << b->name;
    int32_t header[3];
    memcpy(header, bytes.data(), 12);
    EXPECT_EQ(header[0], (int32_t)f);
    EXPECT_EQ(header[1], (int32_t)v);
    EXPECT_EQ(header[2], (int32_t)t);
    for (const auto& face : m.faces)
      for (uint16_t i : face) ASSERT_LT(i, v) << b->name;
    // Several raptors share the jungle's budget of faces in view.
    if (!b->mirrored) {
      EXPECT_LT(t, 3000u) << "raptor faces";
    }

    AnimatedModel model;
    Load(*b, &model);
    ASSERT_EQ(model.faceCount, (int32_t)t) << b->name << ": no face may be dropped";
    // What the reader stores is exactly what was built, in the drawn space.
    for (size_t k = 0; k < f; k += 5)
      for (size_t i = 0; i < v; i += 7) {
        const Vec3& s = model.FrameVertex((int32_t)k, (int32_t)i);
        const V3& p = m.frames[k][i];
        ASSERT_EQ(s.x, p.x) << b->name;
        ASSERT_EQ(s.y, p.y) << b->name;
        ASSERT_EQ(s.z, p.z) << b->name;
      }
  }
}

TEST(CreatureFiles, CyclesLoopWithoutAJump) {
  EXPECT_EQ(Raptor().mesh.frames.size(), (size_t)RaptorFrames);
  EXPECT_EQ(Girl().mesh.frames.size(), (size_t)GirlFrames);
  for (const Built* b : {&Raptor(), &Girl()}) {
    const auto& fr = b->mesh.frames;
    float largest = 0, smallest = 1e9f;
    for (size_t k = 0; k + 1 < fr.size(); k++) {
      float step = LargestStep(fr[k], fr[k + 1]);
      largest = std::max(largest, step);
      smallest = std::min(smallest, step);
    }
    float wrap = LargestStep(fr.back(), fr.front());
    EXPECT_GT(smallest, 0.01f) << b->name << ": every frame moves";
    EXPECT_LE(wrap, largest * 1.2f) << b->name << ": the last frame blends into the first";
    EXPECT_GE(wrap, smallest * 0.5f) << b->name << ": the first frame is not repeated at the end";
  }
}

TEST(CreatureFiles, RaptorStandsOnTheGroundFacingPlusZ) {
  const FrameMesh& m = Raptor().mesh;
  float lowest = 1e9f;
  for (const auto& frame : m.frames) {
    Bounds b;
    for (const V3& p : frame) b.Add(p);
    EXPECT_GT(b.lo.y, -0.4f) << "no foot sinks into the ground";
    lowest = std::min(lowest, b.lo.y);
    float height = b.hi.y - b.lo.y, length = b.hi.z - b.lo.z;
    EXPECT_GT(height, 15.0f);
    EXPECT_LT(height, 25.0f);
    EXPECT_GT(length, 30.0f);
    EXPECT_LT(length, 60.0f);
    EXPECT_LT(std::fabs(b.lo.x + b.hi.x), 2.0f) << "centred over its origin";
    // The head is the high end, and it is forward.
    float headZ = 0;
    int head = 0;
    for (const V3& p : frame)
      if (p.y > b.hi.y - 3) headZ += p.z, head++;
    EXPECT_GT(headZ / head, 8.0f);
    EXPECT_GT(SignedVolume(m, frame), 0) << "faces counter-clockwise seen from outside";
  }
  EXPECT_LT(lowest, 0.3f) << "the feet reach the ground";
}

TEST(CreatureFiles, RaptorFeetPushTheGroundBackAtItsRunSpeed) {
  // While a foot is down, the part of it on the ground moves back by one frame's share of
  // the stride each frame: an anchor moving at RaptorRunSpeed shows no slide.
  const FrameMesh& m = Raptor().mesh;
  const float perFrame = RaptorRunSpeed / RaptorFramesPerSecond;
  int checked = 0;
  for (int side = 0; side < 2; side++) {
    // The toe tips: the foremost part of the foot that touches the ground.
    auto contact = [&](int k, float* z) {
      int count = 0;
      *z = -1e9f;
      for (const V3& p : m.frames[(size_t)k])
        if (p.y < 0.35f && (side == 0 ? p.x > 0.5f : p.x < -0.5f)) *z = std::max(*z, p.z), count++;
      return count >= 3;
    };
    for (int k = 0; k + 1 < RaptorFrames; k++) {
      float z0, z1;
      if (!contact(k, &z0) || !contact(k + 1, &z1)) continue;
      EXPECT_NEAR(z0 - z1, perFrame, perFrame * 0.3f) << "side " << side << " frame " << k;
      checked++;
    }
  }
  EXPECT_GE(checked, 4) << "each foot spends several frames on the ground";
}

TEST(CreatureFiles, FigureIsSlenderAndWoundForFrontCulling) {
  const FrameMesh& m = Girl().mesh;
  for (const auto& frame : m.frames) {
    Bounds b;
    for (const V3& p : frame) b.Add(p);
    EXPECT_NEAR(b.lo.y, 0.0f, 0.3f) << "the feet on the floor";
    EXPECT_GT(b.hi.y, 40.0f);
    EXPECT_LT(b.hi.y, 50.0f);
    EXPECT_LT(b.hi.x - b.lo.x, 40.0f);
    Bounds legs;
    for (const V3& p : frame)
      if (p.y < 18) legs.Add(p);
    EXPECT_LT(std::fabs(legs.lo.x + legs.hi.x), 4.0f) << "standing over its origin";
    // Front faces are culled when the figure is drawn: the faces that face the camera
    // must be the clockwise ones.
    EXPECT_LT(SignedVolume(m, frame), 0);
  }
}

TEST(CreatureSkins, SizesTilingAndTone) {
  Image skin = PaintRaptorSkin(), glow = PaintGirlGlow();
  for (const Image* img : {&skin, &glow}) {
    EXPECT_TRUE(img->width >= 128 && img->width <= 512 && (img->width & (img->width - 1)) == 0);
    EXPECT_TRUE(img->height >= 128 && img->height <= 512 && (img->height & (img->height - 1)) == 0);
  }
  // The raptor's texture rows wrap around each body tube: top and bottom rows meet.
  auto rowLuma = [](const Image& img, int y, int x0, int x1) {
    float s = 0;
    for (int x = x0; x < x1; x++) s += Luma(img.At(x, y));
    return s / (x1 - x0);
  };
  int bodyW = skin.width * 7 / 8;
  EXPECT_NEAR(rowLuma(skin, 0, 0, bodyW), rowLuma(skin, skin.height - 1, 0, bodyW), 0.06f);
  EXPECT_GT(rowLuma(skin, skin.height / 2, 0, bodyW), rowLuma(skin, 0, 0, bodyW) + 0.08f)
      << "a pale belly under a dark back";
  // The figure's pattern repeats across its edges both ways and stays below white.
  float edgeX = 0, edgeY = 0, mean = 0;
  for (int i = 0; i < glow.width; i++) {
    edgeX += std::fabs(Luma(glow.At(0, i)) - Luma(glow.At(glow.width - 1, i)));
    edgeY += std::fabs(Luma(glow.At(i, 0)) - Luma(glow.At(i, glow.height - 1)));
  }
  for (const Colour& c : glow.pixels) mean += Luma(c);
  mean /= (float)glow.pixels.size();
  EXPECT_LT(edgeX / glow.width, 0.08f);
  EXPECT_LT(edgeY / glow.width, 0.08f);
  EXPECT_GT(mean, 0.2f);
  EXPECT_LT(mean, 0.65f);
}

// ---------------------------------------------------------------------------------------
// Frames drawn as the show draws them.

class CreatureDrawing : public HeadlessGL {
 protected:
  uint32_t Upload(const Image& img) {
    std::vector<uint8_t> rgb = ToRgb8(img);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, img.width, img.height, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return name;
  }
  void LookAt(V3 eye, V3 target) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0, 1, 0);
  }
  // The frame as a picture, and the share of pixels that differ from the clear colour.
  Image Grab(float* covered) {
    std::vector<uint8_t> rgba = Frame();
    Image img(width, height);
    int hit = 0;
    for (int i = 0; i < width * height; i++) {
      const uint8_t* p = &rgba[(size_t)i * 4];
      img.pixels[(size_t)i] = Rgb255(p[0], p[1], p[2]);
      if (std::abs(p[0] - 20) + std::abs(p[1] - 24) + std::abs(p[2] - 20) > 30) hit++;
    }
    *covered = (float)hit / (width * height);
    return img;
  }
  void Paste(Image& sheet, const Image& tile, int col, int row) {
    Image small = Resize(tile, 256, 192);
    for (int y = 0; y < 192; y++)
      for (int x = 0; x < 256; x++) sheet.At(col * 256 + x, row * 192 + y) = small.At(x, y);
  }
};

TEST_F(CreatureDrawing, RunningRaptorAndDancingFigure) {
  std::string dir = FreshDirectory("creatures");
  const V3 raptorViews[3][2] = {{{40, 10, 2}, {0, 9, -2}}, {{-24, 15, 26}, {0, 8, -1}}, {{6, 8, 34}, {0, 9, 0}}};
  const V3 girlViews[3][2] = {{{0, 8, 24}, {0, 7.5f, 0}}, {{21, 10, 8}, {0, 7.5f, 0}}, {{-14, 8, -18}, {0, 7.5f, 0}}};
  for (int which = 0; which < 2; which++) {
    const Built& b = which == 0 ? Raptor() : Girl();
    AnimatedModel model;
    Load(b, &model);
    uint32_t texture = Upload(which == 0 ? PaintRaptorSkin() : PaintGirlGlow());
    const int columns = which == 0 ? 7 : 6, rows = 3;
    Image sheet(256 * columns, 192 * rows);
    for (int row = 0; row < rows; row++)
      for (int col = 0; col < columns; col++) {
        int frame = col * model.frameCount / columns;
        glClearColor(20 / 255.0f, 24 / 255.0f, 20 / 255.0f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // Half-way to the next frame, as the show blends them.
        model.InterpolateFrames(frame, (frame + 1) % model.frameCount, 0.5f);
        if (which == 0) {
          LookAt(raptorViews[row][0], raptorViews[row][1]);
          ModelScaleEnabled = false;  // the jungle's setting: drawn at stored size
          glColor3f(1, 1, 1);
          model.DrawModel(texture);
        } else {
          LookAt(girlViews[row][0], girlViews[row][1]);
          ModelScaleEnabled = true;
          model.scale = 3.0f;
          GirlModel = &model;
          glEnable(GL_BLEND);
          glBlendFunc(GL_ONE, GL_ONE);
          glColor3f(1, 1, 1);
          DemoTimer timer(24.0f);
          timer.elapsed = 5.0f;
          DrawFigureMesh(texture, 0, timer);
          glDisable(GL_BLEND);
          GirlModel = nullptr;
        }
        float covered = 0;
        Image frameImage = Grab(&covered);
        EXPECT_GT(covered, 0.02f) << b.name << " frame " << frame << " view " << row;
        EXPECT_LT(covered, 0.6f) << b.name << " frame " << frame << " view " << row;
        Paste(sheet, frameImage, col, row);
        // One close look per creature, at full size.
        if (row == 1 && col == 1) {
          std::string error;
          EXPECT_TRUE(WritePngFile(dir + "/" + b.name + "_close.png", frameImage, &error)) << error;
        }
      }
    std::string error;
    EXPECT_TRUE(WritePngFile(dir + "/" + b.name + ".png", sheet, &error)) << error;
    GLuint t = texture;
    glDeleteTextures(1, &t);
  }
}
