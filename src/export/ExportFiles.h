// Every file of one export, written all or none. Each file is prepared
// beside its place (a temporary file, flushed), and Commit puts them all in
// place only once every one is complete. An ExportFiles that is destroyed
// without a Commit removes what it prepared and the folders it made, so an
// export that fails part way (a full disk) leaves the output folder as it
// was.
//
// Side files are the files named after the scene: texture copies and
// conversions, per-model files, the fixed-name scene description. They stay
// inside the output folder; a symbolic link at their place is replaced
// instead of followed, so nothing outside the folder is ever written; and
// none of them replaces a picture the scene's textures are read from.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/AtomicFile.h"
#include "export/ExportCommon.h"
#include "image/Textures.h"

namespace kinovela {

// The identity of a file (device, inode), to tell whether two paths name
// the same one.
using FileId = std::pair<dev_t, ino_t>;

// The files the scene's pictures were decoded from, and every file the
// texture search could take for a texture, alpha plane or bump map of the
// scene (each place it looks, not only the first hit, since an earlier
// export can leave a file that shadows the one that was loaded).
std::set<FileId> TextureSources(const CKinovela& scene, const TextureSearch& search);

class ExportFiles {
public:
    // `folder`: the output folder with a trailing '/' ("" for the current
    // one); side file names are taken inside it. `sources`: files no side
    // file may replace.
    explicit ExportFiles(std::string folder, std::set<FileId> sources = {});
    ~ExportFiles();
    ExportFiles(const ExportFiles&) = delete;
    ExportFiles& operator=(const ExportFiles&) = delete;

    // A file the user named: a symbolic link there is followed, as a save
    // follows it. False with the reason in result.error. Side files added
    // afterwards never take its name.
    bool AddMain(const std::string& path, const std::function<void(ByteSink&)>& produce, ExportResult& result,
                 std::uint64_t expectedSize = 0);

    // A side file at `name` inside the folder ('/' separates subfolders,
    // which are made), replacing what is there. A side file that cannot be
    // made (a name the folder cannot take, a texture in its place) is a
    // warning and the export goes on; false, with result.error, only when
    // the disk refuses the data (full, over quota or the file-size limit,
    // an I/O error): then the whole export must fail. A `required` side file
    // that cannot be made fails the export as well.
    bool AddSide(const std::string& name, const std::function<void(ByteSink&)>& produce, ExportResult& result,
                 bool required = false);

    // A copy of the file `source` at `name`, the same way. A file already
    // there is never replaced when it differs: one with the same contents
    // (the source itself, when exporting into its folder) is left as it is,
    // one that the copy begins with (an earlier copy cut short) is replaced
    // unless a texture is read from it, any other is kept with a warning. A symbolic link there is compared by
    // what it points to and replaced when that differs.
    bool AddCopy(const std::string& name, const std::string& source, ExportResult& result);

    // The bytes `data` (a picture made for the export) at `name`, by the
    // rule AddCopy follows for what is there already.
    bool AddBytes(const std::string& name, std::string_view data, ExportResult& result);

    // Whether `data` would go to `name` by that rule, or is there already,
    // so that a writer free to choose its names can take another one
    // instead of leaving its file out. A file a texture is read from is
    // taken only when it holds these very bytes.
    bool CanTake(const std::string& name, std::string_view data) const;

    // Whether a texture is read from the file at `name`: no side file
    // replaces it.
    bool Protects(const std::string& name) const;

    // Puts every prepared file in place, the side files first, so that a
    // reader of a main file finds them. False with the reason in
    // result.error when a file cannot be put in place.
    bool Commit(ExportResult& result);

    const std::string& Folder() const { return m_folder; }

private:
    struct Entry {
        std::unique_ptr<PendingFile> file;
        bool main = false;
    };
    enum class Outcome { Prepared, Skipped, Refused };
    // Skipped, with the reason, when `name` cannot be a side file here: an
    // earlier side file of this export took it, or one of its folders is a
    // link or a file. Makes the missing folders.
    Outcome PlaceSide(const std::string& name, std::string& why);
    Outcome Side(const std::string& name, const std::function<void(ByteSink&)>& produce, std::string& why);
    Outcome Copy(const std::string& name, const std::string& source, std::string& why);
    Outcome CopyBytes(const std::string& name, std::string_view data, std::string& why);
    // What is at `name` for a copy of `data`.
    enum class There { Nothing, Same, Ours, Different, Other };
    There Compare(const std::string& name, std::string_view data) const;
    // A copy's outcome told: false for a refusal, a warning for a skip.
    static bool Copied(Outcome o, const std::string& why, ExportResult& result);
    Outcome Prepare(const std::string& name, std::uint64_t size, const std::function<void(ByteSink&)>& produce,
                    std::string& why);

    std::string m_folder;
    std::set<FileId> m_sources;
    std::vector<Entry> m_files;
    std::set<std::string> m_sideNames;
    std::vector<std::string> m_madeFolders;  // in the order made
};

}  // namespace kinovela
