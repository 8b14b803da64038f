// app/gl.h - the OpenGL headers as the show uses them, with the multitexture entry points.
//
// Owns: the six GL_ARB_multitexture entry points, loaded at run time by LoadExtensions
// (app/window.h) through the context's proc-address function. Every show file includes
// this header instead of <GL/gl.h>, so that the names glActiveTextureARB and
// glMultiTexCoord2fARB refer to the loaded pointers, never to the library's own symbols.
//
// Until LoadExtensions succeeds the pointers lead to functions that do nothing, so no
// call ever goes through a null pointer; `MultitextureReady` tells drawing code whether
// the second texture layer can be used at all (it skips that layer when false).
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glext.h>

extern PFNGLMULTITEXCOORD1FARBPROC LoadedMultiTexCoord1fARB;
extern PFNGLMULTITEXCOORD2FARBPROC LoadedMultiTexCoord2fARB;
extern PFNGLMULTITEXCOORD3FARBPROC LoadedMultiTexCoord3fARB;
extern PFNGLMULTITEXCOORD4FARBPROC LoadedMultiTexCoord4fARB;
extern PFNGLACTIVETEXTUREARBPROC LoadedActiveTextureARB;
extern PFNGLCLIENTACTIVETEXTUREARBPROC LoadedClientActiveTextureARB;

#define glMultiTexCoord1fARB LoadedMultiTexCoord1fARB
#define glMultiTexCoord2fARB LoadedMultiTexCoord2fARB
#define glMultiTexCoord3fARB LoadedMultiTexCoord3fARB
#define glMultiTexCoord4fARB LoadedMultiTexCoord4fARB
#define glActiveTextureARB LoadedActiveTextureARB
#define glClientActiveTextureARB LoadedClientActiveTextureARB

// True once both GL_ARB_multitexture and GL_EXT_texture_env_combine were found and the
// entry points loaded. Code that draws a second texture layer tests it first.
extern bool MultitextureReady;
