// tools/render/preview.cpp - loading one scene headless and writing frames of it.
#include "tools/render/preview.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "app/gl.h"
#include "app/settings.h"
#include "app/window.h"
#include "engine/animation.h"
#include "engine/models.h"
#include "engine/renderer.h"
#include "engine/scene.h"
#include "engine/scene_grid.h"
#include "engine/scene_loader.h"
#include "engine/vertex_lighting.h"
#include "platform/platform.h"
#include "tools/render/option_parse.h"

namespace {

const char* const PreviewUsage =
    "usage: vellumar2-render --preview FILE.3ds [--lighting FILE.vlo] [--lightmaps]\n"
    "                        [--model FILE.ryx] [--grid] [--shade] [--seconds S]\n"
    "                        [--out DIR] [--fps N] [--size WxH]\n"
    "\n"
    "Loads one 3DS scene headless and writes PNG frames along its camera path.\n"
    "  --lighting FILE  the scene's vertex lighting file\n"
    "  --lightmaps      the lighting file also holds light maps\n"
    "  --model FILE     an animated model drawn at the scene's '@' anchors (implies --grid)\n"
    "  --model-fps N    the model's frames per second (default: 10)\n"
    "  --grid           draw through the scene grid (fog, sky box off) instead of every face\n"
    "  --shade          colour vertices by a head light where no lighting file is given,\n"
    "                   to see the shapes of an unlit file\n"
    "  --seconds S      length of the camera path in seconds (default: 10)\n"
    "  --out DIR        directory for the frames (default: preview); created if missing\n"
    "  --fps N          frames written per second (default: 2)\n"
    "  --size WxH       size of the frame (default: 1024x768)\n";

struct PreviewOptions {
  std::string scene, lighting, model, out = "preview";
  bool lightMaps = false, grid = false, shade = false;
  double seconds = 10, fps = 2, modelFps = 10;
  int width = 1024, height = 768;
};

bool Parse(int argc, char** argv, PreviewOptions* o) {
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      fputs(PreviewUsage, stdout);
      exit(0);
    }
    if (arg == "--lightmaps") {
      o->lightMaps = true;
      continue;
    }
    if (arg == "--grid") {
      o->grid = true;
      continue;
    }
    if (arg == "--shade") {
      o->shade = true;
      continue;
    }
    const char* value = OptionValue(argc, argv, &i, PreviewUsage);
    if (!value) return false;
    double number = 0;
    if (arg == "--preview") {
      o->scene = value;
    } else if (arg == "--lighting") {
      o->lighting = value;
    } else if (arg == "--model") {
      o->model = value;
      o->grid = true;
    } else if (arg == "--out") {
      o->out = value;
    } else if (arg == "--seconds" || arg == "--fps" || arg == "--model-fps") {
      bool ok = ParseNumber(value, &number);
      if (arg == "--seconds" && ok && number >= 0 && number <= 36000) {
        o->seconds = number;
      } else if (arg == "--fps" && ok && number > 0 && number <= 1000) {
        o->fps = number;
      } else if (arg == "--model-fps" && ok && number >= 0 && number <= 1000) {
        o->modelFps = number;
      } else {
        return OptionFault(nullptr, "%s wants a number (seconds 0 to 36000, fps above 0 up to 1000)",
                           arg.c_str());
      }
    } else if (arg == "--size") {
      int w = 0, h = 0;
      if (!ParseSize(value, &w, &h) || w < 16 || h < 16 || w > 8192 || h > 8192)
        return OptionFault(nullptr, "--size wants WxH, each from 16 to 8192");
      o->width = w;
      o->height = h;
    } else {
      return OptionFault(PreviewUsage, "unknown option %s", arg.c_str());
    }
  }
  if (o->scene.empty()) {
    return OptionFault(PreviewUsage, "--preview wants a 3DS file");
  }
  return true;
}

bool Readable(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  fclose(f);
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

struct Bounds {
  Vec3 low{1e30f, 1e30f, 1e30f}, high{-1e30f, -1e30f, -1e30f};
  bool empty = true;
  void Add(const Vec3& p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return;
    low = {fminf(low.x, p.x), fminf(low.y, p.y), fminf(low.z, p.z)};
    high = {fmaxf(high.x, p.x), fmaxf(high.y, p.y), fmaxf(high.z, p.z)};
    empty = false;
  }
};

Bounds MeshBounds(Scene3ds* scene) {
  Bounds b;
  scene->Rewind();
  for (int k = 0; k < scene->objectCount; k++) {
    SceneObject* node = scene->cursor;
    if (node->kind == KindMesh && node->vertices)
      for (int v = 0; v < node->vertexCount; v++) b.Add(node->vertices[v]);
    scene->Advance();
  }
  scene->Rewind();
  return b;
}

// A camera in front of the meshes (on their +Z side, a little above), far enough back
// for their bounding sphere to fill the 45-degree view. It has no keys, so the
// animation holds it where it is placed. Returns its distance to the centre.
float FramingCamera(Scene3ds* scene, SceneObject* camera, const Bounds& b) {
  Vec3 centre{0, 0, 0};
  float radius = 1;
  if (!b.empty) {
    centre = {(b.low.x + b.high.x) / 2, (b.low.y + b.high.y) / 2, (b.low.z + b.high.z) / 2};
    float dx = b.high.x - b.low.x, dy = b.high.y - b.low.y, dz = b.high.z - b.low.z;
    radius = fmaxf(0.5f * sqrtf(dx * dx + dy * dy + dz * dz), 1e-3f);
  }
  float distance = radius / sinf(22.5f * 3.14159265f / 180) * 1.05f;
  camera->kind = KindCamera;
  strcpy(camera->name, "preview camera");
  camera->camera.target = centre;
  camera->camera.eye = {centre.x + distance * 0.55f, centre.y + distance * 0.35f,
                        centre.z + distance * 0.76f};
  CameraAngles(camera->camera.eye, camera->camera.target, &camera->rotation.x,
               &camera->rotation.y);
  scene->cameras[0] = camera;
  scene->cameraCount = 1;
  scene->currentCamera = 0;
  return distance;
}

// Without a camera the scene has no frame range; the preview spans the object tracks.
void FrameRangeFromTracks(Scene3ds* scene) {
  int last = 0;
  scene->Rewind();
  for (int k = 0; k < scene->objectCount; k++) {
    SceneObject* node = scene->cursor;
    if (node->posFrames && node->posKeyCount > 0)
      last = std::max(last, (int)node->posFrames[node->posKeyCount - 1]);
    if (node->rotFrames && node->rotKeyCount > 0)
      last = std::max(last, (int)node->rotFrames[node->rotKeyCount - 1]);
    scene->Advance();
  }
  scene->Rewind();
  scene->startFrame = 0;
  scene->endFrame = last;
}

// A head light for unlit files: each vertex gets the brightness of the faces around it
// towards the camera's side, so shapes read in the frames. The show never does this.
void ShadeVertices(Scene3ds* scene, Vec3 light) {
  float len = sqrtf(light.x * light.x + light.y * light.y + light.z * light.z);
  if (len > 0) light = {light.x / len, light.y / len, light.z / len};
  scene->Rewind();
  for (int k = 0; k < scene->objectCount; k++) {
    SceneObject* node = scene->cursor;
    if (node->kind == KindMesh && node->vertexColours && node->faces && node->vertices) {
      std::vector<Vec3> normal(node->vertexCount, Vec3{0, 0, 0});
      for (int f = 0; f < node->faceCount; f++) {
        const Face& face = node->faces[f];
        if (face.a >= node->vertexCount || face.b >= node->vertexCount ||
            face.c >= node->vertexCount)
          continue;
        Vec3 a = node->vertices[face.a], b = node->vertices[face.b], c = node->vertices[face.c];
        Vec3 u{b.x - a.x, b.y - a.y, b.z - a.z}, v{c.x - a.x, c.y - a.y, c.z - a.z};
        Vec3 n{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
        for (uint16_t i : {face.a, face.b, face.c}) {
          normal[i].x += n.x;
          normal[i].y += n.y;
          normal[i].z += n.z;
        }
      }
      for (int i = 0; i < node->vertexCount; i++) {
        Vec3 n = normal[i];
        float l = sqrtf(n.x * n.x + n.y * n.y + n.z * n.z);
        float d = l > 0 ? fabsf(n.x * light.x + n.y * light.y + n.z * light.z) / l : 1;
        float shade = 0.25f + 0.75f * d;
        node->vertexColours[i] = {shade, shade, shade};
      }
    }
    scene->Advance();
  }
  scene->Rewind();
}

}  // namespace

int RunPreview(int argc, char** argv) {
  PreviewOptions o;
  if (!Parse(argc, argv, &o)) return 2;
  // Every named file is checked before anything starts, so a typo costs no GL set-up.
  if (!Readable(o.scene)) {
    fprintf(stderr, "vellumar2-render: cannot read the scene file %s\n", o.scene.c_str());
    return 1;
  }
  if (!o.lighting.empty() && !Readable(o.lighting)) {
    fprintf(stderr, "vellumar2-render: cannot read the lighting file %s\n", o.lighting.c_str());
    return 1;
  }
  if (!o.model.empty() && !Readable(o.model)) {
    fprintf(stderr, "vellumar2-render: cannot read the model file %s\n", o.model.c_str());
    return 1;
  }
  if (!MakeOutputDirectory(o.out)) return 1;

  PlatformSelectBackend(BackendHeadless, o.width, o.height);
  PlatformSetMessageBoxesHeadless(true);
  PlatformUseVirtualClock(true);
  // Particles take 0 as "never updated"; their clock starts a second in.
  PlatformSetVirtualTime(1000);
  SetDefaultSettings();
  PlatformWindow window = CreateDemoWindow("Vellumar 2 preview", o.width, o.height);
  if (!window || InitGL(window) == InitGLFailed) {
    fprintf(stderr, "vellumar2-render: no headless GL context\n");
    ShutdownGL();
    return 1;
  }

  int status = 0;
  Scene3ds* scene = new Scene3ds;
  SceneObject* framing = nullptr;
  SceneGrid* grid = nullptr;
  AnimatedModel* model = nullptr;
  if (!LoadScene(scene, o.scene.c_str()) || scene->objectCount == 0) {
    fprintf(stderr, "vellumar2-render: %s is not a 3DS scene (or holds no objects)\n",
            o.scene.c_str());
    status = 1;
  }
  if (status == 0 && !o.lighting.empty()) {
    bool lit = o.lightMaps ? LoadVertexLightingWithLightMaps(scene, o.lighting.c_str())
                           : LoadVertexLighting(scene, o.lighting.c_str());
    if (!lit)
      fprintf(stderr, "vellumar2-render: %s does not fit this scene; drawn with what was read\n",
              o.lighting.c_str());
  }
  if (status == 0 && !o.model.empty()) {
    model = new AnimatedModel;
    if (!model->LoadModelFile(o.model.c_str())) {
      fprintf(stderr, "vellumar2-render: %s is not a model file\n", o.model.c_str());
      status = 1;
    }
    model->framesPerSecond = (float)o.modelFps;
  }

  if (status == 0) {
    Bounds bounds = MeshBounds(scene);
    float farPlane = 2000;
    if (scene->cameraCount == 0) {
      framing = new SceneObject;
      float distance = FramingCamera(scene, framing, bounds);
      FrameRangeFromTracks(scene);
      // The show's far plane is 2000; a file framed from outside may need more or less.
      float radius = distance * sinf(22.5f * 3.14159265f / 180);
      farPlane = distance + 2 * radius;
      glMatrixMode(GL_PROJECTION);
      glLoadIdentity();
      gluPerspective(45.0, (double)o.width / o.height, std::max(distance - 2 * radius, farPlane / 2000),
                     farPlane);
      glMatrixMode(GL_MODELVIEW);
    }
    if (o.shade && o.lighting.empty()) {
      const SceneObject* camera = CurrentCamera(scene);
      Vec3 light{0, 1, 1};
      if (camera)
        light = {camera->camera.eye.x - camera->camera.target.x,
                 camera->camera.eye.y - camera->camera.target.y,
                 camera->camera.eye.z - camera->camera.target.z};
      ShadeVertices(scene, light);
    }
    AttachEmitters(scene, 500, 3.0f, 6, 5.0f, 17.0f);
    if (o.grid) {
      grid = new SceneGrid(scene);
      grid->model = model;
      SkyboxEnabled = false;
      glFogi(GL_FOG_MODE, GL_LINEAR);
      glFogf(GL_FOG_START, farPlane * 0.6f);
      glFogf(GL_FOG_END, farPlane);
    }
    glClearColor(0.08f, 0.09f, 0.12f, 1);
    printf("%s: %d objects, %d cameras, %d faces, frames %d to %d\n", o.scene.c_str(),
           scene->objectCount, framing ? 0 : scene->cameraCount, scene->totalFaceCount,
           scene->startFrame, scene->endFrame);

    long frames = std::max(1L, lround(o.seconds * o.fps));
    DemoTimer timer((float)o.seconds);
    for (long n = 0; n <= frames && status == 0; n++) {
      timer.elapsed = (float)(o.seconds * n / frames);
      PlatformSetVirtualTime(1000 + timer.elapsed * 1000.0);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      AnimateScene(scene, timer);
      if (grid) {
        DrawGrid(grid, timer);
      } else {
        DrawScene(scene, timer, nullptr);
      }
      glFinish();
      int w, h;
      std::vector<uint8_t> pixels = PlatformReadFrame(&w, &h);
      char name[64];
      snprintf(name, sizeof name, "/frame-%06ld.png", n);
      std::string path = o.out + name;
      if (!WritePng(path, w, h, pixels.data())) {
        fprintf(stderr, "vellumar2-render: cannot write %s\n", path.c_str());
        status = 1;
      } else {
        const SceneObject* camera = CurrentCamera(scene);
        printf("%s  t=%.3f s  frame %.1f  camera %d", path.c_str(), timer.elapsed,
               scene->currentFrame, scene->currentCamera);
        if (camera)
          printf("  eye (%.1f, %.1f, %.1f)", camera->camera.eye.x, camera->camera.eye.y,
                 camera->camera.eye.z);
        printf("\n");
      }
    }
  }

  // The framing camera belongs to the preview; the scene's tables own nothing.
  if (framing) {
    scene->cameras[0] = nullptr;
    scene->cameraCount = 0;
    delete framing;
  }
  delete grid;
  ReleaseScene(scene);
  delete model;
  ShutdownGL();
  return status;
}
