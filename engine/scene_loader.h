// engine/scene_loader.h - reading a 3DS file into a Scene3ds.
//
// Owns: the walk over the file's chunk tree (meshes with vertices, faces, mapping
// coordinates and material textures; lights; cameras; the keyframer's position, rotation
// and camera-target tracks) and the pass after reading that sets each node's starting
// pose, derives the mesh flags from the name prefixes, builds alpha-masked textures,
// collects the cameras and computes the animation frame range.
//
// Reads: the file through engine/file_reading; material names are JPEG paths, loaded with
// assets/jpeg_texture (so a GL context should be current while a scene loads).
// Called by: the asset manifest once per scene file, the offline renderer's preview, tests.
//
// A damaged or hostile file never makes the loader read outside the file or the chunk
// being read, overrun a table, allocate more than its chunk could hold or keep a face whose
// vertex index is out of range; the cases are reported with LogWarn("3ds", ...), and the
// scene keeps whatever was read before the damage.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/scene.h"

// Fills a newly created (all-zero) scene from the 3DS file at `path`. True when the file
// was read; false when it cannot be opened or does not begin with a 0x4D4D main chunk, in
// which case the scene stays empty (objectCount 0).
bool LoadScene(Scene3ds* scene, const char* path);
// The same from bytes in memory (tests, fuzzing); `name` only labels log lines.
bool LoadSceneFromMemory(Scene3ds* scene, const uint8_t* data, size_t size,
                         const char* name = "(memory)");

// The mask picture of an alpha-masked material: the name with the character after its
// first '/' replaced by '@' (maps/glass.jpg -> maps/@lass.jpg); a name without '/' has its
// first character replaced. Writes SceneTextureNameSize bytes to `mask`; false when the
// name has no character to replace.
bool AlphaMaskPath(const char* material, char* mask);
