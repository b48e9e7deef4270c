#include "export/GltfWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <streambuf>

#include <nlohmann/json.hpp>

#include "export/GltfScene.h"

namespace kinovela {

namespace {

namespace fs = std::filesystem;

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

bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

// File names beside the .gltf: unique (ignoring case, for the systems that
// do), never the name of a picture the scene reads unless the picture is
// that very file.
class SideNames {
public:
    SideNames(const CKinovela& scene, std::string folder) : m_folder(std::move(folder))
    {
        for (const CMaterial& m : scene.m_materials)
            if (!m.m_imagePath.empty()) m_sources.push_back(m.m_imagePath);
    }
    void Reserve(const std::string& name) { m_used.insert(Lower(name)); }

    // The name to write a file under; `asIs` becomes true when the file
    // already there is `source` itself, which is then referred to, not
    // written.
    std::string Choose(const std::string& wanted, const std::string& source, bool& asIs)
    {
        asIs = false;
        const std::size_t dot = wanted.find_last_of('.');
        const std::string stem = dot == std::string::npos ? wanted : wanted.substr(0, dot);
        const std::string ext = dot == std::string::npos ? std::string() : wanted.substr(dot);
        for (int n = 1;; ++n) {
            const std::string name = n == 1 ? wanted : stem + "_" + std::to_string(n) + ext;
            if (m_used.count(Lower(name))) continue;
            const std::string path = m_folder + name;
            if (!source.empty() && SameFile(path, source)) {
                asIs = true;
            } else if (std::any_of(m_sources.begin(), m_sources.end(),
                                   [&](const std::string& s) { return SameFile(path, s); })) {
                continue;
            }
            m_used.insert(Lower(name));
            return name;
        }
    }

private:
    std::string m_folder;
    std::vector<std::string> m_sources;
    std::set<std::string> m_used;
};

WriteResult WriteBytes(PendingFile& file, const std::string& path, const void* data, std::size_t size)
{
    return file.Prepare(path, [&](ByteSink& sink) { sink.Write(static_cast<const char*>(data), size); }, size);
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

ExportResult WriteSeparate(const CKinovela& scene, gltf::Document& doc, const std::string& path)
{
    const std::string folder = FolderOf(path);
    SideNames names(scene, folder);
    names.Reserve(path.substr(folder.size()));
    // The buffer is written from here, not copied into the JSON writer.
    std::vector<unsigned char> data;
    if (!doc.model.buffers.empty()) data.swap(doc.model.buffers[0].data);
    std::string binName;
    if (!doc.model.buffers.empty()) {
        bool unused = false;
        binName = names.Choose(gltf::SafeFileName(BaseName(path)) + ".bin", {}, unused);
    }
    struct Side {
        std::string name;
        const std::string* bytes;
    };
    std::vector<Side> pictures;
    for (gltf::Picture& p : doc.separatePictures) {
        bool asIs = false;
        const std::string name = names.Choose(p.fileName, p.sourcePath, asIs);
        doc.model.images[static_cast<std::size_t>(p.image)].uri = name;
        if (!asIs) pictures.push_back({name, &p.bytes});
    }

    const std::string jsonText = DocumentJson(doc.model, data, binName);

    // Every file is prepared before any is put in place.
    std::vector<std::unique_ptr<PendingFile>> files;
    auto prepare = [&](const std::string& file, const void* bytes, std::size_t size) {
        files.push_back(std::make_unique<PendingFile>());
        return WriteBytes(*files.back(), file, bytes, size);
    };
    WriteResult w = prepare(path, jsonText.data(), jsonText.size());
    if (w.ok && !binName.empty()) w = prepare(folder + binName, data.data(), data.size());
    for (std::size_t i = 0; w.ok && i < pictures.size(); ++i)
        w = prepare(folder + pictures[i].name, pictures[i].bytes->data(), pictures[i].bytes->size());
    if (!w.ok) return Failure(w.error);
    for (auto& f : files) {
        const WriteResult c = f->Commit();
        if (!c.ok) return Failure(c.error);
    }
    ExportResult r;
    r.ok = true;
    return r;
}

}  // namespace

ExportResult WriteGltfFile(const CKinovela& scene, const CTimeline& t, const std::string& path,
                           const GltfOptions& options)
{
    if (!(options.scale > 0.0f) || !std::isfinite(options.scale))
        return Failure("the scale of a glTF export must be a positive number");
    ExportProgress progress(options.progress, scene, options.animation, t.m_last);
    ExportResult r;
    try {
        gltf::Document doc =
            gltf::BuildDocument(scene, t, options, options.binary || options.embedTextures, progress);
        r = options.binary ? WriteGlb(doc, path) : WriteSeparate(scene, doc, path);
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
