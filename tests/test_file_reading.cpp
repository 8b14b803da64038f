// Reading primitives: byte order, the axis conversion, chunk navigation and names, and
// that nothing reads past the limit of the chunk being read.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/file_reading.h"
#include "engine/scene.h"

namespace {

struct Reader {
  Scene3ds scene;
  std::vector<uint8_t> bytes;
  explicit Reader(std::vector<uint8_t> b) : bytes(std::move(b)) {
    OpenSceneMemory(&scene, bytes.data(), bytes.size());
  }
  SceneReader& r() { return *scene.file; }
};

TEST(FileReading, PointsAreConvertedAndColoursAreNot) {
  const std::vector<uint8_t> bytes = {0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40,
                                      0x00, 0x00, 0x40, 0x40};
  Reader point(bytes);
  Vec3 p;
  ReadPoint(point.r(), &p);
  EXPECT_EQ(p.x, 1.0f);
  EXPECT_EQ(p.y, 3.0f);
  EXPECT_EQ(p.z, -2.0f);
  EXPECT_EQ(point.r().pos, 12u);

  Reader colour(bytes);
  float rgb[3];
  ReadFloat3(colour.r(), rgb);
  EXPECT_EQ(rgb[0], 1.0f);
  EXPECT_EQ(rgb[1], 2.0f);
  EXPECT_EQ(rgb[2], 3.0f);

  Reader ints({0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00});
  EXPECT_EQ(ReadU16(ints.r()), 0x1234);
  EXPECT_EQ(ReadU32(ints.r()), 0x12345678u);
  Face f;
  ReadFaceIndices(ints.r(), &f);
  EXPECT_EQ(f.a, 1);
  EXPECT_EQ(f.b, 2);
  EXPECT_EQ(f.c, 3);
}

TEST(FileReading, SkipChunkLandsOnTheEndWhateverTheHandlerRead) {
  std::vector<uint8_t> bytes(200, 0);
  // A header at offset 6: id 0x4110, length 100.
  bytes[6] = 0x10;
  bytes[7] = 0x41;
  bytes[8] = 100;
  Reader reader(bytes);
  reader.r().pos = 6;
  ChunkHeader h;
  ASSERT_TRUE(ReadChunkHeader(reader.r(), &h));
  EXPECT_EQ(h.start, 6);
  EXPECT_EQ(h.id, 0x4110);
  EXPECT_EQ(h.length, 100u);
  EXPECT_EQ(h.end, 106u);
  for (int i = 0; i < 5; ++i) ReadU32(reader.r());  // a handler that reads only 20 bytes
  SkipChunk(reader.r(), h);
  EXPECT_EQ(reader.r().pos, 106u);
}

TEST(FileReading, NamesStopAfterTheirZeroOrAtTheirCapacity) {
  std::vector<uint8_t> bytes = {'C', 'u', 'b', 'e', '1', 0, 'x'};
  Reader shortName(bytes);
  char name[80];
  EXPECT_EQ(ReadName(shortName.r(), name), 6u);
  EXPECT_STREQ(name, "Cube1");
  EXPECT_EQ(shortName.r().pos, 6u);

  Reader longName(std::vector<uint8_t>(100, 'a'));
  EXPECT_EQ(ReadName(longName.r(), name), 80u);
  EXPECT_EQ(longName.r().pos, 80u);
  EXPECT_EQ(strlen(name), 79u);
}

TEST(FileReading, ReadsStopAtTheLimitAndGiveZero) {
  Reader reader({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08});
  reader.r().limit = 3;
  EXPECT_EQ(ReadU16(reader.r()), 0x0201);
  EXPECT_EQ(ReadU32(reader.r()), 0x03u);  // one byte left: the rest reads as zero
  EXPECT_EQ(reader.r().pos, 3u);
  EXPECT_EQ(ReadFloat(reader.r()), 0.0f);
  ChunkHeader h;
  EXPECT_FALSE(ReadChunkHeader(reader.r(), &h));  // a short header is not consumed
  EXPECT_EQ(reader.r().pos, 3u);

  // A chunk that claims to run past the limit is skipped only to the limit, and a length
  // that wraps the offset space does too.
  Reader wide({0, 0, 0, 0, 0x00, 0x3D, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0});
  wide.r().pos = 4;
  ASSERT_TRUE(ReadChunkHeader(wide.r(), &h));
  EXPECT_EQ(h.end, UINT32_MAX);
  SkipChunk(wide.r(), h);
  EXPECT_EQ(wide.r().pos, 12u);
  char name[80];
  EXPECT_EQ(ReadName(wide.r(), name), 0u);
  EXPECT_STREQ(name, "");
}

TEST(FileReading, OpeningAMissingFileLeavesNothingOpen) {
  Scene3ds scene;
  EXPECT_FALSE(OpenSceneFile(&scene, "no/such/file.3ds"));
  EXPECT_EQ(scene.file, nullptr);

  std::string path = std::string(TEST_BINARY_DIR) + "/file_reading_small.bin";
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite("\x4d\x4d\x06\x00\x00\x00", 1, 6, f);
  fclose(f);
  ASSERT_TRUE(OpenSceneFile(&scene, path.c_str()));
  ASSERT_NE(scene.file, nullptr);
  EXPECT_EQ(ReadU16(*scene.file), 0x4D4D);
  CloseSceneFile(&scene);
  EXPECT_EQ(scene.file, nullptr);
}

TEST(FileReading, TraceLinesGoToTheSinkWhenOneIsSet) {
  std::vector<std::string> lines;
  Trace("dropped\n");
  SetTraceSink([](const char* line, void* user) {
    static_cast<std::vector<std::string>*>(user)->push_back(line);
  }, &lines);
  Trace("kept\n");
  SetTraceSink(nullptr, nullptr);
  Trace("dropped\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "kept\n");
}

}  // namespace
