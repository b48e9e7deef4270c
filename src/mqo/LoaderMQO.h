// Import of Metasequoia text documents ("Format Text Ver 1.0" and the 1.1
// that Metasequoia 4 writes) into a scene: every material line becomes a
// CMaterial, every Object chunk with at least one polygon becomes a CModel
// with its mesh, mirror copies, pivot, parent link and a fresh frame list.
// Everything else in the document is skipped. Names are stored as Shift_JIS
// bytes; a document that says "CodePage utf8" has its names converted.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "common/Progress.h"
#include "mqo/StringSeparator.h"
#include "scene/Kinovela.h"

namespace kinovela {

// The loader's failure codes.
enum MqoError : int {
    kMqoOk = 0,
    kMqoSyntax = -1,       // a chunk line without '{', a bad face line, a binary block that cannot be stepped over
    kMqoEndOfFile = -2,    // the file ends inside a block
    kMqoNotMqo = -3,       // the first line is not "Metasequoia Document"
    kMqoBadFormat = -4,    // the second line is not "Format Text Ver 1.0" or "... 1.1"
    kMqoCannotOpen = -5,   // the file could not be opened (no loader ran)
    kMqoSceneFull = -6,    // the scene's id counters cannot grow any further
};

struct MqoImportResult {
    bool ok = false;
    int code = kMqoOk;
    std::uint64_t line = 0;  // line of the failure (1-based), 0 when none
    std::string message;     // what failed and where
    // Damage the loader noticed and stepped over ("line N: ..."); names in
    // them are Shift_JIS like the names in the scene.
    std::vector<std::string> warnings;
    std::string formatVersion;  // "1.0" or "1.1"; empty when the header was not read
    std::string codePage;       // "932" or "utf8"; empty when the header was not read
    std::size_t firstNewModel = 0;  // index of the first model this import added
    std::size_t modelsAdded = 0;
};

class LoaderMQO {
public:
    // `file` is opened "rb" by the caller and closed by it after the loader
    // is gone. New models get `parentIndex`'s model as parent (none when
    // negative); material ids start at `materialBase`.
    LoaderMQO(CKinovela& scene, const CTimeline& timeline, std::FILE* file, int parentIndex, int materialBase,
              const ProgressFn& progress = {});

    // 0 on success or one of the negative MqoError codes. Models and
    // materials completed before a failure stay in the scene; the model whose
    // chunk was being read is removed.
    int Load();

    std::uint64_t LineNumber() const { return m_tokens.LineNumber(); }
    std::string_view FailureReason() const { return m_reason; }
    std::size_t DroppedFaces() const { return m_droppedFaces; }
    // The warnings, with a closing count for each kind that was cut short.
    std::vector<std::string> Warnings() const;
    const char* FormatVersion() const { return m_version; }
    bool Utf8() const { return m_utf8; }

private:
    // Kinds of warning: each kind reports its first few lines one by one and
    // then only counts, so a badly damaged file gives a readable list.
    enum WarningKind { kCountDiffers, kUnreadableFace, kStrayBrace, kNameReplaced, kWideFace, kOtherWarning, kWarningKinds };

    int ReadLine();
    [[noreturn]] void Fail(int code, std::string reason);
    void Warn(WarningKind kind, std::uint64_t line, const std::string& text);
    void CheckCount(const char* what, int announced, std::uint64_t read, std::uint64_t line);
    // A name as the scene stores it: Shift_JIS, converted from UTF-8 in a
    // document that says so. `replaced` tells whether a character Shift_JIS
    // cannot hold became '?'.
    std::string Name(std::string_view raw, const char* what, bool* replaced = nullptr);
    void ReadCodePage();

    void ReadHeader();
    void ReadChunks();
    bool ReadMaterials();
    void ReadObjectChunk();
    bool ReadObject(CModel& model);
    bool ReadVertices(CModel& model);
    bool ReadFaces(CModel& model);
    void SkipChunk(int count);
    void SkipBinary(int count);
    bool BuildMesh(CModel& model);

    CKinovela& m_scene;
    const CTimeline& m_timeline;
    AsciiFileString m_tokens;
    int m_parentIndex;
    int m_materialBase;
    ProgressThrottle m_progress;
    std::string m_reason;
    std::size_t m_droppedFaces = 0;
    std::vector<std::string> m_warnings;
    std::uint64_t m_warningCounts[kWarningKinds] = {};
    const char* m_version = "";
    bool m_utf8 = false;
    std::string m_objectName;  // the object being read, for messages (control characters escaped)
};

// Imports the document at `path` into the scene (the scene's LoadMQO): runs
// the loader, adds a default material when the scene has none, resolves the
// new models' parent links and updates colours, boxes, normals and the
// hierarchy walk. `ok` is false when the file cannot be opened or the loader
// failed; what was read before a failure stays.
MqoImportResult LoadMQO(CKinovela& scene, const CTimeline& timeline, const std::string& path, int parentIndex,
                        const ProgressFn& progress = {});
// The same over an open stream (for tests and fuzzing).
MqoImportResult LoadMQOStream(CKinovela& scene, const CTimeline& timeline, std::FILE* file, int parentIndex,
                              const std::string& displayName, const ProgressFn& progress = {});

}  // namespace kinovela
