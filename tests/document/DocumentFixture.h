// A document with the editor's headless views and a recording view, and a
// .mqo of three one-triangle models a, b, c to load into it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TestUtil.h"
#include "document/HeadlessViews.h"
#include "document/KinoDoc.h"
#include "scene/NativeFile.h"

namespace kinovela::test {

using Hints = std::vector<int>;

class RecordingView final : public IKinoView {
public:
    void OnUpdate(int hint) override { hints.push_back(hint); }
    Hints Take() { return std::exchange(hints, {}); }
    Hints hints;
};

inline const std::string kThreeModels = Mqo(MqoObject("a", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)") +
                                            MqoObject("b", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)") +
                                            MqoObject("c", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)"));

class DocumentFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc.AddView(&tree);
        doc.AddView(&controls);
        doc.AddView(&view);
        doc.OnNewDocument();
        mqo = dir.File("three.mqo");
        WriteFile(mqo, kThreeModels);
        view.Take();
    }
    // The document with three models a, b, c (from a .mqo) and `selected`
    // selected.
    void Load(int selected = 0)
    {
        ASSERT_TRUE(doc.OnOpenDocument(mqo).ok);
        scene.m_selected = selected;
        view.Take();
    }
    CAnimation& Pose(int model, int frame)
    {
        return scene.m_models[static_cast<std::size_t>(model)].m_frames[static_cast<std::size_t>(frame)];
    }
    // What a left press and drag in move mode do to the selected model.
    void Drag(CVector by)
    {
        scene.PushUndoForSelection(t);
        scene.AddPosition(t, by);
        doc.SetModified(true);
    }
    // The scene as the native file has it.
    std::string Bytes() const { return SerializeNativeFile(scene, t); }

    TempDir dir;
    std::string mqo;
    CKinovela scene;
    CTimeline t;
    CKinoDoc doc{scene, t};
    HeadlessTree tree{scene};
    HeadlessControls controls{doc};
    RecordingView view;
};

}  // namespace kinovela::test
