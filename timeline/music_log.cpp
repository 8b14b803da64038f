// timeline/music_log.cpp - the music's event list for tools.
#include "timeline/music_log.h"

#include <algorithm>

#include "platform/platform.h"

namespace {
bool recording = false;
std::vector<MusicEvent> events;
// A show makes a handful of calls; far more means a loop gone wrong, not music.
const size_t MaxEvents = 100000;
}  // namespace

void MusicLogEnable(bool enabled) {
  recording = enabled;
  events.clear();
}
bool MusicLogEnabled() { return recording; }
void MusicLogClear() { events.clear(); }
const std::vector<MusicEvent>& MusicLogEvents() { return events; }

void MusicLogAdd(MusicEventType type, const char* file, int volume) {
  if (!recording || events.size() >= MaxEvents) return;
  MusicEvent e;
  e.type = type;
  e.ticks = PlatformTicks();
  if (file) e.file = file;
  e.volume = std::clamp(volume, 0, 255);
  events.push_back(e);
}
