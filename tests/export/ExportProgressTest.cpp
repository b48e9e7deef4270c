#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string_view>

#include "TestUtil.h"
#include "document/ExportDispatch.h"

namespace kinovela {
namespace {

using test::ImportText;
using test::Mqo;
using test::MqoObject;

struct Report {
    std::uint64_t done, total;
};

// A format with its default options, or with the key type given.
struct Case {
    const char* extension;
    int keyType;  // -1: the format's default
};

void PrintTo(const Case& c, std::ostream* os) { *os << "." << c.extension << " keys " << c.keyType; }

// Every file under `folder`, by its name relative to it.
std::map<std::string, std::string> Files(const std::filesystem::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), folder).string()] = test::ReadFile(entry.path().string());
    return files;
}

class ExportProgressReports : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        // A chain of three models, the middle one pivoted, two of them keyed.
        const std::string doc =
            Mqo("Material 1 {\n\t\"grey\" col(0.5 0.5 0.5 1)\n}\n" +
                MqoObject("base", "0 0 0\n1 0 0\n1 1 0\n0 1 0", "4 V(0 1 2 3) M(0)\n3 V(0 1 2) M(0)") +
                MqoObject("arm", "0 0 0\n2 0 0\n0 2 0", "3 V(0 1 2) M(0)") +
                MqoObject("hand", "0 0 0\n1 0 0\n0 1 0\n1 1 1\n2 2 2", "3 V(0 1 2) M(0)\n3 V(2 3 4) M(0)"));
        ASSERT_TRUE(ImportText(scene, t, doc).ok);
        scene.m_models[1].m_parentName = "base";
        scene.m_models[2].m_parentName = "arm";
        scene.m_models[1].m_pivot = {1, 0, 0};
        scene.ResolveParents();
        scene.RebuildHierarchyWalk();
        Key(1, 12, {5, 0, 2}, {0, 45, 0});
        Key(2, 30, {0, 3, 0}, {90, 0, 10});
        Key(2, 45, {1, 1, 1}, {0, 0, 0});

        const Case c = GetParam();
        format = FindExportFormat(c.extension);
        ASSERT_NE(format, nullptr);
        options = *ExportOptionsTable().Find(c.extension);
        if (c.keyType >= 0) options.keyType = c.keyType;
        context.w3dPlugin = KINOVELA_W3D_STUB;
    }
    void Key(int model, int frame, CVector position, CVector rotation)
    {
        scene.m_selected = model;
        t.m_current = frame;
        scene.SetPosition(t, position);
        scene.SetRotation(t, rotation);
        scene.AddKeyFrame(t, false, frame);
    }
    // Exports `s` into the folder `name` and returns what the writer reported.
    std::vector<Report> Export(CKinovela& s, const std::string& name, bool watched)
    {
        std::filesystem::create_directories(dir.Path() / name);
        std::vector<Report> reports;
        ExportContext c = context;
        if (watched) c.progress = [&](std::uint64_t done, std::uint64_t total) { reports.push_back({done, total}); };
        const ExportResult r = RunExport(*format, s, t, dir.File(name + "/scene." + format->extension), options, c);
        EXPECT_TRUE(r.ok) << r.error;
        return reports;
    }

    test::TempDir dir;
    CKinovela scene;
    CTimeline t;
    const ExportFormat* format = nullptr;
    ExportOptions options;
    ExportContext context;
};

TEST_P(ExportProgressReports, ClimbsToTheTotalAndLeavesTheOutputAlone)
{
    const std::vector<Report> reports = Export(scene, "watched", true);
    Export(scene, "plain", false);

    ASSERT_GE(reports.size(), 2u) << "the writer reports as it goes, not only at the end";
    const std::uint64_t total = reports.front().total;
    EXPECT_GT(total, 0u);
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].total, total) << "report " << i;
        EXPECT_LE(reports[i].done, total) << "report " << i;
        if (i > 0) {
            EXPECT_GE(reports[i].done, reports[i - 1].done) << "report " << i;
        }
    }
    EXPECT_EQ(reports.back().done, total);
    // Every model is written, so the writer itself reaches the total it
    // counted; a .w3d export still has the conversion to go.
    const std::uint64_t converting = std::string_view(format->extension) == "w3d" ? 1 : 0;
    EXPECT_EQ(reports[reports.size() - 2].done + converting, total);

    const auto watched = Files(dir.Path() / "watched");
    EXPECT_FALSE(watched.empty());
    EXPECT_TRUE(watched == Files(dir.Path() / "plain")) << "the files differ with progress reports";

    // Nothing to count: no report may claim work done out of nothing.
    CKinovela empty;
    for (const Report& r : Export(empty, "empty", true)) {
        EXPECT_LE(r.done, r.total);
        if (r.total == 0) {
            EXPECT_EQ(r.done, 0u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ExportProgressReports,
                         ::testing::Values(Case{"w3d", -1}, Case{"x", -1}, Case{"x", 1}, Case{"x", 2}, Case{"k3d", -1},
                                           Case{"wrl", -1}, Case{"wrl", 2}, Case{"mx", -1}, Case{"mqs", -1},
                                           Case{"h", -1}, Case{"gltf", -1}, Case{"glb", -1}, Case{"glb", 2}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string name = info.param.extension;
                             if (info.param.keyType >= 0) name += "_keys" + std::to_string(info.param.keyType);
                             return name;
                         });

}  // namespace
}  // namespace kinovela
