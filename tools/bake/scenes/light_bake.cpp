// tools/bake/scenes/light_bake.cpp - ray-cast lighting into the show's .vlo files.
#include "tools/bake/scenes/light_bake.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

#include "tools/bake/noise.h"

namespace {

struct Triangle {
  V3 a, e1, e2;   // corner and edges, for the intersection test
  float opacity;  // 1 blocks; below 1 lets that share of the light through
};

struct BvhNode {
  V3 lo, hi;
  int left = -1, right = -1;  // children, or -1 for a leaf
  int first = 0, count = 0;   // the leaf's triangles
};

}  // namespace

struct LightBaker {
  const BakeScene* scene;
  LightBakeOptions options;
  std::vector<Triangle> triangles;
  std::vector<BvhNode> nodes;
};

namespace {

V3 Min3(V3 a, V3 b) { return {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)}; }
V3 Max3(V3 a, V3 b) { return {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)}; }
float Axis(V3 v, int k) { return k == 0 ? v.x : k == 1 ? v.y : v.z; }

int Build(LightBaker& b, std::vector<Triangle>& tris, std::vector<V3>& centres, int first, int count) {
  BvhNode node;
  node.lo = {1e30f, 1e30f, 1e30f};
  node.hi = {-1e30f, -1e30f, -1e30f};
  V3 clo = node.lo, chi = node.hi;
  for (int i = first; i < first + count; i++) {
    const Triangle& t = tris[i];
    V3 p1 = t.a + t.e1, p2 = t.a + t.e2;
    node.lo = Min3(node.lo, Min3(t.a, Min3(p1, p2)));
    node.hi = Max3(node.hi, Max3(t.a, Max3(p1, p2)));
    clo = Min3(clo, centres[i]);
    chi = Max3(chi, centres[i]);
  }
  int index = (int)b.nodes.size();
  b.nodes.push_back(node);
  if (count <= 4) {
    b.nodes[index].first = first;
    b.nodes[index].count = count;
    return index;
  }
  V3 extent = chi - clo;
  int axis = extent.x > extent.y ? (extent.x > extent.z ? 0 : 2) : (extent.y > extent.z ? 1 : 2);
  int mid = first + count / 2;
  // Median split on the widest axis of the centres; the order is made total by the index so
  // that the tree (and so every result) is the same on every machine.
  std::vector<int> order(count);
  for (int i = 0; i < count; i++) order[i] = first + i;
  std::nth_element(order.begin(), order.begin() + count / 2, order.end(), [&](int p, int q) {
    float cp = Axis(centres[p], axis), cq = Axis(centres[q], axis);
    return cp != cq ? cp < cq : p < q;
  });
  std::vector<Triangle> t2(count);
  std::vector<V3> c2(count);
  for (int i = 0; i < count; i++) {
    t2[i] = tris[order[i]];
    c2[i] = centres[order[i]];
  }
  std::copy(t2.begin(), t2.end(), tris.begin() + first);
  std::copy(c2.begin(), c2.end(), centres.begin() + first);
  int left = Build(b, tris, centres, first, mid - first);
  int right = Build(b, tris, centres, mid, first + count - mid);
  b.nodes[index].left = left;
  b.nodes[index].right = right;
  return index;
}

bool HitsBox(const BvhNode& n, V3 o, V3 inv, float tmax) {
  float t0 = 0, t1 = tmax;
  for (int k = 0; k < 3; k++) {
    float ok = Axis(o, k), ik = Axis(inv, k);
    float ta = (Axis(n.lo, k) - ok) * ik, tb = (Axis(n.hi, k) - ok) * ik;
    if (ta > tb) std::swap(ta, tb);
    t0 = std::max(t0, ta);
    t1 = std::min(t1, tb);
    if (t0 > t1) return false;
  }
  return true;
}

bool HitsTriangle(const Triangle& t, V3 o, V3 d, float tmax) {
  V3 p = Cross(d, t.e2);
  float det = Dot(t.e1, p);
  if (std::fabs(det) < 1e-12f) return false;
  float inv = 1.0f / det;
  V3 s = o - t.a;
  float u = Dot(s, p) * inv;
  if (u < 0 || u > 1) return false;
  V3 q = Cross(s, t.e1);
  float v = Dot(d, q) * inv;
  if (v < 0 || u + v > 1) return false;
  float dist = Dot(t.e2, q) * inv;
  return dist > 1e-3f && dist < tmax;
}

// Share of light that passes from o along d (unit) over the distance tmax.
float Transmission(const LightBaker& b, V3 o, V3 d, float tmax) {
  if (b.nodes.empty()) return 1.0f;
  V3 inv{d.x != 0 ? 1.0f / d.x : 1e30f, d.y != 0 ? 1.0f / d.y : 1e30f, d.z != 0 ? 1.0f / d.z : 1e30f};
  float pass = 1.0f;
  int stack[128];
  int top = 0;
  stack[top++] = 0;
  while (top > 0) {
    const BvhNode& n = b.nodes[stack[--top]];
    if (!HitsBox(n, o, inv, tmax)) continue;
    if (n.left < 0) {
      for (int i = n.first; i < n.first + n.count; i++) {
        const Triangle& t = b.triangles[i];
        if (!HitsTriangle(t, o, d, tmax)) continue;
        pass *= 1.0f - t.opacity;
        if (pass < 0.01f) return 0.0f;
      }
    } else if (top + 2 <= 128) {
      stack[top++] = n.left;
      stack[top++] = n.right;
    }
  }
  return pass;
}

// A direction in the hemisphere around n, cosine-weighted.
V3 HemisphereRay(V3 n, Rng& rng) {
  float r1 = rng.Unit(), r2 = rng.Unit();
  float phi = 2 * Pi * r1, r = std::sqrt(r2);
  V3 t = std::fabs(n.x) > 0.5f ? V3{0, 1, 0} : V3{1, 0, 0};
  V3 u = Normalize(Cross(t, n)), v = Cross(n, u);
  return Normalize(u * (r * std::cos(phi)) + v * (r * std::sin(phi)) + n * std::sqrt(std::max(0.0f, 1 - r2)));
}

Colour Shade(const LightBaker& b, V3 point, V3 normal, bool twoSided, int shadowSamples, int aoRays, Rng& rng) {
  const BakeScene& s = *b.scene;
  Colour sum;
  V3 origin = point + normal * 0.05f;
  for (const BakeLight& l : s.lights) {
    V3 toLight = l.position - point;
    float dist = Length(toLight);
    if (dist >= l.outerRange || dist <= 0) continue;
    V3 dir = toLight * (1.0f / dist);
    float cosine = Dot(normal, dir);
    // A two-sided surface takes the light on its back the same way, rays leaving that side.
    V3 from = origin;
    if (twoSided && cosine < 0) {
      cosine = -cosine;
      from = point - normal * 0.05f;
    }
    if (cosine <= 0) continue;
    float reach = dist <= l.innerRange ? 1.0f
                                       : 1.0f - Smoothstep(l.innerRange, l.outerRange, dist);
    float cone = 1.0f;
    if (l.spot) {
      V3 axis = Normalize(l.target - l.position);
      float angle = std::acos(std::clamp(Dot(-dir, axis), -1.0f, 1.0f)) * 180.0f / Pi;
      cone = 1.0f - Smoothstep(l.hotspot * 0.5f, std::max(l.falloff, l.hotspot + 0.1f) * 0.5f, angle);
      if (cone <= 0) continue;
    }
    float seen = 1.0f;
    if (l.castsShadows && shadowSamples > 0) {
      float total = 0;
      for (int k = 0; k < shadowSamples; k++) {
        V3 jitter{rng.Range(-1, 1), rng.Range(-1, 1), rng.Range(-1, 1)};
        V3 target = l.position + jitter * l.radius;
        V3 ray = target - from;
        float len = Length(ray);
        if (len <= 0) continue;
        total += Transmission(b, from, ray * (1.0f / len), len - 0.05f);
      }
      seen = total / shadowSamples;
    }
    sum += l.colour * (l.multiplier * cosine * reach * cone * seen);
  }
  float open = 1.0f;
  if (aoRays > 0) {
    float total = 0;
    for (int k = 0; k < aoRays; k++) total += Transmission(b, origin, HemisphereRay(normal, rng), b.options.aoDistance);
    open = total / aoRays;
  }
  sum += s.ambient * open;
  return sum;
}

// Keeps colours below 1 with a soft shoulder instead of a hard clip, which would flatten
// the brightest areas into one tone.
float Shoulder(float v) {
  if (v <= 0) return 0;
  if (v < 0.8f) return v;
  return 0.8f + 0.2f * (1.0f - std::exp(-(v - 0.8f) / 0.2f));
}
Colour Finish(Colour c, float exposure) {
  return {Shoulder(c.r * exposure), Shoulder(c.g * exposure), Shoulder(c.b * exposure)};
}

bool IsAnchor(const BakeMesh& m) { return !m.name.empty() && m.name[0] == '@'; }
bool IsAdditive(const BakeMesh& m) { return m.name.size() >= 1 && m.name[0] == '%' && (m.name.size() < 2 || m.name[1] != '%'); }
bool IsEmitter(const BakeMesh& m) { return !m.name.empty() && m.name[0] == '*'; }

V3 FaceNormal(const BakeMesh& m, const std::array<uint16_t, 3>& f) {
  return Normalize(Cross(m.vertices[f[1]] - m.vertices[f[0]], m.vertices[f[2]] - m.vertices[f[0]]));
}

std::vector<V3> VertexNormals(const BakeMesh& m) {
  std::vector<V3> n(m.vertices.size());
  for (const auto& f : m.faces) {
    // Weighted by area: the cross product's length.
    V3 c = Cross(m.vertices[f[1]] - m.vertices[f[0]], m.vertices[f[2]] - m.vertices[f[0]]);
    for (uint16_t v : f) n[v] += c;
  }
  for (V3& v : n) v = Normalize(v);
  return n;
}

uint32_t LightMapEdge(const BakeMesh& m, const std::array<uint16_t, 3>& f, float texelSize) {
  float longest = std::max({Length(m.vertices[f[1]] - m.vertices[f[0]]), Length(m.vertices[f[2]] - m.vertices[f[0]]),
                            Length(m.vertices[f[2]] - m.vertices[f[1]])});
  uint32_t n = 4;
  while (n < 32 && n * texelSize < longest) n *= 2;
  return n;
}

void ParallelFor(int count, int threads, const std::function<void(int)>& body);

}  // namespace

LightBaker* NewLightBaker(const BakeScene& scene, const LightBakeOptions& options) {
  LightBaker* b = new LightBaker;
  b->scene = &scene;
  b->options = options;
  std::vector<V3> centres;
  for (const BakeMesh& m : scene.meshes) {
    if (!m.castsShadow || IsAnchor(m) || IsEmitter(m) || IsAdditive(m) || m.shadowOpacity <= 0) continue;
    for (const auto& f : m.faces) {
      V3 a = m.vertices[f[0]], p1 = m.vertices[f[1]], p2 = m.vertices[f[2]];
      b->triangles.push_back({a, p1 - a, p2 - a, std::min(1.0f, m.shadowOpacity)});
      centres.push_back((a + p1 + p2) * (1.0f / 3));
    }
  }
  if (!b->triangles.empty()) Build(*b, b->triangles, centres, 0, (int)b->triangles.size());
  return b;
}

Colour LightAt(const LightBaker* baker, V3 point, V3 normal, uint32_t seed) {
  Rng rng(seed);
  return Finish(Shade(*baker, point, normal, false, baker->options.shadowSamples, baker->options.aoRays, rng),
                baker->options.exposure);
}

void DeleteLightBaker(LightBaker* baker) { delete baker; }

namespace {
void ParallelFor(int count, int threads, const std::function<void(int)>& body) {
  threads = std::max(1, threads);
  std::vector<std::thread> pool;
  std::atomic<int> next{0};
  auto work = [&]() {
    for (int i; (i = next.fetch_add(1)) < count;) body(i);
  };
  for (int t = 1; t < threads; t++) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
}

void PutFloat(std::vector<uint8_t>& out, float f) {
  uint8_t b[4];
  std::memcpy(b, &f, 4);
  out.insert(out.end(), b, b + 4);
}
}  // namespace

bool BakeLightingFile(const BakeScene& scene, const LightBakeOptions& options, std::vector<uint8_t>* file,
                      std::string* error) {
  for (const BakeMesh& m : scene.meshes)
    for (const auto& f : m.faces)
      for (uint16_t v : f)
        if (v >= m.vertices.size()) {
          if (error) *error = "mesh \"" + m.name + "\": face index out of range";
          return false;
        }
  LightBaker* baker = NewLightBaker(scene, options);
  file->clear();

  // Colour section: every vertex of every mesh, in list order. Seeds come from the mesh
  // and vertex numbers, so the threads may take the vertices in any order.
  for (size_t mi = 0; mi < scene.meshes.size(); mi++) {
    const BakeMesh& m = scene.meshes[mi];
    std::vector<Colour> colours(m.vertices.size(), Colour{1, 1, 1});
    bool lit = !IsAnchor(m) && !IsEmitter(m) && !IsAdditive(m);
    if (lit) {
      std::vector<V3> normals = VertexNormals(m);
      ParallelFor((int)m.vertices.size(), options.threads, [&](int v) {
        Rng rng(Hash((int)mi, v, 0x1157u));
        Colour c = Shade(*baker, m.vertices[v], normals[v], m.twoSided, options.shadowSamples, options.aoRays, rng);
        colours[v] = Finish(c + m.emission, options.exposure);
      });
    }
    for (const Colour& c : colours) {
      PutFloat(*file, c.r);
      PutFloat(*file, c.g);
      PutFloat(*file, c.b);
    }
  }

  if (options.lightMaps) {
    for (size_t mi = 0; mi < scene.meshes.size(); mi++) {
      const BakeMesh& m = scene.meshes[mi];
      if (IsAnchor(m)) continue;
      bool mapped = m.lightMapped && !IsAdditive(m) && !IsEmitter(m);
      std::vector<std::vector<uint8_t>> records(m.faces.size());
      ParallelFor((int)m.faces.size(), options.threads, [&](int fi) {
        std::vector<uint8_t>& rec = records[fi];
        if (!mapped) {
          rec.push_back(0);
          return;
        }
        const auto& f = m.faces[fi];
        uint32_t n = LightMapEdge(m, f, options.texelSize);
        rec.push_back(1);
        for (int k = 0; k < 4; k++) rec.push_back((uint8_t)(n >> (8 * k)));
        V3 a = m.vertices[f[0]], ab = m.vertices[f[1]] - a, ac = m.vertices[f[2]] - a;
        V3 normal = FaceNormal(m, f);
        Rng rng(Hash((int)mi, fi, 0x7e11u));
        for (uint32_t l = 0; l < n; l++)
          for (uint32_t col = 0; col + l < n; col++) {
            float s = (col + 0.5f) / n, t = (l + 0.5f) / n;
            // Texels on the far edge have their centres just outside the triangle: light
            // them from the edge.
            if (s + t > 1) {
              float k = 1.0f / (s + t);
              s *= k;
              t *= k;
            }
            V3 p = a + ab * s + ac * t;
            Colour c = Shade(*baker, p, normal, m.twoSided, options.lightMapShadowSamples, options.lightMapAoRays, rng);
            c = Finish(c + m.emission, options.exposure);
            rec.push_back((uint8_t)std::lround(Clamp01(c.r) * 255));
            rec.push_back((uint8_t)std::lround(Clamp01(c.g) * 255));
            rec.push_back((uint8_t)std::lround(Clamp01(c.b) * 255));
          }
      });
      for (const auto& r : records) file->insert(file->end(), r.begin(), r.end());
    }
  }
  DeleteLightBaker(baker);
  return true;
}

bool AddSceneMembers(BakeOutput& out, const std::string& base, const BakeScene& scene,
                     const LightBakeOptions* lighting, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!Write3ds(scene, &bytes, error)) {
    if (error) *error = base + ".3ds: " + *error;
    return false;
  }
  AddMember(out, base + ".3ds", std::move(bytes));
  if (lighting) {
    std::vector<uint8_t> vlo;
    if (!BakeLightingFile(scene, *lighting, &vlo, error)) {
      if (error) *error = base + ".vlo: " + *error;
      return false;
    }
    AddMember(out, base + ".vlo", std::move(vlo));
  }
  return true;
}
