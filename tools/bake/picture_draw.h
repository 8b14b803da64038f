// tools/bake/picture_draw.h - the drawing functions of the pictures, one per file, and the
// shading helpers they share. Internal to the picture generator (pictures.cpp lists them).
#pragma once

#include "tools/bake/draw.h"
#include "tools/bake/image.h"
#include "tools/bake/noise.h"
#include "tools/bake/text.h"

// Surfaces and sprites (picture_surfaces.cpp).
void DrawClouds(Image& c);       // text/sky.jpg
void DrawPlasma(Image& c);       // text/meta.jpg
void DrawScreenMask(Image& c);   // text/screen.jpg
void DrawFlashFrame1(Image& c);  // text/1.jpg ... text/7.jpg
void DrawFlashFrame2(Image& c);
void DrawFlashFrame3(Image& c);
void DrawFlashFrame4(Image& c);
void DrawFlashFrame5(Image& c);
void DrawFlashFrame6(Image& c);
void DrawFlashFrame7(Image& c);
void DrawSkyWall(Image& c);      // text/sky_tu.jpg
void DrawSkyTop(Image& c);       // text/sky_up.jpg
void DrawGlossy(Image& c);       // text/ball.jpg
void DrawCaustics(Image& c);     // text/twater.jpg
void DrawScales(Image& c);       // text/sball.jpg
void DrawRay(Image& c);          // text/light.jpg
void DrawSmokePuff(Image& c);    // text/smoker.jpg
void DrawFireTint(Image& c);     // text/fire.jpg
void DrawSpark(Image& c);        // text/tpart.jpg
void DrawFontMetal(Image& c);    // text/font.jpg
void DrawEnvironment(Image& c);  // text/flash.jpg

// Screens, cards and posters (picture_posters.cpp).
void DrawLoading(Image& c);      // pict/loading.jpg
void DrawMetalArt(Image& c);     // pict/meta.jpg
void DrawLogo1(Image& c);        // text/logo1.jpg ... logo4.jpg
void DrawLogo2(Image& c);
void DrawLogo3(Image& c);
void DrawLogo4(Image& c);
void DrawByLine(Image& c);       // text/by.jpg
void DrawTitle(Image& c);        // text/title.jpg
void DrawRaptorPoster(Image& c); // pict/dino.jpg
void DrawScrollPage(Image& c);   // pict/scroll.jpg

// A palm standing at `base` (its foot), `height` pixels tall, its top `lean` pixels aside.
void DrawPalm(Mask& m, Point base, float height, float lean, Rng& rng);

// A chrome reflection: the colour a mirror-like surface with normal (nx, ny up, nz to the
// viewer) shows of a studio environment (bright sky, white horizon, dark warm ground).
Colour ChromeReflection(float nx, float ny, float nz);
