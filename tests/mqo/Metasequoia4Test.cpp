// Documents in the text format Metasequoia 4 writes: "Format Text Ver 1.1",
// the CodePage line and the chunks that came with them.
#include "mqo/LoaderMQO.h"

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "mqo/StringSeparator.h"
#include "scene/NativeFile.h"

namespace kinovela {
namespace {

using test::ImportText;

// A document body with what Metasequoia 4 adds: an included XML file, a
// thumbnail, a background image, material ids and extended materials,
// object ids and normal weights, vertex attributes, face ids and colours,
// and a binary blob. `names` holds the object, material and texture names.
struct Names {
    std::string object, material, texture;
};

std::string Body(const Names& n)
{
    return "IncludeXml \"doc.mqx\"\n"
           "Thumbnail 4 2 24 rgb raw {\n"
           "FF0000FF0000FF0000FF0000\n"
           "00FF0000FF0000FF0000FF00\n"
           "}\n"
           "Scene {\n\tpos 0.0000 0.0000 1500.0000\n\tlookat 0 0 0\n\thead -0.5236\n\tpich 0.5236\n\tbank 0\n"
           "\tortho 0\n\tzoom2 5.0000\n\tamb 0.250 0.250 0.250\n\tfrontclip 225.0\n\tbackclip 45000\n"
           "\tdirlights 1 {\n\t\tlight {\n\t\t\tdir 0.408 0.408 0.816\n\t\t\tcolor 1 1 1\n\t\t}\n\t}\n}\n"
           "BackImage {\n\tpers \"back.png\" 0.000 0.000 1.000 1.000\n}\n"
           "Material 2 {\n"
           "\t\"" + n.material + "\" uid(1) shader(3) vcol(1) dbls(0) col(1.000 0.800 0.700 1.000) dif(0.800) "
           "amb(0.600) emi(0.000) spc(0.100) power(5.00) reflect(0.000) refract(1.000) tex(\"" + n.texture + "\") "
           "proj_type(0) proj_pos(0.000 0.000 0.000) proj_scale(1.000 1.000 1.000) proj_angle(0.000 0.000 0.000)\n"
           "\t\"cloth\" uid(2) shader(3) col(0.200 0.200 0.800 1.000) dif(0.700)\n"
           "}\n"
           "MaterialEx2 {\n\tmaterial 0 {\n\t\tshadertype hlsl\n\t\tshadername \"phong\"\n"
           "\t\tshaderparam {\n\t\t\tAmbient float 0.6\n\t\t}\n\t}\n}\n"
           "Object \"" + n.object + "\" {\n\tuid 1\n\tdepth 0\n\tfolding 0\n\tscale 1 1 1\n\trotation 0 0 0\n"
           "\ttranslation 0 0 0\n\tvisible 15\n\tlocking 0\n\tshading 1\n\tfacet 59.5\n\tnormal_weight 1\n"
           "\tcolor 0.898 0.498 0.698\n\tcolor_type 0\n\tmirror 1\n\tmirror_axis 1\n"
           "\tvertex 5 {\n\t\t0 0 0\n\t\t10 0 0\n\t\t10 10 0\n\t\t0 10 0\n\t\t0 5 0\n\t}\n"
           "\tvertexattr {\n\t\tuid {\n\t\t\t1\n\t\t\t2\n\t\t\t3\n\t\t\t4\n\t\t\t5\n\t\t}\n"
           "\t\tweit {\n\t\t\t0 0.500\n\t\t}\n\t\tcolor {\n\t\t\t1 0xFF00FF00\n\t\t}\n\t}\n"
           "\tface 3 {\n"
           "\t\t3 V(0 1 2) M(0) UV(0 0 1 0 1 1) UID(1)\n"
           "\t\t3 V(0 2 3) M(1) UV(0 0 1 1 0 1) COL(4294967295 4294967295 4294967295) UID(2)\n"
           "\t\t2 V(4 0) UID(3)\n"
           "\t}\n}\n"
           "Blob {\n\t\"plugin data\" [8]\nAB}{\nGH\n}\n"
           "Eof\n";
}

std::string Header(const char* version) { return std::string("Metasequoia Document\nFormat Text Ver ") + version + "\n"; }

// "Robot arm" and "skin.png" in Japanese, as UTF-8 and as Shift_JIS.
const Names kUtf8{"\xE3\x83\xAD\xE3\x83\x9C\xE3\x83\x83\xE3\x83\x88\xE3\x81\xAE\xE8\x85\x95",  // ロボットの腕
                  "\xE8\x82\x8C",                                                              // 肌
                  "\xE3\x83\x86\xE3\x82\xAF\xE3\x82\xB9\xE3\x83\x81\xE3\x83\xA3\\\xE3\x82\xBD.png"};  // テクスチャ\ソ.png
const Names kSjis{"\x83\x8D\x83\x7B\x83\x62\x83\x67\x82\xCC\x98\x72", "\x94\xA7",
                  "\x83\x65\x83\x4E\x83\x58\x83\x60\x83\x83\\\x83\x5C.png"};

std::string Import(const std::string& text, MqoImportResult* result = nullptr, int last = 10)
{
    CKinovela scene;
    CTimeline t;
    t.m_last = last;
    const MqoImportResult r = ImportText(scene, t, text);
    if (result) *result = r;
    EXPECT_TRUE(r.ok) << r.message;
    return SerializeNativeFile(scene, t);
}

TEST(Metasequoia4, Version11ReadsLikeVersion10)
{
    MqoImportResult r10, r11;
    const std::string kvl10 = Import(Header("1.0") + Body(kSjis), &r10);
    const std::string kvl11 = Import(Header("1.1") + Body(kSjis), &r11);
    EXPECT_EQ(kvl10, kvl11) << "the same body gives the same scene file";
    EXPECT_EQ(r10.formatVersion, "1.0");
    EXPECT_EQ(r11.formatVersion, "1.1");
    EXPECT_EQ(r11.codePage, "932");
    EXPECT_TRUE(r11.warnings.empty()) << r11.warnings[0];

    CKinovela scene;
    CTimeline t;
    ASSERT_TRUE(ImportText(scene, t, Header("1.1") + Body(kSjis)).ok);
    ASSERT_EQ(scene.m_models.size(), 1u);
    const CModel& m = scene.m_models[0];
    EXPECT_EQ(m.m_name, kSjis.object);
    EXPECT_EQ(m.m_vertices.size(), 10u) << "mirrored along X";
    EXPECT_EQ(m.m_faces.size(), 4u);
    EXPECT_EQ(m.m_pivot, CVector(0, 5, 0));
    EXPECT_EQ(m.m_facet, 59.5f);
    EXPECT_EQ(m.m_faces[1].m_material, 1);
    EXPECT_EQ(m.m_faces[1].m_uvs[1].m_u, 1.0f);
    ASSERT_EQ(scene.m_materials.size(), 2u);
    EXPECT_EQ(scene.m_materials[0].m_texture, kSjis.texture);
    EXPECT_EQ(scene.m_materials[0].m_spc, 0.1f) << "attributes after unknown ones are read";
    EXPECT_EQ(scene.m_materials[1].m_dif, 0.7f);
}

TEST(Metasequoia4, CodePageUtf8NamesAreStoredAsShiftJis)
{
    MqoImportResult r;
    const std::string fromUtf8 = Import(Header("1.1") + "\nCodePage utf8\n\n" + Body(kUtf8), &r);
    const std::string fromSjis = Import(Header("1.1") + "CodePage 932\n" + Body(kSjis));
    EXPECT_EQ(fromUtf8, fromSjis);
    EXPECT_EQ(r.codePage, "utf8");
    EXPECT_TRUE(r.warnings.empty());

    // A UTF-8 name whose last byte is a Shift_JIS lead byte keeps its
    // closing quote ("あ" ends in 0x82).
    CKinovela scene;
    CTimeline t;
    ASSERT_TRUE(ImportText(scene, t,
                           Header("1.1") + "CodePage utf8\n" +
                               test::MqoObject("\xE3\x81\x82", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)"))
                    .ok);
    ASSERT_EQ(scene.m_models.size(), 1u);
    EXPECT_EQ(scene.m_models[0].m_name, "\x82\xA0");
}

TEST(Metasequoia4, CharactersShiftJisCannotHoldAreReplacedWithOneWarningPerName)
{
    CKinovela scene;
    CTimeline t;
    const MqoImportResult r = ImportText(
        scene, t,
        Header("1.1") + "CodePage utf8\nMaterial 1 {\n\t\"caf\xC3\xA9 \xF0\x9F\x98\x80\" tex(\"\xF0\x9F\x98\x80.png\")\n}\n" +
            test::MqoObject("ok \xE8\x85\x95", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)"));
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(scene.m_materials[0].m_name, "caf? ?");
    EXPECT_EQ(scene.m_materials[0].m_texture, "?.png");
    EXPECT_EQ(scene.m_models[0].m_name, "ok \x98\x72");
    ASSERT_EQ(r.warnings.size(), 2u) << "one per name, none for the name that converts";
    EXPECT_EQ(r.warnings[0], "line 5: material name \"caf? ?\": 2 characters that Shift_JIS cannot hold became '?'");
    EXPECT_NE(r.warnings[1].find("file name \"?.png\": a character"), std::string::npos) << r.warnings[1];
}

TEST(Metasequoia4, OtherVersionsAreRefusedByName)
{
    CKinovela scene;
    CTimeline t;
    MqoImportResult r = ImportText(scene, t, Header("2.0") + Body(kSjis));
    EXPECT_EQ(r.code, kMqoBadFormat);
    EXPECT_EQ(r.formatVersion, "");
    EXPECT_NE(r.message.find("test.mqo:2: unsupported format: the document is \"Format Text Ver 2.0\""),
              std::string::npos)
        << r.message;
    EXPECT_TRUE(scene.m_models.empty());

    r = ImportText(scene, t, "Metasequoia Document\nFormat Compress Ver 1.1\n");
    EXPECT_EQ(r.code, kMqoBadFormat);
    EXPECT_NE(r.message.find("\"Format Compress Ver 1.1\""), std::string::npos) << r.message;
    // Control characters from the file are not echoed as they are.
    r = ImportText(scene, t, "Metasequoia Document\nFormat Text Ver \"\x1b[2J\"\n");
    EXPECT_NE(r.message.find("Ver \\x1B[2J"), std::string::npos) << r.message;
    r = ImportText(scene, t, "Metasequoia Document\n");
    EXPECT_NE(r.message.find("ends after its first line"), std::string::npos) << r.message;
}

TEST(Metasequoia4, UnknownCodePageIsReadAsShiftJisWithAWarning)
{
    CKinovela scene;
    CTimeline t;
    const MqoImportResult r = ImportText(scene, t, Header("1.1") + "CodePage 1252\n" + Body(kSjis));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.codePage, "932");
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0], "line 3: code page 1252 is not known; names are read as Shift_JIS (code page 932)");
    EXPECT_EQ(scene.m_models[0].m_name, kSjis.object);
}

TEST(Metasequoia4, ThumbnailCutShortInItsRowsFailsCleanly)
{
    const std::string doc = Header("1.1") + "Material 1 {\n\t\"m\"\n}\nThumbnail 128 128 24 rgb raw {\n" +
                            std::string(768, 'F') + "\n" + std::string(300, '0');
    CKinovela scene;
    CTimeline t;
    const MqoImportResult r = ImportText(scene, t, doc);
    EXPECT_EQ(r.code, kMqoEndOfFile);
    EXPECT_EQ(r.line, 8u);
    EXPECT_NE(r.message.find("the file ends inside the Thumbnail chunk begun on line 6"), std::string::npos)
        << r.message;
    EXPECT_EQ(scene.m_materials.size(), 1u) << "what came before stays";
    EXPECT_EQ(r.formatVersion, "1.1");

    // Every cut of a whole document fails or succeeds cleanly.
    const std::string whole = Header("1.1") + "CodePage utf8\n" + Body(kUtf8);
    for (std::size_t len = 0; len < whole.size(); ++len) {
        CKinovela s;
        const MqoImportResult c = ImportText(s, t, whole.substr(0, len));
        ASSERT_TRUE(c.ok || !c.message.empty()) << len;
        ASSERT_LE(s.m_models.size(), 1u);
    }
}

TEST(Metasequoia4, TokenizerWithoutShiftJisPairs)
{
    StringSeparator s;
    const std::string line = "\"\xE3\x81\x82\" x(\xE8\x85\x95)";
    s.SetShiftJisPairs(false);
    ASSERT_EQ(s.Split(line), 5);
    EXPECT_EQ(s.Token(0), "\xE3\x81\x82");
    EXPECT_EQ(s.Token(3), "\xE8\x85\x95");
    s.SetShiftJisPairs(true);
    EXPECT_EQ(s.Split(line), 1) << "as Shift_JIS the quote is swallowed and the rest stays quoted";
}

}  // namespace
}  // namespace kinovela
