// The software device on primitives whose pictures are known exactly: pixel
// coverage, culling, depth, perspective, clipping, shading, lighting,
// textures, lines, and the same picture on one thread as on several.
#include "render/soft/SoftDevice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace kinovela::soft {
namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;

// A device of `w` x `h` pixels, cleared to black, with identity transforms,
// lighting off and no culling: a vertex at (x, y) lands on pixel
// ((x + 1) * w / 2, (1 - y) * h / 2).
class Canvas {
public:
    explicit Canvas(int w = 32, int h = 32, int threads = 1) : device(threads), width(w), height(h)
    {
        PresentParameters p;
        p.backBufferWidth = w;
        p.backBufferHeight = h;
        EXPECT_EQ(device.Reset(p), Result::Ok);
        device.SetRenderState(RenderState::Lighting, 0);
        device.SetRenderState(RenderState::CullMode, kCullNone);
        device.SetFVF(kFvfModelVertex);
    }

    // Pixel coordinates to the vertex position that lands there.
    float X(float px) const { return px * 2.0f / static_cast<float>(width) - 1.0f; }
    float Y(float py) const { return 1.0f - py * 2.0f / static_cast<float>(height); }

    ModelVertex At(float px, float py, std::uint32_t colour, float z = 0.5f, float u = 0, float v = 0) const
    {
        return ModelVertex{X(px), Y(py), z, 0, 0, 1, colour, 0xFF000000u, u, v};
    }

    void Draw(const std::vector<ModelVertex>& v, PrimitiveType type, std::uint32_t count)
    {
        std::shared_ptr<VertexBuffer> vb;
        ASSERT_EQ(device.CreateVertexBuffer(static_cast<std::uint32_t>(v.size() * sizeof(ModelVertex)),
                                            kFvfModelVertex, vb),
                  Result::Ok);
        std::memcpy(vb->Lock(0, 0), v.data(), v.size() * sizeof(ModelVertex));
        device.SetStreamSource(0, vb, 0, sizeof(ModelVertex));
        ASSERT_EQ(device.DrawPrimitive(type, 0, count), Result::Ok);
    }

    // Runs `draw` inside a scene on a cleared picture and presents it.
    template <class F> const Surface& Frame(F&& draw)
    {
        device.Clear(kClearTarget | kClearZBuffer, kBlack, 1.0f, 0);
        device.BeginScene();
        draw();
        device.EndScene();
        device.Present();
        return device.FrontBuffer();
    }

    Device device;
    int width, height;
};

int Red(std::uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }
int Green(std::uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
int Blue(std::uint32_t c) { return static_cast<int>(c & 0xFF); }

int CountNot(const Surface& s, std::uint32_t colour)
{
    int n = 0;
    for (std::uint32_t p : s.pixels) n += (p & 0xFFFFFFu) != (colour & 0xFFFFFFu);
    return n;
}

void EnableHalfBlend(Device& d)
{
    d.SetRenderState(RenderState::AlphaBlendEnable, 1);
    d.SetRenderState(RenderState::SrcBlend, kBlendSrcAlpha);
    d.SetRenderState(RenderState::DestBlend, kBlendInvSrcAlpha);
    d.SetRenderState(RenderState::ZEnable, 0);
    // The stage's default alpha is the texture's, white without one.
    d.SetTextureStageState(0, TextureStageState::AlphaOp, kOpModulate);
}

TEST(SoftDevice, SharedEdgesAreFilledExactlyOnce)
{
    // Half-transparent white over black: a pixel drawn once is 128, twice
    // 191. Every pixel of the shapes must come out 128.
    Canvas c;
    EnableHalfBlend(c.device);
    const std::uint32_t half = 0x80FFFFFFu;
    // A square on whole pixel coordinates as a list of two triangles: the
    // samples at 8..23 lie inside, those on the right and bottom edges not.
    const Surface& s = c.Frame([&] {
        c.Draw({c.At(8, 8, half), c.At(24, 8, half), c.At(24, 24, half), c.At(8, 8, half), c.At(24, 24, half),
                c.At(8, 24, half)},
               PrimitiveType::TriangleList, 2);
    });
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool inside = x >= 8 && x < 24 && y >= 8 && y < 24;
            ASSERT_EQ(Red(s.At(x, y)), inside ? 128 : 0) << x << "," << y;
        }

    // A fan of nine triangles around an off-grid centre, corners off the
    // pixel grid: no pixel twice, no hole between neighbours.
    const Surface& f = c.Frame([&] {
        std::vector<ModelVertex> v{c.At(15.3f, 16.7f, half)};
        for (int i = 0; i <= 9; ++i) {
            const float a = static_cast<float>(i) * 6.2831853f / 9.0f;
            v.push_back(c.At(15.3f + 12.1f * std::cos(a), 16.7f + 11.3f * std::sin(a), half));
        }
        c.Draw(v, PrimitiveType::TriangleFan, 9);
    });
    int covered = 0;
    for (std::uint32_t p : f.pixels) {
        ASSERT_TRUE(Red(p) == 0 || Red(p) == 128) << Red(p);
        covered += Red(p) == 128;
    }
    // The polygon's area is about 9/2 sin(40 deg) 12.1 * 11.3 = 395 pixels.
    EXPECT_NEAR(covered, 395, 25);
    EXPECT_EQ(Red(f.At(15, 17)), 128);
}

TEST(SoftDevice, CullingFollowsTheScreenWinding)
{
    Canvas c;
    // Clockwise on the screen (y grows down): right, then down-left.
    const std::vector<ModelVertex> cw{c.At(4, 4, 0xFFFFFFFFu), c.At(28, 4, 0xFFFFFFFFu), c.At(4, 28, 0xFFFFFFFFu)};
    const std::vector<ModelVertex> ccw{cw[0], cw[2], cw[1]};
    auto drawn = [&](std::uint32_t mode, const std::vector<ModelVertex>& v) {
        c.device.SetRenderState(RenderState::CullMode, mode);
        return CountNot(c.Frame([&] { c.Draw(v, PrimitiveType::TriangleList, 1); }), kBlack) > 0;
    };
    EXPECT_TRUE(drawn(kCullCounterClockwise, cw));
    EXPECT_FALSE(drawn(kCullCounterClockwise, ccw));
    EXPECT_FALSE(drawn(kCullClockwise, cw));
    EXPECT_TRUE(drawn(kCullClockwise, ccw));
    EXPECT_TRUE(drawn(kCullNone, ccw));
}

TEST(SoftDevice, NearerSurfaceWinsWhateverTheOrder)
{
    Canvas c;
    auto square = [&](float z, std::uint32_t colour) {
        return std::vector<ModelVertex>{c.At(2, 2, colour, z), c.At(30, 2, colour, z), c.At(30, 30, colour, z),
                                        c.At(2, 30, colour, z)};
    };
    for (bool nearFirst : {true, false}) {
        const Surface& s = c.Frame([&] {
            if (nearFirst) c.Draw(square(0.25f, 0xFFFF0000u), PrimitiveType::TriangleFan, 2);
            c.Draw(square(0.75f, 0xFF0000FFu), PrimitiveType::TriangleFan, 2);
            if (!nearFirst) c.Draw(square(0.25f, 0xFFFF0000u), PrimitiveType::TriangleFan, 2);
        });
        EXPECT_EQ(s.At(16, 16) & 0xFFFFFF, 0xFF0000u) << nearFirst;
    }
    // With the depth test off, the last drawn wins.
    c.device.SetRenderState(RenderState::ZEnable, 0);
    const Surface& s = c.Frame([&] {
        c.Draw(square(0.25f, 0xFFFF0000u), PrimitiveType::TriangleFan, 2);
        c.Draw(square(0.75f, 0xFF0000FFu), PrimitiveType::TriangleFan, 2);
    });
    EXPECT_EQ(s.At(16, 16) & 0xFFFFFF, 0x0000FFu);
}

// A texture of two halves, red for u below 0.5 and blue above.
std::shared_ptr<Texture> HalfTexture(Device& d)
{
    std::shared_ptr<Texture> t;
    EXPECT_EQ(d.CreateTexture(2, 1, 1, Format::A8R8G8B8, t), Result::Ok);
    Texture::LockedRect r;
    t->LockRect(0, r);
    auto* texels = static_cast<std::uint32_t*>(r.bits);
    texels[0] = 0xFFFF0000u;
    texels[1] = 0xFF0000FFu;
    t->UnlockRect(0);
    return t;
}

TEST(SoftDevice, TextureCoordinatesFollowThePerspective)
{
    // A floor going away from the camera; u runs from its near edge (0) to
    // its far edge (1). The change from red to blue lies where the floor's
    // middle projects, well above the middle of its picture.
    Canvas c(64, 64);
    Device& d = c.device;
    d.SetTexture(0, HalfTexture(d));
    d.SetSamplerState(0, SamplerState::MagFilter, kFilterPoint);
    d.SetSamplerState(0, SamplerState::MinFilter, kFilterPoint);
    const Matrix4 proj = Matrix4::PerspectiveFovRH(1.2f, 1.0f, 1.0f, 100.0f);
    d.SetTransform(TransformState::Projection, proj);
    auto v = [](float x, float z, float u) { return ModelVertex{x, -1, z, 0, 1, 0, 0xFFFFFFFFu, 0, u, 0.5f}; };
    const Surface& s = c.Frame([&] {
        c.Draw({v(-3, -2, 0), v(3, -2, 0), v(3, -10, 1), v(-3, -10, 1)}, PrimitiveType::TriangleFan, 2);
    });
    auto row = [&](float z) {
        const CVector p = proj.TransformPoint({0, -1, z});
        return (1.0f - p.m_y) * 32.0f;
    };
    const float nearRow = row(-2), farRow = row(-10), middleRow = row(-6);
    ASSERT_GT(nearRow - farRow, 10.0f);
    // The screen-space middle is far from the projected middle.
    ASSERT_GT((nearRow + farRow) / 2 - middleRow, 3.0f);
    const int below = static_cast<int>(std::ceil(middleRow)) + 1, above = static_cast<int>(middleRow) - 1;
    EXPECT_EQ(s.At(32, below) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(s.At(32, above) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(s.At(32, static_cast<int>((nearRow + farRow) / 2)) & 0xFFFFFF, 0xFF0000u);
}

TEST(SoftDevice, LinearFilteringWrapsAtTheEdges)
{
    // The two-texel texture over the whole picture, twice: texel centres
    // show the texels, the seams between them the mix, wrapping included.
    Canvas c(64, 8);
    Device& d = c.device;
    d.SetTexture(0, HalfTexture(d));
    d.SetSamplerState(0, SamplerState::MagFilter, kFilterLinear);
    d.SetSamplerState(0, SamplerState::MinFilter, kFilterLinear);
    const Surface& s = c.Frame([&] {
        c.Draw({c.At(0, 0, 0xFFFFFFFFu, 0.5f, 0, 0), c.At(64, 0, 0xFFFFFFFFu, 0.5f, 2, 0),
                c.At(64, 8, 0xFFFFFFFFu, 0.5f, 2, 1), c.At(0, 8, 0xFFFFFFFFu, 0.5f, 0, 1)},
               PrimitiveType::TriangleFan, 2);
    });
    // u = x / 32: texel centres at u = 0.25 (x 8), 0.75 (x 24); seams at u = 0.5 (x 16) and 1.0 (x 32).
    EXPECT_EQ(s.At(8, 4) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(s.At(24, 4) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(s.At(40, 4) & 0xFFFFFF, 0xFF0000u);
    for (int x : {16, 32, 0}) {
        EXPECT_NEAR(Red(s.At(x, 4)), 128, 2) << x;
        EXPECT_NEAR(Blue(s.At(x, 4)), 128, 2) << x;
    }
}

TEST(SoftDevice, TrianglesCrossingTheNearPlaneAreClipped)
{
    // A floor that reaches behind the camera: everything below the horizon
    // is floor, nothing above it.
    Canvas c(48, 48);
    Device& d = c.device;
    d.SetTransform(TransformState::Projection, Matrix4::PerspectiveFovRH(1.0f, 1.0f, 1.0f, 1000.0f));
    auto v = [](float x, float z) { return ModelVertex{x, -1, z, 0, 1, 0, 0xFF00FF00u, 0, 0, 0}; };
    const Surface& s = c.Frame([&] {
        c.Draw({v(-500, 50), v(500, 50), v(500, -500), v(-500, -500)}, PrimitiveType::TriangleFan, 2);
        // One corner exactly at the camera (w = 0) must not upset anything.
        c.Draw({v(0, 0), ModelVertex{0, 0, 0, 0, 1, 0, 0xFF00FF00u, 0, 0, 0}, v(1, -5)}, PrimitiveType::TriangleList,
               1);
    });
    for (int x : {0, 10, 24, 47}) {
        EXPECT_EQ(s.At(x, 47) & 0xFFFFFF, 0x00FF00u) << x;
        EXPECT_EQ(s.At(x, 30) & 0xFFFFFF, 0x00FF00u) << x;
        EXPECT_EQ(s.At(x, 10) & 0xFFFFFF, 0u) << x;
    }
}

TEST(SoftDevice, FlatShadingTakesEachTrianglesFirstVertex)
{
    Canvas c;
    const std::uint32_t red = 0xFFFF0000u, green = 0xFF00FF00u, blue = 0xFF0000FFu;
    const std::vector<ModelVertex> quad{c.At(2, 2, red), c.At(30, 2, green), c.At(30, 30, blue), c.At(2, 30, red)};
    c.device.SetRenderState(RenderState::ShadeMode, kShadeFlat);
    // Fan triangles are (1, 2, 0) and (2, 3, 0): green above the diagonal,
    // blue below it.
    const Surface& flat = c.Frame([&] { c.Draw(quad, PrimitiveType::TriangleFan, 2); });
    EXPECT_EQ(flat.At(24, 6) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(flat.At(6, 24) & 0xFFFFFF, 0x0000FFu);
    c.device.SetRenderState(RenderState::ShadeMode, kShadeGouraud);
    const Surface& smooth = c.Frame([&] { c.Draw(quad, PrimitiveType::TriangleFan, 2); });
    const std::uint32_t mid = smooth.At(16, 16);
    EXPECT_GT(Red(mid), 40);
    EXPECT_GT(Blue(mid), 40);
}

TEST(SoftDevice, LinesLeaveOutTheirLastPixel)
{
    Canvas c;
    const Surface& s = c.Frame([&] {
        c.Draw({c.At(2, 5, 0xFFFFFFFFu), c.At(10, 5, 0xFFFFFFFFu), c.At(20, 2, 0xFFFFFFFFu), c.At(20, 12, 0xFFFFFFFFu)},
               PrimitiveType::LineList, 2);
    });
    for (int x = 0; x < 32; ++x) EXPECT_EQ(Red(s.At(x, 5)) != 0, (x >= 2 && x < 10) || x == 20) << x;
    for (int y = 0; y < 32; ++y) EXPECT_EQ(Red(s.At(20, y)) != 0, y >= 2 && y < 12) << y;
    EXPECT_EQ(CountNot(s, kBlack), 8 + 10);
}

TEST(SoftDevice, DirectionalLightAsFixedFunctionDirect3D)
{
    // Facing the light: ambient * (global + light ambient) + vertex diffuse *
    // light diffuse + emissive, then specular added after the texture stage.
    Canvas c;
    Device& d = c.device;
    d.SetRenderState(RenderState::Lighting, 1);
    d.SetRenderState(RenderState::Ambient, 0xFF404040u);  // 0.251
    d.SetRenderState(RenderState::SpecularEnable, 1);
    d.SetRenderState(RenderState::SpecularMaterialSource, kSourceMaterial);
    d.SetRenderState(RenderState::LocalViewer, 0);
    d.SetRenderState(RenderState::NormalizeNormals, 1);
    Light l;
    l.diffuse = {1, 1, 1, 1};
    l.specular = {1, 1, 1, 1};
    l.ambient = {0.1f, 0.1f, 0.1f, 1};
    l.direction = {0, 0, 5};  // towards +z: lights normals pointing to -z
    ASSERT_EQ(d.SetLight(0, l), Result::Ok);
    d.LightEnable(0, true);
    Material m;
    m.ambient = {0.4f, 0.2f, 0.0f, 1};
    m.emissive = {0.0f, 0.1f, 0.0f, 1};
    m.specular = {0.2f, 0.2f, 0.2f, 1};
    m.power = 8;
    d.SetMaterial(m);
    const std::uint32_t diffuse = 0xFF336699u;  // 0.2, 0.4, 0.6
    auto quad = [&](float nz, float nx) {
        std::vector<ModelVertex> q{c.At(2, 2, diffuse), c.At(30, 2, diffuse), c.At(30, 30, diffuse),
                                   c.At(2, 30, diffuse)};
        for (ModelVertex& v : q) v.nx = nx, v.ny = 0, v.nz = nz;
        return q;
    };
    auto expect = [](float v) { return static_cast<int>(std::lround(std::min(v, 1.0f) * 255)); };
    const Surface& lit = c.Frame([&] { c.Draw(quad(-3, 0), PrimitiveType::TriangleFan, 2); });
    const float ga = 64.0f / 255.0f;
    // N.L = 1 and N.H = 1 for the distant viewer along +z.
    EXPECT_NEAR(Red(lit.At(16, 16)), expect(0.4f * (ga + 0.1f) + 0.2f + 0.2f), 1);
    EXPECT_NEAR(Green(lit.At(16, 16)), expect(0.2f * (ga + 0.1f) + 0.4f + 0.1f + 0.2f), 1);
    EXPECT_NEAR(Blue(lit.At(16, 16)), expect(0.6f + 0.2f), 1);

    // Turned away from the light: ambient and emissive only.
    const Surface& away = c.Frame([&] { c.Draw(quad(3, 0), PrimitiveType::TriangleFan, 2); });
    EXPECT_NEAR(Red(away.At(16, 16)), expect(0.4f * (ga + 0.1f)), 1);
    EXPECT_NEAR(Green(away.At(16, 16)), expect(0.2f * (ga + 0.1f) + 0.1f), 1);
    EXPECT_EQ(Blue(away.At(16, 16)), 0);

    // At 60 degrees: half the diffuse light; the distant viewer's halfway
    // vector is the light's direction here, so the highlight is 0.5 to the
    // 8th power.
    const Surface& slant = c.Frame([&] { c.Draw(quad(-1, std::sqrt(3.0f)), PrimitiveType::TriangleFan, 2); });
    const float specular = 0.2f * std::pow(0.5f, 8.0f);
    EXPECT_NEAR(Blue(slant.At(16, 16)), expect(0.6f * 0.5f + specular), 1);
}

TEST(SoftDevice, ManyThreadsDrawTheSamePictureAsOne)
{
    // Overlapping, blended, textured, depth-tested triangles in every band:
    // the order within each pixel must not depend on the threads.
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> pos(-20, 100), depth(0.05f, 0.95f);
    std::uniform_int_distribution<std::uint32_t> colour(0, 0xFFFFFFFFu);
    std::vector<ModelVertex> v;
    Canvas shape(80, 80);
    for (int i = 0; i < 3 * 3000; ++i)
        v.push_back(shape.At(pos(rng), pos(rng), colour(rng) | 0x40000000u, depth(rng), pos(rng) / 40, pos(rng) / 40));
    auto render = [&](int threads) {
        Canvas c(80, 80, threads);
        EnableHalfBlend(c.device);
        c.device.SetRenderState(RenderState::ZEnable, 1);
        c.device.SetTexture(0, HalfTexture(c.device));
        c.device.SetSamplerState(0, SamplerState::MagFilter, kFilterLinear);
        return c.Frame([&] { c.Draw(v, PrimitiveType::TriangleList, 3000); }).pixels;
    };
    const std::vector<std::uint32_t> one = render(1);
    EXPECT_EQ(render(2), one);
    EXPECT_EQ(render(3), one);
}

TEST(SoftDevice, WildCoordinatesDrawNothingWrong)
{
    // Corners a damaged file can hold: infinities, NaN, huge values, and a
    // triangle far beyond the picture. None may crash or stray outside it.
    Canvas c;
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float wild[] = {inf, -inf, nan, 1e30f, -1e30f, 3e9f, 0.0f, 0.5f};
    std::vector<ModelVertex> v;
    for (float a : wild)
        for (float b : wild)
            for (float z : {0.5f, nan, inf}) {
                v.push_back(ModelVertex{a, b, z, 0, 0, 1, 0xFFFFFFFFu, 0, a, b});
                v.push_back(ModelVertex{b, 0.25f, 0.5f, 0, 0, 1, 0xFFFFFFFFu, 0, b, a});
                v.push_back(ModelVertex{-0.5f, a, 0.5f, 0, 0, 1, 0xFFFFFFFFu, 0, 0, 0});
            }
    c.device.SetTexture(0, HalfTexture(c.device));
    c.device.SetTransform(TransformState::Projection, Matrix4::PerspectiveFovRH(1.0f, 1.0f, 0.1f, 100.0f));
    const Surface& s = c.Frame([&] {
        c.Draw(v, PrimitiveType::TriangleList, static_cast<std::uint32_t>(v.size() / 3));
        c.Draw(v, PrimitiveType::LineList, static_cast<std::uint32_t>(v.size() / 2));
        c.Draw(v, PrimitiveType::TriangleFan, static_cast<std::uint32_t>(v.size() - 2));
    });
    EXPECT_EQ(s.pixels.size(), 32u * 32u);
}

TEST(SoftDevice, RefusesWhatItCannotDo)
{
    Canvas c(16, 16);
    Device& d = c.device;
    std::shared_ptr<VertexBuffer> vb;
    ASSERT_EQ(d.CreateVertexBuffer(3 * sizeof(ModelVertex), kFvfModelVertex, vb), Result::Ok);
    d.SetStreamSource(0, vb, 0, sizeof(ModelVertex));
    EXPECT_EQ(d.DrawPrimitive(PrimitiveType::TriangleList, 0, 1), Result::InvalidCall);  // outside a scene
    d.BeginScene();
    EXPECT_EQ(d.BeginScene(), Result::InvalidCall);
    EXPECT_EQ(d.DrawPrimitive(PrimitiveType::TriangleList, 0, 1), Result::Ok);
    EXPECT_EQ(d.DrawPrimitive(PrimitiveType::TriangleList, 1, 1), Result::InvalidCall);  // past the buffer
    EXPECT_EQ(d.DrawPrimitive(PrimitiveType::TriangleFan, 0, 2), Result::InvalidCall);
    d.SetStreamSource(0, vb, 0, sizeof(LineVertex));  // stride of another format
    EXPECT_EQ(d.DrawPrimitive(PrimitiveType::LineList, 0, 1), Result::InvalidCall);
    EXPECT_EQ(d.EndScene(), Result::Ok);
    EXPECT_EQ(d.SetFVF(0x142), Result::InvalidCall);

    Light l;
    l.direction = {0, 0, 0};
    EXPECT_EQ(d.SetLight(0, l), Result::InvalidCall);
    l.direction = {0, 0, 1};
    EXPECT_EQ(d.SetLight(1, l), Result::InvalidCall);
    l.type = LightType::Point;
    EXPECT_EQ(d.SetLight(0, l), Result::InvalidCall);

    // A failed reset keeps the old buffers.
    PresentParameters huge;
    huge.backBufferWidth = 100000;
    huge.backBufferHeight = 10;
    EXPECT_NE(d.Reset(huge), Result::Ok);
    EXPECT_EQ(d.FrontBuffer().width, 16);
    std::shared_ptr<Texture> t;
    EXPECT_EQ(d.CreateTexture(4, 4, 2, Format::A8R8G8B8, t), Result::InvalidCall);
}

}  // namespace
}  // namespace kinovela::soft
