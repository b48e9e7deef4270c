// The OpenGL renderer's picking and list handling in a real context. Runs
// under a virtual display (tests/gui/with-display), like the editor.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include <GL/gl.h>

#include <cstring>
#include <memory>

#ifndef GL_BGR_EXT
#define GL_BGR_EXT 0x80E0
#endif

#include "TestUtil.h"
#include "image/DibStream.h"
#include "render/gl/GlRenderer.h"

namespace kinovela {
namespace {

class Gl : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSurfaceFormat format;
        format.setVersion(2, 1);
        format.setProfile(QSurfaceFormat::CompatibilityProfile);
        format.setDepthBufferSize(24);
        context.setFormat(format);
        ASSERT_TRUE(context.create());
        surface.setFormat(context.format());
        surface.create();
        ASSERT_TRUE(context.makeCurrent(&surface));

        // Two squares side by side, both windings, so they show whichever
        // side faces the camera.
        auto square = [](float x) {
            std::string v;
            for (auto [dx, dy] : {std::pair{-40, -40}, {40, -40}, {40, 40}, {-40, 40}})
                v += std::to_string(x + dx) + " " + std::to_string(dy) + " 0\n";
            return v;
        };
        const std::string doc =
            test::Mqo(test::MqoObject("left", square(-60), "4 V(0 1 2 3)\n4 V(3 2 1 0)") +
                      test::MqoObject("right", square(60), "4 V(0 1 2 3)\n4 V(3 2 1 0)"));
        ASSERT_TRUE(test::ImportText(scene, t, doc).ok);
        scene.RecomputeAll(t);
        scene.m_camera[0].m_rotation = {0, 0, 0};
        scene.m_selected = kNoModel;
        renderer.Initialize();
        renderer.Resize(400, 300);
    }
    void TearDown() override { renderer.Release(); }

    // Window positions of the two squares' centres (y down): 400 pixels
    // span about 466 units at the camera's distance of 2000.
    bool PickLeft() { return renderer.PickModel(200 - 51, 150); }
    bool PickRight() { return renderer.PickModel(200 + 51, 150); }

    QOpenGLContext context;
    QOffscreenSurface surface;
    CKinovela scene;
    CTimeline t;
    GlRenderer renderer{scene, t};
};

TEST_F(Gl, PickingFollowsTheRules)
{
    ASSERT_FALSE(renderer.PickModel(5, 5));  // background: no change
    EXPECT_EQ(scene.m_selected, kNoModel);
    const bool a = PickLeft();
    const int first = scene.m_selected;
    ASSERT_TRUE(a);
    ASSERT_NE(first, kNoModel);
    // The other square changes the selection; the same one does not.
    EXPECT_TRUE(PickRight());
    const int second = scene.m_selected;
    EXPECT_NE(second, first);
    EXPECT_FALSE(PickRight());
    EXPECT_FALSE(renderer.PickModel(5, 5));
    EXPECT_EQ(scene.m_selected, second);  // clicking empty background keeps it
    // A hidden model cannot be chosen.
    scene.m_models[static_cast<std::size_t>(first)].m_visible = 0;
    EXPECT_FALSE(PickLeft());
    EXPECT_EQ(scene.m_selected, second);
}

// The preview culls the side of a face whose corners turn counter-clockwise
// on screen. A click there hits nothing that is drawn, so it selects nothing.
TEST_F(Gl, AClickOnACulledFaceSelectsNothing)
{
    auto square = [](float x) {
        std::string v;
        for (auto [dx, dy] : {std::pair{-40, -40}, {40, -40}, {40, 40}, {-40, 40}})
            v += std::to_string(x + dx) + " " + std::to_string(dy) + " 0\n";
        return v;
    };
    scene = CKinovela();
    // Left: clockwise on screen, drawn. Right: counter-clockwise, culled.
    const std::string doc = test::Mqo(test::MqoObject("shown", square(-60), "4 V(3 2 1 0)") +
                                      test::MqoObject("culled", square(60), "4 V(0 1 2 3)"));
    ASSERT_TRUE(test::ImportText(scene, t, doc).ok);
    scene.RecomputeAll(t);
    scene.m_camera[0].m_rotation = {0, 0, 0};
    scene.m_selected = kNoModel;
    EXPECT_FALSE(PickRight());
    EXPECT_EQ(scene.m_selected, kNoModel);
    // The lower left of the drawn square, away from the triangle of its
    // first three corners: the whole face counts.
    EXPECT_TRUE(renderer.PickModel(200 - 51 - 21, 150 + 21));
    EXPECT_EQ(scene.m_selected, 0);
    scene.m_selected = kNoModel;
    EXPECT_TRUE(PickLeft());
    EXPECT_EQ(scene.m_selected, 0);
    // Turned round, the culled square shows its drawn side and the other
    // one its culled side.
    scene.m_camera[0].m_rotation = {0, 180, 0};
    scene.m_selected = kNoModel;
    EXPECT_FALSE(PickRight());  // now the "shown" square, from behind
    EXPECT_TRUE(PickLeft());
    EXPECT_EQ(scene.m_selected, 1);
}

TEST_F(Gl, UnusableListNumbersGetFreshLists)
{
    // Stored numbers that collide with the overlay lists and with each other.
    scene.m_models[0].m_listId = 1;
    scene.m_models[1].m_listId = 1;
    renderer.RebuildModelLists();
    const unsigned a = renderer.ListOf(0), b = renderer.ListOf(1);
    EXPECT_GT(a, 2u);
    EXPECT_GT(b, 2u);
    EXPECT_NE(a, b);
    EXPECT_TRUE(glIsList(a));
    EXPECT_EQ(scene.m_models[0].m_listId, 1);  // kept as stored
    EXPECT_TRUE(PickLeft());
    EXPECT_TRUE(PickRight());

    scene.m_models[0].m_listId = 0;
    scene.m_models[1].m_listId = 40;
    renderer.RebuildModelLists();
    EXPECT_EQ(renderer.ListOf(1), 40u);
    EXPECT_GT(renderer.ListOf(0), 2u);
    EXPECT_NE(renderer.ListOf(0), 40u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The lists draw with -v, so every texture must hold the picture's bottom
// row first, whichever order the decoder left the rows in. A picture of
// several upload bands, stored top row first and bottom row first.
TEST_F(Gl, TexturesHoldTheBottomRowFirst)
{
    constexpr int kW = 1001, kH = 1000;  // rows padded to four bytes
    for (const int stored : {-kH, kH}) {
        auto image = std::make_shared<DibStream>();
        ASSERT_TRUE(image->Create(kW, stored, 24));
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < 3 * kW; ++x) image->RowPointer(y)[x] = static_cast<std::uint8_t>(y * 7 + x);
        CMaterial m;
        m.m_texture = "picture.png";
        m.m_image = image;
        scene.m_materials = {m};
        renderer.RebuildModelLists();
        ASSERT_NE(scene.m_materials[0].m_glTexture, 0u);
        glBindTexture(GL_TEXTURE_2D, scene.m_materials[0].m_glTexture);
        std::vector<std::uint8_t> texels(static_cast<std::size_t>(3 * kW * kH));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_BGR_EXT, GL_UNSIGNED_BYTE, texels.data());
        int wrong = 0;
        for (int r = 0; r < kH; ++r)
            wrong += std::memcmp(texels.data() + static_cast<std::size_t>(3 * kW * r), image->RowPointer(kH - 1 - r),
                                 3 * kW) != 0;
        EXPECT_EQ(wrong, 0) << (stored < 0 ? "top row first" : "bottom row first");
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace kinovela

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
