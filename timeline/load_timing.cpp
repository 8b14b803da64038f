// timeline/load_timing.cpp - forwards the loading's marks to the installed hook.
#include "timeline/load_timing.h"

namespace {
LoadTimingHook hook = nullptr;
void* hookUser = nullptr;
}  // namespace

void LoadTimingBegin() {
  if (hook) hook(LoadTimingBegan, nullptr, hookUser);
}
void LoadTimingMark(const char* group) {
  if (hook) hook(LoadTimingMarked, group ? group : "", hookUser);
}
void LoadTimingEnd() {
  if (hook) hook(LoadTimingEnded, nullptr, hookUser);
}
void SetLoadTimingHook(LoadTimingHook h, void* user) {
  hook = h;
  hookUser = user;
}
