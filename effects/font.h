// effects/font.h - the outline font used to print text in 3D.
//
// Owns: the font's display lists. Called by loading (building the font), the scenes
// (printing) and shut-down (DeleteFont).
#pragma once

void DeleteFont();
