// assets/manifest.h - everything the show loads, once, before its first scene.
//
// Owns: the loaded globals (scenes, grids, models, particle systems, work arrays), the
// loading level of the loading screen, and LoadAssets with its loading-screen steps. Every
// object here is created once by LoadAssets, lives for the whole show and is destroyed
// once by ReleaseAssets (timeline/demo_sequence.h). The TextureTable slots are filled here
// too (assets/texture_table.h).
// Reads: the data archive (assets/archive.h), JPEG textures, 3DS scenes, lighting files,
// models, the font. Called by: RunDemo, with the GL context current.
#pragma once

#include <cstdint>

#include "engine/scene.h"

class ParticleSystem;
class SceneGrid;
class AnimatedModel;

extern Scene3ds* PlaneScene;
extern ParticleSystem* SmokeParticles;
extern ParticleSystem* FireParticles;
extern Scene3ds* BallScene;
extern Vec3* BallPoints;     // one per vertex of BallScene's cursor node
extern Scene3ds* Ball2Scene;
extern Vec3* Ball2Points;    // one per vertex of Ball2Scene's cursor node
extern float* Ball2Values;   // one brightness per vertex of Ball2Scene's cursor node
extern Scene3ds* JungleScene;
extern SceneGrid* JungleGrid;
extern AnimatedModel* RaptorModel;  // held in JungleGrid's model field
extern Scene3ds* TunnelScene;
extern SceneGrid* TunnelGrid;
extern Scene3ds* PalaceScene;
extern SceneGrid* PalaceGrid;
extern Scene3ds* BathScene;
extern AnimatedModel* GirlModel;
extern Vec3* SmallPointSet;  // 200 entries
extern Vec3* LargePointSet;  // 40000 entries
extern ParticleSystem* SparkParticles;
extern Scene3ds* ComputerScene;
extern SceneGrid* ComputerGrid;

// Sizes of the work arrays, as allocated (0 before loading).
extern int32_t BallPointCount;
extern int32_t Ball2PointCount;
enum { SmallPointSetSize = 200, LargePointSetSize = 40000 };

// Raised by each loading-screen step; the loading picture is darkened by LoadingLevel / 60.
extern float LoadingLevel;

void LoadAssets();
void ShowLoadingStep(float step);
