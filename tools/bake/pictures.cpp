// tools/bake/pictures.cpp - the list of pictures and their baking.
#include "tools/bake/pictures.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "tools/bake/contact_sheet.h"
#include "tools/bake/jpeg.h"
#include "tools/bake/picture_draw.h"

namespace {
using R = PictureRole;
// Full-screen pictures are drawn at 1024 by 768, their aspect on screen, and stretched to a
// square file; the scrolling page keeps its 1 : 3.2 and becomes 1024 by 4096.
const std::vector<PictureEntry> Entries = {
    {"pict/loading.jpg", 1024, 1024, 1024, 768, R::Opaque, false, DrawLoading},
    {"text/sky.jpg", 512, 512, 512, 512, R::Modulated, true, DrawClouds},
    {"text/meta.jpg", 256, 256, 256, 256, R::Added, true, DrawPlasma},
    {"text/screen.jpg", 512, 512, 512, 512, R::Multiplied, false, DrawScreenMask},
    {"text/1.jpg", 256, 256, 256, 256, R::Added, false, DrawFlashFrame1},
    {"text/2.jpg", 256, 256, 256, 256, R::Added, false, DrawFlashFrame2},
    {"text/3.jpg", 256, 256, 256, 256, R::Added, false, DrawFlashFrame3},
    {"text/4.jpg", 256, 256, 256, 256, R::Added, false, DrawFlashFrame4},
    {"text/5.jpg", 256, 256, 256, 256, R::Added, false, DrawFlashFrame5},
    {"text/6.jpg", 256, 256, 256, 256, R::Added, false, DrawFlashFrame6},
    {"text/7.jpg", 256, 256, 256, 256, R::Added, false, DrawFlashFrame7},
    {"text/sky_tu.jpg", 1024, 512, 1024, 512, R::Opaque, true, DrawSkyWall},
    {"text/sky_up.jpg", 512, 512, 512, 512, R::Opaque, false, DrawSkyTop},
    {"pict/meta.jpg", 1024, 1024, 1024, 768, R::Opaque, false, DrawMetalArt},
    {"text/ball.jpg", 256, 256, 256, 256, R::Added, true, DrawGlossy},
    {"text/logo1.jpg", 512, 512, 1024, 768, R::Multiplied, false, DrawLogo1},
    {"text/logo2.jpg", 512, 512, 1024, 768, R::Multiplied, false, DrawLogo2},
    {"text/logo3.jpg", 512, 512, 1024, 768, R::Multiplied, false, DrawLogo3},
    {"text/logo4.jpg", 512, 512, 1024, 768, R::Multiplied, false, DrawLogo4},
    {"text/by.jpg", 512, 256, 512, 256, R::Added, false, DrawByLine},
    {"text/title.jpg", 1024, 1024, 1024, 768, R::Multiplied, false, DrawTitle},
    {"text/twater.jpg", 256, 256, 256, 256, R::Opaque, true, DrawCaustics},
    {"text/sball.jpg", 256, 256, 256, 256, R::Opaque, true, DrawScales},
    {"pict/dino.jpg", 1024, 1024, 1024, 768, R::Opaque, false, DrawRaptorPoster},
    {"pict/scroll.jpg", 1024, 4096, 1024, 3277, R::Opaque, false, DrawScrollPage},
    {"text/light.jpg", 256, 256, 256, 256, R::Added, false, DrawRay},
    {"text/smoker.jpg", 128, 128, 128, 128, R::Multiplied, false, DrawSmokePuff},
    {"text/fire.jpg", 128, 128, 128, 128, R::Multiplied, false, DrawFireTint},
    {"text/tpart.jpg", 64, 64, 64, 64, R::Added, false, DrawSpark},
    {"text/font.jpg", 256, 256, 256, 256, R::Added, true, DrawFontMetal},
    {"text/flash.jpg", 256, 256, 256, 256, R::Modulated, true, DrawEnvironment},
};

const char* RoleName(PictureRole r) {
  switch (r) {
    case R::Opaque: return "opaque";
    case R::Multiplied: return "multiplied";
    case R::Added: return "added";
    case R::Modulated: return "modulated";
  }
  return "";
}
}  // namespace

const std::vector<PictureEntry>& PictureEntries() { return Entries; }

Image RenderPicture(const PictureEntry& entry) {
  Image canvas(entry.drawWidth, entry.drawHeight);
  entry.draw(canvas);
  return Resize(canvas, entry.width, entry.height, entry.seamless);
}

bool BakePictures(BakeOutput& out, std::string* error) {
  // The pictures are independent: they are drawn on a few threads, each result kept in its
  // own place, and added to the output in list order, so the bytes do not depend on timing.
  std::vector<Image> pictures(Entries.size());
  std::vector<std::vector<uint8_t>> files(Entries.size());
  std::atomic<size_t> next{0};
  auto work = [&]() {
    for (size_t i; (i = next++) < Entries.size();) {
      pictures[i] = RenderPicture(Entries[i]);
      files[i] = EncodeJpeg(ToRgb8(pictures[i]), pictures[i].width, pictures[i].height, PictureQuality);
    }
  };
  unsigned count = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
  std::vector<std::thread> workers;
  for (unsigned t = 1; t < count; t++) workers.emplace_back(work);
  work();
  for (std::thread& t : workers) t.join();
  for (size_t i = 0; i < Entries.size(); i++) {
    const PictureEntry& entry = Entries[i];
    const Image& picture = pictures[i];
    std::vector<uint8_t>& jpeg = files[i];
    if (jpeg.empty()) {
      if (error) *error = std::string("cannot encode ") + entry.name;
      return false;
    }
    out.members.push_back({entry.name, std::move(jpeg)});
    if (out.wantSheet) {
      float aspect = (float)entry.drawWidth / entry.drawHeight;
      out.sheet.push_back({std::string(entry.name) + "  " + RoleName(entry.role), Thumbnail(picture, aspect, 300)});
    }
  }
  return true;
}
