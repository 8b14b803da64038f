// tests/test_bake.cpp - the content baker: its archive, every picture of the show by its
// properties, the helpers it is built from, and the launcher artwork.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>
#include <unzip.h>
#include <zlib.h>

#include "assets/archive.h"
#include "data/resources.h"
#include "tests/support/test_support.h"
#include "tools/bake/archive.h"
#include "tools/bake/draw.h"
#include "tools/bake/image.h"
#include "tools/bake/jpeg.h"
#include "tools/bake/launcher_art.h"
#include "tools/bake/noise.h"
#include "tools/bake/pictures.h"
#include "tools/bake/text.h"

namespace fs = std::filesystem;

namespace {
enum Role { Opaque, Multiplied, Added, Modulated };
enum Edges { Free, Seamless, SeamlessAcross, BlackBorder, WhiteBorder };

// What the show needs of each picture, from how it draws it.
struct Expected {
  const char* name;
  Role role;
  Edges edges;
  float minMean;  // average brightness, 0..1
};

const Expected Pictures[] = {
    {"pict/loading.jpg", Opaque, Free, 0.03f},       {"text/sky.jpg", Modulated, Seamless, 0.4f},
    {"text/meta.jpg", Added, Seamless, 0.05f},       {"text/screen.jpg", Multiplied, Free, 0.8f},
    {"text/1.jpg", Added, BlackBorder, 0},           {"text/2.jpg", Added, BlackBorder, 0},
    {"text/3.jpg", Added, BlackBorder, 0},           {"text/4.jpg", Added, BlackBorder, 0},
    {"text/5.jpg", Added, BlackBorder, 0},           {"text/6.jpg", Added, BlackBorder, 0},
    {"text/7.jpg", Added, BlackBorder, 0},           {"text/sky_tu.jpg", Opaque, SeamlessAcross, 0.1f},
    {"text/sky_up.jpg", Opaque, Free, 0.03f},        {"pict/meta.jpg", Opaque, Free, 0.05f},
    {"text/ball.jpg", Added, Seamless, 0.1f},        {"text/logo1.jpg", Multiplied, WhiteBorder, 0.7f},
    {"text/logo2.jpg", Multiplied, WhiteBorder, 0.7f}, {"text/logo3.jpg", Multiplied, WhiteBorder, 0.6f},
    {"text/logo4.jpg", Multiplied, WhiteBorder, 0.7f}, {"text/by.jpg", Added, BlackBorder, 0},
    {"text/title.jpg", Multiplied, WhiteBorder, 0.7f}, {"text/twater.jpg", Opaque, Seamless, 0.1f},
    {"text/sball.jpg", Opaque, Seamless, 0.35f},     {"pict/dino.jpg", Opaque, Free, 0.1f},
    {"pict/scroll.jpg", Opaque, Free, 0.02f},        {"text/light.jpg", Added, BlackBorder, 0},
    {"text/smoker.jpg", Multiplied, WhiteBorder, 0.7f}, {"text/fire.jpg", Multiplied, WhiteBorder, 0.6f},
    {"text/tpart.jpg", Added, BlackBorder, 0},       {"text/font.jpg", Added, Free, 0.4f},
    {"text/flash.jpg", Modulated, Seamless, 0.4f},
};

std::vector<uint8_t> ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Every member of a ZIP file read with minizip's unzip interface, by name.
struct Member {
  std::vector<uint8_t> bytes;
  int method;
  unsigned year;
};
bool ReadArchive(const std::string& path, std::map<std::string, Member>* out, std::vector<std::string>* order) {
  unzFile zip = unzOpen(path.c_str());
  if (!zip) return false;
  bool ok = unzGoToFirstFile(zip) == UNZ_OK;
  while (ok) {
    unz_file_info info;
    char name[256];
    if (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
    Member m{std::vector<uint8_t>(info.uncompressed_size), (int)info.compression_method, info.tmu_date.tm_year};
    if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
    int got = unzReadCurrentFile(zip, m.bytes.data(), (unsigned)m.bytes.size());
    // Closing checks the CRC-32 of what was read.
    if (got != (int)m.bytes.size() || unzCloseCurrentFile(zip) != UNZ_OK) return false;
    (*out)[name] = std::move(m);
    if (order) order->push_back(name);
    int next = unzGoToNextFile(zip);
    if (next == UNZ_END_OF_LIST_OF_FILE) break;
    ok = next == UNZ_OK;
  }
  unzClose(zip);
  return ok;
}

struct Picture {
  int width = 0, height = 0, components = 0;
  std::vector<uint8_t> rgb;
  float At(int x, int y, int k) const { return rgb[((size_t)y * width + x) * 3 + k] / 255.0f; }
  float Luma(int x, int y) const { return 0.299f * At(x, y, 0) + 0.587f * At(x, y, 1) + 0.114f * At(x, y, 2); }
};

bool PowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

// Mean absolute difference between two columns (or rows) of a picture.
float ColumnDifference(const Picture& p, int a, int b) {
  float sum = 0;
  for (int y = 0; y < p.height; y++)
    for (int k = 0; k < 3; k++) sum += std::fabs(p.At(a, y, k) - p.At(b, y, k));
  return sum / (p.height * 3);
}
float RowDifference(const Picture& p, int a, int b) {
  float sum = 0;
  for (int x = 0; x < p.width; x++)
    for (int k = 0; k < 3; k++) sum += std::fabs(p.At(x, a, k) - p.At(x, b, k));
  return sum / (p.width * 3);
}

class Bake : public ::testing::Test {
 protected:
  // The build's own bake in the show's directory is what these tests read (a bake takes a
  // while, and each test runs in a process of its own under CTest); only without it does
  // a test program bake for itself.
  static bool RunBaker(const std::string& dir) {
    std::string command = std::string("\"") + BAKE_PROGRAM + "\" \"" + dir + "\" > /dev/null";
    return std::system(command.c_str()) == 0;
  }
  static void SetUpTestSuite() {
    std::error_code ec;
    if (fs::exists(std::string(VELLUMAR_SHOW_DIR) + "/datas.vlo", ec)) {
      first = VELLUMAR_SHOW_DIR;
      baked = ReadArchive(first + "/datas.vlo", &members, &order);
    } else {
      first = FreshDirectory(Unique("bake_first"));
      baked = RunBaker(first) && ReadArchive(first + "/datas.vlo", &members, &order);
    }
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    if (first != VELLUMAR_SHOW_DIR) fs::remove_all(first, ec);
  }
  // CTest may run these tests side by side: every process bakes into directories of its own.
  static std::string Unique(const std::string& name) { return name + "_" + std::to_string(getpid()); }
  static std::string first;
  static bool baked;
  static std::map<std::string, Member> members;
  static std::vector<std::string> order;

  Picture Decode(const std::string& name) {
    Picture p;
    auto it = members.find(name);
    if (it != members.end()) DecodeJpeg(it->second.bytes, &p.rgb, &p.width, &p.height, &p.components);
    return p;
  }
};
std::string Bake::first;
bool Bake::baked = true;
std::map<std::string, Member> Bake::members;
std::vector<std::string> Bake::order;

TEST_F(Bake, TwoBakesGiveByteIdenticalFiles) {
  ASSERT_TRUE(baked);
  std::string second = FreshDirectory(Unique("bake_second"));
  ASSERT_TRUE(RunBaker(second));
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(second))
    if (e.is_regular_file()) names.push_back(fs::relative(e.path(), second).string());
  ASSERT_FALSE(names.empty());
  for (const std::string& n : names) {
    ASSERT_TRUE(fs::exists(fs::path(second) / n)) << n;
    EXPECT_TRUE(ReadFile(fs::path(first) / n) == ReadFile(fs::path(second) / n)) << n << " differs";
  }
  EXPECT_FALSE(fs::exists(first + "/datas.vlo.part"));
  fs::remove_all(second);
}

TEST_F(Bake, TheArchiveHoldsDeflatedLowerCaseMembersThatUnzipUnpacks) {
  ASSERT_TRUE(baked);
  for (const auto& [name, m] : members) {
    EXPECT_EQ(m.method, Z_DEFLATED) << name;
    EXPECT_EQ(m.year, 2003u) << name;
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return (char)std::tolower(c); });
    EXPECT_EQ(name, lower);
    bool folder = name.rfind("maps/", 0) == 0 || name.rfind("pict/", 0) == 0 || name.rfind("text/", 0) == 0;
    EXPECT_TRUE(folder) << name;
  }
  // No name twice: the unpacker would ask whether to overwrite.
  std::vector<std::string> sorted = order;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());

  // The unzip command agrees with minizip about every member.
  std::string archive = first + "/datas.vlo";
  ASSERT_EQ(std::system(("unzip -tq \"" + archive + "\" > /dev/null").c_str()), 0);
  std::string out = FreshDirectory(Unique("bake_unzipped"));
  ASSERT_EQ(std::system(("unzip -oq \"" + archive + "\" -d \"" + out + "\"").c_str()), 0);
  for (const auto& [name, m] : members) EXPECT_TRUE(ReadFile(fs::path(out) / name) == m.bytes) << name;
  fs::remove_all(out);
}

TEST_F(Bake, EveryPictureDecodesAsRgbAtAPowerOfTwoAndSuitsItsRole) {
  ASSERT_TRUE(baked);
  for (const Expected& e : Pictures) {
    SCOPED_TRACE(e.name);
    ASSERT_TRUE(members.count(e.name)) << "missing from the archive";
    Picture p = Decode(e.name);
    ASSERT_EQ(p.components, 3);
    EXPECT_TRUE(PowerOfTwo(p.width) && PowerOfTwo(p.height)) << p.width << "x" << p.height;
    double sum = 0, sum2 = 0;
    for (int y = 0; y < p.height; y++)
      for (int x = 0; x < p.width; x++) sum += p.Luma(x, y), sum2 += p.Luma(x, y) * p.Luma(x, y);
    double n = (double)p.width * p.height, mean = sum / n, variance = sum2 / n - mean * mean;
    EXPECT_GT(variance, 0.0004) << "flat picture";
    EXPECT_GE(mean, e.minMean);

    float borderMax = 0, borderMin = 1;
    for (int x = 0; x < p.width; x++)
      for (int y : {0, 1, p.height - 2, p.height - 1})
        borderMax = std::max(borderMax, p.Luma(x, y)), borderMin = std::min(borderMin, p.Luma(x, y));
    for (int y = 0; y < p.height; y++)
      for (int x : {0, 1, p.width - 2, p.width - 1})
        borderMax = std::max(borderMax, p.Luma(x, y)), borderMin = std::min(borderMin, p.Luma(x, y));
    if (e.edges == BlackBorder) {
      EXPECT_LT(borderMax, 0.05f) << "an added sprite must add nothing at its border";
    }
    if (e.edges == WhiteBorder) {
      EXPECT_GT(borderMin, 0.88f) << "a multiplied picture must leave its border alone";
    }

    if (e.edges == Seamless || e.edges == SeamlessAcross) {
      // Opposite edges differ no more than neighbouring columns inside the picture do.
      float inside = ColumnDifference(p, p.width / 2, p.width / 2 + 1);
      EXPECT_LE(ColumnDifference(p, 0, p.width - 1), inside * 2.5f + 0.02f) << "left and right edges";
      if (e.edges == Seamless) {
        float insideRows = RowDifference(p, p.height / 2, p.height / 2 + 1);
        EXPECT_LE(RowDifference(p, 0, p.height - 1), insideRows * 2.5f + 0.02f) << "top and bottom edges";
      }
    }
  }

  // The screen mask as a whole darkens the night flight by at most a fifth.
  Picture screen = Decode("text/screen.jpg");
  ASSERT_GT(screen.width, 0);
  double sum = 0;
  for (int y = 0; y < screen.height; y++)
    for (int x = 0; x < screen.width; x++) sum += screen.Luma(x, y);
  EXPECT_GE(sum / ((double)screen.width * screen.height), 0.8);

  // The walls' top row and the ceiling's border show the same sky colour.
  Picture wall = Decode("text/sky_tu.jpg"), top = Decode("text/sky_up.jpg");
  ASSERT_GT(wall.width, 0);
  ASSERT_GT(top.width, 0);
  for (int k = 0; k < 3; k++) {
    float wallTop = 0, ceilingEdge = 0;
    for (int x = 0; x < wall.width; x++) wallTop += wall.At(x, 0, k) / wall.width;
    for (int i = 0; i < top.width; i++)
      ceilingEdge += (top.At(i, 0, k) + top.At(i, top.height - 1, k) + top.At(0, i, k) + top.At(top.width - 1, i, k)) /
                     (4.0f * top.width);
    EXPECT_NEAR(wallTop, ceilingEdge, 0.03f) << "channel " << k;
  }
  // The scrolling page is wide enough to be crisp across the whole screen.
  Picture page = Decode("pict/scroll.jpg");
  EXPECT_GE(page.width, 1024);
  EXPECT_GE(page.height, page.width * 3);
}

TEST_F(Bake, TheShowUnpacksTheArchiveAndRemovesItAgain) {
  ASSERT_TRUE(baked);
  std::string dir = FreshDirectory(Unique("bake_show_unpack"));
  fs::copy_file(first + "/datas.vlo", dir + "/datas.vlo");
  std::error_code ec;
  fs::path previous = fs::current_path(ec);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  FILE* report = tmpfile();
  SetArchiveStreams(report, nullptr);
  int result = UnpackArchive();
  for (const auto& [name, m] : members) {
    EXPECT_TRUE(ReadFile(fs::path(dir) / name) == m.bytes) << name << " unpacked differently";
  }
  RemoveWorkDirectories();
  SetArchiveStreams(nullptr, nullptr);
  fclose(report);
  for (const char* work : {"maps", "pict", "text"}) EXPECT_FALSE(fs::exists(fs::path(dir) / work)) << work;
  EXPECT_TRUE(fs::exists(fs::path(dir) / "datas.vlo"));
  ASSERT_EQ(chdir(previous.c_str()), 0);
  EXPECT_GE(result, 0);
  fs::remove_all(dir, ec);
}

TEST(BakeArchive, WritesWhatItIsGivenAndLeavesNothingBehindOnFailure) {
  std::string dir = FreshDirectory("bake_archive");
  std::vector<ArchiveMember> members = {{"text/a.jpg", {1, 2, 3, 4, 5}}, {"maps/empty.3ds", {}},
                                        {"pict/big.jpg", std::vector<uint8_t>(100000, 7)}};
  std::string error;
  ASSERT_TRUE(WriteArchive(dir + "/x.vlo", members, &error)) << error;
  std::map<std::string, Member> read;
  std::vector<std::string> order;
  ASSERT_TRUE(ReadArchive(dir + "/x.vlo", &read, &order));
  ASSERT_EQ(order.size(), 3u);
  EXPECT_EQ(order[0], "text/a.jpg");  // in the order given
  for (const ArchiveMember& m : members) EXPECT_TRUE(read[m.name].bytes == m.bytes) << m.name;
  EXPECT_LT(fs::file_size(dir + "/x.vlo"), 10000u);  // deflated

  // A directory that does not exist: failure with a reason, no stray files.
  EXPECT_FALSE(WriteArchive(dir + "/missing/x.vlo", members, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(dir + "/missing"));
}

TEST(BakeHelpers, TilingNoiseRepeatsWithItsPeriod) {
  for (float x : {0.1f, 1.7f, 3.3f})
    for (float y : {0.2f, 2.9f}) {
      EXPECT_NEAR(Noise(x, y, 4, 3, 5), Noise(x + 4, y, 4, 3, 5), 1e-4f);
      EXPECT_NEAR(Noise(x, y, 4, 3, 5), Noise(x, y + 3, 4, 3, 5), 1e-4f);
      EXPECT_NEAR(Fbm(x, y, 2, 2, 5, 0.5f, 9), Fbm(x + 2, y + 2, 2, 2, 5, 0.5f, 9), 1e-4f);
      CellDistances a = Cells(x, y, 5, 5, 3), b = Cells(x + 5, y - 5, 5, 5, 3);
      EXPECT_NEAR(a.f1, b.f1, 1e-4f);
    }
  Rng r1(42), r2(42), r3(43);
  uint32_t a = r1.Next();
  EXPECT_EQ(a, r2.Next());
  EXPECT_NE(a, r3.Next());
}

TEST(BakeHelpers, ShapesCoverTheirAreaAndResizingKeepsTiling) {
  Mask m(40, 40);
  FillPolygon(m, {{5.25f, 5.5f}, {15.25f, 5.5f}, {15.25f, 15.5f}, {5.25f, 15.5f}});
  float area = 0;
  for (float v : m.values) area += v;
  EXPECT_NEAR(area, 100.0f, 0.5f);
  Mask disc(40, 40);
  FillDisc(disc, {20, 20}, 10);
  area = 0;
  for (float v : disc.values) area += v;
  EXPECT_NEAR(area, 3.14159f * 100, 3.0f);
  // Too few radii: nothing drawn rather than a read past the end.
  Mask none(10, 10);
  StrokeVarying(none, {{1, 1}, {8, 8}}, {1.0f});
  for (float v : none.values) EXPECT_EQ(v, 0.0f);

  // A tiling picture stays tiling when resampled with wrapping.
  Image stripes(64, 64);
  for (int y = 0; y < 64; y++)
    for (int x = 0; x < 64; x++) {
      float v = 0.5f + 0.5f * std::sin(x * 2 * 3.14159f / 64 * 3);
      stripes.At(x, y) = {v, v, v};
    }
  Image half = Resize(stripes, 32, 32, true);
  float seam = std::fabs(half.At(0, 5).r - half.At(31, 5).r), step = std::fabs(half.At(16, 5).r - half.At(17, 5).r);
  EXPECT_LE(seam, step * 1.5f + 0.01f);
}

TEST(BakeHelpers, JpegRoundTripAndLettering) {
  std::vector<uint8_t> rgb(64 * 32 * 3);
  for (size_t i = 0; i < rgb.size(); i++) rgb[i] = (uint8_t)((i / 3 % 64) * 4);
  std::vector<uint8_t> jpeg = EncodeJpeg(rgb, 64, 32, 90), back;
  int w = 0, h = 0, comps = 0;
  ASSERT_TRUE(DecodeJpeg(jpeg, &back, &w, &h, &comps));
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 32);
  EXPECT_EQ(comps, 3);
  int worst = 0;
  for (size_t i = 0; i < rgb.size(); i++) worst = std::max(worst, std::abs(rgb[i] - back[i]));
  EXPECT_LT(worst, 12);
  EXPECT_FALSE(DecodeJpeg({0xFF, 0xD8, 0x00}, &back, &w, &h, &comps));

  std::string error;
  ASSERT_TRUE(LoadFonts(&error)) << error;
  TextStyle style{FontStyle::SansBold, 40};
  EXPECT_GT(MeasureText(style, "Vellumar 2"), MeasureText(style, "Vellumar"));
  TextStyle wide = style;
  wide.tracking = 0.2f;
  EXPECT_GT(MeasureText(wide, "Vellumar"), MeasureText(style, "Vellumar"));
  Mask m(400, 80);
  float width = DrawText(m, style, "Vellumar", 200, 60, true);
  float ink = 0, leftInk = 0;
  for (int y = 0; y < 80; y++)
    for (int x = 0; x < 400; x++) ink += m.At(x, y), leftInk += x < 200 - width / 2 - 2 ? m.At(x, y) : 0;
  EXPECT_GT(ink, 500.0f);
  EXPECT_EQ(leftInk, 0.0f);  // centred: nothing left of its left end
  FreeFonts();
}

TEST(BakeLauncherArt, PictureAndIconUseTheirPalettesWell) {
  // Bitmap: 256 palette entries after the headers, and the picture uses many of them.
  const unsigned char* pixels = LauncherBitmap + 14 + 40 + 256 * 4;
  std::vector<bool> used(256, false);
  for (size_t i = 0; i < LauncherBitmapSize - (14 + 40 + 256 * 4); i++) used[pixels[i]] = true;
  EXPECT_GT(std::count(used.begin(), used.end(), true), 100);
  // Icon: corners transparent in the mask, the centre opaque.
  const unsigned char* image = ProgramIcon + 22;
  const unsigned char* mask = image + 40 + 16 * 4 + 32 * 32 / 2;
  EXPECT_TRUE(mask[0] & 0x80);               // bottom-left corner
  EXPECT_FALSE(mask[16 * 4 + 2] & 0x80);     // middle of row 16
  // The palette chooser keeps exact colours when there are few enough of them.
  std::vector<Colour> three = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}};
  std::vector<Colour> palette = ChoosePalette(three, 4);
  Image img(4, 1);
  for (int i = 0; i < 4; i++) img.At(i, 0) = three[i];
  std::vector<uint8_t> index = MapToPalette(img, palette, false);
  for (int i = 0; i < 4; i++) {
    Colour c = palette[index[i]];
    EXPECT_NEAR(c.r, three[i].r, 1e-5f);
    EXPECT_NEAR(c.g, three[i].g, 1e-5f);
  }
}
}  // namespace

namespace {
TEST(BakeProgram, RefusesBadArgumentsAndUnwritablePlaces) {
  std::string program = std::string("\"") + BAKE_PROGRAM + "\"";
  EXPECT_NE(std::system((program + " > /dev/null 2>&1").c_str()), 0);
  EXPECT_NE(std::system((program + " a b > /dev/null 2>&1").c_str()), 0);
  // A file where the directory should be: failure, and nothing written beside it.
  std::string dir = FreshDirectory("bake_blocked");
  { std::ofstream(dir + "/blocked") << "x"; }
  EXPECT_NE(std::system((program + " \"" + dir + "/blocked\" > /dev/null 2>&1").c_str()), 0);
  EXPECT_FALSE(fs::exists(dir + "/blocked.part"));
}

TEST(BakeProgram, WritesALabelledContactSheet) {
  std::string dir = FreshDirectory("bake_sheet");
  // The pictures alone fill the sheet's rows.
  std::string command = std::string("\"") + BAKE_PROGRAM + "\" \"" + dir + "\" --only pictures --contact-sheet \"" + dir + "/sheet.png\" > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::vector<uint8_t> png = ReadFile(dir + "/sheet.png");
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(png[1], 'P');
  // Width and height from the header: six columns, rows for every picture.
  uint32_t width = png[16] << 24 | png[17] << 16 | png[18] << 8 | png[19];
  uint32_t height = png[20] << 24 | png[21] << 16 | png[22] << 8 | png[23];
  EXPECT_GT(width, 6u * 300u);
  EXPECT_GT(height, 5u * 300u);
  fs::remove_all(dir);
}
}  // namespace

namespace {
TEST(BakePictureList, SizesAndAspectsFitHowTheShowDrawsThem) {
  for (const PictureEntry& p : PictureEntries()) {
    SCOPED_TRACE(p.name);
    EXPECT_TRUE(PowerOfTwo(p.width) && PowerOfTwo(p.height));
    std::string name = p.name;
    float aspect = (float)p.drawWidth / p.drawHeight;
    // Full-screen pictures are drawn at the screen's 4:3; the by-line quad is 2:1; the page 1:3.2.
    bool fullScreen = name.rfind("pict/", 0) == 0 || name == "text/title.jpg" || name.rfind("text/logo", 0) == 0;
    float want = name == "pict/scroll.jpg" ? 1 / 3.2f : name == "text/by.jpg" ? 2.0f : fullScreen ? 4.0f / 3.0f : aspect;
    EXPECT_NEAR(aspect, want, 0.01f);
  }
}

TEST(BakePictureList, DrawingIsPure) {
  // The same picture drawn twice in one process is the same: no state carried between draws.
  std::string error;
  ASSERT_TRUE(LoadFonts(&error)) << error;
  for (const PictureEntry& p : PictureEntries()) {
    std::string name = p.name;
    if (name != "text/by.jpg" && name != "text/3.jpg" && name != "text/ball.jpg") continue;
    Image a = RenderPicture(p), b = RenderPicture(p);
    ASSERT_EQ(a.pixels.size(), b.pixels.size());
    EXPECT_TRUE(ToRgb8(a) == ToRgb8(b)) << name;
  }
  FreeFonts();
}
}  // namespace
