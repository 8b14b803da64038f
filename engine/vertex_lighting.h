// engine/vertex_lighting.h - the precomputed lighting files of the scenes (maps/*.vlo).
//
// Owns: reading a lighting file into a loaded scene: one r, g, b float triple per vertex
// of every mesh in list order (into vertexColours), and for the light-mapped kind then one
// record per face of every mesh that is not a model anchor: a byte that says whether a
// map follows, its edge N and the stored triangle of N x (N + 1) / 2 RGB texels, which is
// mirrored across the anti-diagonal into a full N x N map. The maps are packed into a few
// shared textures (faceLightMaps names the texture, faceLightMapPlaces the place in it).
//
// The files have no header and no counts: their layout follows from the scene they were
// made for. A missing or short file leaves the scene usable: what was read stays, the
// rest keeps its white colours and has no light maps. A light-map edge that is not a
// power of two or exceeds the GL limit, or texels past the end of the file, end the
// light-map section. Both readers leave the scene's cursor rewound.
//
// Reads: the scene's meshes (engine/scene.h). Creates GL textures (a context must be
// current for the light-mapped kind). Called by: the asset manifest, the preview, tests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/scene.h"

// Colour section only. False when the file cannot be opened or is shorter than the scene
// requires (the colours read up to that point stay).
bool LoadVertexLighting(Scene3ds* scene, const char* path);
// Colour section (additive meshes get white colours), then the light-map section. False
// when the file cannot be opened, is short, or a light map is refused.
bool LoadVertexLightingWithLightMaps(Scene3ds* scene, const char* path);

// The same readers over bytes in memory.
bool ParseVertexLighting(Scene3ds* scene, const uint8_t* data, size_t size);
bool ParseVertexLightingWithLightMaps(Scene3ds* scene, const uint8_t* data, size_t size);

// The mirror step of a light map: copies every stored texel (row l, column m, l + m < N)
// of an N x N RGB image to (N - 1 - m, N - 1 - l).
void MirrorLightMap(uint8_t* texels, uint32_t n);
