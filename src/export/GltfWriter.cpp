#include "export/GltfWriter.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <streambuf>

#include <nlohmann/json.hpp>

#include "export/ExportFiles.h"
#include "export/GltfScene.h"

namespace kinovela {

namespace {

// The JSON of a .gltf, written by tinygltf. Its stream writer would put
// the buffer inside as base64, so the bytes are taken out of the model
// first (and written to the .bin from where they are); the buffer's entry
// then gets its length and the .bin's name here.
std::string DocumentJson(const tinygltf::Model& model, const std::vector<unsigned char>& data,
                         const std::string& binName)
{
    tinygltf::TinyGLTF gltf;
    // Pictures are written by this writer (atomically), never by tinygltf:
    // an image keeps the URI it was given.
    gltf.SetImageWriter(nullptr, nullptr);
    std::ostringstream text;
    if (!gltf.WriteGltfSceneToStream(&model, text, false, false))
        throw std::runtime_error("tinygltf could not write the scene");
    nlohmann::json json = nlohmann::json::parse(text.str());
    if (!model.buffers.empty()) {
        json["buffers"][0]["byteLength"] = data.size();
        json["buffers"][0]["uri"] = binName;
    }
    return json.dump(2) + "\n";
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

// File names beside the .gltf: unique (ignoring case, for the systems that
// do), never the name of a picture the scene reads, and never the name of
// a different file already there, which is kept and named in a warning.
class SideNames {
public:
    explicit SideNames(const ExportFiles& files) : m_files(files) {}
    void Reserve(const std::string& name) { m_used.insert(Lower(name)); }

    // The name to write `bytes` under; with no bytes (the buffer, made
    // afresh for this scene) any file there but a picture is replaced.
    std::string Choose(const std::string& wanted, const std::string* bytes, std::vector<std::string>& warnings)
    {
        const std::size_t dot = wanted.find_last_of('.');
        const std::string stem = dot == std::string::npos ? wanted : wanted.substr(0, dot);
        const std::string ext = dot == std::string::npos ? std::string() : wanted.substr(dot);
        std::vector<std::string> kept;
        for (int n = 1;; ++n) {
            const std::string name = n == 1 ? wanted : stem + "_" + std::to_string(n) + ext;
            if (m_used.count(Lower(name))) continue;
            // A picture the scene reads is passed over without a word,
            // unless it is the very picture to write.
            const bool free = bytes ? m_files.CanTake(name, *bytes) : !m_files.Protects(name);
            if (!free) {
                if (bytes && !m_files.Protects(name)) kept.push_back(name);
                continue;
            }
            m_used.insert(Lower(name));
            for (const std::string& k : kept)
                warnings.push_back(m_files.Folder() + k + ": a different file is there already; it is kept and " +
                                   name + " is written instead");
            return name;
        }
    }

private:
    const ExportFiles& m_files;
    std::set<std::string> m_used;
};

// A producer that writes `bytes` as they are.
std::function<void(ByteSink&)> Bytes(const void* bytes, std::size_t size)
{
    return [bytes, size](ByteSink& sink) { sink.Write(static_cast<const char*>(bytes), size); };
}

ExportResult Failure(std::string error)
{
    ExportResult r;
    r.error = std::move(error);
    return r;
}

// tinygltf writes the container to a std::ostream; this one passes every
// byte on to an atomic file write, which detects the write errors.
class SinkBuffer final : public std::streambuf {
public:
    explicit SinkBuffer(ByteSink& sink) : m_sink(sink) {}

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        m_sink.Write(s, static_cast<std::size_t>(n));
        return n;
    }
    int_type overflow(int_type c) override
    {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            const char ch = traits_type::to_char_type(c);
            m_sink.Write(&ch, 1);
        }
        return traits_type::not_eof(c);
    }

private:
    ByteSink& m_sink;
};

ExportResult WriteGlb(gltf::Document& doc, const std::string& path)
{
    // The container's lengths are 32-bit (tinygltf would let them wrap);
    // leave room for the JSON chunk.
    const std::size_t bytes = doc.model.buffers.empty() ? 0 : doc.model.buffers[0].data.size();
    if (bytes > std::uint64_t{0xFFFFFFFF} - (std::uint64_t{64} << 20))
        return Failure(path + ": the scene's " + std::to_string(bytes) +
                       " bytes of geometry do not fit a .glb (4 GiB at most); write .gltf instead");
    PendingFile file;
    bool written = false;
    const WriteResult w = file.Prepare(path, [&](ByteSink& sink) {
        SinkBuffer buffer(sink);
        std::ostream out(&buffer);
        tinygltf::TinyGLTF gltf;
        gltf.SetImageWriter(nullptr, nullptr);
        written = gltf.WriteGltfSceneToStream(&doc.model, out, false, true);
    });
    if (!w.ok) return Failure(w.error);
    if (!written) return Failure(path + ": tinygltf could not write the scene");
    const WriteResult c = file.Commit();
    if (!c.ok) return Failure(c.error);
    ExportResult r;
    r.ok = true;
    return r;
}

// The .gltf, its .bin and its pictures go in all or none, as every
// export's side files do.
ExportResult WriteSeparate(const CKinovela& scene, gltf::Document& doc, const std::string& path,
                           const TextureSearch& textures)
{
    ExportResult r;
    const std::string folder = FolderOf(path);
    ExportFiles files(folder, TextureSources(scene, textures));
    SideNames names(files);
    names.Reserve(path.substr(folder.size()));
    // The buffer is written from here, not copied into the JSON writer.
    std::vector<unsigned char> data;
    if (!doc.model.buffers.empty()) data.swap(doc.model.buffers[0].data);
    std::string binName;
    if (!doc.model.buffers.empty())
        binName = names.Choose(gltf::SafeFileName(BaseName(path)) + ".bin", nullptr, r.warnings);
    std::vector<std::pair<std::string, const std::string*>> pictures;
    for (gltf::Picture& p : doc.separatePictures) {
        const std::string name = names.Choose(p.fileName, &p.bytes, r.warnings);
        doc.model.images[static_cast<std::size_t>(p.image)].uri = name;
        pictures.emplace_back(name, &p.bytes);
    }

    const std::string jsonText = DocumentJson(doc.model, data, binName);
    if (!files.AddMain(path, Bytes(jsonText.data(), jsonText.size()), r, jsonText.size())) return r;
    if (!binName.empty() && !files.AddSide(binName, Bytes(data.data(), data.size()), r, true)) return r;
    for (const auto& [name, bytes] : pictures)
        if (!files.AddBytes(name, *bytes, r)) return r;
    if (!files.Commit(r)) return r;
    r.ok = true;
    return r;
}

}  // namespace

ExportResult WriteGltfFile(const CKinovela& scene, const CTimeline& t, const std::string& path,
                           const GltfOptions& options, const TextureSearch& textures)
{
    if (!(options.scale > 0.0f) || !std::isfinite(options.scale))
        return Failure("the scale of a glTF export must be a positive number");
    ExportProgress progress(options.progress, scene, options.animation, t.m_last);
    ExportResult r;
    try {
        gltf::Document doc =
            gltf::BuildDocument(scene, t, options, options.binary || options.embedTextures, progress);
        r = options.binary ? WriteGlb(doc, path) : WriteSeparate(scene, doc, path, textures);
        r.warnings.insert(r.warnings.begin(), doc.warnings.begin(), doc.warnings.end());
    } catch (const std::bad_alloc&) {
        return Failure(path + ": out of memory");
    } catch (const std::exception& e) {
        return Failure(path + ": " + e.what());
    }
    if (r.ok) progress.Finish();
    return r;
}

}  // namespace kinovela
