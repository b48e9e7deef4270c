// The fill step of the software device: each task owns one band of rows and
// draws into it every record that touches it, in the order they were drawn,
// so that depth ties and blending come out as on a single thread.
#include <algorithm>
#include <cmath>

#include "render/soft/Pipeline.h"

namespace kinovela::soft::detail {

namespace {

struct Rgba {
    float r, g, b, a;
};

inline Rgba UnpackPixel(std::uint32_t c)
{
    constexpr float s = 1.0f / 255.0f;
    return {static_cast<float>((c >> 16) & 0xFF) * s, static_cast<float>((c >> 8) & 0xFF) * s,
            static_cast<float>(c & 0xFF) * s, static_cast<float>(c >> 24) * s};
}

inline std::uint32_t ToByte(float v)
{
    v = v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
    return static_cast<std::uint32_t>(v * 255.0f + 0.5f);
}

// A texture coordinate wrapped into 0..1 (wrap addressing); NaN and
// coordinates too large to matter become 0.
inline float Wrap(float u)
{
    if (!(std::fabs(u) < 1.0e9f)) return 0.0f;
    const float f = u - static_cast<float>(static_cast<std::int64_t>(u));
    return f < 0.0f ? f + 1.0f : f;
}

// Mixes two packed pixels, `f` of 256 parts of b: two channels at a time.
inline std::uint32_t Mix(std::uint32_t a, std::uint32_t b, std::uint32_t f)
{
    const std::uint32_t g = 256 - f;
    const std::uint32_t rb = (((a & 0x00FF00FFu) * g + (b & 0x00FF00FFu) * f) >> 8) & 0x00FF00FFu;
    const std::uint32_t ag = (((a >> 8) & 0x00FF00FFu) * g + ((b >> 8) & 0x00FF00FFu) * f) & 0xFF00FF00u;
    return rb | ag;
}

// One texel coordinate with 8 bits of fraction, and the two texels either
// side of it (texel centres at (i + 0.5) / size, wrapping at the edges).
struct Taps {
    int i0, i1;
    std::uint32_t f;
};

inline Taps LinearTaps(float wrapped, int size)
{
    // + 128 instead of - 0.5 texel keeps the value positive for the cast.
    const int p = static_cast<int>(wrapped * static_cast<float>(size * 256) + 128.0f);
    int i0 = (p >> 8) - 1;
    int i1 = i0 + 1;
    if (i0 < 0) i0 = size - 1;
    if (i1 >= size) i1 -= size;
    return {i0, i1, static_cast<std::uint32_t>(p & 255)};
}

std::uint32_t Sample(const Texture& t, bool linear, float u, float v)
{
    const int w = t.Width(), h = t.Height();
    const std::uint32_t* texels = t.Texels();
    u = Wrap(u);
    v = Wrap(v);
    if (!linear) {
        const int x = std::min(static_cast<int>(u * static_cast<float>(w)), w - 1);
        const int y = std::min(static_cast<int>(v * static_cast<float>(h)), h - 1);
        return texels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)];
    }
    const Taps tx = LinearTaps(u, w), ty = LinearTaps(v, h);
    const std::uint32_t* row0 = texels + static_cast<std::size_t>(ty.i0) * static_cast<std::size_t>(w);
    const std::uint32_t* row1 = texels + static_cast<std::size_t>(ty.i1) * static_cast<std::size_t>(w);
    return Mix(Mix(row0[tx.i0], row0[tx.i1], tx.f), Mix(row1[tx.i0], row1[tx.i1], tx.f), ty.f);
}

inline float BlendFactor(std::uint32_t kind, float srcAlpha)
{
    switch (kind) {
    case kBlendZero: return 0.0f;
    case kBlendSrcAlpha: return srcAlpha;
    case kBlendInvSrcAlpha: return 1.0f - srcAlpha;
    default: return 1.0f;
    }
}

// What a pixel's colour is made of before it is written.
struct Fragment {
    Rgba diffuse;
    float sr, sg, sb;
    float u, v;
};

class Writer {
public:
    Writer(const StageConstants& k, const Targets& t, std::uint32_t flags)
        : m_k(k), m_t(t), m_flags(flags), m_linear((flags & kLinearFilter) != 0)
    {
    }

    // Depth test; true when the fragment at `index` may be drawn.
    bool DepthPasses(std::size_t index, float z) const
    {
        return !m_k.zTest || m_t.depth == nullptr || z <= m_t.depth[index];
    }

    void Write(std::size_t index, float z, const Fragment& f) const
    {
        Rgba tex{1.0f, 1.0f, 1.0f, 1.0f};
        if (m_flags & kTextured) tex = UnpackPixel(Sample(*m_k.texture, m_linear, f.u, f.v));
        const Rgba& dif = f.diffuse;
        auto arg = [&](std::uint32_t which) -> const Rgba& { return which == kArgTexture ? tex : dif; };
        Rgba out;
        const Rgba& c1 = arg(m_k.colorArg1);
        const Rgba& c2 = arg(m_k.colorArg2);
        if (m_k.colorOp == kOpModulate) {
            out.r = c1.r * c2.r, out.g = c1.g * c2.g, out.b = c1.b * c2.b;
        } else {
            const Rgba& c = m_k.colorOp == kOpSelectArg1 ? c1 : c2;
            out.r = c.r, out.g = c.g, out.b = c.b;
        }
        const float a1 = arg(m_k.alphaArg1).a, a2 = arg(m_k.alphaArg2).a;
        out.a = m_k.alphaOp == kOpModulate ? a1 * a2 : (m_k.alphaOp == kOpSelectArg1 ? a1 : a2);
        if (m_flags & kSpecular) {
            out.r = std::min(out.r + f.sr, 1.0f);
            out.g = std::min(out.g + f.sg, 1.0f);
            out.b = std::min(out.b + f.sb, 1.0f);
        }
        if (m_k.blend) {
            const float fs = BlendFactor(m_k.srcBlend, out.a), fd = BlendFactor(m_k.destBlend, out.a);
            if (fs != 1.0f || fd != 0.0f) {
                const Rgba d = UnpackPixel(m_t.color[index]);
                out.r = out.r * fs + d.r * fd;
                out.g = out.g * fs + d.g * fd;
                out.b = out.b * fs + d.b * fd;
                out.a = out.a * fs + d.a * fd;
            }
        }
        m_t.color[index] = (ToByte(out.a) << 24) | (ToByte(out.r) << 16) | (ToByte(out.g) << 8) | ToByte(out.b);
        if (m_k.zWrite && m_t.depth) m_t.depth[index] = z;
    }

private:
    const StageConstants& m_k;
    const Targets& m_t;
    std::uint32_t m_flags;
    bool m_linear;
};

template <bool kTextured, bool kSpecular>
inline void ShadeStandard(const StageConstants& k, const Targets& tg, std::size_t index, bool linear, float r, float g,
                          float b, float a, float sr, float sg, float sb, float u, float v)
{
    if constexpr (kTextured) {
        const std::uint32_t t = Sample(*k.texture, linear, u, v);
        constexpr float s = 1.0f / 255.0f;
        r *= static_cast<float>((t >> 16) & 0xFF) * s;
        g *= static_cast<float>((t >> 8) & 0xFF) * s;
        b *= static_cast<float>(t & 0xFF) * s;
        a *= static_cast<float>(t >> 24) * s;
    }
    if constexpr (kSpecular) {
        r = std::min(r + sr, 1.0f);
        g = std::min(g + sg, 1.0f);
        b = std::min(b + sb, 1.0f);
    }
    std::uint32_t& pixel = tg.color[index];
    if (k.blend && k.srcBlend == kBlendSrcAlpha && a < 1.0f) {
        const Rgba d = UnpackPixel(pixel);
        const float ia = 1.0f - a;
        r = r * a + d.r * ia;
        g = g * a + d.g * ia;
        b = b * a + d.b * ia;
        a = a * a + d.a * ia;
    }
    pixel = (ToByte(a) << 24) | (ToByte(r) << 16) | (ToByte(g) << 8) | ToByte(b);
}

template <bool kGouraud, bool kTextured, bool kSpecular>
void FillTriangle(const TriangleRecord& t, const StageConstants& k, int bandTop, int bandBottom, const Targets& tg)
{
    const int ys = std::max(t.minY, bandTop), ye = std::min(t.maxY, bandBottom);
    if (ys > ye) return;
    constexpr int n = 6 + (kSpecular ? 3 : 0) + (kTextured ? 2 : 0);
    constexpr int uvAt = kSpecular ? 9 : 6;
    const bool linear = (t.flags & kLinearFilter) != 0;
    const bool zTest = k.zTest && tg.depth, zWrite = k.zWrite && tg.depth;
    const Writer writer(k, tg, t.flags);
    float row[n];
    for (int y = ys; y <= ye; ++y) {
        const std::int64_t dy = y - t.minY;
        std::int64_t e0 = t.edge[0] + dy * t.stepY[0];
        std::int64_t e1 = t.edge[1] + dy * t.stepY[1];
        std::int64_t e2 = t.edge[2] + dy * t.stepY[2];
        const float fdy = static_cast<float>(dy);
        for (int i = 0; i < n; ++i) row[i] = t.value[i] + fdy * t.dy[i];
        bool entered = false;
        const std::size_t rowIndex = static_cast<std::size_t>(y) * static_cast<std::size_t>(tg.width);
        for (int x = t.minX; x <= t.maxX; ++x, e0 += t.stepX[0], e1 += t.stepX[1], e2 += t.stepX[2]) {
            if ((e0 | e1 | e2) < 0) {
                if (entered) break;  // a triangle's row is one run
                continue;
            }
            entered = true;
            const float fdx = static_cast<float>(x - t.minX);
            const float z = row[0] + fdx * t.dx[0];
            const std::size_t index = rowIndex + static_cast<std::size_t>(x);
            if (zTest && !(z <= tg.depth[index])) continue;
            const float w = 1.0f / (row[1] + fdx * t.dx[1]);
            float c[7];
            constexpr int colours = kSpecular ? 7 : 4;
            for (int i = 0; i < colours; ++i) {
                if constexpr (kGouraud)
                    c[i] = (row[2 + i] + fdx * t.dx[2 + i]) * w;
                else
                    c[i] = row[2 + i];
            }
            float u = 0.0f, v = 0.0f;
            if constexpr (kTextured) {
                u = (row[uvAt] + fdx * t.dx[uvAt]) * w;
                v = (row[uvAt + 1] + fdx * t.dx[uvAt + 1]) * w;
            }
            if (k.standardStage) {
                ShadeStandard<kTextured, kSpecular>(k, tg, index, linear, c[0], c[1], c[2], c[3],
                                                    kSpecular ? c[4] : 0.0f, kSpecular ? c[5] : 0.0f,
                                                    kSpecular ? c[6] : 0.0f, u, v);
                if (zWrite) tg.depth[index] = z;
            } else {
                Fragment f{{c[0], c[1], c[2], c[3]}, kSpecular ? c[4] : 0.0f, kSpecular ? c[5] : 0.0f,
                           kSpecular ? c[6] : 0.0f, u, v};
                writer.Write(index, z, f);
            }
        }
    }
}

using FillFn = void (*)(const TriangleRecord&, const StageConstants&, int, int, const Targets&);

// Indexed by the record's kGouraud, kSpecular and kTextured flags.
constexpr FillFn kFillTriangle[8] = {
    FillTriangle<false, false, false>, FillTriangle<true, false, false>, FillTriangle<false, false, true>,
    FillTriangle<true, false, true>,   FillTriangle<false, true, false>, FillTriangle<true, true, false>,
    FillTriangle<false, true, true>,   FillTriangle<true, true, true>,
};
static_assert(kGouraud == 1 && kSpecular == 2 && kTextured == 4);

// Lines light the pixels whose centres they pass, one per column (or row,
// for steep lines), leaving out the last one so that joined lines do not
// draw their shared point twice.
void FillLine(const LineRecord& l, const StageConstants& k, int bandTop, int bandBottom, const Targets& tg)
{
    const Writer writer(k, tg, l.flags);
    const float dx = l.x1 - l.x0, dy = l.y1 - l.y0;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const float major0 = xMajor ? l.x0 : l.y0, major1 = xMajor ? l.x1 : l.y1;
    const float minor0 = xMajor ? l.y0 : l.x0, dMajor = xMajor ? dx : dy, dMinor = xMajor ? dy : dx;
    if (dMajor == 0.0f) return;
    int first, last, step;
    if (dMajor > 0) {
        first = static_cast<int>(std::ceil(major0));
        last = static_cast<int>(std::ceil(major1)) - 1;
        step = 1;
    } else {
        first = static_cast<int>(std::floor(major0));
        last = static_cast<int>(std::floor(major1)) + 1;
        step = -1;
    }
    const int majorLimit = xMajor ? tg.width : tg.height;
    const bool specular = (l.flags & kSpecular) != 0;
    const bool textured = (l.flags & kTextured) != 0;
    const bool gouraud = (l.flags & kGouraud) != 0;
    const int uvSlot = specular ? 9 : 6;
    Fragment f{};
    for (int m = first; step > 0 ? m <= last : m >= last; m += step) {
        if (m < 0 || m >= majorLimit) continue;
        const float t = (static_cast<float>(m) - major0) / dMajor;
        const int minor = static_cast<int>(std::floor(minor0 + t * dMinor + 0.5f));
        const int x = xMajor ? m : minor, y = xMajor ? minor : m;
        if (y < bandTop || y > bandBottom || x < 0 || x >= tg.width) continue;
        auto lerp = [&](int i) { return l.a0[i] + (l.a1[i] - l.a0[i]) * t; };
        const float z = lerp(0);
        const std::size_t index = static_cast<std::size_t>(y) * static_cast<std::size_t>(tg.width) +
                                  static_cast<std::size_t>(x);
        if (!writer.DepthPasses(index, z)) continue;
        const float w = 1.0f / lerp(1);
        const float s = gouraud ? w : 1.0f;
        f.diffuse = {lerp(2) * s, lerp(3) * s, lerp(4) * s, lerp(5) * s};
        if (specular) f.sr = lerp(6) * s, f.sg = lerp(7) * s, f.sb = lerp(8) * s;
        if (textured) f.u = lerp(uvSlot) * w, f.v = lerp(uvSlot + 1) * w;
        writer.Write(index, z, f);
    }
}

void FillClear(const ClearRecord& c, int bandTop, int bandBottom, const Targets& tg)
{
    const std::size_t begin = static_cast<std::size_t>(bandTop) * static_cast<std::size_t>(tg.width);
    const std::size_t end = static_cast<std::size_t>(bandBottom + 1) * static_cast<std::size_t>(tg.width);
    if (c.flags & kClearTarget) std::fill(tg.color + begin, tg.color + end, c.color);
    if ((c.flags & kClearZBuffer) && tg.depth) std::fill(tg.depth + begin, tg.depth + end, c.z);
}

}  // namespace

void FillBand(const FrameJob& job, int band, const Targets& targets)
{
    const int top = band * kBandHeight;
    const int bottom = std::min(targets.height, top + kBandHeight) - 1;
    const std::vector<StageConstants>& constants = *job.constants;
    for (int task = 0; task < job.tasks; ++task) {
        const Bins& bins = (*job.bins)[static_cast<std::size_t>(task)];
        for (const std::uint32_t offset : bins.bands[static_cast<std::size_t>(band)]) {
            const std::uint32_t kind = *bins.At<std::uint32_t>(offset);
            if (kind == kRecordClear) {
                FillClear(*bins.At<ClearRecord>(offset), top, bottom, targets);
            } else if (kind == kRecordTriangle) {
                const auto& t = *bins.At<TriangleRecord>(offset);
                kFillTriangle[t.flags & (kGouraud | kSpecular | kTextured)](t, constants[t.state], top, bottom,
                                                                           targets);
            } else {
                const auto& l = *bins.At<LineRecord>(offset);
                FillLine(l, constants[l.state], top, bottom, targets);
            }
        }
    }
}

}  // namespace kinovela::soft::detail
