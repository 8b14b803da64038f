// timeline/frame_services.h - clearing and presenting frames, and the screen overlays.
//
// Free functions used by every scene around and on top of its 3D drawing. They draw in
// eye space with the show's fixed projection (45 degrees vertical, 4:3, near 0.5, far
// 2000), so their quads are placed by fixed coordinates: a quad at eye depth -3.6 covers
// the screen. Textures are named by TextureTable slot. Texture coordinate t = 0 is the
// top edge of a picture. Each overlay leaves the GL state its comment names, which
// callers that chain these calls rely on.
#pragma once

#include "timeline/demo_timer.h"

void ClearFrame();  // colour and depth buffers
void EndFrame();    // present the frame
void AdditiveBlend();  // blend ONE, ONE, blending on
void BlendOff();
// A backdrop drawn after what stands in front of it: between these calls everything lands
// at the far plane, depth-tested (LEQUAL) without depth writes, so it fills just the
// pixels nothing has been drawn on, the picture it gives drawn first without a depth
// test, and its texels hidden behind are never fetched. After: depth test on with the
// depth function found, depth range 0..1, depth writes on.
void BeginBackdrop();
void EndBackdrop();

// Frame times (1 - amount). After: depth test and texturing on, blending off (DST_COLOR, ZERO).
void FadeToBlack(float amount);
// Adds grey (intensity). After: depth test and texturing on, blending off (ONE, ONE).
void AddFlash(float intensity);
// The slot's picture over the whole screen, tinted by brightness. After: depth test on;
// texturing and blending as the caller had them.
void DrawPicture(int slot, float brightness);
// The slot's picture in n by n tiles that fly into place as phase goes 0 to 1.
// After: depth test on, blending off, the last tile's matrix.
void TileScatter(int slot, float angle, int n, float phase);
void TileScatterSwapped(int slot, float angle, int n, float phase);
// Copies the frame's lower-left width by height pixels into the slot's texture (left bound).
void CopyFrameToTexture(int slot, int width, int height);
// A square sprite at (x, y, z) stepping through `count` frames from slot `first` and
// fading out between t0 and t1 of the timer. Outside [t0, t1] it draws nothing and
// changes no state. After drawing: depth test on, blending off (ONE, ONE).
void FlipbookSprite(int first, int count, const DemoTimer& timer, float t0, float t1, float size,
                    float x, float y, float z);
