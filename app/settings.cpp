#include "app/settings.h"

#include "app/window.h"

bool LauncherClosed = false;
bool StartRequested = false;

int32_t ScreenWidth = 1024;
int32_t ScreenHeight = 768;

bool SkyboxEnabled = true;
int32_t ViewRangeCells = 2;
float GridCellSize = 150.0f;
bool ParticleDepthMask = false;

int32_t SkyboxSideSlot = 0;
int32_t SkyboxTopSlot = 0;
bool ModelScaleEnabled = false;

void SetDefaultSettings() {
  ScreenWidth = 1024;
  ScreenHeight = 768;
  SkyboxEnabled = true;
  ViewRangeCells = 2;
  GridCellSize = 150.0f;
  ParticleDepthMask = false;
  EscapeRequested = false;
}
