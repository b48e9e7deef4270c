#include "mqo/LoaderMQO.h"

#include "common/Memory.h"
#include "common/TextCodec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>

namespace kinovela {

namespace {

struct LoadFailure {
    int code;
};

// Each kind of warning lists this many lines; the rest are counted.
constexpr std::uint64_t kWarningsPerKind = 20;

// Text from the document for a message: printable ASCII as it stands, every
// other byte as \xHH, cut short when long. The bytes may be in any code
// page, or be control characters that would garble a terminal.
std::string Echo(std::string_view text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text.substr(0, 40)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(ch);
        } else {
            out += "\\x";
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
    }
    if (text.size() > 40) out += "...";
    return out;
}

// Wrapping addition: a material number near INT_MAX plus the base must not
// be undefined behaviour; the id it gives simply matches no material.
int AddWrapping(int a, int b)
{
    return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b));
}

}  // namespace

LoaderMQO::LoaderMQO(CKinovela& scene, const CTimeline& timeline, std::FILE* file, int parentIndex, int materialBase,
                     const ProgressFn& progress)
    : m_scene(scene),
      m_timeline(timeline),
      m_tokens(file),
      m_parentIndex(parentIndex),
      m_materialBase(materialBase),
      m_progress(progress, m_tokens.FileSize())
{
}

int LoaderMQO::ReadLine()
{
    const int count = m_tokens.ReadLine();
    m_progress.Report(m_tokens.LineEndOffset());
    return count;
}

void LoaderMQO::Fail(int code, std::string reason)
{
    m_reason = std::move(reason);
    throw LoadFailure{code};
}

void LoaderMQO::Warn(WarningKind kind, std::uint64_t line, const std::string& text)
{
    if (++m_warningCounts[kind] > kWarningsPerKind) return;
    m_warnings.push_back(line > 0 ? "line " + std::to_string(line) + ": " + text : text);
}

std::vector<std::string> LoaderMQO::Warnings() const
{
    static const char* const kinds[kWarningKinds] = {
        "counts that differ from what was read", "face lines that cannot be read", "'}' lines that close no chunk",
        "names with characters Shift_JIS cannot hold", "objects with faces of more than four corners",
        "other warnings"};
    std::vector<std::string> all = m_warnings;
    for (int k = 0; k < kWarningKinds; ++k)
        if (m_warningCounts[k] > kWarningsPerKind)
            all.push_back("and " + std::to_string(m_warningCounts[k] - kWarningsPerKind) + " more " + kinds[k]);
    return all;
}

void LoaderMQO::CheckCount(const char* what, int announced, std::uint64_t read, std::uint64_t line)
{
    if (announced >= 0 && static_cast<std::uint64_t>(announced) == read) return;
    Warn(kCountDiffers, line,
         std::string(what) + " announces " + std::to_string(announced) + " but " + std::to_string(read) +
             (read == 1 ? " was read" : " were read"));
}

std::string LoaderMQO::Name(std::string_view raw, const char* what, bool* anyReplaced)
{
    if (anyReplaced) *anyReplaced = false;
    if (!m_utf8) return std::string(raw);
    std::size_t replaced = 0;
    std::string name = Utf8ToCp932(raw, &replaced);
    if (anyReplaced) *anyReplaced = replaced > 0;
    if (replaced > 0)
        Warn(kNameReplaced, m_tokens.LineNumber(),
             std::string(what) + " \"" + EscapeControlCharacters(name) + "\": " +
                 (replaced == 1 ? std::string("a character") : std::to_string(replaced) + " characters") +
                 " that Shift_JIS cannot hold became '?'");
    return name;
}

void LoaderMQO::ReadCodePage()
{
    const StringSeparator& t = m_tokens;
    if (t.IsToken(1, "932")) {
        m_utf8 = false;
    } else if (t.IsToken(1, "utf8") || t.IsToken(1, "utf-8") || t.IsToken(1, "65001")) {
        m_utf8 = true;
    } else {
        Warn(kOtherWarning, m_tokens.LineNumber(),
             "code page " + Echo(t.Token(1)) + " is not known; names are read as Shift_JIS (code page 932)");
        m_utf8 = false;
    }
    m_tokens.SetShiftJisPairs(!m_utf8);
}

int LoaderMQO::Load()
{
    try {
        ReadHeader();
        ReadChunks();
    } catch (const LoadFailure& f) {
        return f.code;
    }
    m_progress.Finish();
    return kMqoOk;
}

void LoaderMQO::ReadHeader()
{
    const StringSeparator& t = m_tokens;
    ReadLine();
    if (!(t.IsFirst("Metasequoia", 2) && t.IsToken(1, "Document")))
        Fail(kMqoNotMqo, "the first line is not \"Metasequoia Document\"");
    const int count = ReadLine();
    const bool text = t.IsFirst("Format", 4) && t.IsToken(1, "Text") && t.IsToken(2, "Ver");
    // Version 1.1 (Metasequoia 4) adds chunks and attributes this importer
    // skips as it skips every chunk it does not use.
    if (text && t.TokenAsDouble(3) == 1.0) {
        m_version = "1.0";
        return;
    }
    if (text && t.TokenAsDouble(3) == 1.1) {
        m_version = "1.1";
        return;
    }
    if (text)
        Fail(kMqoBadFormat, "the document is \"Format Text Ver " + Echo(t.Token(3)) +
                                "\"; versions 1.0 and 1.1 of the text format are read");
    std::string found;
    for (int i = 0; i < count && found.size() < 60; ++i) found += (i ? " " : "") + std::string(t.Token(i));
    Fail(kMqoBadFormat, (count < 0 ? std::string("the document ends after its first line")
                                   : "the second line is \"" + Echo(found) + "\"") +
                            "; only \"Format Text Ver 1.0\" and \"Format Text Ver 1.1\" documents are read");
}

void LoaderMQO::ReadChunks()
{
    const StringSeparator& t = m_tokens;
    for (;;) {
        const int count = ReadLine();
        if (count < 0) return;
        if (count == 0) continue;
        if (t.IsFirst("Material", 2)) {
            if (!t.IsToken(count - 1, "{")) Fail(kMqoSyntax, "a Material line does not end with '{'");
            if (!ReadMaterials()) Fail(kMqoSyntax, "bad material chunk");
        } else if (t.IsFirst("Object", 2)) {
            if (!t.IsToken(count - 1, "{")) Fail(kMqoSyntax, "an Object line does not end with '{'");
            ReadObjectChunk();
        } else if (t.IsFirst("CodePage", 2)) {
            ReadCodePage();
        } else {
            // A lone '}' here closes nothing: a chunk above lost its '{'
            // line, or ended early at a '}' that was meant for a block inside.
            if (count == 1 && t.IsToken(0, "}")) Warn(kStrayBrace, m_tokens.LineNumber(), "a '}' that closes no chunk");
            SkipChunk(count);
        }
    }
}

bool LoaderMQO::ReadMaterials()
{
    const StringSeparator& t = m_tokens;
    const std::uint64_t start = m_tokens.LineNumber();
    const int announced = t.TokenAsInt(1);
    std::uint64_t read = 0;
    for (;;) {
        const int count = ReadLine();
        if (count < 0) Fail(kMqoEndOfFile, "the file ends inside the Material chunk begun on line " + std::to_string(start));
        if (count == 0) continue;
        if (t.IsFirst("}", 1)) {
            CheckCount("the Material chunk", announced, read, start);
            return true;
        }

        ++read;
        CMaterial mat;
        mat.m_name = Name(t.Token(0), "material name");
        int s = 1;
        // 1: the attribute is there with its parentheses; -1: it is there but
        // a parenthesis is missing; 0: not this attribute.
        auto simple = [&](const char* name) {
            if (!t.IsToken(s, name) || count < s + 4) return 0;
            return (t.IsToken(s + 1, "(") && t.IsToken(s + 3, ")")) ? 1 : -1;
        };
        auto value = [&](float& field, const char* name) {
            const int r = simple(name);
            if (r == 1) {
                field = t.TokenAsFloat(s + 2);
                s += 4;
            }
            return r;
        };
        auto text = [&](std::string& field, const char* name) {
            const int r = simple(name);
            if (r == 1) {
                bool replaced = false;
                field = Name(t.Token(s + 2), "file name", &replaced);
                // The picture is still found by the name the document gave.
                if (replaced && &field == &mat.m_texture) mat.m_textureUtf8 = std::string(t.Token(s + 2));
                s += 4;
            }
            return r;
        };
        while (s < count) {
            int r;
            if (t.IsToken(s, "col") && count >= s + 7) {
                if (!t.IsToken(s + 1, "(") || !t.IsToken(s + 6, ")")) break;
                for (int c = 0; c < 4; ++c) mat.m_col[static_cast<std::size_t>(c)] = t.TokenAsFloat(s + 2 + c);
                s += 7;
                continue;
            }
            if ((r = simple("shader")) != 0) {
                if (r < 0) break;
                s += 4;
                continue;
            }
            if ((r = value(mat.m_dif, "dif")) != 0 || (r = value(mat.m_amb, "amb")) != 0 ||
                (r = value(mat.m_spc, "spc")) != 0 || (r = value(mat.m_emi, "emi")) != 0 ||
                (r = value(mat.m_power, "power")) != 0 || (r = text(mat.m_texture, "tex")) != 0 ||
                (r = text(mat.m_alphaPlane, "aplane")) != 0 || (r = text(mat.m_bump, "bump")) != 0) {
                if (r < 0) break;
                continue;
            }
            // An attribute this importer does not know: name ( ... ).
            if (!t.IsToken(s + 1, "(")) break;
            int close = s + 2;
            while (close < count && !t.IsToken(close, ")")) ++close;
            if (close >= count) break;
            s = close + 1;
        }
        if (m_scene.m_nextMaterialId == INT_MAX) Fail(kMqoSceneFull, "the scene has no material ids left");
        mat.m_id = m_scene.m_nextMaterialId++;
        m_scene.m_materials.push_back(std::move(mat));
    }
}

void LoaderMQO::ReadObjectChunk()
{
    const StringSeparator& t = m_tokens;
    const std::size_t existing = m_scene.m_models.size();
    m_scene.m_models.emplace_back();
    CModel& model = m_scene.m_models.back();
    if (t.Count() >= 3) model.m_name = Name(t.Token(1), "object name");
    m_objectName = EscapeControlCharacters(model.m_name);
    bool ok = false;
    try {
        ok = ReadObject(model);
    } catch (const LoadFailure&) {
        m_scene.m_models.pop_back();
        throw;
    }
    if (!ok) {
        m_scene.m_models.pop_back();
        Fail(kMqoSyntax, "a vertex or face line does not end with '{'");
    }
    if (!BuildMesh(model)) {
        // Objects of points or lines only, and empty objects, are not models.
        m_scene.m_models.pop_back();
        return;
    }
    if (m_scene.m_lastListId == INT_MAX) {
        m_scene.m_models.pop_back();
        Fail(kMqoSceneFull, "the scene has no display-list numbers left");
    }
    model.m_listId = ++m_scene.m_lastListId;
    const bool hasParent = m_parentIndex >= 0 && static_cast<std::size_t>(m_parentIndex) < existing;
    model.m_parentName = hasParent ? m_scene.m_models[static_cast<std::size_t>(m_parentIndex)].m_name : kNoParentName;
    model.LinkVertexFaces();
    model.ResizeFrames(m_timeline.m_last, 0);
}

bool LoaderMQO::ReadObject(CModel& model)
{
    const StringSeparator& t = m_tokens;
    const std::uint64_t start = m_tokens.LineNumber();
    for (;;) {
        const int count = ReadLine();
        if (count < 0)
            Fail(kMqoEndOfFile, "the file ends inside object \"" + Cp932ToUtf8(m_objectName) + "\" begun on line " +
                                    std::to_string(start));
        if (t.IsFirst("}", 1)) return true;
        if (t.IsFirst("facet", 2)) {
            model.m_facet = t.TokenAsFloat(1);
        } else if (t.IsFirst("mirror_axis", 2)) {
            model.m_mirror = t.TokenAsInt(1);
        } else if (t.IsFirst("vertex", 3)) {
            if (!t.IsToken(count - 1, "{")) return false;
            if (!ReadVertices(model)) return false;
        } else if (t.IsFirst("face", 2)) {
            if (!t.IsToken(count - 1, "{")) return false;
            if (!ReadFaces(model)) return false;
        } else {
            SkipChunk(count);
        }
    }
}

bool LoaderMQO::ReadVertices(CModel& model)
{
    const StringSeparator& t = m_tokens;
    // The announced count is only a capacity hint, capped by what the rest of
    // the file could hold (a vertex line has at least six bytes).
    const int announced = t.TokenAsInt(1);
    const std::uint64_t room = (m_tokens.FileSize() - std::min(m_tokens.FileSize(), m_tokens.LineEndOffset())) / 6;
    if (announced > 0) ReserveLarge(model.m_vertices, std::min<std::uint64_t>(static_cast<std::uint64_t>(announced), room));
    const std::uint64_t start = m_tokens.LineNumber();
    const std::size_t before = model.m_vertices.size();
    for (;;) {
        const int count = ReadLine();
        if (count < 0) Fail(kMqoEndOfFile, "the file ends inside the vertex block begun on line " + std::to_string(start));
        if (t.IsFirst("}", 1)) {
            CheckCount(("the vertex block of object \"" + m_objectName + "\"").c_str(), announced,
                       model.m_vertices.size() - before, start);
            return true;
        }
        if (count < 3) continue;
        CVertex v;
        v.m_pos = {t.TokenAsFloat(0), t.TokenAsFloat(1), t.TokenAsFloat(2)};
        model.m_vertices.push_back(v);
    }
}

bool LoaderMQO::ReadFaces(CModel& model)
{
    const StringSeparator& t = m_tokens;
    // Positions are computed in 64 bits: the corner count comes from the file.
    auto is = [&t](std::int64_t i, std::string_view text) {
        return i >= 0 && i < INT_MAX && t.IsToken(static_cast<int>(i), text);
    };
    auto asFloat = [&t](std::int64_t i) { return t.TokenAsFloat(static_cast<int>(i)); };

    const int announced = t.TokenAsInt(1);
    const std::uint64_t room = (m_tokens.FileSize() - std::min(m_tokens.FileSize(), m_tokens.LineEndOffset())) / 10;
    if (announced > 0) ReserveLarge(model.m_faces, std::min<std::uint64_t>(static_cast<std::uint64_t>(announced), room));
    const std::uint64_t start = m_tokens.LineNumber();
    std::uint64_t read = 0, wide = 0;
    // Dropped lines are not errors, but the user hears of them.
    auto drop = [this] { Warn(kUnreadableFace, m_tokens.LineNumber(), "a face line that cannot be read was dropped"); };
    for (;;) {
        const int count = ReadLine();
        if (count < 0) Fail(kMqoEndOfFile, "the file ends inside the face block begun on line " + std::to_string(start));
        if (count == 0) continue;
        if (t.IsFirst("}", 1)) {
            CheckCount(("the face block of object \"" + m_objectName + "\"").c_str(), announced, read, start);
            if (wide > 0)
                Warn(kWideFace, start,
                     "object \"" + m_objectName + "\": " + std::to_string(wide) +
                         (wide == 1 ? " face has" : " faces have") + " more than four corners; only the first four are kept");
            return true;
        }

        ++read;
        const std::int64_t n = t.TokenAsInt(0);
        if (!t.IsToken(1, "V") || count < n + 4) Fail(kMqoSyntax, "a face line without V( ... ) or with too few numbers");
        if (!is(2, "(") || !is(n + 3, ")") || n < 2) {
            drop();
            continue;
        }
        if (n > CFace::kMaxCorners) ++wide;

        CFace face;
        const int kept = static_cast<int>(std::clamp<std::int64_t>(n, 0, CFace::kMaxCorners));
        for (int k = 0; k < kept; ++k) face.AddIndex(t.TokenAsInt(3 + k));

        std::int64_t s = n + 4;
        face.m_material = m_materialBase;
        if (is(s, "M") && count >= s + 4) {
            if (!is(s + 1, "(") || !is(s + 3, ")")) {
                drop();
                continue;
            }
            face.m_material = AddWrapping(t.TokenAsInt(static_cast<int>(s + 2)), m_materialBase);
            s += 4;
        }
        if (is(s, "UV") && count >= s + 2 * n + 3) {
            if (!is(s + 1, "(") || !is(s + 2 * n + 2, ")")) {
                drop();
                continue;
            }
            for (int k = 0; k < kept; ++k) face.AddUV({asFloat(s + 2 + 2 * k), asFloat(s + 3 + 2 * k)});
        } else if (is(s, "UV")) {
            Warn(kUnreadableFace, m_tokens.LineNumber(), "the UV part of a face line cannot be read; the face has no UVs");
        }
        model.m_faces.push_back(face);
    }
}

void LoaderMQO::SkipChunk(int count)
{
    const StringSeparator& t = m_tokens;
    auto binary = [&t](int c) { return c >= 3 && t.IsToken(c - 3, "[") && t.IsToken(c - 1, "]"); };
    if (count >= 1 && t.IsToken(count - 1, "{")) {
        // Named in the message when the file ends inside (a Thumbnail cut
        // short in its rows, say).
        const std::string name = count > 1 ? Echo(t.Token(0)) : std::string();
        const std::uint64_t start = m_tokens.LineNumber();
        std::int64_t depth = 1;
        while (depth > 0) {
            const int c = ReadLine();
            if (c < 0)
                Fail(kMqoEndOfFile, "the file ends inside the " + (name.empty() ? std::string() : name + " ") +
                                        "chunk begun on line " + std::to_string(start));
            if (c == 0) continue;
            if (t.IsToken(c - 1, "{"))
                ++depth;
            else if (t.IsToken(c - 1, "}"))
                --depth;
            else if (binary(c))
                SkipBinary(c);
        }
    } else if (binary(count)) {
        SkipBinary(count);
    }
}

void LoaderMQO::SkipBinary(int count)
{
    const int n = m_tokens.TokenAsInt(count - 2);
    if (!m_tokens.SkipBytes(n)) Fail(kMqoSyntax, "a binary block is negative or runs past the end of the file");
}

bool LoaderMQO::BuildMesh(CModel& model)
{
    const std::size_t nv = model.m_vertices.size();
    auto inside = [nv](const CFace& f) {
        for (int i : f.Indices())
            if (i < 0 || static_cast<std::size_t>(i) >= nv) return false;
        return true;
    };
    std::size_t dropped = 0;
    std::size_t kept = 0;
    for (const CFace& f : model.m_faces) {
        const int corners = f.IndexCount();
        if (corners == 2) {
            // A two-point line marks the pivot with its first point; the last
            // line wins.
            const int first = f.m_indices[0];
            if (first >= 0 && static_cast<std::size_t>(first) < nv)
                model.m_pivot = model.m_vertices[static_cast<std::size_t>(first)].m_pos;
            else
                ++dropped;
        } else if (corners == 3 || corners == 4) {
            if (inside(f))
                model.m_faces[kept++] = f;
            else
                ++dropped;
        }
    }
    model.m_faces.resize(kept);
    m_droppedFaces += dropped;
    if (dropped > 0) {
        Warn(kOtherWarning, 0,
             "object \"" + m_objectName + "\": " + std::to_string(dropped) + (dropped == 1 ? " face refers" : " faces refer") +
                 " to vertices outside its vertex list and " + (dropped == 1 ? "was" : "were") + " dropped");
    }

    const int axes = model.m_mirror;
    if (axes >= 1 && axes <= 7) {
        for (int bit : {1, 2, 4}) {
            if (!(axes & bit)) continue;
            const std::size_t v0 = model.m_vertices.size(), f0 = model.m_faces.size();
            if (v0 > static_cast<std::size_t>(INT_MAX) / 2) {
                Warn(kOtherWarning, 0, "object \"" + m_objectName + "\" is too large to mirror");
                break;
            }
            model.m_vertices.reserve(v0 * 2);
            for (std::size_t k = 0; k < v0; ++k) {
                CVertex v = model.m_vertices[k];
                if (bit == 1) v.m_pos.m_x = -v.m_pos.m_x;
                if (bit == 2) v.m_pos.m_y = -v.m_pos.m_y;
                if (bit == 4) v.m_pos.m_z = -v.m_pos.m_z;
                model.m_vertices.push_back(v);
            }
            model.m_faces.reserve(f0 * 2);
            for (std::size_t k = 0; k < f0; ++k) {
                const CFace src = model.m_faces[k];
                CFace m;
                m.m_material = src.m_material;
                m.m_normal = src.m_normal;
                for (int c = src.IndexCount() - 1; c >= 0; --c)
                    m.AddIndex(src.m_indices[static_cast<std::size_t>(c)] + static_cast<int>(v0));
                for (int c = src.UVCount() - 1; c >= 0; --c) m.AddUV(src.m_uvs[static_cast<std::size_t>(c)]);
                model.m_faces.push_back(m);
            }
        }
    }
    return !model.m_faces.empty();
}

// --- LoadMQO -----------------------------------------------------------------

namespace {

std::string Describe(int code, const std::string& file, std::uint64_t line, std::string_view reason)
{
    std::string s = file + ":" + std::to_string(line) + ": ";
    switch (code) {
    case kMqoSyntax: s += "syntax error: "; break;
    case kMqoEndOfFile: s += "unexpected end of file: "; break;
    case kMqoNotMqo: s += "not a Metasequoia document: "; break;
    case kMqoBadFormat: s += "unsupported format: "; break;
    case kMqoSceneFull: s += "cannot add to this scene: "; break;
    default: break;
    }
    s += reason;
    return s;
}

}  // namespace

MqoImportResult LoadMQOStream(CKinovela& scene, const CTimeline& timeline, std::FILE* file, int parentIndex,
                              const std::string& displayName, const ProgressFn& progress)
{
    MqoImportResult result;
    result.firstNewModel = scene.m_models.size();
    {
        LoaderMQO loader(scene, timeline, file, parentIndex, scene.m_nextMaterialId, progress);
        result.code = loader.Load();
        if (result.code != kMqoOk) {
            result.line = loader.LineNumber();
            result.message = Describe(result.code, displayName, result.line, loader.FailureReason());
        }
        result.warnings = loader.Warnings();
        result.formatVersion = loader.FormatVersion();
        if (!result.formatVersion.empty()) result.codePage = loader.Utf8() ? "utf8" : "932";
    }
    result.ok = result.code == kMqoOk;
    result.modelsAdded = scene.m_models.size() - result.firstNewModel;

    if (scene.m_materials.empty() && scene.m_nextMaterialId < INT_MAX) {
        // The faces of a document without materials use the id base, which
        // is m_nextMaterialId here (0 in a fresh scene).
        CMaterial mat;
        mat.m_id = scene.m_nextMaterialId;
        scene.m_materials.push_back(mat);
        scene.m_nextMaterialId += 1;
    }
    // The new models name their parent; resolve the index now so that they
    // hang under it in the tree, the walk and every export straight away.
    scene.ResolveParentsOf(result.firstNewModel);
    scene.UpdateColors();
    scene.UpdateBoundingBoxes();
    for (std::size_t i = result.firstNewModel; i < scene.m_models.size(); ++i) scene.m_models[i].ComputeNormals();
    scene.RebuildHierarchyWalk();
    return result;
}

MqoImportResult LoadMQO(CKinovela& scene, const CTimeline& timeline, const std::string& path, int parentIndex,
                        const ProgressFn& progress)
{
    // Only regular files: a FIFO would block and a device never ends.
    std::string reason;
    std::FILE* f = nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
    } else {
        struct stat st{};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            reason = S_ISDIR(st.st_mode) ? "is a folder" : "not a regular file";
            ::close(fd);
        } else {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            f = ::fdopen(fd, "rb");
            if (!f) {
                reason = std::strerror(errno);
                ::close(fd);
            }
        }
    }
    if (!f) {
        MqoImportResult result;
        result.code = kMqoCannotOpen;
        result.firstNewModel = scene.m_models.size();
        result.message = "cannot open " + path + ": " + reason;
        return result;
    }
    // Closed also when a progress callback stops the import.
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(f, &std::fclose);
    return LoadMQOStream(scene, timeline, f, parentIndex, path, progress);
}

}  // namespace kinovela
