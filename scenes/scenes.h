// scenes/scenes.h - the ten parts of the show, in play order.
//
// Each scene is a self-contained timed loop: it sets the render settings and GL state it
// needs, runs its DemoTimer through RunSceneLoop (or loops of its own with the same rules)
// and returns when its time is up or EscapeRequested is set. A scene started with
// EscapeRequested set still does its set-up and draws no frame.
// Reads: the loaded globals (assets/manifest.h), the TextureTable, the engine, the effects.
// Called by: RunDemo (timeline/demo_sequence.h), and by the offline renderer's scene
// selection.
#pragma once

void RunNightFlight();     // 30 s of flight on its own clock, with the cards inside: 54 s
void RunJungleFlight();    // 52 s
void RunSwellingBalls();   // 6 s
void RunTunnel();          // 12 s
void RunStreamers();       // 12 s
void RunPalace();          // 51.5 s
void RunBathScene();       // 24 s
void RunComputerRoom();    // 22 s
void RunScrollingPage();   // 35 s
void RunWaterCredits();    // 15 s

// The cards run from inside the night flight's frames.
void RunLogoCard();   // 4 s
void RunTitleCard();  // 12 s

// The scenes by the names the tools use, in play order.
struct SceneEntry {
  const char* name;
  void (*run)();
  float seconds;  // how long it runs when nothing cuts it short
};
enum { SceneCount = 10 };
extern const SceneEntry Scenes[SceneCount];
// The entry of that name, or null.
const SceneEntry* FindSceneEntry(const char* name);
