#include "cli/InfoCommand.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "cli/Json.h"
#include "image/DibStream.h"
#include "cli/SceneFiles.h"
#include "cli/Terminal.h"
#include "common/TextCodec.h"
#include "scene/Hierarchy.h"

namespace kinovela::cli {

namespace {

// Shortest decimal that reads back to the same float.
std::string Num(float v)
{
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string Vec(const CVector& v) { return "(" + Num(v.m_x) + ", " + Num(v.m_y) + ", " + Num(v.m_z) + ")"; }

std::string Quoted(const std::string& raw) { return "\"" + SanitizeUtf8(Cp932ToUtf8(raw)) + "\""; }

void JsonVec(JsonWriter& j, const CVector& v)
{
    j.BeginArray();
    j.Float(v.m_x);
    j.Float(v.m_y);
    j.Float(v.m_z);
    j.EndArray();
}

void JsonName(JsonWriter& j, const char* key, const std::string& raw)
{
    j.Key(key);
    j.String(Cp932ToUtf8(raw));
    j.Key((std::string(key) + "_hex").c_str());
    j.String(HexBytes(raw));
}

struct Totals {
    std::size_t vertices = 0, faces = 0;
};

Totals Count(const CKinovela& s)
{
    Totals t;
    for (const CModel& m : s.m_models) {
        t.vertices += m.m_vertices.size();
        t.faces += m.m_faces.size();
    }
    return t;
}

std::vector<int> Keys(const CModel& m)
{
    std::vector<int> keys;
    for (std::size_t f = 0; f < m.m_frames.size(); ++f)
        if (m.m_frames[f].m_key == 1) keys.push_back(static_cast<int>(f));
    return keys;
}

void WriteJson(std::string& out, const std::string& file, const LoadOutcome& lo, const CKinovela& s,
               const CTimeline& t, const InfoOptions& opt)
{
    JsonWriter j(out);
    j.BeginObject();
    j.Key("file");
    j.String(file);
    j.Key("ok");
    j.Bool(lo.ok);
    j.Key("error");
    if (lo.ok)
        j.Null();
    else
        j.String(lo.error);
    j.Key("warnings");
    j.BeginArray();
    for (const std::string& w : lo.warnings) j.String(w);
    j.EndArray();
    j.Key("format");
    if (lo.format.empty())
        j.Null();
    else
        j.String(lo.format);
    j.Key("version");
    if (lo.format == "kvl" && lo.ok)
        j.String(Cp932ToUtf8(lo.versionText));
    else if (lo.format == "mqo" && !lo.versionText.empty())
        j.String(lo.versionText);
    else
        j.Null();
    j.Key("code_page");
    if (lo.codePage.empty())
        j.Null();
    else
        j.String(lo.codePage);
    j.Key("last_frame");
    j.Int(t.m_last);
    j.Key("fps");
    j.Float(t.m_fps);
    j.Key("smooth");
    j.Int(s.m_smooth);
    j.Key("camera");
    j.BeginObject();
    j.Key("position");
    JsonVec(j, s.m_camera.at(0).m_position);
    j.Key("rotation");
    JsonVec(j, s.m_camera.at(0).m_rotation);
    j.EndObject();
    const Totals tot = Count(s);
    j.Key("totals");
    j.BeginObject();
    j.Key("models");
    j.Int(static_cast<long long>(s.m_models.size()));
    j.Key("materials");
    j.Int(static_cast<long long>(s.m_materials.size()));
    j.Key("vertices");
    j.Int(static_cast<long long>(tot.vertices));
    j.Key("faces");
    j.Int(static_cast<long long>(tot.faces));
    j.EndObject();
    j.Key("walk");
    j.BeginArray();
    for (const WalkEntry& e : s.m_hierarchyWalk) {
        j.BeginArray();
        j.Int(e.event);
        j.Int(e.model);
        j.EndArray();
    }
    j.EndArray();
    j.Key("models");
    j.BeginArray();
    for (std::size_t i = 0; i < s.m_models.size(); ++i) {
        const CModel& m = s.m_models[i];
        j.BeginObject();
        j.Key("index");
        j.Int(static_cast<long long>(i));
        JsonName(j, "name", m.m_name);
        j.Key("parent");
        j.Int(m.m_parent);
        j.Key("parent_name");
        j.String(Cp932ToUtf8(m.m_parentName));
        j.Key("list_id");
        j.Int(m.m_listId);
        j.Key("vertices");
        j.Int(static_cast<long long>(m.m_vertices.size()));
        j.Key("faces");
        j.Int(static_cast<long long>(m.m_faces.size()));
        j.Key("frames");
        j.Int(static_cast<long long>(m.m_frames.size()));
        j.Key("keys");
        j.BeginArray();
        for (int k : Keys(m)) j.Int(k);
        j.EndArray();
        j.Key("pivot");
        JsonVec(j, m.m_pivot);
        j.Key("bbox_min");
        JsonVec(j, m.m_bboxMin);
        j.Key("bbox_max");
        JsonVec(j, m.m_bboxMax);
        j.Key("visible");
        j.Int(m.m_visible);
        j.Key("facet");
        j.Float(m.m_facet);
        if (opt.frames) {
            j.Key("poses");
            j.BeginArray();
            for (std::size_t f = 0; f < m.m_frames.size(); ++f) {
                const CAnimation& a = m.m_frames[f];
                j.BeginObject();
                j.Key("frame");
                j.Int(static_cast<long long>(f));
                j.Key("position");
                JsonVec(j, a.m_position);
                j.Key("rotation");
                JsonVec(j, a.m_rotation);
                j.Key("scale");
                JsonVec(j, a.m_scale);
                j.Key("key");
                j.Int(a.m_key);
                j.EndObject();
            }
            j.EndArray();
        }
        j.EndObject();
    }
    j.EndArray();
    j.Key("materials");
    j.BeginArray();
    for (const CMaterial& m : s.m_materials) {
        j.BeginObject();
        j.Key("id");
        j.Int(m.m_id);
        JsonName(j, "name", m.m_name);
        j.Key("color");
        j.BeginArray();
        for (float c : m.m_col) j.Float(c);
        j.EndArray();
        j.Key("dif");
        j.Float(m.m_dif);
        j.Key("amb");
        j.Float(m.m_amb);
        j.Key("emi");
        j.Float(m.m_emi);
        j.Key("spc");
        j.Float(m.m_spc);
        j.Key("power");
        j.Float(m.m_power);
        j.Key("texture");
        j.String(Cp932ToUtf8(m.m_texture));
        j.Key("image");
        if (m.m_image) {
            j.BeginObject();
            j.Key("width");
            j.Int(m.m_image->Width());
            j.Key("height");
            j.Int(m.m_image->Height());
            j.Key("bits");
            j.Int(m.m_image->BitCount());
            j.EndObject();
        } else {
            j.Null();
        }
        j.Key("alpha_plane");
        j.String(Cp932ToUtf8(m.m_alphaPlane));
        j.Key("bump");
        j.String(Cp932ToUtf8(m.m_bump));
        j.EndObject();
    }
    j.EndArray();
    j.EndObject();
    out += '\n';
}

void Line(std::string& out, const std::string& s)
{
    out += s;
    out += '\n';
}

void WriteText(std::string& out, const std::string& file, const LoadOutcome& lo, const CKinovela& s,
               const CTimeline& t, const InfoOptions& opt)
{
    std::string about;
    if (lo.format == "kvl" && lo.ok) about = " (" + Quoted(lo.versionText) + ")";
    if (lo.format == "mqo" && !lo.versionText.empty())
        about = " (Format Text Ver " + lo.versionText + ", CodePage " + lo.codePage + ")";
    Line(out, "File: " + SanitizeUtf8(file) + about);
    if (!lo.ok) Line(out, "Error: " + SanitizeUtf8(lo.error));
    // A file that failed without adding anything has nothing more to show;
    // an import that stopped part way shows what it read.
    if (!lo.ok && s.m_models.empty() && s.m_materials.empty()) return;
    for (const std::string& w : lo.warnings) Line(out, "Warning: " + SanitizeUtf8(w));
    Line(out, "Frames: 0.." + std::to_string(t.m_last) + " at " + Num(t.m_fps) + " fps, " +
                  (s.m_smooth ? "smooth" : "flat") + " shading");
    Line(out, "Camera: position " + Vec(s.m_camera.at(0).m_position) + ", rotation " + Vec(s.m_camera.at(0).m_rotation));
    const Totals tot = Count(s);
    Line(out, "Totals: " + std::to_string(s.m_models.size()) + " models, " + std::to_string(s.m_materials.size()) +
                  " materials, " + std::to_string(tot.vertices) + " vertices, " + std::to_string(tot.faces) + " faces");

    Line(out, "Models:");
    for (std::size_t i = 0; i < s.m_models.size(); ++i) {
        const CModel& m = s.m_models[i];
        const std::vector<int> keys = Keys(m);
        std::string keyText;
        for (std::size_t k = 0; k < keys.size(); ++k) keyText += (k ? "," : "") + std::to_string(keys[k]);
        Line(out, "  [" + std::to_string(i) + "] " + Quoted(m.m_name) + "  parent " +
                      (m.m_parent == kNoModel ? std::string("none") : std::to_string(m.m_parent) + " " + Quoted(m.m_parentName)) +
                      "  list " + std::to_string(m.m_listId) + (m.m_visible ? "" : "  hidden"));
        Line(out, "      " + std::to_string(m.m_vertices.size()) + " vertices, " + std::to_string(m.m_faces.size()) +
                      " faces, " + std::to_string(m.m_frames.size()) + " frames, keys " + keyText);
        Line(out, "      pivot " + Vec(m.m_pivot) + ", box " + Vec(m.m_bboxMin) + " .. " + Vec(m.m_bboxMax) +
                      ", facet " + Num(m.m_facet));
        if (opt.frames) {
            for (std::size_t f = 0; f < m.m_frames.size(); ++f) {
                const CAnimation& a = m.m_frames[f];
                Line(out, "      frame " + std::to_string(f) + (a.m_key == 1 ? " key" : "    ") + "  position " +
                              Vec(a.m_position) + " rotation " + Vec(a.m_rotation) + " scale " + Vec(a.m_scale));
            }
        }
    }

    Line(out, "Materials:");
    for (const CMaterial& m : s.m_materials) {
        std::string line = "  id " + std::to_string(m.m_id) + " " + Quoted(m.m_name) + "  col (" + Num(m.m_col[0]) +
                           ", " + Num(m.m_col[1]) + ", " + Num(m.m_col[2]) + ", " + Num(m.m_col[3]) + ") dif " +
                           Num(m.m_dif) + " amb " + Num(m.m_amb) + " emi " + Num(m.m_emi) + " spc " + Num(m.m_spc) +
                           " power " + Num(m.m_power);
        if (!m.m_texture.empty()) line += "  tex " + Quoted(m.m_texture);
        if (m.m_image)
            line += " (" + std::to_string(m.m_image->Width()) + " x " + std::to_string(m.m_image->Height()) + ", " +
                    std::to_string(m.m_image->BitCount()) + " bits)";
        else if (!m.m_texture.empty())
            line += " (not loaded)";
        if (!m.m_alphaPlane.empty()) line += "  aplane " + Quoted(m.m_alphaPlane);
        if (!m.m_bump.empty()) line += "  bump " + Quoted(m.m_bump);
        Line(out, line);
    }

    Line(out, "Hierarchy:");
    // Indentation stops growing at some depth, or a long chain of models
    // would print (and hold) an output that grows with the square of its length.
    constexpr int kMaxIndent = 32;
    for (const TreeItem& item : HierarchyTreeOrder(s)) {
        const int indent = std::min(item.depth, kMaxIndent);
        Line(out, std::string(static_cast<std::size_t>(2 + 2 * indent), ' ') +
                      (item.depth > kMaxIndent ? "(depth " + std::to_string(item.depth) + ") " : std::string()) +
                      Quoted(s.m_models[static_cast<std::size_t>(item.model)].m_name));
    }
    std::string walk;
    for (const WalkEntry& e : s.m_hierarchyWalk)
        walk += (walk.empty() ? "" : " ") + std::to_string(e.event) + ":" + std::to_string(e.model);
    Line(out, "Walk: " + (walk.empty() ? std::string("(empty)") : walk));
}

}  // namespace

std::string FormatInfo(const std::string& file, const LoadOutcome& outcome, const CKinovela& scene,
                       const CTimeline& t, const InfoOptions& options)
{
    std::string out;
    if (options.json)
        WriteJson(out, file, outcome, scene, t, options);
    else
        WriteText(out, file, outcome, scene, t, options);
    return out;
}

int RunInfo(const std::vector<std::string>& files, const InfoOptions& options)
{
    int status = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        CKinovela scene;
        CTimeline timeline;
        LoadOutcome lo;
        {
            TerminalProgress progress("Reading", file);
            lo = LoadSceneFile(file, scene, timeline, progress.Callback(), options.textureFolders);
        }
        // What the reader noticed goes to standard error as well, as its
        // failure does, so that it is seen beside JSON output too.
        for (const std::string& w : lo.warnings)
            std::fprintf(stderr, "kinovela-cli: warning: %s\n", EscapeControlCharacters(w, true).c_str());
        if (!lo.ok) {
            status = 1;
            std::fprintf(stderr, "kinovela-cli: %s\n", lo.error.c_str());
        }
        std::string out = (i > 0 && !options.json) ? "\n" : "";
        out += FormatInfo(file, lo, scene, timeline, options);
        if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) return 1;
    }
    if (std::fflush(stdout) != 0) return 1;
    return status;
}

}  // namespace kinovela::cli
