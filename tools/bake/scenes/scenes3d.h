// tools/bake/scenes/scenes3d.h - the generators of the show's 3D content.
//
// Owns: the list of scene builders; each adds its scene file, its lighting file and every
// material picture (with masks) it names to the archive. One file per scene:
//   avion.cpp (maps/avion.3ds), balls.cpp (maps/ball.3ds, maps/ball2.3ds),
//   jungle.cpp, tunnel.cpp, palace.cpp, bain.cpp, comput.cpp (maps/<name>.3ds + .vlo),
//   creatures.cpp (maps/raptor.ryx, maps/girl.ryx and their skins).
// Called by: the baker's main, one generator each (named avion, balls, creatures, jungle,
// tunnel, palace, bain, comput).
#pragma once

#include <string>

#include "tools/bake/bake.h"
#include "tools/bake/scenes/scene_build.h"

bool BakeAvion(BakeOutput& out, std::string* error);
bool BakeBalls(BakeOutput& out, std::string* error);
bool BakeJungle(BakeOutput& out, std::string* error);
bool BakeTunnel(BakeOutput& out, std::string* error);
bool BakePalace(BakeOutput& out, std::string* error);
bool BakeBain(BakeOutput& out, std::string* error);
bool BakeComput(BakeOutput& out, std::string* error);
bool BakeCreatures(BakeOutput& out, std::string* error);

// The scenes without their pictures and lighting, for the tests that walk their cameras
// and check their layout.
BakeScene BuildBainScene();
BakeScene BuildComputScene();
void BuildPalaceScene(BakeScene* scene);
bool BuildTunnelScene(BakeScene* scene, std::string* error);
