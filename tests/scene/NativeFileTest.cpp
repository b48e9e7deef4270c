#include "scene/NativeFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "TestUtil.h"
#include "scene/Hierarchy.h"

namespace kinovela {
namespace {

std::string I32(std::int32_t v)
{
    std::string s(4, '\0');
    std::memcpy(s.data(), &v, 4);
    return s;
}

std::string F32(float f)
{
    std::string s(4, '\0');
    std::memcpy(s.data(), &f, 4);
    return s;
}

// A small scene with two models (one a child of the other), three materials,
// texture coordinates, a Shift_JIS name and keys.
void MakeScene(CKinovela& s, CTimeline& t)
{
    const std::string doc = test::Mqo(
        "Material 2 {\n"
        "\t\"mat\" col(1 0.5 0.25 1) dif(0.8) tex(\"a.bmp\")\n"
        "\t\"\x8B\xE0\x91\xAE\" col(0.1 0.2 0.3 0.4) aplane(\"al.bmp\") bump(\"b.bmp\")\n"
        "}\n" +
        test::MqoObject("body", "0 0 0\n10 0 0\n10 10 0\n0 10 0\n5 0 0\n5 5 0",
                        "4 V(0 1 2 3) M(0) UV(0 0 1 0 1 1 0 1)\n2 V(4 5)\n3 V(0 1 2) M(1)") +
        test::MqoObject("\x8E\xE8\x8E\xF1", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)"));
    ASSERT_TRUE(test::ImportText(s, t, doc).ok);
    s.m_models[1].m_parentName = "body";
    s.ResolveParents();
    s.RebuildHierarchyWalk();
    s.m_selected = 1;
    t.m_current = 12;
    s.SetRotation(t, {0, 45, 0});
    s.AddKeyFrame(t, false, 12);
    s.m_models[0].m_visible = 0;
    s.m_models[0].m_facet = 30;
    t.m_fps = 24;
}

TEST(NativeFile, EmptySceneIs84Bytes)
{
    CKinovela s;
    CTimeline t;
    const std::string bytes = SerializeNativeFile(s, t);
    const std::string expected = std::string("\x0BVersion 6.6") + I32(60) + I32(0) + I32(1) + I32(0) + I32(5) + I32(0) +
                                 F32(30.0f) + I32(1) + F32(0) + F32(0) + F32(-2000) + F32(20) + F32(10) + F32(0) +
                                 F32(1) + F32(1) + F32(1) + I32(0);
    EXPECT_EQ(bytes.size(), 84u);
    EXPECT_EQ(NativeFileSize(s), 84u);
    EXPECT_EQ(bytes, expected);
}

TEST(NativeFile, StringLengthPrefixes)
{
    CKinovela s;
    CTimeline t;
    CMaterial m;
    m.m_name = std::string(300, 'n');
    m.m_texture = std::string(254, 't');
    m.m_alphaPlane = std::string(255, 'a');
    m.m_bump = std::string(70000, 'b');
    s.m_materials.push_back(m);
    const std::string bytes = SerializeNativeFile(s, t);
    EXPECT_EQ(NativeFileSize(s), bytes.size());
    const std::size_t at = 84 + 4;  // after the empty scene and the material id
    EXPECT_EQ(bytes.substr(at, 3), std::string("\xFF\x2C\x01", 3)) << "0xFF then 16-bit 300";
    const std::size_t tex = at + 3 + 300 + 36;
    EXPECT_EQ(static_cast<unsigned char>(bytes[tex]), 254u);
    EXPECT_EQ(bytes.substr(tex + 255, 3), std::string("\xFF\xFF\x00", 3));
    const std::size_t bump = tex + 255 + 3 + 255;
    EXPECT_EQ(bytes.substr(bump, 7), std::string("\xFF\xFF\xFF") + I32(70000));

    CKinovela back;
    CTimeline bt;
    ASSERT_TRUE(ReadNativeData(bytes, "x.kvl", back, bt).ok);
    EXPECT_EQ(back.m_materials[0].m_name, m.m_name);
    EXPECT_EQ(back.m_materials[0].m_bump, m.m_bump);
}

TEST(NativeFile, RoundTripIsByteExact)
{
    CKinovela s;
    CTimeline t;
    MakeScene(s, t);
    // Frame lists longer than the range (after a deletion) are kept whole.
    ASSERT_TRUE(s.DeleteFrames(t, 20, 29));
    const std::string first = SerializeNativeFile(s, t);
    EXPECT_EQ(NativeFileSize(s), first.size());

    CKinovela back;
    CTimeline bt;
    const NativeReadResult r = ReadNativeData(first, "a.kvl", back, bt);
    ASSERT_TRUE(r.ok) << r.detail;
    EXPECT_EQ(r.versionText, "Version 6.6");
    EXPECT_EQ(r.offset, first.size());
    EXPECT_EQ(bt.m_last, 50);
    EXPECT_EQ(bt.m_prevLast, 50);
    EXPECT_EQ(bt.m_fps, 24.0f);
    ASSERT_EQ(back.m_models.size(), 2u);
    EXPECT_EQ(back.m_models[0].m_frames.size(), 61u);
    EXPECT_EQ(back.m_models[1].m_name, "\x8E\xE8\x8E\xF1");
    EXPECT_EQ(back.m_models[1].m_parent, 0);
    EXPECT_EQ(back.m_models[0].m_visible, 0);
    EXPECT_EQ(back.m_models[0].m_facet, 30.0f);
    EXPECT_EQ(back.m_models[0].m_pivot, CVector(5, 0, 0));
    EXPECT_EQ(back.m_materials[1].m_alphaPlane, "al.bmp");
    EXPECT_EQ(back.m_hierarchyWalk, BuildHierarchyWalk(back));
    EXPECT_EQ(back.m_models[0].m_bboxMax, CVector(10, 10, 0));
    EXPECT_EQ(back.m_materials[0].m_glColors[0][0], 0.8f);
    EXPECT_EQ(SerializeNativeFile(back, bt), first);
}

TEST(NativeFile, ParentIndexIsReadAsStored)
{
    CKinovela s;
    CTimeline t;
    MakeScene(s, t);
    s.m_models[1].m_parent = 77;  // stale: a later ResolveParents repairs it
    CKinovela back;
    CTimeline bt;
    ASSERT_TRUE(ReadNativeData(SerializeNativeFile(s, t), "a.kvl", back, bt).ok);
    EXPECT_EQ(back.m_models[1].m_parent, 77);
    const std::vector<WalkEntry> onlyBody = {{kWalkBegin, 0}, {kWalkEnter, 0}, {kWalkLeave, 0}, {kWalkEnd, 0}};
    EXPECT_EQ(back.m_hierarchyWalk, onlyBody);
}

TEST(NativeFile, WideStringsAreReadAsShiftJis)
{
    CKinovela s;
    CTimeline t;
    CMaterial m;
    m.m_name = "X";
    s.m_materials.push_back(m);
    std::string bytes = SerializeNativeFile(s, t);
    ASSERT_EQ(bytes.substr(88, 2), "\x01X");
    // 0xFF, 0xFFFE, then a length of 2 UTF-16 units: U+624B U+9996.
    bytes.replace(88, 2, std::string("\xFF\xFE\xFF\x02\x4B\x62\x96\x99", 8));
    // The version text in the long wide form: 0xFF 0xFFFE 0xFF 0xFFFF, then 32 bits.
    std::string version = std::string("\xFF\xFE\xFF\xFF\xFF\xFF", 6) + I32(3) + std::string("V\0" "6\0" ".\0", 6);
    bytes.replace(0, 12, version);
    CKinovela back;
    CTimeline bt;
    const NativeReadResult r = ReadNativeData(bytes, "w.kvl", back, bt);
    ASSERT_TRUE(r.ok) << r.detail;
    EXPECT_EQ(r.versionText, "V6.");
    EXPECT_EQ(back.m_materials[0].m_name, "\x8E\xE8\x8E\xF1");
}

// Every proper prefix of a valid file fails cleanly with the end-of-file
// message, and the open scene stays as it was.
TEST(NativeFile, EveryTruncationFailsCleanly)
{
    CKinovela s;
    CTimeline t;
    MakeScene(s, t);
    const std::string bytes = SerializeNativeFile(s, t);
    ASSERT_GT(bytes.size(), 600u);

    CKinovela open;
    CTimeline ot;
    open.m_models.resize(1);
    open.m_models[0].m_name = "keep me";
    ot.m_last = 12;
    ot.m_current = 3;
    for (std::size_t len = 0; len < bytes.size(); ++len) {
        const NativeReadResult r = ReadNativeData(std::string_view(bytes).substr(0, len), "cut.kvl", open, ot);
        ASSERT_FALSE(r.ok) << len;
        ASSERT_EQ(r.message, "cut.kvl の末尾以降にアクセスしようとしました。") << len << ": " << r.detail;
        ASSERT_LE(r.offset, len);
    }
    ASSERT_EQ(open.m_models.size(), 1u);
    EXPECT_EQ(open.m_models[0].m_name, "keep me");
    EXPECT_EQ(ot.m_last, 12);
    EXPECT_EQ(ot.m_current, 3);
}

class CorruptFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        CKinovela s;
        CTimeline t;
        CModel m;
        m.m_name = "m";
        m.m_vertices.resize(3);
        CFace f;
        for (int i : {0, 1, 2}) f.AddIndex(i);
        m.m_faces.push_back(f);
        m.LinkVertexFaces();
        m.ResizeFrames(t.m_last, 0);
        s.m_models.push_back(m);
        bytes = SerializeNativeFile(s, t);
    }
    // Offsets in the one-model file: the 12-byte version text, the last
    // frame, the scene header (7 x 4 bytes), then the model's list id, name
    // "m" (2 bytes), parent index and parent name "<NULL>" (7 bytes).
    static constexpr std::size_t kLast = 12, kModelCount = 16, kCameraCount = 20, kVertexCount = 61,
                                 kFaceCount = 65, kFrameCount = 69;
    void Put(std::size_t at, std::int32_t v) { bytes.replace(at, 4, I32(v)); }
    NativeReadResult Read()
    {
        CKinovela s;
        CTimeline t;
        return ReadNativeData(bytes, "bad.kvl", s, t);
    }
    std::string bytes;
};

TEST_F(CorruptFile, LayoutAssumedByTheseTests)
{
    EXPECT_EQ(bytes.substr(kModelCount, 4), I32(1));
    EXPECT_EQ(bytes.substr(kVertexCount, 4), I32(3));
    EXPECT_EQ(bytes.substr(kFaceCount, 4), I32(1));
    EXPECT_EQ(bytes.substr(kFrameCount, 4), I32(61));
    EXPECT_TRUE(Read().ok);
}

TEST_F(CorruptFile, HugeCountsFailBeforeAllocating)
{
    for (std::size_t at : {kModelCount, kCameraCount, kVertexCount, kFaceCount, kFrameCount}) {
        SetUp();
        Put(at, 0x7FFFFFFF);
        const NativeReadResult r = Read();
        EXPECT_FALSE(r.ok) << at;
        EXPECT_NE(r.message.find("末尾"), std::string::npos) << at;
    }
}

TEST_F(CorruptFile, NegativeCountsAreCorrupt)
{
    Put(kVertexCount, -1);
    const NativeReadResult r = Read();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "bad.kvl の内容が正しくないため、読み込めませんでした。");
    EXPECT_NE(r.detail.find("negative vertex count"), std::string::npos) << r.detail;
}

TEST_F(CorruptFile, MoreThanFourCornersIsCorrupt)
{
    // The face record starts after three vertices of 12 + 4 bytes (each used
    // by the face once, so 4 more bytes each), then its normal and material.
    const std::size_t corners = kFrameCount + 4 + 4 + 4 + 12 + 3 * 20 + 12 + 4;
    ASSERT_EQ(bytes.substr(corners, 4), I32(3));
    Put(corners, 5);
    NativeReadResult r = Read();
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.detail.find("corner count 5"), std::string::npos) << r.detail;
    Put(corners, 3);
    Put(corners + 16, 9);  // texture-coordinate count
    r = Read();
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.detail.find("texture-coordinate count 9"), std::string::npos) << r.detail;
}

TEST_F(CorruptFile, FrameRangeMustFitTheModels)
{
    Put(kLast, 61);  // models hold 61 frames, the range would need 62
    EXPECT_FALSE(Read().ok);
    Put(kLast, -1);
    EXPECT_FALSE(Read().ok);
    Put(kLast, 59);  // longer lists than the range are fine
    EXPECT_TRUE(Read().ok);
    Put(kCameraCount, 0);
    EXPECT_FALSE(Read().ok) << "a scene needs its camera pose";
}

TEST_F(CorruptFile, FrameRateIsHeldToItsRange)
{
    constexpr std::size_t kFps = 36;  // after the list id and material id counters
    ASSERT_EQ(bytes.substr(kFps, 4), std::string("\0\0\xF0\x41", 4)) << "30.0f";
    const std::pair<float, float> cases[] = {{1e-45f, 0.01f}, {1e20f, 1000.0f}, {0.0f, 30.0f},
                                             {-2.0f, 30.0f},  {NAN, 30.0f},     {12.5f, 12.5f}};
    for (const auto& [stored, expected] : cases) {
        char raw[4];
        std::memcpy(raw, &stored, 4);
        bytes.replace(kFps, 4, raw, 4);
        CKinovela s;
        CTimeline t;
        ASSERT_TRUE(ReadNativeData(bytes, "rate.kvl", s, t).ok);
        EXPECT_EQ(t.m_fps, expected) << stored;
    }
}

TEST(NativeFile, WriteFailuresAreReported)
{
    CKinovela s;
    CTimeline t;
    test::TempDir dir;
    const std::string path = dir.File("scene.kvl");
    ASSERT_TRUE(WriteNativeFile(path, s, t).ok);
    EXPECT_EQ(test::ReadFile(path).size(), 84u);
    EXPECT_FALSE(WriteNativeFile(dir.File("missing/scene.kvl"), s, t).ok);
    const WriteResult full = WriteNativeFile("/dev/full", s, t);
    EXPECT_FALSE(full.ok);

    CKinovela back;
    CTimeline bt;
    const NativeReadResult missing = ReadNativeFile(dir.File("nothing.kvl"), back, bt);
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.ioError);
    EXPECT_TRUE(ReadNativeFile(path, back, bt).ok);
}

}  // namespace
}  // namespace kinovela
