// The Direct3D preview on tiny scenes whose pictures are certain: a lit
// triangle's colour, culling, depth, a textured quad, the axes, the
// selection box, blending, poses through the hierarchy, and the failure
// texts.
#include "render/soft/Direct3DRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "TestUtil.h"
#include "image/Textures.h"
#include "scene/Transform.h"

namespace kinovela {
namespace {

constexpr int kW = 160, kH = 120;

std::string Material(const std::string& name, const std::string& col, float amb, float spc,
                     const std::string& tex = "")
{
    return "\t\"" + name + "\" col(" + col + ") dif(0.8) amb(" + std::to_string(amb) + ") emi(0) spc(" +
           std::to_string(spc) + ") power(5)" + (tex.empty() ? "" : " tex(\"" + tex + "\")") + "\n";
}

// Corners in this order face the camera (their normal points to -z) and run
// clockwise on the screen.
const char* const kTriangle = "-50 -50 0\n-50 100 0\n100 -50 0";

class Preview : public ::testing::Test {
protected:
    void Open(const std::string& materials, const std::string& objects)
    {
        ASSERT_TRUE(test::ImportText(scene, t, test::Mqo("Material " + std::to_string(std::count(materials.begin(), materials.end(), '\n')) + " {\n" + materials + "}\n" + objects)).ok);
        TextureSearch search;
        search.documentFolders.push_back(dir.Path().string());
        { const TextureReport r = LoadSceneTextures(scene, search); EXPECT_TRUE(r.Empty()) << MissingTexturesMessage(r); }
        scene.m_camera[0].m_rotation = {0, 0, 0};
    }

    const soft::Surface& Draw()
    {
        if (!renderer.Available()) {
            EXPECT_EQ(renderer.InitDirect3D(), 0);
            renderer.ResizeDirect3D(kW, kH);
        }
        renderer.RebuildModelBuffers();
        renderer.DrawDirect3D();
        return *renderer.Picture();
    }

    // Where a world point appears: the preview's camera and projection.
    std::pair<int, int> Project(const CVector& p) const
    {
        const CAnimation& c = scene.m_camera[0];
        const Matrix4 vp = c.m_rotation.RotationZYX() * c.m_position.Translation() *
                           Matrix4::PerspectiveFovRH(DegreesToRadians(scene.m_fov), float(kW) / kH, 10, 10000);
        const CVector s = vp.TransformPoint(p);
        return {static_cast<int>(std::lround((s.m_x + 1) * kW / 2)), static_cast<int>(std::lround((1 - s.m_y) * kH / 2))};
    }

    std::uint32_t PixelAt(const soft::Surface& s, const CVector& p) const
    {
        const auto [x, y] = Project(p);
        return s.At(x, y) & 0xFFFFFF;
    }

    // Whether `colour` is at the point's pixel or one next to it (lines
    // round to the nearer row or column).
    bool Near(const soft::Surface& s, const CVector& p, std::uint32_t colour) const
    {
        const auto [x, y] = Project(p);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if ((s.At(x + dx, y + dy) & 0xFFFFFF) == colour) return true;
        return false;
    }

    test::TempDir dir;
    CKinovela scene;
    CTimeline t;
    Direct3DRenderer renderer{scene, t};
};

int Channel(std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

// What fixed-function Direct3D makes of a face turned to the light and the
// viewer: the vertex colour (the material colour cut to bytes) fully lit,
// the material's ambient under white global light plus the light's 0.1,
// and the specular level added on top.
int Expected(float col, float amb, float spc)
{
    const float diffuse = std::floor(col * 255.0f) / 255.0f;
    const float lit = std::min(diffuse + col * amb * 1.1f, 1.0f);
    return static_cast<int>(std::lround(std::min(lit + spc, 1.0f) * 255.0f));
}

TEST_F(Preview, LitTriangleAndItsBackside)
{
    Open(Material("m", "0.4 0.2 0.1 1", 0.5f, 0.25f), test::MqoObject("tri", kTriangle, "3 V(0 1 2) M(0)"));
    // Off the horizon, where the edge-on grid lies.
    const std::uint32_t c = PixelAt(Draw(), {-10, 20, 0});
    EXPECT_NEAR(Channel(c, 16), Expected(0.4f, 0.5f, 0.25f), 1);
    EXPECT_NEAR(Channel(c, 8), Expected(0.2f, 0.5f, 0.25f), 1);
    EXPECT_NEAR(Channel(c, 0), Expected(0.1f, 0.5f, 0.25f), 1);

    // The same corners the other way round face away and are culled.
    std::swap(scene.m_models[0].m_faces[0].m_indices[1], scene.m_models[0].m_faces[0].m_indices[2]);
    EXPECT_EQ(PixelAt(Draw(), {-10, 20, 0}), 0x1E415Au);  // the background, 30 65 90
}

TEST_F(Preview, NearerFaceHidesTheFartherInEitherOrder)
{
    const std::string mats = Material("red", "1 0 0 1", 0, 0) + Material("blue", "0 0 1 1", 0, 0);
    const std::string nearSquare = test::MqoObject("near", "-60 60 200\n60 60 200\n60 -60 200\n-60 -60 200",
                                                   "4 V(0 1 2 3) M(0)");
    const std::string farSquare = test::MqoObject("far", "-90 90 -100\n90 90 -100\n90 -90 -100\n-90 -90 -100",
                                                  "4 V(0 1 2 3) M(1)");
    Open(mats, nearSquare + farSquare);
    const soft::Surface& a = Draw();
    EXPECT_EQ(PixelAt(a, {0, 20, 0}), 0xFF0000u);
    EXPECT_EQ(PixelAt(a, {75, 20, -100}), 0x0000FFu);  // the far one shows round the near one

    std::swap(scene.m_models[0], scene.m_models[1]);
    scene.RebuildHierarchyWalk();
    EXPECT_EQ(PixelAt(Draw(), {0, 20, 0}), 0xFF0000u);
}

TEST_F(Preview, TexturedQuadShowsItsTexelsTheRightWayUp)
{
    // A 2 x 2 BMP (rows stored bottom first): red, green over blue, white.
    std::string bmp = std::string("BM\x46\0\0\0\0\0\0\0\x36\0\0\0", 14);
    const unsigned char info[40] = {40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24};
    bmp.append(reinterpret_cast<const char*>(info), 40);
    bmp += std::string("\xFF\x00\x00", 3) + std::string("\xFF\xFF\xFF", 3) + std::string(2, '\0');  // blue, white
    bmp += std::string("\x00\x00\xFF", 3) + std::string("\x00\xFF\x00", 3) + std::string(2, '\0');  // red, green
    test::WriteFile(dir.File("quad.bmp"), bmp);
    Open(Material("t", "1 1 1 1", 0, 0, "quad.bmp"),
         test::MqoObject("quad", "-80 80 0\n80 80 0\n80 -80 0\n-80 -80 0", "4 V(0 1 2 3) M(0) UV(0 0 1 0 1 1 0 1)"));
    ASSERT_TRUE(scene.m_materials[0].m_image);
    const soft::Surface& s = Draw();
    auto expect = [&](const CVector& p, std::uint32_t colour) {
        const std::uint32_t c = PixelAt(s, p);
        for (int shift : {16, 8, 0}) EXPECT_NEAR(Channel(c, shift), Channel(colour, shift), 8) << p.m_x << "," << p.m_y;
    };
    expect({-40, 40, 0}, 0xFF0000u);
    expect({40, 40, 0}, 0x00FF00u);
    expect({-40, -40, 0}, 0x0000FFu);
    expect({40, -40, 0}, 0xFFFFFFu);
}

// Frame all widens the field of view for deep scenes and camera reset
// narrows it again: the next draw shows it, with nothing rebuilt.
TEST_F(Preview, EachDrawTakesTheScenesFieldOfView)
{
    Open(Material("red", "1 0 0 1", 0, 0),
         test::MqoObject("square", "-100 100 0\n100 100 0\n100 -100 0\n-100 -100 0", "4 V(0 1 2 3) M(0)"));
    auto redWidth = [](const soft::Surface& s) {
        int left = s.width, right = -1;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                if ((s.At(x, y) & 0xFFFFFF) == 0xFF0000u) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        return right - left + 1;
    };
    const int narrow = redWidth(Draw());
    ASSERT_GT(narrow, 60);
    scene.m_fov = 30.0f;
    renderer.DrawDirect3D();
    const double expected = narrow * std::tan(DegreesToRadians(5.0f)) / std::tan(DegreesToRadians(15.0f));
    EXPECT_NEAR(redWidth(*renderer.Picture()), expected, 2);
    EXPECT_EQ(PixelAt(*renderer.Picture(), {95, 95, 0}), 0xFF0000u);  // a corner, where the wider view puts it
    scene.m_fov = kDefaultFov;
    renderer.DrawDirect3D();
    EXPECT_EQ(redWidth(*renderer.Picture()), narrow);
}

TEST_F(Preview, AxesSelectionBoxAndPoses)
{
    Open(Material("m", "0.5 0.5 0.5 1", 0, 0), test::MqoObject("tri", kTriangle, "3 V(0 1 2) M(0)"));
    scene.ResetCamera();  // turned, so that every axis shows
    CModel& m = scene.m_models[0];
    m.m_pivot = {20, 10, 0};
    t.m_current = 7;
    m.m_frames[7].m_rotation = {0, 0, 30};
    m.m_frames[7].m_position = {-170, 0, 0};
    scene.m_selected = 0;
    const soft::Surface& s = Draw();
    // Between the grid's lines, which lie every 50 units.
    EXPECT_TRUE(Near(s, {125, 0, 0}, 0xFF0000u));
    EXPECT_TRUE(Near(s, {0, 125, 0}, 0x00FF00u));
    EXPECT_TRUE(Near(s, {0, 0, 125}, 0x0000FFu));
    EXPECT_TRUE(Near(s, {75, 0, -100}, 0x5B695Bu));
    // The box's top edge, posed about the pivot with the model; the
    // triangle does not reach there.
    const Matrix4 world = WorldTransform(scene, 0, 7);
    const CVector top = world.TransformPoint({25, 100, 0});
    EXPECT_TRUE(Near(s, top, 0xFFFFFFu));
    scene.m_selected = kNoModel;
    EXPECT_FALSE(Near(Draw(), top, 0xFFFFFFu));
}

TEST_F(Preview, ChildrenFollowTheirParentAndHalfTransparentFacesBlend)
{
    const std::string mats = Material("solid", "0 1 0 1", 0, 0) + Material("glass", "1 1 1 0.5", 0, 0);
    Open(mats, test::MqoObject("parent", kTriangle, "3 V(0 1 2) M(0)") +
                   test::MqoObject("child", "-20 -20 -300\n-20 40 -300\n40 -20 -300", "3 V(0 1 2) M(1)"));
    CModel& child = scene.m_models[1];
    child.m_parentName = scene.m_models[0].m_name;
    scene.ResolveParents();
    scene.RebuildHierarchyWalk();
    scene.m_models[0].m_frames[0].m_position = {-200, 30, 0};
    child.m_frames[0].m_position = {100, 0, 0};
    const soft::Surface& s = Draw();
    const CVector centre = WorldTransform(scene, 1, 0).TransformPoint({0, 0, -300});
    ASSERT_LT(std::fabs(centre.m_x - -100), 1);  // moved with its parent
    // White at half alpha over the background: 127/255 of white, the rest of
    // (30, 65, 90).
    const std::uint32_t c = PixelAt(s, centre);
    const float a = 127.0f / 255.0f;
    EXPECT_NEAR(Channel(c, 16), std::lround(255 * a + 30 * (1 - a)), 1);
    EXPECT_NEAR(Channel(c, 8), std::lround(255 * a + 65 * (1 - a)), 1);
    EXPECT_NEAR(Channel(c, 0), std::lround(255 * a + 90 * (1 - a)), 1);
    // The parent shows where its own transform puts it.
    EXPECT_EQ(PixelAt(s, WorldTransform(scene, 0, 0).TransformPoint({-20, 60, 0})), 0x00FF00u);
}

TEST_F(Preview, FailuresAreReportedInTheUsersWords)
{
    std::vector<std::string> shown;
    renderer.SetMessageHandler([&](const std::string& text) { shown.push_back(text); });
    renderer.SetFactory([] { return std::unique_ptr<soft::Direct3D>(); });
    EXPECT_EQ(renderer.InitDirect3D(), -1);
    EXPECT_FALSE(renderer.Available());
    renderer.DrawDirect3D();  // harmless while unavailable
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Direct3D の作成に失敗しました。");

    renderer.SetFactory([] { return soft::Direct3D::Create(); });
    ASSERT_EQ(renderer.InitDirect3D(), 0);
    renderer.ResizeDirect3D(64, 48);
    renderer.ResizeDirect3D(100000, 100000);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1], "リサイズに失敗しました。");
    // It goes on drawing at the size it had.
    renderer.DrawDirect3D();
    EXPECT_EQ(renderer.Picture()->width, 64);
}

}  // namespace
}  // namespace kinovela
