// Damaged copies of the sample document: the importer stays as lenient as
// it always was, and says what it noticed, with line numbers.
#include "mqo/LoaderMQO.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "TestUtil.h"

namespace kinovela {
namespace {

using test::ImportText;

std::vector<std::string> SampleLines()
{
    std::vector<std::string> lines;
    std::istringstream in(test::ReadFile(KINOVELA_SOURCE_DIR "/samples/robot_arm.mqo"));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string Join(const std::vector<std::string>& lines)
{
    std::string s;
    for (const std::string& l : lines) s += l + "\r\n";
    return s;
}

bool Has(const std::vector<std::string>& warnings, const std::string& text)
{
    return std::any_of(warnings.begin(), warnings.end(), [&](const std::string& w) { return w == text; });
}

std::string All(const std::vector<std::string>& warnings)
{
    std::string s;
    for (const std::string& w : warnings) s += w + "\n";
    return s;
}

class DamagedSample : public ::testing::Test {
protected:
    void SetUp() override
    {
        lines = SampleLines();
        ASSERT_EQ(lines.size(), 314u);
        // The lines these tests change.
        ASSERT_EQ(lines[19 - 1], "Material 4 {");
        ASSERT_EQ(lines[24 - 1], "}");
        ASSERT_EQ(lines[39 - 1], "\tvertex 10 {");
        ASSERT_EQ(lines[50 - 1], "\t}");
        ASSERT_EQ(lines[65 - 1], "\tface 6 {");
        ASSERT_EQ(lines[73 - 1], "}");
    }
    MqoImportResult Import(const std::vector<std::string>& damaged)
    {
        scene = CKinovela();
        return ImportText(scene, t, Join(damaged));
    }
    std::vector<std::string> lines;
    CKinovela scene;
    CTimeline t;
};

TEST_F(DamagedSample, TheWholeSampleHasNoWarnings)
{
    const MqoImportResult r = Import(lines);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.warnings.empty()) << All(r.warnings);
    EXPECT_EQ(scene.m_models.size(), 6u);
}

TEST_F(DamagedSample, MissingVertexBraceLoadsAsBeforeWithAWarning)
{
    std::vector<std::string> d = lines;
    d.erase(d.begin() + 49);  // the vertex block's '}'
    const MqoImportResult r = Import(d);
    ASSERT_TRUE(r.ok) << "as lenient as before";
    EXPECT_EQ(scene.m_models.size(), 5u) << "the object lost its faces and is left out, as before";
    // The vertex block closed at the attribute block's '}', the object at
    // the next one, so the object's own '}' (now line 72) closes nothing.
    EXPECT_TRUE(Has(r.warnings, "line 72: a '}' that closes no chunk")) << All(r.warnings);
}

TEST_F(DamagedSample, MissingMaterialBraceReportsTheCountAndTheStrayBrace)
{
    std::vector<std::string> d = lines;
    d.erase(d.begin() + 23);  // the Material chunk's '}'
    const MqoImportResult r = Import(d);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(scene.m_materials.size(), 4u + 25u) << "object lines become materials, as before";
    EXPECT_TRUE(Has(r.warnings, "line 19: the Material chunk announces 4 but 29 were read")) << All(r.warnings);
    EXPECT_TRUE(Has(r.warnings, "line 72: a '}' that closes no chunk")) << All(r.warnings);
}

TEST_F(DamagedSample, CountsThatDifferAreReported)
{
    std::vector<std::string> d = lines;
    d.insert(d.begin() + 67, d[66]);                  // one face more than announced
    d.insert(d.begin() + 40, "\t\t1.0 2.0 3.0");      // one vertex more
    const MqoImportResult r = Import(d);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(scene.m_models[0].m_faces.size(), 12u) << "the extra face is kept (and mirrored)";
    EXPECT_TRUE(Has(r.warnings, "line 39: the vertex block of object \"base\" announces 10 but 11 were read"))
        << All(r.warnings);
    EXPECT_TRUE(Has(r.warnings, "line 66: the face block of object \"base\" announces 6 but 7 were read"))
        << All(r.warnings);
}

TEST_F(DamagedSample, FaceLinesThatCannotBeReadAreReported)
{
    std::vector<std::string> d = lines;
    const std::string uv = " M(1) UV(0 0 1 0 1 1 0 1)";
    d[66 - 1] = "\t\tnan V(0 1 2 3)" + uv;
    d[67 - 1] = "\t\t-2147483648 V(5 4 7 6)" + uv;
    d[68 - 1] = "\t\t4 V(4 5 1 0) M(1) UV(0 0 1 0 1 1)";  // UV part too short: the face stays without UVs
    d[69 - 1] = "\t\t4 V(3 2 6 7 9)" + uv;                // one index too many
    const MqoImportResult r = Import(d);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(scene.m_models[0].m_faces.size(), 4u) << "three faces dropped, each mirrored";
    for (int line : {66, 67, 69})
        EXPECT_TRUE(Has(r.warnings, "line " + std::to_string(line) + ": a face line that cannot be read was dropped"))
            << line << "\n" << All(r.warnings);
    EXPECT_TRUE(Has(r.warnings, "line 68: the UV part of a face line cannot be read; the face has no UVs"))
        << All(r.warnings);
}

TEST_F(DamagedSample, ManyDamagedLinesGiveAShortList)
{
    std::vector<std::string> d = lines;
    for (int i = 0; i < 100; ++i) d.insert(d.begin() + 66, "\t\t0 V()");
    const MqoImportResult r = Import(d);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.warnings.size(), 20u + 1u + 1u) << All(r.warnings);
    EXPECT_TRUE(Has(r.warnings, "and 80 more face lines that cannot be read")) << All(r.warnings);
    EXPECT_TRUE(Has(r.warnings, "line 65: the face block of object \"base\" announces 6 but 106 were read"));
}

TEST_F(DamagedSample, BlockCutByTheEndOfTheFileNamesWhereItBegan)
{
    std::vector<std::string> d(lines.begin(), lines.begin() + 45);
    MqoImportResult r = Import(d);
    EXPECT_EQ(r.code, kMqoEndOfFile);
    EXPECT_NE(r.message.find("the file ends inside the vertex block begun on line 39"), std::string::npos)
        << r.message;
    d.assign(lines.begin(), lines.begin() + 71);
    d.push_back("\t}");
    r = Import(d);
    EXPECT_NE(r.message.find("the file ends inside object \"base\" begun on line 25"), std::string::npos)
        << r.message;
    d.assign(lines.begin(), lines.begin() + 21);
    r = Import(d);
    EXPECT_NE(r.message.find("the file ends inside the Material chunk begun on line 19"), std::string::npos)
        << r.message;
}

TEST(DamagedDocument, NamesInMessagesShowControlCharactersEscaped)
{
    CKinovela scene;
    CTimeline t;
    const MqoImportResult r = ImportText(
        scene, t, test::Mqo(test::MqoObject("a\x1b]0;x\x07", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)\n3 V(0 1 9)")));
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0], "object \"a\\x1b]0;x\\x07\": 1 face refers to vertices outside its vertex list and was dropped");
    EXPECT_EQ(scene.m_models[0].m_name, "a\x1b]0;x\x07") << "the name itself is kept";
}

}  // namespace
}  // namespace kinovela
