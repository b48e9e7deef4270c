// Numbers that are not finite, as a damaged document gives them, never
// reach an exported file: every format writes 0 where they would go, and
// the export says so once, naming the model.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <regex>

#include "TestUtil.h"
#include "document/ExportDispatch.h"
#include "export/NonFinite.h"
#include "export/SdfWriter.h"

namespace kinovela {
namespace {

namespace fs = std::filesystem;

bool IsFloatNonFinite(const std::string& bytes, std::size_t at)
{
    std::uint32_t w;
    std::memcpy(&w, bytes.data() + at, 4);
    return (w & 0x7F800000u) == 0x7F800000u;
}

// The offsets of the .mx file's floats: each model record's three vectors
// and each polygon record's corners, normals and texture coordinates.
std::vector<std::size_t> MxFloats(const std::string& mx)
{
    auto u32 = [&](std::size_t at) {
        std::uint32_t v;
        std::memcpy(&v, mx.data() + at, 4);
        return std::size_t{v};
    };
    std::vector<std::size_t> at;
    for (std::size_t m = u32(12); m < u32(12) + u32(8); m += 60)
        for (std::size_t k = 0; k < 48; k += 4) at.push_back(m + k);
    for (std::size_t p = u32(20); p < u32(20) + u32(16); p += 168)
        for (std::size_t k = 0; k < 160; k += 4) at.push_back(p + k);
    return at;
}

TEST(NonFinite, EveryFormatWritesZeroAndWarnsOnce)
{
    // The Metasequoia reader takes "nan" and a number past the float range
    // as they stand (so does the native reader, bit for bit): a damaged
    // document keeps the rest of its work reachable.
    CKinovela scene;
    CTimeline t;
    ASSERT_TRUE(test::ImportText(scene, t,
                                 test::Mqo(test::MqoObject("sound", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2) UV(0 0 1 0 0 1)") +
                                           test::MqoObject("broken", "nan 0 0\n1 1e39 0\n0 1 0",
                                                           "3 V(0 1 2) UV(0 0 1 nan 0 1)")))
                    .ok);
    ASSERT_TRUE(std::isnan(scene.m_models[1].m_vertices[0].m_pos.m_x));
    ASSERT_TRUE(std::isinf(scene.m_models[1].m_vertices[1].m_pos.m_y));
    // And a key at infinity, which the frames around it take up.
    scene.m_models[1].m_frames[3].m_rotation.m_y = INFINITY;
    scene.m_models[1].m_frames[3].m_key = 1;
    scene.RebuildHierarchyWalk();

    const std::regex word("(^|[^A-Za-z_])-?(nan|inf)([^A-Za-z_]|$)", std::regex::icase);
    ExportOptionsTable table;
    for (const char* ext : {"x", "wrl", "k3d", "mx", "mqs", "h", "gltf", "glb"}) {
        SCOPED_TRACE(ext);
        const test::TempDir dir;
        const ExportResult r =
            RunExport(*FindExportFormat(ext), scene, t, dir.File(std::string("scene.") + ext), *table.Find(ext), {});
        ASSERT_TRUE(r.ok) << r.error;
        ASSERT_EQ(r.warnings.size(), 1u);
        EXPECT_NE(r.warnings[0].find("model \"broken\" holds numbers that are not finite"), std::string::npos)
            << r.warnings[0];
        EXPECT_EQ(r.warnings[0].find("sound"), std::string::npos) << r.warnings[0];
        for (const fs::directory_entry& e : fs::directory_iterator(dir.Path())) {
            const std::string name = e.path().filename().string();
            const std::string bytes = test::ReadFile(e.path().string());
            SCOPED_TRACE(name);
            if (name == "scene.mx") {
                for (std::size_t at : MxFloats(bytes)) EXPECT_FALSE(IsFloatNonFinite(bytes, at)) << at;
            } else if (name == "scene.glb" || name == "scene.bin") {
                // Floats, 16-bit indices and the ASCII JSON chunk: no word of
                // them has a float's exponent all ones but a float that is
                // not finite.
                for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) EXPECT_FALSE(IsFloatNonFinite(bytes, at)) << at;
            } else {
                EXPECT_FALSE(std::regex_search(bytes, word)) << bytes;
                // JSON has no NaN: a writer would put null.
                if (name == "scene.gltf") {
                    EXPECT_EQ(bytes.find("null"), std::string::npos);
                }
            }
        }
    }

    // The scene description a .w3d is converted from, written directly.
    const test::TempDir dir;
    const NonFiniteCount replaced;
    ASSERT_TRUE(WriteSdfFile(scene, t, dir.File("Shockwave3D.sdf"), SdfOptions{}, TextureSearch{}).ok);
    EXPECT_GT(replaced.Count(), 0u);
    EXPECT_FALSE(std::regex_search(test::ReadFile(dir.File("Shockwave3D.sdf")), word));
}

TEST(NonFinite, AnOverflowingScaleIsNamedAsSuch)
{
    CKinovela scene;
    CTimeline t;
    ASSERT_TRUE(test::ImportText(scene, t, test::Mqo(test::MqoObject("far", "3e38 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)"))).ok);
    scene.RebuildHierarchyWalk();
    ExportOptionsTable table;
    ExportOptions o = *table.Find("mqs");
    o.scale = 10.0f;
    const test::TempDir dir;
    const ExportResult r = RunExport(*FindExportFormat("mqs"), scene, t, dir.File("far.mqs"), o, {});
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0], "1 number was too large for this scale and written as 0; export with a smaller scale");
    EXPECT_NE(test::ReadFile(dir.File("far.mqs")).find("0.000000 0.000000 0.000000\r\n\t\t10.000000 0.000000"),
              std::string::npos);
}

}  // namespace
}  // namespace kinovela
