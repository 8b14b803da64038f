// JPEG textures: pictures from libjpeg's compressor, cjpeg, ImageMagick and Debian's
// assimp test models, read back from the textures on the headless backend.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "assets/jpeg_texture.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

// One directory per test: CTest may run the tests of this program side by side.
std::string Scratch() {
  static std::string name, dir;
  std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  if (test != name) dir = FreshDirectory("jpeg_" + (name = test));
  return dir;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Runs(const std::string& command) { return system(command.c_str()) == 0; }

// Writes a picture with libjpeg's compressor at quality 100 without chroma subsampling.
// `space` JCS_RGB stores the channels without a colour transform, so flat areas decode
// to exactly the values written.
void WriteJpeg(const std::string& path, int w, int h, J_COLOR_SPACE space,
               const std::function<Rgb(int x, int y)>& colour) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  jpeg_compress_struct c;
  jpeg_error_mgr errors;
  c.err = jpeg_std_error(&errors);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, file);
  c.image_width = (JDIMENSION)w;
  c.image_height = (JDIMENSION)h;
  c.input_components = space == JCS_GRAYSCALE ? 1 : 3;
  c.in_color_space = space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, space);
  jpeg_set_quality(&c, 100, TRUE);
  for (int i = 0; i < c.num_components; i++) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row((size_t)w * 3);
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      Rgb p = colour(x, y);
      if (space == JCS_GRAYSCALE)
        row[x] = (uint8_t)p.r;
      else
        row[x * 3] = (uint8_t)p.r, row[x * 3 + 1] = (uint8_t)p.g, row[x * 3 + 2] = (uint8_t)p.b;
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  fclose(file);
}

void WritePpm(const std::string& path, int w, int h, const std::function<Rgb(int x, int y)>& colour) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << w << " " << h << "\n255\n";
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      Rgb p = colour(x, y);
      out << (char)p.r << (char)p.g << (char)p.b;
    }
}

Rgb Gradient(int x, int y) { return Rgb{(x * 37) & 255, (y * 53) & 255, (x * y) & 255}; }

struct Level {
  int width = 0, height = 0;
  std::vector<uint8_t> texels;
};

Level ReadLevel(int level, GLenum format, int components) {
  Level l;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &l.width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &l.height);
  l.texels.resize((size_t)l.width * l.height * components);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, level, format, GL_UNSIGNED_BYTE, l.texels.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  return l;
}

GLint TexParameter(GLenum name) {
  GLint value = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
  return value;
}

bool PowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

// The bound texture's level 0 holds the decoded picture with its top row at t = 0, scaled
// to its power-of-two size the way GLU scales (compared within a tolerance).
void ExpectTextureHoldsPicture(const JpegImage* picture) {
  Level level = ReadLevel(0, GL_RGB, 3);
  ASSERT_TRUE(PowerOfTwo(level.width) && PowerOfTwo(level.height)) << level.width << "x" << level.height;
  std::vector<uint8_t> scaled(level.texels.size());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  gluScaleImage(GL_RGB, picture->width, picture->height, GL_UNSIGNED_BYTE, picture->pixels,
                level.width, level.height, GL_UNSIGNED_BYTE, scaled.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  int worst = 0;
  double sum = 0;
  for (size_t i = 0; i < scaled.size(); i++) {
    int d = std::abs(scaled[i] - level.texels[i]);
    worst = std::max(worst, d);
    sum += d;
  }
  // GLU's mipmap builder filters a little differently from its scaler on busy pictures:
  // a mean below 2.5 and no texel far off; a wrong stride, flip or channel order is far.
  EXPECT_LE(sum / (double)scaled.size(), 2.5);
  EXPECT_LE(worst, 40);
  if (level.width == picture->width && level.height == picture->height) {
    EXPECT_EQ(level.texels, std::vector<uint8_t>(picture->pixels, picture->pixels + scaled.size()));
  }
}

class JpegTexture : public HeadlessGL {};

}  // namespace

TEST_F(JpegTexture, ColourPicturesOfAnySizeBecomeMipmappedTextures) {
  struct Case {
    int w, h;
  } cases[] = {{16, 8}, {3, 5}, {37, 23}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    std::string path = Scratch() + "/rows.jpg";
    // Flat rows of distinct colours: a row taken with the wrong stride mixes them.
    WriteJpeg(path, c.w, c.h, JCS_RGB, [&](int, int y) {
      return y < c.h / 2 ? Rgb{250, 10, 10} : Rgb{10, 10, 250};
    });
    JpegImage* picture = DecodeJpeg(path.c_str());
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->width, c.w);
    EXPECT_EQ(picture->height, c.h);
    EXPECT_EQ(picture->rowBytes, c.w * 3);
    EXPECT_EQ(picture->pixels[0], 250);                                         // top row: red
    EXPECT_EQ(picture->pixels[(size_t)picture->rowBytes * (c.h - 1) + 2], 250);  // bottom: blue

    uint32_t table[3] = {0, 0, 0};
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);  // the caller's unpack state must not matter
    LoadTexture(table, path.c_str(), 1);
    GLint value = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
    EXPECT_EQ(value, 8);  // and is given back
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    ASSERT_NE(table[1], 0u);
    EXPECT_EQ(table[0] | table[2], 0u);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ((uint32_t)value, table[1]);
    ExpectTextureHoldsPicture(picture);
    Level top = ReadLevel(0, GL_RGB, 3);
    EXPECT_GT(top.texels[0], 200);                       // t = 0 is the top row
    EXPECT_GT(top.texels[top.texels.size() - 1], 200);   // the bottom row is blue
    EXPECT_EQ(TexParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    EXPECT_EQ(TexParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
    int levels = 0;
    for (int w = std::max(top.width, top.height); w >= 1; w /= 2) levels++;
    Level last = ReadLevel(levels - 1, GL_RGB, 3);
    EXPECT_EQ(last.width * last.height, 1);  // a full chain down to 1 x 1
    FreeJpegImage(picture);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
  }
}

TEST_F(JpegTexture, RealEncodersAndRealPictures) {
  if (!Runs("command -v cjpeg >/dev/null && command -v djpeg >/dev/null"))
    GTEST_SKIP() << "libjpeg-turbo-progs not installed";
  std::vector<std::string> pictures;
  WritePpm(Scratch() + "/gradient.ppm", 45, 29, Gradient);
  ASSERT_TRUE(Runs("cjpeg -quality 90 " + Scratch() + "/gradient.ppm > " + Scratch() + "/cjpeg.jpg"));
  ASSERT_TRUE(Runs("cjpeg -grayscale -progressive " + Scratch() + "/gradient.ppm > " + Scratch() +
                   "/grey.jpg"));
  pictures = {Scratch() + "/cjpeg.jpg", Scratch() + "/grey.jpg"};
  std::error_code absent;
  for (const auto& entry : fs::directory_iterator("/usr/share/assimp/models/3DS", absent))
    if (entry.path().extension() == ".jpg") pictures.push_back(entry.path().string());
  if (pictures.size() == 2) std::printf("assimp-testmodels not installed: its pictures are left out\n");

  for (const std::string& path : pictures) {
    SCOPED_TRACE(path);
    // The reference decoder's RGB output, as a binary PPM (greyscale expanded to RGB).
    std::string ppm = Scratch() + "/reference.ppm";
    ASSERT_TRUE(Runs("djpeg -rgb -ppm '" + path + "' > " + ppm));
    std::string reference = ReadFile(ppm);
    int w = 0, h = 0, header = 0;
    ASSERT_EQ(std::sscanf(reference.c_str(), "P6 %d %d 255%n", &w, &h, &header), 2);
    reference = reference.substr((size_t)header + 1);

    JpegImage* picture = DecodeJpeg(path.c_str());
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(picture->width, w);
    ASSERT_EQ(picture->height, h);
    EXPECT_TRUE(reference == std::string((const char*)picture->pixels, (size_t)w * h * 3));
    uint32_t slot = 0;
    LoadTexture(&slot, path.c_str(), 0);
    ASSERT_NE(slot, 0u);
    ExpectTextureHoldsPicture(picture);
    FreeJpegImage(picture);
  }
}

TEST_F(JpegTexture, UnusableFilesAreReportedAndTheShowGoesOn) {
  std::string dir = Scratch();
  WriteJpeg(dir + "/good.jpg", 64, 64, JCS_YCbCr, Gradient);
  std::string good = ReadFile(dir + "/good.jpg");
  std::ofstream(dir + "/cut-header.jpg", std::ios::binary) << good.substr(0, 40);
  std::ofstream(dir + "/text.jpg", std::ios::binary) << "plain text, not a picture\n";
  std::string huge = good;  // the frame header claims 5000 x 5000 over 64 x 64 of data
  size_t sof = huge.find("\xff\xc0");
  ASSERT_NE(sof, std::string::npos);
  huge.replace(sof + 5, 4, "\x13\x88\x13\x88");
  std::ofstream(dir + "/huge.jpg", std::ios::binary) << huge;
  std::vector<std::string> bad = {dir + "/missing.jpg", dir + "/cut-header.jpg", dir + "/text.jpg",
                                  dir + "/huge.jpg"};
  if (Runs("command -v convert >/dev/null")) {
    WritePpm(dir + "/gradient.ppm", 20, 20, Gradient);
    Runs("convert " + dir + "/gradient.ppm png:" + dir + "/png.jpg");
    Runs("convert " + dir + "/gradient.ppm -colorspace CMYK " + dir + "/cmyk.jpg");
    bad.push_back(dir + "/png.jpg");
    bad.push_back(dir + "/cmyk.jpg");
  }
  for (const std::string& path : bad) {
    SCOPED_TRACE(path);
    CapturedMessages messages;
    EXPECT_EQ(DecodeJpeg(path.c_str()), nullptr);
    uint32_t table[2] = {0, 777};
    LoadTexture(table, path.c_str(), 1);
    EXPECT_EQ(table[1], 777u);  // the slot keeps what it held
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0], "-=(Status)=-: " + path);
    if (path.find("missing") == std::string::npos) {
      EXPECT_FALSE(messages.logs.empty());  // the reason is in the log
    }
  }

  {  // cut in the middle of the data: libjpeg fills the rest, warns, and the picture is used
    std::ofstream(dir + "/cut-data.jpg", std::ios::binary) << good.substr(0, good.size() / 2);
    CapturedMessages messages;
    uint32_t slot = 0;
    LoadTexture(&slot, (dir + "/cut-data.jpg").c_str(), 0);
    EXPECT_NE(slot, 0u);
    EXPECT_TRUE(messages.boxes.empty());
    ASSERT_EQ(messages.logs.size(), 1u);
    EXPECT_NE(messages.logs[0].find("Premature end of JPEG file"), std::string::npos);
  }
  {  // a null path touches nothing
    CapturedMessages messages;
    GLint bound = 0;
    glBindTexture(GL_TEXTURE_2D, 0);
    LoadTexture(nullptr, nullptr, 5);
    uint32_t slot = 55;
    LoadTexture(&slot, nullptr, 0);
    LoadMaskedTexture(&slot, nullptr, (dir + "/good.jpg").c_str());
    EXPECT_EQ(slot, 55u);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_TRUE(messages.boxes.empty() && messages.logs.empty());
  }
}

TEST_F(JpegTexture, MaskedTextureThresholdSizesAndReplacement) {
  std::string dir = Scratch();
  // Left half sums to 384 (opaque), right half to 385 (transparent).
  WriteJpeg(dir + "/mask.jpg", 16, 8, JCS_RGB,
            [](int x, int) { return x < 8 ? Rgb{128, 128, 128} : Rgb{129, 128, 128}; });
  WriteJpeg(dir + "/colour.jpg", 16, 8, JCS_RGB, [](int, int) { return Rgb{40, 160, 220}; });
  WriteJpeg(dir + "/small.jpg", 8, 8, JCS_RGB, [](int, int) { return Rgb{0, 0, 0}; });
  JpegImage* mask = DecodeJpeg((dir + "/mask.jpg").c_str());
  ASSERT_NE(mask, nullptr);
  ASSERT_EQ(mask->pixels[0] + mask->pixels[1] + mask->pixels[2], 384);
  ASSERT_EQ(mask->pixels[45] + mask->pixels[46] + mask->pixels[47], 385);
  FreeJpegImage(mask);

  uint32_t slot = MakeTexture(4, 4, [](int, int) { return Rgb{1, 2, 3}; });
  uint32_t old = slot;
  CapturedMessages messages;
  LoadMaskedTexture(&slot, (dir + "/mask.jpg").c_str(), (dir + "/colour.jpg").c_str());
  EXPECT_TRUE(messages.boxes.empty());
  ASSERT_NE(slot, 0u);
  EXPECT_FALSE(glIsTexture(old) && old != slot);  // the replaced texture is gone
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ((uint32_t)bound, slot);
  Level level = ReadLevel(0, GL_RGBA, 4);
  ASSERT_EQ(level.width, 16);
  ASSERT_EQ(level.height, 8);
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 16; x++) {
      const uint8_t* p = &level.texels[((size_t)y * 16 + x) * 4];
      ASSERT_EQ(p[3], x < 8 ? 255 : 0) << x << "," << y;
      ASSERT_EQ(p[0] + p[1] * 256 + p[2] * 65536, 40 + 160 * 256 + 220 * 65536);
    }
  EXPECT_EQ(TexParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);

  // A mask of another size is refused; failures are reported mask first, colour second.
  uint32_t kept = slot;
  LoadMaskedTexture(&slot, (dir + "/small.jpg").c_str(), (dir + "/colour.jpg").c_str());
  LoadMaskedTexture(&slot, (dir + "/no-mask.jpg").c_str(), (dir + "/no-colour.jpg").c_str());
  EXPECT_EQ(slot, kept);
  EXPECT_TRUE(glIsTexture(kept));
  ASSERT_EQ(messages.boxes.size(), 3u);
  EXPECT_EQ(messages.boxes[0], "-=(Status)=-: " + dir + "/colour.jpg");
  EXPECT_EQ(messages.boxes[1], "-=(Status)=-: " + dir + "/no-mask.jpg");
  EXPECT_EQ(messages.boxes[2], "-=(Status)=-: " + dir + "/no-colour.jpg");
}

TEST_F(JpegTexture, BlankTextureForFrameCopies) {
  uint32_t table[20] = {};
  CreateBlankTexture(table, 512, 512, 3, GL_RGB, 19);
  ASSERT_NE(table[19], 0u);
  GLint bound = 0, internal = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ((uint32_t)bound, table[19]);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal);
  EXPECT_TRUE(internal == 3 || internal == GL_RGB || internal == GL_RGB8) << internal;
  Level level = ReadLevel(0, GL_RGB, 3);
  EXPECT_EQ(level.width, 512);
  EXPECT_EQ(level.height, 512);
  EXPECT_EQ(std::count(level.texels.begin(), level.texels.end(), 0), (long)level.texels.size());
  EXPECT_EQ(TexParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
  EXPECT_EQ(TexParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);

  // Fewer components than the upload format has: the buffer still covers the upload.
  CreateBlankTexture(table, 33, 17, 3, GL_RGBA, 0);
  EXPECT_NE(table[0], 0u);
  CapturedMessages messages;
  uint32_t before = table[1];
  CreateBlankTexture(table, 0, 16, 3, GL_RGB, 1);
  CreateBlankTexture(table, 16, 16, 7, GL_RGB, 1);
  EXPECT_EQ(table[1], before);
  EXPECT_EQ(messages.logs.size(), 2u);
}
