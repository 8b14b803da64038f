// tools/bake/main.cpp - vellumar2-bake: builds the show's data set from code.
//
// Usage: vellumar2-bake OUTDIR [--contact-sheet FILE.png] [--only NAME,NAME...]
// Runs every generator of the list below in order (or only the named ones, for looking at
// one piece of content quickly), then writes OUTDIR/datas.vlo from the
// members they produced; generators that make files beside the archive (the music) write
// them into OUTDIR themselves. Everything is deterministic: two bakes give the same bytes.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "tools/bake/bake.h"
#include "tools/bake/contact_sheet.h"
#include "tools/bake/pictures.h"
#include "tools/bake/scenes/scenes3d.h"
#include "tools/bake/text.h"
#ifdef VELLUMAR_BAKE_MUSIC
#include "tools/bake/music/music.h"
#endif

namespace {
#ifdef VELLUMAR_BAKE_MUSIC
bool BakeMusic(BakeOutput& out, std::string* error) { return BakeMusicTracks(out.outDir, error); }
#endif

// One entry per kind of content, in the order they run.
const Generator Generators[] = {
    {"pictures", BakePictures},
    {"avion", BakeAvion},
    {"balls", BakeBalls},
    {"creatures", BakeCreatures},
    {"jungle", BakeJungle},
    {"tunnel", BakeTunnel},
    {"palace", BakePalace},
    {"bain", BakeBain},
    {"comput", BakeComput},
#ifdef VELLUMAR_BAKE_MUSIC
    {"music", BakeMusic},
#endif
};
}  // namespace

int main(int argc, char** argv) {
  std::string outDir, sheetPath, only;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--contact-sheet") == 0 && i + 1 < argc) sheetPath = argv[++i];
    else if (strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = "," + std::string(argv[++i]) + ",";
    else if (outDir.empty() && argv[i][0] != '-') outDir = argv[i];
    else outDir.clear(), i = argc;
  }
  if (outDir.empty()) {
    fprintf(stderr, "usage: vellumar2-bake OUTDIR [--contact-sheet FILE.png] [--only NAME,NAME...]\n");
    return 2;
  }
  std::error_code ec;
  std::filesystem::create_directories(outDir, ec);
  if (!std::filesystem::is_directory(outDir, ec)) {
    fprintf(stderr, "vellumar2-bake: cannot create the directory %s\n", outDir.c_str());
    return 1;
  }
  std::string error;
  if (!LoadFonts(&error)) {
    fprintf(stderr, "vellumar2-bake: %s\n", error.c_str());
    return 1;
  }
  BakeOutput out;
  out.outDir = outDir;
  out.wantSheet = !sheetPath.empty();
  int status = 0;
  for (const Generator& g : Generators) {
    if (!only.empty() && only.find("," + std::string(g.name) + ",") == std::string::npos) continue;
    if (!g.run(out, &error)) {
      fprintf(stderr, "vellumar2-bake: %s: %s\n", g.name, error.c_str());
      status = 1;
      break;
    }
  }
  if (status == 0 && !WriteArchive(outDir + "/datas.vlo", out.members, &error)) {
    fprintf(stderr, "vellumar2-bake: %s\n", error.c_str());
    status = 1;
  }
  if (status == 0 && out.wantSheet && !WriteContactSheet(sheetPath, out.sheet, &error)) {
    fprintf(stderr, "vellumar2-bake: %s\n", error.c_str());
    status = 1;
  }
  FreeFonts();
  if (status == 0) printf("vellumar2-bake: %zu members in %s/datas.vlo\n", out.members.size(), outDir.c_str());
  return status;
}
