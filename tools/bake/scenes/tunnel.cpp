// tools/bake/scenes/tunnel.cpp - not built yet.
#include "tools/bake/scenes/scenes3d.h"

bool BakeTunnel(BakeOutput&, std::string*) { return true; }
