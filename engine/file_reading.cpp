// engine/file_reading.cpp - bounded little-endian reads over a scene file held in memory.
#include "engine/file_reading.h"

#include <cstdio>
#include <cstring>

namespace {

TraceSink traceSink = nullptr;
void* traceUser = nullptr;

// Copies n bytes at the position into out and advances; bytes past the limit read as
// zero and the position stops at the limit.
void ReadBytes(SceneReader& reader, uint8_t* out, uint32_t n) {
  memset(out, 0, n);
  uint32_t available = BytesLeft(reader);
  uint32_t take = n < available ? n : available;
  if (take) memcpy(out, reader.data + reader.pos, take);
  reader.pos += take;
}

}  // namespace

bool OpenSceneFile(Scene3ds* scene, const char* path) {
  if (!scene || !path) return false;
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  std::vector<uint8_t> bytes;
  bool ok = fseek(f, 0, SEEK_END) == 0;
  long size = ok ? ftell(f) : -1;
  ok = ok && size >= 0 && static_cast<unsigned long>(size) <= SceneFileMaxBytes &&
       fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    bytes.resize(static_cast<size_t>(size));
    ok = size == 0 || fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
  }
  fclose(f);
  if (!ok) return false;
  CloseSceneFile(scene);
  SceneReader* reader = new SceneReader;
  reader->owned = std::move(bytes);
  reader->data = reader->owned.data();
  reader->size = static_cast<uint32_t>(reader->owned.size());
  reader->limit = reader->size;
  scene->file = reader;
  return true;
}

void OpenSceneMemory(Scene3ds* scene, const uint8_t* data, size_t size) {
  if (!scene) return;
  CloseSceneFile(scene);
  SceneReader* reader = new SceneReader;
  reader->data = data;
  reader->size = size > SceneFileMaxBytes || !data ? 0 : static_cast<uint32_t>(size);
  reader->limit = reader->size;
  scene->file = reader;
}

void CloseSceneFile(Scene3ds* scene) {
  if (!scene) return;
  delete scene->file;
  scene->file = nullptr;
}

uint32_t BytesLeft(const SceneReader& reader) {
  return reader.pos < reader.limit ? reader.limit - reader.pos : 0;
}

uint8_t ReadU8(SceneReader& reader) {
  uint8_t b = 0;
  ReadBytes(reader, &b, 1);
  return b;
}

uint16_t ReadU16(SceneReader& reader) {
  uint8_t b[2];
  ReadBytes(reader, b, 2);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t ReadU32(SceneReader& reader) {
  uint8_t b[4];
  ReadBytes(reader, b, 4);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

float ReadFloat(SceneReader& reader) {
  uint32_t bits = ReadU32(reader);
  float value;
  memcpy(&value, &bits, sizeof value);
  return value;
}

bool ReadChunkHeader(SceneReader& reader, ChunkHeader* h) {
  if (BytesLeft(reader) < ChunkHeaderSize) return false;
  h->start = static_cast<int32_t>(reader.pos);
  h->id = ReadU16(reader);
  h->length = ReadU32(reader);
  h->end = static_cast<uint32_t>(h->start) + h->length;
  // A length that wraps around the offset space lies beyond every limit.
  if (h->end < static_cast<uint32_t>(h->start)) h->end = UINT32_MAX;
  return true;
}

void SkipChunk(SceneReader& reader, const ChunkHeader& h) {
  reader.pos = h.end < reader.limit ? h.end : reader.limit;
}

void ReadPoint(SceneReader& reader, Vec3* p) {
  float f1 = ReadFloat(reader);
  float f2 = ReadFloat(reader);
  float f3 = ReadFloat(reader);
  p->x = f1;
  p->y = f3;
  p->z = -f2;
}

void ReadFloat3(SceneReader& reader, float* rgb) {
  rgb[0] = ReadFloat(reader);
  rgb[1] = ReadFloat(reader);
  rgb[2] = ReadFloat(reader);
}

void ReadFaceIndices(SceneReader& reader, Face* f) {
  f->a = ReadU16(reader);
  f->b = ReadU16(reader);
  f->c = ReadU16(reader);
}

uint32_t ReadName(SceneReader& reader, char* dst, uint32_t capacity) {
  if (capacity == 0) return 0;
  memset(dst, 0, capacity);
  uint32_t consumed = 0;
  while (consumed < capacity && BytesLeft(reader) > 0) {
    uint8_t c = ReadU8(reader);
    ++consumed;
    if (c == 0) break;
    if (consumed < capacity) dst[consumed - 1] = static_cast<char>(c);
  }
  dst[capacity - 1] = 0;
  return consumed;
}

void SetTraceSink(TraceSink sink, void* user) {
  traceSink = sink;
  traceUser = user;
}

void Trace(const char* line) {
  if (traceSink) traceSink(line, traceUser);
}
