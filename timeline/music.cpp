// timeline/music.cpp - the sound output. Until the music layer is built the show is
// silent: starting and stopping sound do nothing.
#include "timeline/music.h"

void StartSound() {}
void StopSound() {}
