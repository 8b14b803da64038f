// scenes/scenes.cpp - the scenes by name, in play order, for the tools.
#include "scenes/scenes.h"

#include <cstring>

// The night flight's 30 s of flight plus its cards: the opening logo card, one per change
// of camera (two with the three cameras of its scene) and the closing title card.
const SceneEntry Scenes[SceneCount] = {
    {"night_flight", RunNightFlight, 54.0f},
    {"jungle_flight", RunJungleFlight, 52.0f},
    {"swelling_balls", RunSwellingBalls, 6.0f},
    {"tunnel", RunTunnel, 12.0f},
    {"streamers", RunStreamers, 12.0f},
    {"palace", RunPalace, 51.5f},
    {"bath", RunBathScene, 24.0f},
    {"computer_room", RunComputerRoom, 22.0f},
    {"scrolling_page", RunScrollingPage, 35.0f},
    {"water_credits", RunWaterCredits, 15.0f},
};

const SceneEntry* FindSceneEntry(const char* name) {
  if (!name) return nullptr;
  for (const SceneEntry& entry : Scenes)
    if (strcmp(entry.name, name) == 0) return &entry;
  return nullptr;
}
