// Stand-ins for the editor's windows, for a document that runs without a
// display (command scripts, tests). They react to the update hints the way
// the hierarchy tree, the 3D view and the control bar do, in so far as the
// reaction changes the scene or the timeline.
#pragma once

#include <string>

#include "document/KinoDoc.h"

namespace kinovela {

// The hierarchy tree: clears the selection when a document starts and when
// the model list or the hierarchy changed, and rebuilds the walk whenever
// the tree would be rebuilt.
class HeadlessTree final : public IKinoView {
public:
    explicit HeadlessTree(CKinovela& scene) : m_scene(scene) {}
    void OnUpdate(int hint) override;

private:
    CKinovela& m_scene;
};

// The 3D view with the control bar's fields: typed values reach the scene
// through the same hints as in the editor.
class HeadlessControls final : public IKinoView {
public:
    explicit HeadlessControls(CKinoDoc& doc) : m_doc(doc) {}
    void OnUpdate(int hint) override;

    // What the user typed into the fields before leaving them.
    CVector m_vectorField;
    int m_currentFrameField = 0;
    int m_lastFrameField = 60;
    std::string m_fpsField = "30";

private:
    float ReadFrameRate() const;

    CKinoDoc& m_doc;
};

}  // namespace kinovela
