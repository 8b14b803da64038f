// scenes/night_flight.cpp - the opening scene: the plane in the rainy night sky, framed by
// the logo and title cards.
#include "scenes/night_flight.h"

#include <cstdlib>
#include <cstring>

#include "app/gl.h"
#include "app/settings.h"
#include "assets/manifest.h"
#include "assets/texture_table.h"
#include "effects/particles.h"
#include "engine/animation.h"
#include "engine/renderer.h"
#include "scenes/scenes.h"
#include "timeline/frame_services.h"
#include "timeline/scene_loop.h"

namespace {
const float FlightSeconds = 30.0f;
// The logo card's length: the flight's clock is held back by this much per card.
const float CardSeconds = 4.0f;

const int CloudSlot = 1;
const int ScreenSlot = 4;

const int RainLines = 20000;
const int ArcsPerMesh = 6;
const int ArcPoints = 100;
const int Bolts = 5;
const int BoltPoints = 20;
const int BranchPoints = 40;

void CameraRotation(Vec3 r) {
  glLoadIdentity();
  glRotatef(r.x, 1.0f, 0.0f, 0.0f);
  glRotatef(r.y, 0.0f, 1.0f, 0.0f);
  glRotatef(r.z, 0.0f, 0.0f, 1.0f);
}

void CameraView(Vec3 r, Vec3 eye) {
  CameraRotation(r);
  glTranslatef(-eye.x, -eye.y, -eye.z);
}

// Texture coordinates for both units; the second layer is left out without multitexture.
void TexCoords(float s0, float s1, float t) {
  if (MultitextureReady) {
    glMultiTexCoord2fARB(GL_TEXTURE0_ARB, s0, t);
    glMultiTexCoord2fARB(GL_TEXTURE1_ARB, s1, t);
  } else {
    glTexCoord2f(s0, t);
  }
}

void SecondUnit(bool on, int slot) {
  if (!MultitextureReady) return;
  glActiveTextureARB(GL_TEXTURE1_ARB);
  if (on) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, TextureSlot(slot));
  } else {
    glDisable(GL_TEXTURE_2D);
  }
  glActiveTextureARB(GL_TEXTURE0_ARB);
}

// A square tube around the eye, 24 long, its cloud layers streaming past. It lies behind
// everything: drawn after the plane as a backdrop, so the two cloud layers are not
// fetched behind the plane.
void DrawCloudTube(Vec3 rotation, float t) {
  glColor3f(1.0f, 1.0f, 1.0f);
  BeginBackdrop();
  CameraRotation(rotation);
  glBindTexture(GL_TEXTURE_2D, TextureSlot(CloudSlot));
  glEnable(GL_TEXTURE_2D);
  SecondUnit(true, CloudSlot);
  const float near0 = 0.0f - t / 6.0f, far0 = 6.0f - t / 6.0f;
  const float near1 = 0.0f - t / 2.0f, far1 = 6.0f - t / 2.0f;
  glBegin(GL_QUADS);
  // The side faces x = +1 and x = -1: t coordinate 1 along the edge at y = -1.
  for (float x : {1.0f, -1.0f}) {
    TexCoords(near0, near1, 1.0f);
    glVertex3f(x, -1.0f, 12.0f);
    TexCoords(far0, far1, 1.0f);
    glVertex3f(x, -1.0f, -12.0f);
    TexCoords(far0, far1, 0.0f);
    glVertex3f(x, 1.0f, -12.0f);
    TexCoords(near0, near1, 0.0f);
    glVertex3f(x, 1.0f, 12.0f);
  }
  // The top and bottom faces y = +1 and y = -1: t coordinate 1 along the edge at x = +1.
  for (float y : {1.0f, -1.0f}) {
    TexCoords(near0, near1, 1.0f);
    glVertex3f(1.0f, y, 12.0f);
    TexCoords(far0, far1, 1.0f);
    glVertex3f(1.0f, y, -12.0f);
    TexCoords(far0, far1, 0.0f);
    glVertex3f(-1.0f, y, -12.0f);
    TexCoords(near0, near1, 0.0f);
    glVertex3f(-1.0f, y, 12.0f);
  }
  glEnd();
  SecondUnit(false, CloudSlot);
  EndBackdrop();
}

uint32_t MeshTexture(const Scene3ds* scene, const SceneObject* mesh) {
  int32_t i = mesh->textureIndex;
  if (i < 0 || i >= scene->textureCount || i >= SceneMaxTextures) return 0;
  return scene->textures[i].texture;
}

// The bomber's skin faces outwards and its parts close on one another, so their back
// faces never show and are left out: a frame has some 24000 small faces, and each one
// costs the rasteriser whole blocks of pixels. Only the engine nacelles and the gun
// barrels are open tubes whose insides are seen through their ends.
bool ShowsInside(const SceneObject* mesh) {
  return strncmp(mesh->name, "engine", 6) == 0 || strcmp(mesh->name, "?intakes") == 0 ||
         strcmp(mesh->name, "guns") == 0;
}

// The meshes are stored in world coordinates: the camera view is their whole transform.
void DrawPlaneMeshes(Vec3 rotation, Vec3 eye, float t) {
  Scene3ds* scene = PlaneScene;
  if (!scene || scene->objectCount == 0) return;
  scene->Rewind();
  glCullFace(GL_BACK);
  for (uint32_t n = 0; n < scene->objectCount; ++n) {
    SceneObject* mesh = scene->cursor;
    scene->Advance();
    if (mesh->kind != KindMesh || !mesh->vertices || !mesh->faces) continue;
    if (ShowsInside(mesh))
      glDisable(GL_CULL_FACE);
    else
      glEnable(GL_CULL_FACE);
    CameraView(rotation, eye);
    glBindTexture(GL_TEXTURE_2D, MeshTexture(scene, mesh));
    bool clouds = mesh->reflective;
    if (clouds) SecondUnit(true, CloudSlot);
    glBegin(GL_TRIANGLES);
    for (uint32_t f = 0; f < mesh->faceCount; ++f) {
      const Face& face = mesh->faces[f];
      for (uint16_t v : {face.a, face.b, face.c}) {
        if (v >= mesh->vertexCount) continue;
        TexCoord uv;
        if (mesh->texCoords && v < mesh->texCoordCount) uv = mesh->texCoords[v];
        if (MultitextureReady) {
          glMultiTexCoord2fARB(GL_TEXTURE0_ARB, uv.u, uv.v);
          // The clouds slide over a reflective mesh.
          if (clouds) glMultiTexCoord2fARB(GL_TEXTURE1_ARB, uv.u / 2.0f, uv.v - t);
        } else {
          glTexCoord2f(uv.u, uv.v);
        }
        const Vec3& p = mesh->vertices[v];
        glVertex3f(p.x, p.y, p.z);
      }
    }
    glEnd();
    if (clouds) SecondUnit(false, CloudSlot);
  }
  glDisable(GL_CULL_FACE);
  scene->Rewind();
}

// Electric arcs crawling over every mesh of the plane, between random pairs of vertices.
void DrawArcs(Vec3 rotation, Vec3 eye) {
  Scene3ds* scene = PlaneScene;
  if (!scene || scene->objectCount == 0) return;
  AdditiveBlend();
  CameraView(rotation, eye);
  glDisable(GL_TEXTURE_2D);
  glLineWidth(2.0f);
  scene->Rewind();
  for (uint32_t n = 0; n < scene->objectCount; ++n) {
    SceneObject* mesh = scene->cursor;
    scene->Advance();
    // A mesh without vertices has nothing to pick from (and random below 0 is undefined).
    if (mesh->kind != KindMesh || mesh->vertexCount == 0 || !mesh->vertices) continue;
    glBegin(GL_LINE_STRIP);
    for (int arc = 0; arc < ArcsPerMesh; ++arc) {
      const Vec3 from = mesh->vertices[rand() % mesh->vertexCount];
      const Vec3 to = mesh->vertices[rand() % mesh->vertexCount];
      for (int k = 0; k < ArcPoints; ++k) {
        float f = (float)k / ArcPoints;
        float x = from.x + (to.x - from.x) * f + (float)(rand() % 100) / 1000.0f;
        float y = from.y + (to.y - from.y) * f + (float)(rand() % 100) / 1000.0f;
        float z = from.z + (to.z - from.z) * f + (float)(rand() % 100) / 1000.0f;
        glColor3f(0.4f / (float)(k + 1), 0.2f / (float)(k + 1), 0.0f);
        glVertex3f(x, y, z);
      }
    }
    glEnd();
  }
  scene->Rewind();
  glEnable(GL_TEXTURE_2D);
  BlendOff();
}

Vec3 BoltEnd() {
  Vec3 p;
  p.x = 20.0f - (float)(rand() % 4000) / 100.0f;
  p.y = -(float)(rand() % 1100) / 100.0f;
  p.z = 30.0f - (float)(rand() % 6000) / 100.0f;
  return p;
}

void Particles(ParticleSystem* system, Vec3 emitter, const SceneObject* camera) {
  system->emitterPosition = emitter;
  system->cameraAngles = camera ? camera->rotation : Vec3{};
  system->cameraPosition = camera ? camera->camera.eye : Vec3{};
}

void DrawFrame(DemoTimer& timer) { DrawNightFlightFrame(timer); }
}  // namespace

SceneObject* PlaneCamera() { return PlaneScene ? CurrentCamera(PlaneScene) : nullptr; }

void DrawRainStreaks(Vec3 cameraRotation) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_DST_COLOR, GL_ZERO);
  CameraRotation(cameraRotation);
  glDisable(GL_TEXTURE_2D);
  glLineWidth(0.5f);
  glBegin(GL_LINES);
  for (int i = 0; i < RainLines; ++i) {
    float x = 1.0f - (float)(rand() % 200) / 100.0f;
    float y = 1.0f - (float)(rand() % 200) / 100.0f;
    float z = 10.0f - (float)(rand() % 2000) / 100.0f;
    glColor3f(1.0f, 1.0f, 1.0f);
    glVertex3f(x, y, z);
    float drop = (float)(rand() % 2000) / 6000.0f;
    glColor3f(0.5f, 0.5f, 0.5f);
    glVertex3f(x, y, z - drop);
  }
  glEnd();
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
}

void DrawForkedBolts(Vec3 cameraRotation, Vec3 eye) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_DST_COLOR, GL_ZERO);
  CameraView(cameraRotation, eye);
  glDisable(GL_TEXTURE_2D);
  glLineWidth(6.0f);
  for (int bolt = 0; bolt < Bolts; ++bolt) {
    const Vec3 end = BoltEnd();
    glBegin(GL_LINE_STRIP);
    for (int j = 0; j < BoltPoints; ++j) {
      float e = (float)j / BoltPoints;
      Vec3 p;
      p.x = e * end.x + (float)(rand() % 300) / 100.0f;
      p.y = 50.0f + e * (end.y - 50.0f);
      p.z = e * end.z + (float)(rand() % 300) / 100.0f;
      glColor3f(e, e, e);
      glVertex3f(p.x, p.y, p.z);
      if (rand() % 100 >= 96) {
        // A branch forks off here: its own thinner strip, then the bolt goes on.
        glEnd();
        const Vec3 branchEnd = BoltEnd();
        glLineWidth(3.0f);
        glBegin(GL_LINE_STRIP);
        for (int k = 0; k < BranchPoints; ++k) {
          float r = (float)k / BranchPoints;
          float c = 1.0f - (1.0f - e) * (1.0f - r);
          glColor3f(c, c, c);
          glVertex3f(p.x + (branchEnd.x - p.x) * r + (float)(rand() % 100) / 100.0f,
                     p.y + (branchEnd.y - p.y) * r,
                     p.z + (branchEnd.z - p.z) * r + (float)(rand() % 100) / 100.0f);
        }
        glEnd();
        glLineWidth(6.0f);
        glBegin(GL_LINE_STRIP);
        glColor3f(e, e, e);
        glVertex3f(p.x, p.y, p.z);
      }
    }
    glEnd();
  }
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
}

void DrawNightFlightFrame(DemoTimer& timer) {
  // A plane scene must exist for the frame; loading always makes one.
  if (!PlaneScene) return;
  const float t = timer.elapsed;
  const int32_t before = PlaneScene->currentCamera;
  AnimateScene(PlaneScene, timer);
  if (PlaneScene->currentCamera != before) {
    // The card shows the new camera's logo; the flight's clock then resumes where it
    // stood (the card's overshoot past its 4 s, at most a frame, is not made up).
    RunLogoCard();
    timer.start += CardSeconds;
  }
  const int32_t c = PlaneScene->currentCamera;
  const SceneObject* camera = PlaneCamera();
  const Vec3 rotation = camera ? camera->rotation : Vec3{};
  const Vec3 eye = camera ? camera->camera.eye : Vec3{};

  if (SmokeParticles) Particles(SmokeParticles, Vec3{0.0f, -5.0f, -38.0f}, camera);
  // The plane is drawn in the state the tube would have left: white, unit 0 textured,
  // unit 1 off, depth test and writes on.
  glColor3f(1.0f, 1.0f, 1.0f);
  glEnable(GL_TEXTURE_2D);
  SecondUnit(false, CloudSlot);
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  DrawPlaneMeshes(rotation, eye, t);
  DrawCloudTube(rotation, t);
  if (c > 0) DrawRainStreaks(rotation);
  if (c > 1 && t >= 20.5f) DrawArcs(rotation, eye);
  if (SmokeParticles) {
    SmokeParticles->Update(true);
    SmokeParticles->DrawDirected(0.0f, 0.0f, 1.0f);
  }
  if (c > 1 && FireParticles) {
    // One set of flames seen at six places: the camera position moves between draws.
    ParticleSystem* fire = FireParticles;
    Particles(fire, Vec3{12.0f, -7.0f, -18.0f}, camera);
    fire->Update(true);
    fire->DrawDirected(0.0f, 0.0f, 1.0f);
    const float steps[5][2] = {{24, 0}, {14, 7}, {-52, 0}, {6, -6}, {40, 0}};
    for (const auto& step : steps) {
      fire->cameraPosition.x += step[0];
      fire->cameraPosition.z += step[1];
      fire->DrawDirected(0.0f, 0.0f, 1.0f);
    }
  }
  if (c == 1 && t >= 15.0f) DrawForkedBolts(rotation, eye);

  if (c == 0 && t >= 8.0f) FadeToBlack(t - 8.0f);
  if (c == 1 && t <= 11.0f) FadeToBlack(1.0f - (t - 9.0f) / 2.0f);
  if (c == 1 && t >= 18.0f) FadeToBlack(t - 18.0f);
  if (c == 2 && t <= 20.0f) FadeToBlack(1.0f - (t - 19.0f));
  if (c == 2 && t >= 29.0f) FadeToBlack(t - 29.0f);
  if (t <= 3.0f) FadeToBlack(1.0f - t / 3.0f);

  // The screen texture multiplies the whole picture.
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_DST_COLOR, GL_ZERO);
  DrawPicture(ScreenSlot, 1.0f);
  BlendOff();
  glEnable(GL_DEPTH_TEST);
}

void RunNightFlight() {
  ParticleDepthMask = true;
  RunLogoCard();
  RunSceneLoop(FlightSeconds, DrawFrame);
  RunTitleCard();
}
