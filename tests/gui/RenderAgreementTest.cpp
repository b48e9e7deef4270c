// The OpenGL preview (on the display's GL, llvmpipe under a virtual display) and the
// Direct3D preview on the software device draw the same scene, camera and
// size alike: apart from edges, fewer than 2 % of the pixels may differ by
// more than a small tolerance. On failure the test saves both pictures and
// their difference and names the files.
//
// The two previews light differently by design (Direct3D takes the diffuse
// colour from the vertices and adds a white global ambient; OpenGL scales
// by the diffuse coefficient and adds 0.2 of ambient), so the scenes are
// given materials on which both lighting models agree: diffuse 1, ambient
// 0, and no highlight on textured faces (OpenGL adds it before the texture,
// Direct3D after).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QSurfaceFormat>

#include <cstdlib>
#include <filesystem>

#include "TestUtil.h"
#include "image/PngWriter.h"
#include "image/Textures.h"
#include "render/gl/GlRenderer.h"
#include "render/soft/Direct3DRenderer.h"

namespace kinovela {
namespace {

constexpr int kW = 400, kH = 300;
constexpr int kTolerance = 12;  // per channel, of 255

QImage DrawOpenGL(CKinovela& scene, const CTimeline& t)
{
    QSurfaceFormat format;
    format.setVersion(2, 1);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    QOpenGLContext context;
    context.setFormat(format);
    QOffscreenSurface surface;
    if (!context.create()) return {};
    surface.setFormat(context.format());
    surface.create();
    if (!context.makeCurrent(&surface)) return {};
    QImage picture;
    {
        QOpenGLFramebufferObject target(kW, kH, QOpenGLFramebufferObject::Depth);
        target.bind();
        GlRenderer gl(scene, t);
        gl.Initialize();
        gl.Resize(kW, kH);
        gl.Draw();
        picture = target.toImage().convertToFormat(QImage::Format_RGB32);
        gl.Release();
    }
    context.doneCurrent();
    return picture;
}

QImage DrawDirect3D(CKinovela& scene, const CTimeline& t)
{
    Direct3DRenderer d3d(scene, t);
    if (d3d.InitDirect3D() != 0) return {};
    d3d.ResizeDirect3D(kW, kH);
    d3d.RebuildModelBuffers();
    d3d.DrawDirect3D();
    const soft::Surface& s = *d3d.Picture();
    return QImage(reinterpret_cast<const uchar*>(s.pixels.data()), s.width, s.height, QImage::Format_RGB32).copy();
}

int Difference(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// Pixels next to a change of colour in either picture, widened by one
// pixel: where an edge falls by half a pixel is not a disagreement.
std::vector<bool> Edges(const QImage& a, const QImage& b)
{
    const int w = a.width(), h = a.height();
    std::vector<bool> edge(static_cast<std::size_t>(w * h), false), wide = edge;
    for (const QImage* img : {&a, &b})
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QRgb c = img->pixel(x, y);
                if ((x + 1 < w && Difference(c, img->pixel(x + 1, y)) > kTolerance) ||
                    (y + 1 < h && Difference(c, img->pixel(x, y + 1)) > kTolerance)) {
                    edge[static_cast<std::size_t>(y * w + x)] = true;
                    if (x + 1 < w) edge[static_cast<std::size_t>(y * w + x + 1)] = true;
                    if (y + 1 < h) edge[static_cast<std::size_t>((y + 1) * w + x)] = true;
                }
            }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (edge[static_cast<std::size_t>(y * w + x)])
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if (x + dx >= 0 && x + dx < w && y + dy >= 0 && y + dy < h)
                            wide[static_cast<std::size_t>((y + dy) * w + x + dx)] = true;
    return wide;
}

// Both pictures of a scene; the share of pixels that disagree.
void ExpectAgreement(CKinovela& scene, const CTimeline& t, const std::string& name)
{
    for (CMaterial& m : scene.m_materials) {
        m.m_dif = 1.0f;
        m.m_amb = 0.0f;
        if (!m.m_texture.empty()) m.m_spc = 0.0f;
        m.UpdateColors();
    }
    const QImage gl = DrawOpenGL(scene, t);
    const QImage soft = DrawDirect3D(scene, t);
    ASSERT_FALSE(gl.isNull()) << "no OpenGL context";
    ASSERT_FALSE(soft.isNull()) << "no software device";
    ASSERT_EQ(gl.size(), soft.size());
    const std::vector<bool> edges = Edges(gl, soft);
    QImage diff(kW, kH, QImage::Format_RGB32);
    int differing = 0, compared = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const int d = Difference(gl.pixel(x, y), soft.pixel(x, y));
            const bool edge = edges[static_cast<std::size_t>(y * kW + x)];
            compared += !edge;
            const bool bad = !edge && d > kTolerance;
            differing += bad;
            diff.setPixel(x, y, bad ? qRgb(255, 0, 0) : edge ? qRgb(60, 60, 60) : qRgb(d * 8, d * 8, d * 8));
        }
    const double share = static_cast<double>(differing) / (kW * kH);
    EXPECT_GT(compared, kW * kH / 2) << "edges cover most of the picture: nothing was compared";
    EXPECT_LT(share, 0.02) << differing << " pixels differ";
    std::printf("%s: %.2f %% of the pixels differ by more than %d, %d of %d pixels are edges\n", name.c_str(),
                share * 100, kTolerance, kW * kH - compared, kW * kH);
    if (::testing::Test::HasFailure()) {
        const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kinovela-agreement";
        std::filesystem::create_directories(dir);
        const QString base = QString::fromStdString((dir / name).string());
        gl.save(base + "-opengl.png");
        soft.save(base + "-direct3d.png");
        diff.save(base + "-difference.png");
        ADD_FAILURE() << "pictures saved as " << base.toStdString() << "-{opengl,direct3d,difference}.png";
    }
}

// The vertex and face lines of a box whose faces share no corners, so that
// each face is shaded evenly. (With shared corners a smoothly shaded quad
// shows which diagonal it was cut along: the Direct3D preview draws a quad
// as a fan from its first corner, OpenGL implementations may cut the other
// way, and the light between the corners then differs.)
std::pair<std::string, std::string> HardBox()
{
    const int corners[6][4][3] = {{{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}},
                                  {{1, -1, 1}, {-1, -1, 1}, {-1, 1, 1}, {1, 1, 1}},
                                  {{-1, -1, 1}, {-1, -1, -1}, {-1, 1, -1}, {-1, 1, 1}},
                                  {{1, -1, -1}, {1, -1, 1}, {1, 1, 1}, {1, 1, -1}},
                                  {{-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1}},
                                  {{-1, -1, 1}, {1, -1, 1}, {1, -1, -1}, {-1, -1, -1}}};
    std::string vertices, faces;
    for (int f = 0; f < 6; ++f) {
        for (const auto& c : corners[f])
            vertices += std::to_string(60 * c[0]) + " " + std::to_string(60 + 60 * c[1]) + " " +
                        std::to_string(60 * c[2]) + "\n";
        faces += "4 V(" + std::to_string(4 * f) + " " + std::to_string(4 * f + 1) + " " + std::to_string(4 * f + 2) +
                 " " + std::to_string(4 * f + 3) + ") M(1)\n";
    }
    return {vertices, faces};
}

TEST(RenderAgreement, Sample)
{
    CKinovela scene;
    CTimeline t;
    const std::string folder = std::string(KINOVELA_SOURCE_DIR) + "/samples";
    ASSERT_TRUE(LoadMQO(scene, t, folder + "/robot_arm.mqo", kNoModel).ok);
    TextureSearch search;
    search.documentFolders.push_back(folder);
    { const TextureReport r = LoadSceneTextures(scene, search); EXPECT_TRUE(r.Empty()) << MissingTexturesMessage(r); }
    ExpectAgreement(scene, t, "sample");
}

TEST(RenderAgreement, TexturedFloorAndBox)
{
    // A checker BMP (8 x 8 texels, 24 bits) repeated four times over a floor,
    // and a box of one colour standing on it, seen from the default camera.
    // (A colour kept below saturation: Direct3D adds the highlight after the
    // diffuse light is clamped, OpenGL before.)
    test::TempDir dir;
    std::string bmp("BM\xF6\0\0\0\0\0\0\0\x36\0\0\0", 14);
    const unsigned char info[40] = {40, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0, 1, 0, 24};
    bmp.append(reinterpret_cast<const char*>(info), 40);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            bmp += ((x / 2 + y / 2) % 2) ? std::string("\x30\x90\xE0", 3) : std::string("\xD0\xC0\x20", 3);
    test::WriteFile(dir.File("checker.bmp"), bmp);
    const auto box = HardBox();
    const std::string doc = test::Mqo(
        "Material 2 {\n"
        "\t\"floor\" col(1 1 1 1) dif(0.8) amb(0.6) emi(0) spc(0.5) power(5) tex(\"checker.bmp\")\n"
        "\t\"box\" col(0.7 0.45 0.2 1) dif(0.8) amb(0.6) emi(0.1) spc(0.2) power(10)\n"
        "}\n" +
        test::MqoObject("floor", "-300 0 -300\n300 0 -300\n300 0 300\n-300 0 300",
                        "4 V(0 1 2 3) M(0) UV(0 0 4 0 4 4 0 4)") +
        test::MqoObject("box", box.first, box.second));
    CKinovela scene;
    CTimeline t;
    ASSERT_TRUE(test::ImportText(scene, t, doc).ok);
    TextureSearch search;
    search.documentFolders.push_back(dir.Path().string());
    { const TextureReport r = LoadSceneTextures(scene, search); EXPECT_TRUE(r.Empty()) << MissingTexturesMessage(r); }
    ASSERT_TRUE(scene.m_materials[0].m_image);
    scene.m_models[1].m_frames[0].m_rotation = {0, 30, 0};
    ExpectAgreement(scene, t, "textured");
}

// One picture stored both ways round: a PNG, which decodes top row first,
// and a BMP, which decodes bottom row first. Each textured on a square
// facing the camera, the OpenGL preview must draw the two alike, with the
// picture's top-left quarter (red) at the square's top left, as the
// Direct3D preview draws it.
TEST(RenderAgreement, PicturesDecodedEitherWayUpLookTheSame)
{
    test::TempDir dir;
    constexpr int kSide = 8;
    constexpr std::uint32_t kQuarters[2][2] = {{0xFFE02020, 0xFF20C020}, {0xFF2020E0, 0xFFE0E020}};
    std::vector<std::uint32_t> top(kSide * kSide);
    DibStream bmp;
    ASSERT_TRUE(bmp.Create(kSide, kSide, 24));
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const std::uint32_t c = kQuarters[y * 2 / kSide][x * 2 / kSide];
            top[static_cast<std::size_t>(y * kSide + x)] = c;
            std::uint8_t* p = bmp.RowPointer(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(c);
            p[1] = static_cast<std::uint8_t>(c >> 8);
            p[2] = static_cast<std::uint8_t>(c >> 16);
        }
    ASSERT_TRUE(bmp.SaveBMP(dir.File("picture.bmp")));
    ASSERT_TRUE(WritePng(dir.File("picture.png"), kSide, kSide, top.data()).ok);

    // Corners bottom left, top left, top right, bottom right: clockwise on
    // the screen, so drawn; v counts from the picture's top.
    auto scene = [&](CKinovela& s, CTimeline& t, const std::string& file) {
        const std::string doc = test::Mqo(
            "Material 1 {\n\t\"picture\" col(1 1 1 1) dif(1) amb(0) emi(0) spc(0) power(5) tex(\"" + file +
            "\")\n}\n" +
            test::MqoObject("square", "-150 -150 0\n-150 150 0\n150 150 0\n150 -150 0",
                            "4 V(0 1 2 3) M(0) UV(0 1 0 0 1 0 1 1)"));
        ASSERT_TRUE(test::ImportText(s, t, doc).ok);
        s.m_camera[0].m_rotation = {0, 0, 0};
        TextureSearch search;
        search.documentFolders.push_back(dir.Path().string());
        ASSERT_TRUE(LoadSceneTextures(s, search).Empty());
    };
    CKinovela fromPng, fromBmp;
    CTimeline t1, t2;
    scene(fromPng, t1, "picture.png");
    scene(fromBmp, t2, "picture.bmp");
    ASSERT_TRUE(fromPng.m_materials[0].m_image && fromBmp.m_materials[0].m_image);
    ASSERT_TRUE(fromPng.m_materials[0].m_image->IsTopDown());
    ASSERT_TRUE(fromBmp.m_materials[0].m_image->IsBottomUp());

    const QImage png = DrawOpenGL(fromPng, t1);
    const QImage bmpPicture = DrawOpenGL(fromBmp, t2);
    ASSERT_FALSE(png.isNull()) << "no OpenGL context";
    // The square's quarters, found by the background's colour around them.
    const QRgb background = png.pixel(0, 0);
    QRect square;
    for (int y = 0; y < png.height(); ++y)
        for (int x = 0; x < png.width(); ++x)
            if (Difference(png.pixel(x, y), background) > kTolerance) square |= QRect(x, y, 1, 1);
    ASSERT_GT(square.width(), 40);
    auto at = [&](const QImage& image, double fx, double fy) {
        return image.pixel(square.left() + static_cast<int>(fx * square.width()),
                           square.top() + static_cast<int>(fy * square.height()));
    };
    for (const QImage* image : {&png, &bmpPicture}) {
        const QRgb topLeft = at(*image, 0.25, 0.25), bottomRight = at(*image, 0.75, 0.75);
        EXPECT_TRUE(qRed(topLeft) > 2 * qGreen(topLeft) && qRed(topLeft) > 2 * qBlue(topLeft))
            << (image == &png ? "PNG" : "BMP") << ": top left " << std::hex << topLeft;
        EXPECT_TRUE(qBlue(bottomRight) * 2 < qRed(bottomRight) && qBlue(bottomRight) * 2 < qGreen(bottomRight))
            << (image == &png ? "PNG" : "BMP") << ": bottom right " << std::hex << bottomRight;
    }
    int differing = 0;
    for (int y = 0; y < png.height(); ++y)
        for (int x = 0; x < png.width(); ++x) differing += Difference(png.pixel(x, y), bmpPicture.pixel(x, y)) > kTolerance;
    EXPECT_EQ(differing, 0);
    ExpectAgreement(fromPng, t1, "top-down-png");
}

}  // namespace
}  // namespace kinovela

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
