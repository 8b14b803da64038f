// timeline/load_timing.h - marks that split the loading into its groups, for tools.
//
// Owns: one hook. The loading (LoadAssets) calls LoadTimingBegin as its first step,
// LoadTimingMark after each group of loads with the group's name ("unpacking", "font",
// "textures", "loading screen", "scene jungle" (a scene by its file's name, with its
// lighting and emitters), "grids", "models", "particle systems", "music"), and
// LoadTimingEnd once everything is loaded, before the wait for the music. A mark
// means: the time since the previous mark (or the begin) went to this group; a name may
// come back, and its times add up. Without a hook (the show itself) the calls do nothing.
// Called by: the asset manifest. Read by: the offline renderer's benchmark, which
// installs the hook and measures real time (the show's clock may be virtual there).
#pragma once

enum LoadTimingEvent { LoadTimingBegan, LoadTimingMarked, LoadTimingEnded };
typedef void (*LoadTimingHook)(LoadTimingEvent event, const char* group, void* user);

void LoadTimingBegin();
void LoadTimingMark(const char* group);
void LoadTimingEnd();
void SetLoadTimingHook(LoadTimingHook hook, void* user);  // null removes it
