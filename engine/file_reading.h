// engine/file_reading.h - the reading primitives of the 3DS loader.
//
// Owns: the reader a scene holds while it loads (the file's bytes in memory, a position
// and the end of the chunk being read), little-endian integers and floats, chunk headers
// and chunk skipping, points with the axis conversion, face index triples, short names,
// and the trace hook that announces each chunk the loader handles.
//
// Two decisions every other part of the engine relies on live here:
//  - the axis conversion: a file point (x, y, z) becomes the scene's (x, z, -y); ReadPoint
//    is the only place where coordinates change their frame;
//  - chunk lengths are trusted for navigation, but the enclosing chunk's end bounds every
//    read: a reader never goes past `limit`, which a level narrows to its chunk's end (and
//    never widens past the file). A value that cannot be read there is zero and leaves the
//    position at the limit.
//
// Called by: engine/scene_loader only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/scene.h"

struct SceneReader {
  std::vector<uint8_t> owned;    // the file's bytes when the reader opened a file
  const uint8_t* data = nullptr; // the bytes being read (owned's or the caller's)
  uint32_t size = 0;             // bytes in data
  uint32_t pos = 0;              // current offset
  uint32_t limit = 0;            // no read goes past this offset; <= size
};

struct ChunkHeader {
  int32_t start = 0;    // offset of the header's first byte
  uint16_t id = 0;
  uint32_t length = 0;  // as read: covers the 6-byte header, the data and all sub-chunks
  uint32_t end = 0;     // start + length, unsigned
};

enum { ChunkHeaderSize = 6, SceneNameSize = 80 };
// Files larger than this are not read at all (no 3DS file of the show comes near it).
enum : uint32_t { SceneFileMaxBytes = 256u * 1024u * 1024u };

// Opens `path` for reading into the scene's `file`; false (nothing left open) when the
// file cannot be opened, read, or exceeds SceneFileMaxBytes.
bool OpenSceneFile(Scene3ds* scene, const char* path);
// Reads from bytes the caller keeps alive until CloseSceneFile.
void OpenSceneMemory(Scene3ds* scene, const uint8_t* data, size_t size);
void CloseSceneFile(Scene3ds* scene);

// Bytes that can still be read before the reader's limit.
uint32_t BytesLeft(const SceneReader& reader);

uint16_t ReadU16(SceneReader& reader);
uint32_t ReadU32(SceneReader& reader);
float ReadFloat(SceneReader& reader);
uint8_t ReadU8(SceneReader& reader);
// Fills `h` from the current position. False when fewer than 6 bytes are left before the
// limit; the header is then not consumed.
bool ReadChunkHeader(SceneReader& reader, ChunkHeader* h);
// Moves to h.end, or to the limit when h.end lies beyond it (absolute seek).
void SkipChunk(SceneReader& reader, const ChunkHeader& h);
// Three floats f1, f2, f3 stored as (f1, f3, -f2).
void ReadPoint(SceneReader& reader, Vec3* p);
// Three floats stored unchanged (colours).
void ReadFloat3(SceneReader& reader, float* rgb);
void ReadFaceIndices(SceneReader& reader, Face* f);
// Reads one byte at a time into dst, stopping after a zero byte or after `capacity`
// bytes; the stored string always ends in a zero within `capacity` bytes (a name with no
// zero byte is cut to capacity - 1 characters). Returns the bytes consumed.
uint32_t ReadName(SceneReader& reader, char* dst, uint32_t capacity = SceneNameSize);

// The trace hook: the loader calls it with one fixed line per handled chunk. Without a
// sink the lines are discarded.
typedef void (*TraceSink)(const char* line, void* user);
void SetTraceSink(TraceSink sink, void* user);
void Trace(const char* line);
