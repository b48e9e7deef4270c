// What the exporters share: the result type, the product and maker lines,
// the identifiers models are written under, and the world matrices of the
// hierarchy walk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/Progress.h"
#include "export/TextFile.h"
#include "scene/Kinovela.h"

namespace kinovela {

struct ExportResult {
    bool ok = false;
    std::string error;  // why it failed (UTF-8), for logs and the CLI
    std::vector<std::string> warnings;
    // What to tell the user when the format has more than one failure
    // message; null for the format's own.
    const char* failureMessage = nullptr;

    const char* MessageOr(const char* formatMessage) const { return failureMessage ? failureMessage : formatMessage; }
};

// How far an export has come, in units the scene gives before anything is
// written: a model's faces plus its vertices for its mesh, and frames 0..last
// for its animation when the file has one. Units follow the scene, not the
// lines written (a face a format drops still counts), so that the total is
// known up front and each model adds the same amount whichever writer runs.
// A model is counted once however often a damaged walk reaches it; one the
// writer leaves out is made up by Finish. A scene with nothing to count has
// total 0 and its only report is Finish's (0, 0), which the editor shows as
// complete.
class ExportProgress {
public:
    // `last` is the last frame the animation writes; without one the frames
    // count nothing.
    ExportProgress(const ProgressFn& fn, const CKinovela& scene, bool animated, int last);
    void MeshDone(std::size_t model);
    void AnimationDone(std::size_t model);
    void MeshAndAnimationDone(std::size_t model)
    {
        MeshDone(model);
        AnimationDone(model);
    }
    // Only after the files are in place: done == total is "written".
    void Finish() { m_throttle.Finish(); }

private:
    void Add(std::uint64_t units);

    const CKinovela& m_scene;
    std::uint64_t m_frames;
    std::uint64_t m_done = 0;
    std::vector<char> m_meshCounted, m_animationCounted;
    ProgressThrottle m_throttle;
};

// "// Kinovela 6.6" and the three maker lines, in the comment syntax given
// (for example "// ", "# ", "; "), the last followed by an empty line.
void WriteProductLines(TextFile& out, std::string_view comment);

// The names models are written under: as stored, or with --safe-names every
// byte outside [A-Za-z0-9_] (and a leading digit) replaced by '_', made
// unique with a numeric suffix.
std::vector<std::string> ExportNames(const CKinovela& scene, bool safeNames);

// The row-vector key matrix of a pose: right-handed
//   S(scale) * RotX(rx) * RotY(ry) * RotZ(rz) * T(s * position),
// left-handed with X and Y angles and the Z translation negated.
Matrix4 KeyMatrix(const CAnimation& pose, float scale, bool leftHanded);

// For every frame 0..last and every model, the matrix the hierarchy walk
// with the matrix stack leaves at the model's leave event:
//   K(f) * T(p') * (the same for its ancestors), p' = pivot * scale
// (z negated when left-handed). Models the walk does not reach get their own
// chain as if they were top-level. Row f * modelCount + model.
std::vector<Matrix4> WalkMatrices(const CKinovela& scene, int last, float scale, bool leftHanded,
                                  std::vector<bool>* inWalk = nullptr);

// The base name of a path: after the last '/' or '\', before the last '.'.
std::string BaseName(std::string_view path);

// The folder of a path ("" for a bare name), with a trailing '/'.
std::string FolderOf(std::string_view path);

// A file name built from a model or texture name that stays inside the
// output folder: '\' becomes '/', and a name that is absolute or has a ".."
// component keeps only its last component; characters that cannot be in a
// file name ("" or ".") become '_'.
std::string FileNameInside(std::string_view name);

}  // namespace kinovela
