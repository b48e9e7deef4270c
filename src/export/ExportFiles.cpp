#include "export/ExportFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "common/Paths.h"
#include "common/TextCodec.h"

namespace kinovela {

namespace {

bool IdOf(const std::string& path, FileId& id)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

std::string WithSlash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    return folder;
}

// The data did not fit (a full disk, a quota, the file-size limit) or could
// not be stored: no part of the export can be trusted to be written.
bool DiskRefused(int err) { return err == ENOSPC || err == EDQUOT || err == EFBIG || err == EIO; }

// The contents of the regular file at `path` (through a link) when it holds
// at most `limit` bytes; nothing when it is missing, larger, unreadable or
// not a regular file.
std::optional<std::string> FileUpTo(const std::string& path, std::size_t limit)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > limit)
        return std::nullopt;
    std::string data, error;
    if (!ReadWholeFile(path, data, error) || data.size() > limit) return std::nullopt;
    return data;
}

}  // namespace

std::set<FileId> TextureSources(const CKinovela& scene, const TextureSearch& search)
{
    std::vector<std::string> places;
    for (const std::string& f : search.firstFolders) places.push_back(WithSlash(f));
    places.push_back(ProgramTextureFolder());
    for (const std::string& f : search.documentFolders) {
        places.push_back(WithSlash(f));
        places.push_back(WithSlash(f) + "TEXTURE/");
    }
    std::set<std::string> names;
    std::set<FileId> ids;
    for (const CMaterial& m : scene.m_materials) {
        for (const std::string* n : {&m.m_texture, &m.m_alphaPlane, &m.m_bump})
            if (!n->empty()) names.insert(NameAsPath(*n));
        FileId id;
        if (!m.m_imagePath.empty() && IdOf(m.m_imagePath, id)) ids.insert(id);
    }
    for (const std::string& n : names)
        for (const std::string& place : places) {
            FileId id;
            if (IdOf(place + n, id)) ids.insert(id);
        }
    return ids;
}

ExportFiles::ExportFiles(std::string folder, std::set<FileId> sources)
    : m_folder(std::move(folder)), m_sources(std::move(sources))
{
}

ExportFiles::~ExportFiles()
{
    m_files.clear();  // removes every temporary that was not put in place
    // A folder made for nothing (all of an export that failed, or a side
    // file skipped after all) goes again; one that holds files stays.
    for (auto it = m_madeFolders.rbegin(); it != m_madeFolders.rend(); ++it) ::rmdir(it->c_str());
}

bool ExportFiles::AddMain(const std::string& path, const std::function<void(ByteSink&)>& produce,
                          ExportResult& result, std::uint64_t expectedSize)
{
    auto file = std::make_unique<PendingFile>();
    const WriteResult w = file->Prepare(path, produce, expectedSize);
    if (!w.ok) {
        result.error = w.error;
        return false;
    }
    m_files.push_back({std::move(file), true});
    // No side file added later takes its place.
    if (path.compare(0, m_folder.size(), m_folder) == 0) m_sideNames.insert(path.substr(m_folder.size()));
    return true;
}

ExportFiles::Outcome ExportFiles::PlaceSide(const std::string& name, std::string& why)
{
    const std::string shown = m_folder + Cp932ToUtf8(name);
    if (!m_sideNames.insert(name).second) {
        why = shown + ": written already for another name of this export; not written again";
        return Outcome::Skipped;
    }
    // Each folder of the name must be a real folder inside the output
    // folder: a link would lead the file out of it.
    for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1)) {
        const std::string folder = m_folder + name.substr(0, slash);
        struct stat st{};
        if (::lstat(folder.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) continue;
            why = shown + " not written: " + m_folder + Cp932ToUtf8(name.substr(0, slash)) +
                  (S_ISLNK(st.st_mode) ? " is a symbolic link" : " is not a folder");
            return Outcome::Skipped;
        }
        if (errno != ENOENT || ::mkdir(folder.c_str(), 0777) != 0) {
            why = shown + " not written: cannot make its folder: " + std::strerror(errno);
            return Outcome::Skipped;
        }
        m_madeFolders.push_back(folder);
    }
    return Outcome::Prepared;
}

ExportFiles::Outcome ExportFiles::Prepare(const std::string& name, std::uint64_t size,
                                          const std::function<void(ByteSink&)>& produce, std::string& why)
{
    auto file = std::make_unique<PendingFile>();
    const WriteResult w = file->PrepareReplacing(m_folder + name, produce, size);
    if (w.ok) {
        m_files.push_back({std::move(file), false});
        return Outcome::Prepared;
    }
    if (DiskRefused(w.errorNumber)) {
        why = w.error;
        return Outcome::Refused;
    }
    why = "cannot write " + m_folder + Cp932ToUtf8(name) + ": " +
          (w.errorNumber ? std::string(std::strerror(w.errorNumber)) : w.error);
    return Outcome::Skipped;
}

ExportFiles::Outcome ExportFiles::Side(const std::string& name, const std::function<void(ByteSink&)>& produce,
                                       std::string& why)
{
    const Outcome placed = PlaceSide(name, why);
    if (placed != Outcome::Prepared) return placed;
    FileId id;
    if (IdOf(m_folder + name, id) && m_sources.count(id)) {
        why = m_folder + Cp932ToUtf8(name) + ": a texture is read from this file; it is kept";
        return Outcome::Skipped;
    }
    return Prepare(name, 0, produce, why);
}

ExportFiles::There ExportFiles::Compare(const std::string& name, std::string_view data) const
{
    const std::string path = m_folder + name;
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) return There::Nothing;
    const bool link = S_ISLNK(st.st_mode);
    if (!link && !S_ISREG(st.st_mode)) return There::Other;
    const std::optional<std::string> old = FileUpTo(path, data.size());
    if (old && *old == data) return There::Same;
    // A link is replaced, not followed; a file the copy begins with is an
    // earlier copy cut short, unless a texture is read from it.
    const bool cutShort = old && data.compare(0, old->size(), *old) == 0 && !Protects(name);
    return link || cutShort ? There::Ours : There::Different;
}

bool ExportFiles::Protects(const std::string& name) const
{
    FileId id;
    return IdOf(m_folder + name, id) && m_sources.count(id) != 0;
}

bool ExportFiles::CanTake(const std::string& name, std::string_view data) const
{
    if (m_sideNames.count(name)) return false;
    const There there = Compare(name, data);
    return there == There::Nothing || there == There::Same || there == There::Ours;
}

ExportFiles::Outcome ExportFiles::CopyBytes(const std::string& name, std::string_view data, std::string& why)
{
    const std::string shown = m_folder + Cp932ToUtf8(name);
    switch (Compare(name, data)) {
    case There::Same: return Outcome::Prepared;  // the same picture
    case There::Other: why = shown + " not copied: something else is there"; return Outcome::Skipped;
    case There::Different:
        why = shown + ": a different file is there already; it is kept and the texture is not copied";
        return Outcome::Skipped;
    case There::Nothing:
    case There::Ours: break;
    }
    return Prepare(name, data.size(), [data](ByteSink& sink) { sink.Write(data.data(), data.size()); }, why);
}

ExportFiles::Outcome ExportFiles::Copy(const std::string& name, const std::string& source, std::string& why)
{
    const Outcome placed = PlaceSide(name, why);
    if (placed != Outcome::Prepared) return placed;
    FileId there{}, from{};
    if (IdOf(m_folder + name, there) && IdOf(source, from) && there == from)
        return Outcome::Prepared;  // exported beside the picture itself
    std::string data, error;
    if (!ReadWholeFile(source, data, error)) {
        why = m_folder + Cp932ToUtf8(name) + " not copied: " + error;
        return Outcome::Skipped;
    }
    return CopyBytes(name, data, why);
}

bool ExportFiles::AddSide(const std::string& name, const std::function<void(ByteSink&)>& produce,
                          ExportResult& result, bool required)
{
    std::string why;
    const Outcome o = Side(name, produce, why);
    if (o == Outcome::Refused || (o == Outcome::Skipped && required)) {
        result.error = why;
        return false;
    }
    if (o == Outcome::Skipped) result.warnings.push_back(why);
    return true;
}

bool ExportFiles::Copied(Outcome o, const std::string& why, ExportResult& result)
{
    if (o == Outcome::Refused) {
        result.error = why;
        return false;
    }
    if (o == Outcome::Skipped) result.warnings.push_back(why);
    return true;
}

bool ExportFiles::AddCopy(const std::string& name, const std::string& source, ExportResult& result)
{
    std::string why;
    const Outcome o = Copy(name, source, why);
    return Copied(o, why, result);
}

bool ExportFiles::AddBytes(const std::string& name, std::string_view data, ExportResult& result)
{
    std::string why;
    Outcome o = PlaceSide(name, why);
    if (o == Outcome::Prepared) o = CopyBytes(name, data, why);
    return Copied(o, why, result);
}

bool ExportFiles::Commit(ExportResult& result)
{
    for (const bool main : {false, true})
        for (Entry& e : m_files) {
            if (e.main != main) continue;
            const WriteResult w = e.file->Commit();
            if (!w.ok) {
                result.error = w.error;
                return false;
            }
        }
    return true;
}

}  // namespace kinovela
