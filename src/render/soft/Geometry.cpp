// The geometry step of the software device: vertices are transformed, lit
// as fixed-function Direct3D 9 lights them, clipped, projected to 1/256-pixel
// corners, culled and set up as records binned into bands of rows.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "render/soft/Pipeline.h"

namespace kinovela::soft::detail {

namespace {

// Corners may lie this many pixels beyond the picture before a triangle is
// clipped at the sides, which keeps every edge product inside 64 bits.
constexpr float kGuardPixels = 16384.0f;

// Vertex data the pixels need: diffuse rgba, specular rgb, u, v.
constexpr int kVertexAttributes = 9;

struct Vertex {
    float x, y, z, w;  // clip space
    float a[kVertexAttributes];
};

enum : std::uint32_t {
    kOutLeft = 1, kOutRight = 2, kOutBottom = 4, kOutTop = 8, kOutNear = 16, kOutFar = 32,
    kOutView = 63,
    kOutGuard = 64,  // beyond the guard band: the sides must be clipped
};

ColorValue Unpack(std::uint32_t c)
{
    constexpr float s = 1.0f / 255.0f;
    return {static_cast<float>((c >> 16) & 0xFF) * s, static_cast<float>((c >> 8) & 0xFF) * s,
            static_cast<float>(c & 0xFF) * s, static_cast<float>(c >> 24) * s};
}

std::uint32_t LoadU32(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

CVector LoadVector(const std::uint8_t* p)
{
    float f[3];
    std::memcpy(f, p, sizeof f);
    return {f[0], f[1], f[2]};
}

float Dot(const CVector& a, const CVector& b) { return a.m_x * b.m_x + a.m_y * b.m_y + a.m_z * b.m_z; }

// A zero vector stays zero (the light then adds nothing).
CVector Unit(const CVector& v)
{
    const float len = std::sqrt(Dot(v, v));
    if (!(len > 0.0f)) return {};
    return {v.m_x / len, v.m_y / len, v.m_z / len};
}

float Clamp01(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

bool IsZero(const ColorValue& c) { return c.r == 0.0f && c.g == 0.0f && c.b == 0.0f; }

// The task's state: where its records go and scratch space it reuses.
class Geometry {
public:
    Geometry(const FrameJob& job, Bins& out) : m_job(job), m_out(out)
    {
        m_halfW = static_cast<float>(job.width) * 0.5f;
        m_halfH = static_cast<float>(job.height) * 0.5f;
        m_guardX = 1.0f + kGuardPixels / m_halfW;
        m_guardY = 1.0f + kGuardPixels / m_halfH;
    }

    void Run(const Command& c, std::uint64_t first, std::uint64_t last);

private:
    void Transform(std::uint32_t index, Vertex& v) const;
    void LightVertex(std::uint32_t index, Vertex& v) const;
    std::uint32_t Outcode(const Vertex& v) const;
    void Triangle(const Vertex* v0, const Vertex* v1, const Vertex* v2, std::uint32_t c0, std::uint32_t c1,
                  std::uint32_t c2, const std::uint32_t* index, bool* lit, Vertex* store);
    bool SetUp(const Vertex& v0, const Vertex& v1, const Vertex& v2, bool lightLater, const std::uint32_t* index,
               bool* lit, Vertex* store);
    void ClipAndSetUp(const Vertex& v0, const Vertex& v1, const Vertex& v2);
    void Line(Vertex v0, Vertex v1);
    void Clear(const Command& c);
    void BinRows(std::uint32_t offset, int minY, int maxY);

    const FrameJob& m_job;
    Bins& m_out;
    const StageConstants* m_k = nullptr;
    std::uint32_t m_state = 0;
    float m_halfW, m_halfH, m_guardX, m_guardY;
    std::vector<Vertex> m_fan;
    std::vector<std::uint32_t> m_fanCode;
    std::vector<std::uint32_t> m_fanIndex;
    std::vector<std::uint8_t> m_fanLit;
};

void Geometry::Transform(std::uint32_t index, Vertex& v) const
{
    const std::uint8_t* p = m_k->vertices + std::size_t{index} * m_k->stride;
    float f[3];
    std::memcpy(f, p, sizeof f);
    const auto& m = m_k->worldViewProjection.m;
    v.x = f[0] * m[0][0] + f[1] * m[1][0] + f[2] * m[2][0] + m[3][0];
    v.y = f[0] * m[0][1] + f[1] * m[1][1] + f[2] * m[2][1] + m[3][1];
    v.z = f[0] * m[0][2] + f[1] * m[1][2] + f[2] * m[2][2] + m[3][2];
    v.w = f[0] * m[0][3] + f[1] * m[1][3] + f[2] * m[2][3] + m[3][3];
}

// The colours and texture coordinates of a vertex. With lighting on, the
// diffuse colour is the vertex's own (the material's when the format has
// none), ambient and emissive come from the material, the specular colour
// from the source chosen; results are clamped per vertex.
void Geometry::LightVertex(std::uint32_t index, Vertex& v) const
{
    const StageConstants& k = *m_k;
    const std::uint8_t* p = k.vertices + std::size_t{index} * k.stride;
    float* a = v.a;
    if (!k.lighting) {
        const ColorValue d = k.hasDiffuse ? Unpack(LoadU32(p + 24)) : ColorValue{1, 1, 1, 1};
        const ColorValue s = k.hasSpecular ? Unpack(LoadU32(p + 28)) : ColorValue{};
        a[0] = d.r, a[1] = d.g, a[2] = d.b, a[3] = d.a;
        a[4] = s.r, a[5] = s.g, a[6] = s.b;
    } else {
        const ColorValue cd = k.hasDiffuse ? Unpack(LoadU32(p + 24)) : k.materialDiffuse;
        float r = k.constantColor.r, g = k.constantColor.g, b = k.constantColor.b;
        float sr = 0.0f, sg = 0.0f, sb = 0.0f;
        if (k.lightOn) {
            const CVector n0 = LoadVector(p + 12);
            const auto& nm = k.normalMatrix;
            CVector n{n0.m_x * nm[0][0] + n0.m_y * nm[1][0] + n0.m_z * nm[2][0],
                      n0.m_x * nm[0][1] + n0.m_y * nm[1][1] + n0.m_z * nm[2][1],
                      n0.m_x * nm[0][2] + n0.m_y * nm[1][2] + n0.m_z * nm[2][2]};
            if (k.normalize) n = Unit(n);
            const float nl = Dot(n, k.toLight);
            if (nl > 0.0f) {
                r += cd.r * k.lightDiffuse.r * nl;
                g += cd.g * k.lightDiffuse.g * nl;
                b += cd.b * k.lightDiffuse.b * nl;
                if (k.computeSpecular) {
                    CVector h = k.halfway;
                    if (k.localViewer) {
                        const CVector pos = k.worldView.TransformPoint(LoadVector(p));
                        const CVector toEye = Unit(-pos);
                        h = Unit(CVector{toEye.m_x + k.toLight.m_x, toEye.m_y + k.toLight.m_y,
                                         toEye.m_z + k.toLight.m_z});
                    }
                    const float nh = Dot(n, h);
                    if (nh > 0.0f) {
                        const float f = std::pow(nh, k.power);
                        ColorValue cs = k.materialSpecular;
                        if (k.specularSource == kSourceColor2 && k.hasSpecular) cs = Unpack(LoadU32(p + 28));
                        if (k.specularSource == kSourceColor1 && k.hasDiffuse) cs = cd;
                        sr = cs.r * k.lightSpecular.r * f;
                        sg = cs.g * k.lightSpecular.g * f;
                        sb = cs.b * k.lightSpecular.b * f;
                    }
                }
            }
        }
        a[0] = Clamp01(r), a[1] = Clamp01(g), a[2] = Clamp01(b), a[3] = Clamp01(cd.a);
        a[4] = Clamp01(sr), a[5] = Clamp01(sg), a[6] = Clamp01(sb);
    }
    if (k.hasTexCoord) {
        std::memcpy(&a[7], p + 32, 2 * sizeof(float));
    } else {
        a[7] = a[8] = 0.0f;
    }
}

std::uint32_t Geometry::Outcode(const Vertex& v) const
{
    std::uint32_t c = 0;
    if (v.x < -v.w) c |= kOutLeft;
    if (v.x > v.w) c |= kOutRight;
    if (v.y < -v.w) c |= kOutBottom;
    if (v.y > v.w) c |= kOutTop;
    if (v.z < 0.0f) c |= kOutNear;
    if (v.z > v.w) c |= kOutFar;
    // Written so that a NaN corner also goes the clipping way, where it is dropped.
    if (!(std::fabs(v.x) <= m_guardX * v.w && std::fabs(v.y) <= m_guardY * v.w)) c |= kOutGuard;
    return c;
}

void Geometry::BinRows(std::uint32_t offset, int minY, int maxY)
{
    const int first = minY / kBandHeight, last = maxY / kBandHeight;
    for (int b = first; b <= last; ++b) m_out.bands[static_cast<std::size_t>(b)].push_back(offset);
}

// One triangle whose corners are transformed; v0 gives the flat colour.
// `index`, `lit` and `store` let the set-up light the corners it keeps
// (only once per vertex of a fan).
void Geometry::Triangle(const Vertex* v0, const Vertex* v1, const Vertex* v2, std::uint32_t c0, std::uint32_t c1,
                        std::uint32_t c2, const std::uint32_t* index, bool* lit, Vertex* store)
{
    if ((c0 & c1 & c2 & kOutView) != 0) return;
    if (((c0 | c1 | c2) & (kOutNear | kOutFar | kOutGuard)) == 0) {
        SetUp(*v0, *v1, *v2, true, index, lit, store);
        return;
    }
    for (int i = 0; i < 3; ++i)
        if (!lit[i]) {
            LightVertex(index[i], store[i]);
            lit[i] = true;
        }
    ClipAndSetUp(*v0, *v1, *v2);
}

// Projects, culls and sets up a triangle that needs no clipping. With
// `lightLater` the corners are lit only when the triangle covers a sample.
bool Geometry::SetUp(const Vertex& v0, const Vertex& v1, const Vertex& v2, bool lightLater,
                     const std::uint32_t* index, bool* lit, Vertex* store)
{
    const Vertex* v[3] = {&v0, &v1, &v2};
    float sx[3], sy[3], iw[3];
    std::int64_t X[3], Y[3];
    for (int i = 0; i < 3; ++i) {
        iw[i] = 1.0f / v[i]->w;
        sx[i] = (v[i]->x * iw[i] + 1.0f) * m_halfW;
        sy[i] = (1.0f - v[i]->y * iw[i]) * m_halfH;
        // Inside the guard band after clipping; anything else (a NaN or an
        // infinity from wild coordinates) is dropped before it reaches the
        // integer edge functions.
        if (!(std::fabs(sx[i]) < 1.0e6f && std::fabs(sy[i]) < 1.0e6f)) return false;
        X[i] = std::llrint(sx[i] * static_cast<float>(kSubPixel));
        Y[i] = std::llrint(sy[i] * static_cast<float>(kSubPixel));
    }
    // Positive for corners that run clockwise on the screen (y grows down).
    const std::int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
    if (area == 0) return false;
    const std::uint32_t cull = m_k->cullMode;
    if ((cull == kCullCounterClockwise && area < 0) || (cull == kCullClockwise && area > 0)) return false;

    const std::int64_t minXs = std::min({X[0], X[1], X[2]}), maxXs = std::max({X[0], X[1], X[2]});
    const std::int64_t minYs = std::min({Y[0], Y[1], Y[2]}), maxYs = std::max({Y[0], Y[1], Y[2]});
    // Samples sit on whole pixel coordinates.
    const int minX = static_cast<int>(std::max<std::int64_t>(0, -((-minXs) >> kSubPixelBits)));
    const int minY = static_cast<int>(std::max<std::int64_t>(0, -((-minYs) >> kSubPixelBits)));
    const int maxX = static_cast<int>(std::min<std::int64_t>(m_job.width - 1, maxXs >> kSubPixelBits));
    const int maxY = static_cast<int>(std::min<std::int64_t>(m_job.height - 1, maxYs >> kSubPixelBits));
    if (minX > maxX || minY > maxY) return false;

    if (lightLater) {
        for (int i = 0; i < 3; ++i)
            if (!lit[i]) {
                LightVertex(index[i], store[i]);
                lit[i] = true;
            }
    }

    // Corners in clockwise order for the edge functions; the first corner
    // stays first, so the flat colour is still the first vertex's.
    int order[3] = {0, 1, 2};
    if (area < 0) std::swap(order[1], order[2]);

    const std::uint32_t flags = (m_k->flat ? 0u : kGouraud) |
                                (m_k->addSpecular ? kSpecular : 0u) |
                                (m_k->needsTexCoord ? kTextured : 0u);
    const std::uint32_t offset = m_out.Allocate(sizeof(TriangleRecord));
    auto* t = new (static_cast<void*>(m_out.arena.data() + offset)) TriangleRecord;
    t->kind = kRecordTriangle;
    t->state = m_state;
    t->flags = flags;
    t->attributes = static_cast<std::uint32_t>(AttributeCount(flags));
    t->minX = minX, t->maxX = maxX, t->minY = minY, t->maxY = maxY;
    for (int e = 0; e < 3; ++e) {
        const int a = order[e], b = order[(e + 1) % 3];
        const std::int64_t dx = X[b] - X[a], dy = Y[b] - Y[a];
        // Top edges (level, running right) and left edges (running up) own
        // the samples that lie exactly on them.
        const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
        const std::int64_t px = std::int64_t{minX} * kSubPixel, py = std::int64_t{minY} * kSubPixel;
        t->edge[e] = (py - Y[a]) * dx - (px - X[a]) * dy - (topLeft ? 0 : 1);
        t->stepX[e] = -dy * kSubPixel;
        t->stepY[e] = dx * kSubPixel;
    }

    // Planes from the snapped corners, in pixels.
    const int i0 = order[0], i1 = order[1], i2 = order[2];
    constexpr float kToPixels = 1.0f / static_cast<float>(kSubPixel);
    const float x0 = static_cast<float>(X[i0]) * kToPixels, y0 = static_cast<float>(Y[i0]) * kToPixels;
    const float dx1 = static_cast<float>(X[i1] - X[i0]) * kToPixels, dy1 = static_cast<float>(Y[i1] - Y[i0]) * kToPixels;
    const float dx2 = static_cast<float>(X[i2] - X[i0]) * kToPixels, dy2 = static_cast<float>(Y[i2] - Y[i0]) * kToPixels;
    const float inv = 1.0f / (dx1 * dy2 - dx2 * dy1);
    const float rx = static_cast<float>(minX) - x0, ry = static_cast<float>(minY) - y0;
    auto plane = [&](int i, float a0, float a1, float a2) {
        const float d1 = a1 - a0, d2 = a2 - a0;
        const float ddx = (d1 * dy2 - d2 * dy1) * inv;
        const float ddy = (d2 * dx1 - d1 * dx2) * inv;
        t->value[i] = a0 + rx * ddx + ry * ddy;
        t->dx[i] = ddx;
        t->dy[i] = ddy;
    };
    const Vertex& a = *v[i0];
    const Vertex& b = *v[i1];
    const Vertex& c = *v[i2];
    const float wa = iw[i0], wb = iw[i1], wc = iw[i2];
    plane(0, a.z * wa, b.z * wb, c.z * wc);
    plane(1, wa, wb, wc);
    int next = 2;
    const int colours = (flags & kSpecular) ? 7 : 4;
    for (int k = 0; k < colours; ++k, ++next) {
        if (flags & kGouraud) {
            plane(next, a.a[k] * wa, b.a[k] * wb, c.a[k] * wc);
        } else {
            t->value[next] = v0.a[k];
            t->dx[next] = t->dy[next] = 0.0f;
        }
    }
    if (flags & kTextured) {
        plane(next, a.a[7] * wa, b.a[7] * wb, c.a[7] * wc);
        plane(next + 1, a.a[8] * wa, b.a[8] * wb, c.a[8] * wc);
        // Minified or magnified: texels per pixel over the whole triangle.
        if (m_k->linearMin != m_k->linearMag) {
            const Texture& tex = *m_k->texture;
            const float du1 = b.a[7] - a.a[7], dv1 = b.a[8] - a.a[8], du2 = c.a[7] - a.a[7], dv2 = c.a[8] - a.a[8];
            const float texels = std::fabs(du1 * dv2 - du2 * dv1) * static_cast<float>(tex.Width()) *
                                 static_cast<float>(tex.Height());
            const float pixels = std::fabs(dx1 * dy2 - dx2 * dy1);
            if (texels > pixels ? m_k->linearMin : m_k->linearMag) t->flags |= kLinearFilter;
        } else if (m_k->linearMag) {
            t->flags |= kLinearFilter;
        }
    }
    BinRows(offset, minY, maxY);
    return true;
}

void Geometry::ClipAndSetUp(const Vertex& v0, const Vertex& v1, const Vertex& v2)
{
    // Sutherland-Hodgman in clip space against the near and far planes and
    // the guard band; each plane's distance is >= 0 inside.
    Vertex bufA[12], bufB[12];
    Vertex* in = bufA;
    Vertex* out = bufB;
    int n = 3;
    in[0] = v0, in[1] = v1, in[2] = v2;
    const float gx = m_guardX, gy = m_guardY;
    for (int plane = 0; plane < 6 && n >= 3; ++plane) {
        auto dist = [&](const Vertex& v) {
            switch (plane) {
            case 0: return v.z;
            case 1: return v.w - v.z;
            case 2: return gx * v.w - v.x;
            case 3: return gx * v.w + v.x;
            case 4: return gy * v.w - v.y;
            default: return gy * v.w + v.y;
            }
        };
        int m = 0;
        for (int i = 0; i < n; ++i) {
            const Vertex& a = in[i];
            const Vertex& b = in[(i + 1) % n];
            const float da = dist(a), db = dist(b);
            if (da >= 0.0f) out[m++] = a;
            if ((da >= 0.0f) != (db >= 0.0f) && !std::isnan(da) && !std::isnan(db)) {
                const float t = da / (da - db);
                Vertex& r = out[m++];
                r.x = a.x + (b.x - a.x) * t;
                r.y = a.y + (b.y - a.y) * t;
                r.z = a.z + (b.z - a.z) * t;
                r.w = a.w + (b.w - a.w) * t;
                for (int k = 0; k < kVertexAttributes; ++k) r.a[k] = a.a[k] + (b.a[k] - a.a[k]) * t;
            }
        }
        std::swap(in, out);
        n = m;
    }
    if (n < 3) return;
    for (int i = 0; i < n; ++i)
        if (!(in[i].w > 0.0f)) return;
    // The clipped polygon keeps the triangle's winding; a fan from its first
    // corner covers it. A flat triangle keeps its first vertex's colour.
    for (int i = 1; i + 1 < n; ++i) {
        Vertex first = in[0];
        for (int k = 0; k < 7; ++k) first.a[k] = m_k->flat ? v0.a[k] : first.a[k];
        SetUp(first, in[i], in[i + 1], false, nullptr, nullptr, nullptr);
    }
}

void Geometry::Line(Vertex v0, Vertex v1)
{
    // Clip to the view volume itself: lines are few, and their pixels then
    // never leave the picture.
    float t0 = 0.0f, t1 = 1.0f;
    for (int plane = 0; plane < 6; ++plane) {
        auto dist = [plane](const Vertex& v) {
            switch (plane) {
            case 0: return v.z;
            case 1: return v.w - v.z;
            case 2: return v.w - v.x;
            case 3: return v.w + v.x;
            case 4: return v.w - v.y;
            default: return v.w + v.y;
            }
        };
        const float d0 = dist(v0), d1 = dist(v1);
        if (std::isnan(d0) || std::isnan(d1) || (d0 < 0.0f && d1 < 0.0f)) return;
        if (d0 < 0.0f) t0 = std::max(t0, d0 / (d0 - d1));
        if (d1 < 0.0f) t1 = std::min(t1, d0 / (d0 - d1));
    }
    if (t0 > t1) return;
    auto at = [&](float t) {
        Vertex r;
        r.x = v0.x + (v1.x - v0.x) * t;
        r.y = v0.y + (v1.y - v0.y) * t;
        r.z = v0.z + (v1.z - v0.z) * t;
        r.w = v0.w + (v1.w - v0.w) * t;
        for (int k = 0; k < kVertexAttributes; ++k) r.a[k] = v0.a[k] + (v1.a[k] - v0.a[k]) * t;
        return r;
    };
    const Vertex a = at(t0), b = at(t1);
    if (!(a.w > 0.0f) || !(b.w > 0.0f)) return;

    const std::uint32_t flags = (m_k->flat ? 0u : kGouraud) | (m_k->addSpecular ? kSpecular : 0u) |
                                (m_k->needsTexCoord ? kTextured : 0u) | (m_k->linearMag ? kLinearFilter : 0u);
    const std::uint32_t offset = m_out.Allocate(sizeof(LineRecord));
    auto* l = new (static_cast<void*>(m_out.arena.data() + offset)) LineRecord;
    l->kind = kRecordLine;
    l->state = m_state;
    l->flags = flags;
    l->attributes = static_cast<std::uint32_t>(AttributeCount(flags));
    const float wa = 1.0f / a.w, wb = 1.0f / b.w;
    l->x0 = (a.x * wa + 1.0f) * m_halfW;
    l->y0 = (1.0f - a.y * wa) * m_halfH;
    l->x1 = (b.x * wb + 1.0f) * m_halfW;
    l->y1 = (1.0f - b.y * wb) * m_halfH;
    l->a0[0] = a.z * wa, l->a1[0] = b.z * wb;
    l->a0[1] = wa, l->a1[1] = wb;
    int next = 2;
    const int colours = (flags & kSpecular) ? 7 : 4;
    for (int k = 0; k < colours; ++k, ++next) {
        const bool gouraud = (flags & kGouraud) != 0;
        l->a0[next] = gouraud ? a.a[k] * wa : v0.a[k];
        l->a1[next] = gouraud ? b.a[k] * wb : v0.a[k];
    }
    if (flags & kTextured) {
        l->a0[next] = a.a[7] * wa, l->a1[next] = b.a[7] * wb;
        l->a0[next + 1] = a.a[8] * wa, l->a1[next + 1] = b.a[8] * wb;
    }
    const float minY = std::min(l->y0, l->y1), maxY = std::max(l->y0, l->y1);
    BinRows(offset, std::clamp(static_cast<int>(std::floor(minY)), 0, m_job.height - 1),
            std::clamp(static_cast<int>(std::ceil(maxY)), 0, m_job.height - 1));
}

void Geometry::Clear(const Command& c)
{
    const std::uint32_t offset = m_out.Allocate(sizeof(ClearRecord));
    auto* r = new (static_cast<void*>(m_out.arena.data() + offset)) ClearRecord;
    r->kind = kRecordClear;
    r->state = 0;
    r->flags = c.clearFlags;
    r->color = c.clearColor;
    r->z = c.clearZ;
    r->pad = 0.0f;
    BinRows(offset, 0, m_job.height - 1);
}

void Geometry::Run(const Command& c, std::uint64_t first, std::uint64_t last)
{
    if (c.kind == Command::kClear) {
        Clear(c);
        return;
    }
    m_state = c.state;
    m_k = &(*m_job.constants)[c.state];
    const std::uint32_t n = c.count;
    switch (c.type) {
    case PrimitiveType::TriangleList:
        for (std::uint64_t p = first; p < last; ++p) {
            const std::uint32_t base = c.start + static_cast<std::uint32_t>(p) * 3;
            Vertex v[3];
            std::uint32_t code[3];
            const std::uint32_t index[3] = {base, base + 1, base + 2};
            bool lit[3] = {false, false, false};
            for (int i = 0; i < 3; ++i) {
                Transform(index[i], v[i]);
                code[i] = Outcode(v[i]);
            }
            Triangle(&v[0], &v[1], &v[2], code[0], code[1], code[2], index, lit, v);
        }
        break;
    case PrimitiveType::TriangleFan: {
        const std::size_t corners = std::size_t{n} + 2;
        m_fan.resize(corners);
        m_fanCode.resize(corners);
        m_fanIndex.resize(corners);
        m_fanLit.resize(corners);
        for (std::uint64_t r = first; r < last; ++r) {
            const std::uint32_t base = c.start + static_cast<std::uint32_t>(r * corners);
            std::uint32_t all = kOutView;
            for (std::size_t i = 0; i < corners; ++i) {
                m_fanIndex[i] = base + static_cast<std::uint32_t>(i);
                Transform(m_fanIndex[i], m_fan[i]);
                m_fanCode[i] = Outcode(m_fan[i]);
                m_fanLit[i] = 0;
                all &= m_fanCode[i];
            }
            if (all != 0) continue;  // the whole fan lies beyond one side
            // Triangle i of a fan is (i + 1, i + 2, 0): its first vertex,
            // and so its flat colour, is corner i + 1.
            for (std::uint32_t i = 0; i < n; ++i) {
                const std::uint32_t k[3] = {i + 1, i + 2, 0};
                const std::uint32_t index[3] = {m_fanIndex[k[0]], m_fanIndex[k[1]], m_fanIndex[k[2]]};
                bool lit[3] = {m_fanLit[k[0]] != 0, m_fanLit[k[1]] != 0, m_fanLit[k[2]] != 0};
                Vertex* store[3] = {&m_fan[k[0]], &m_fan[k[1]], &m_fan[k[2]]};
                // SetUp lights through `store`, which must be one array: light
                // into the fan's own vertices one by one.
                Vertex tri[3] = {*store[0], *store[1], *store[2]};
                Triangle(&tri[0], &tri[1], &tri[2], m_fanCode[k[0]], m_fanCode[k[1]], m_fanCode[k[2]], index, lit,
                         tri);
                for (int j = 0; j < 3; ++j)
                    if (lit[j] && !m_fanLit[k[j]]) {
                        *store[j] = tri[j];
                        m_fanLit[k[j]] = 1;
                    }
            }
        }
        break;
    }
    case PrimitiveType::LineList:
        for (std::uint64_t p = first; p < last; ++p) {
            const std::uint32_t base = c.start + static_cast<std::uint32_t>(p) * 2;
            Vertex v[2];
            for (int i = 0; i < 2; ++i) {
                Transform(base + static_cast<std::uint32_t>(i), v[i]);
                LightVertex(base + static_cast<std::uint32_t>(i), v[i]);
            }
            if ((Outcode(v[0]) & Outcode(v[1]) & kOutView) != 0) continue;
            Line(v[0], v[1]);
        }
        break;
    }
}

// The preview's own stage set-up, drawn without the general combiner:
// texture times diffuse for colour and alpha, then specular, then source-
// alpha blending or none.
bool IsStandardStage(const StageConstants& k)
{
    const auto textureTimesDiffuse = [](std::uint32_t op, std::uint32_t a1, std::uint32_t a2) {
        const auto diffuse = [](std::uint32_t a) { return a == kArgDiffuse || a == kArgCurrent; };
        return op == kOpModulate && ((a1 == kArgTexture && diffuse(a2)) || (diffuse(a1) && a2 == kArgTexture));
    };
    const bool blendOk = !k.blend || (k.srcBlend == kBlendSrcAlpha && k.destBlend == kBlendInvSrcAlpha) ||
                         (k.srcBlend == kBlendOne && k.destBlend == kBlendZero);
    return blendOk && textureTimesDiffuse(k.colorOp, k.colorArg1, k.colorArg2) &&
           textureTimesDiffuse(k.alphaOp, k.alphaArg1, k.alphaArg2);
}

}  // namespace

void Bins::Reset(int bandCount)
{
    used = 0;
    if (bands.size() != static_cast<std::size_t>(bandCount)) bands.resize(static_cast<std::size_t>(bandCount));
    for (auto& b : bands) b.clear();
}

std::uint32_t Bins::Allocate(std::size_t bytes)
{
    const std::size_t offset = used;
    used += (bytes + 7) / 8;
    if (used > arena.size()) arena.resize(std::max(used, arena.size() * 2));
    return static_cast<std::uint32_t>(offset);
}

StageConstants MakeConstants(const DrawState& s)
{
    StageConstants k;
    k.worldView = s.world * s.view;
    k.worldViewProjection = k.worldView * s.projection;
    // Normals go by the inverse transpose of the world-view matrix; a
    // singular matrix leaves them zero, lit by ambient light only.
    if (const std::optional<Matrix4> inv = k.worldView.Inverse())
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) k.normalMatrix[i][j] = inv->m[j][i];
    k.vertices = s.stream ? s.stream->Data() + s.streamOffset : nullptr;
    k.stride = s.streamStride;
    k.hasDiffuse = (s.fvf & kFvfDiffuse) != 0;
    k.hasSpecular = (s.fvf & kFvfSpecular) != 0;
    k.hasTexCoord = (s.fvf & kFvfTex1) != 0;
    k.lighting = s.lighting != 0;
    k.lightOn = k.lighting && s.lightEnabled;
    k.normalize = s.normalizeNormals != 0;
    k.localViewer = s.localViewer != 0;
    k.specularSource = static_cast<MaterialSource>(s.specularSource);

    const Light& L = s.light;
    // Direction to the light in camera space: the light's direction turned
    // by the view matrix, reversed. The distant viewer looks along +z, so the
    // vector to it is (0, 0, -1).
    k.toLight = Unit(-s.view.TransformDirection(L.direction));
    k.halfway = Unit(CVector{k.toLight.m_x, k.toLight.m_y, k.toLight.m_z - 1.0f});

    const ColorValue ga = Unpack(s.ambient);
    const Material& m = s.material;
    const ColorValue la = k.lightOn ? L.ambient : ColorValue{};
    k.constantColor = {m.ambient.r * (ga.r + la.r) + m.emissive.r, m.ambient.g * (ga.g + la.g) + m.emissive.g,
                       m.ambient.b * (ga.b + la.b) + m.emissive.b, 0.0f};
    k.lightDiffuse = L.diffuse;
    k.lightSpecular = L.specular;
    k.materialDiffuse = m.diffuse;
    k.materialSpecular = m.specular;
    k.power = m.power;
    const bool specularFromMaterial = k.specularSource == kSourceMaterial ||
                                      (k.specularSource == kSourceColor2 && !k.hasSpecular) ||
                                      (k.specularSource == kSourceColor1 && !k.hasDiffuse);
    k.computeSpecular = k.lightOn && s.specularEnable != 0 && !IsZero(L.specular) &&
                        !(specularFromMaterial && IsZero(m.specular));
    k.cullMode = s.cullMode;
    k.flat = s.shadeMode == kShadeFlat;

    k.zTest = s.zEnable != 0;
    k.zWrite = s.zEnable != 0 && s.zWriteEnable != 0;
    // Specular light is added after the texture stage; without lighting the
    // vertices' own specular colour is.
    k.addSpecular = s.specularEnable != 0 && (k.computeSpecular || (!k.lighting && k.hasSpecular));
    k.texture = s.texture.get();
    k.linearMin = s.minFilter == kFilterLinear;
    k.linearMag = s.magFilter == kFilterLinear;
    k.colorOp = s.colorOp, k.colorArg1 = s.colorArg1, k.colorArg2 = s.colorArg2;
    k.alphaOp = s.alphaOp, k.alphaArg1 = s.alphaArg1, k.alphaArg2 = s.alphaArg2;
    const auto uses = [](std::uint32_t op, std::uint32_t a1, std::uint32_t a2) {
        return (op != kOpSelectArg2 && a1 == kArgTexture) || (op != kOpSelectArg1 && a2 == kArgTexture);
    };
    k.needsTexCoord = k.texture != nullptr && (uses(k.colorOp, k.colorArg1, k.colorArg2) ||
                                               uses(k.alphaOp, k.alphaArg1, k.alphaArg2));
    k.blend = s.alphaBlendEnable != 0;
    k.srcBlend = s.srcBlend;
    k.destBlend = s.destBlend;
    k.standardStage = IsStandardStage(k);
    return k;
}

void RunGeometry(const FrameJob& job, int task, Bins& out)
{
    const std::uint64_t total = job.totalItems;
    const std::uint64_t begin = total * static_cast<std::uint64_t>(task) / static_cast<std::uint64_t>(job.tasks);
    const std::uint64_t end = total * static_cast<std::uint64_t>(task + 1) / static_cast<std::uint64_t>(job.tasks);
    if (begin >= end) return;
    const std::vector<Command>& commands = *job.commands;
    // The command holding item `begin`.
    std::size_t c = static_cast<std::size_t>(
        std::upper_bound(job.itemStart.begin(), job.itemStart.end(), begin) - job.itemStart.begin() - 1);
    Geometry g(job, out);
    for (; c < commands.size() && job.itemStart[c] < end; ++c) {
        const std::uint64_t first = std::max(begin, job.itemStart[c]) - job.itemStart[c];
        const std::uint64_t last = std::min(end, job.itemStart[c] + commands[c].Items()) - job.itemStart[c];
        if (first < last) g.Run(commands[c], first, last);
    }
}

}  // namespace kinovela::soft::detail
