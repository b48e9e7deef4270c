#include "document/HeadlessViews.h"

#include <algorithm>
#include <cmath>

#include "common/Numbers.h"

namespace kinovela {

void HeadlessTree::OnUpdate(int hint)
{
    switch (hint) {
    case kHintFirstNew:
    case kHintNew: m_scene.m_selected = kNoModel; break;
    case kHintOpened:
    case kHintModelsChanged:
    case kHintReparented:
        m_scene.m_selected = kNoModel;
        m_scene.RebuildHierarchyWalk();
        break;
    case kHintHistory: m_scene.RebuildHierarchyWalk(); break;
    default: break;
    }
}

float HeadlessControls::ReadFrameRate() const
{
    return SaneFrameRate(static_cast<float>(ParseAtof(m_fpsField)));
}

void HeadlessControls::OnUpdate(int hint)
{
    CKinovela& scene = m_doc.Scene();
    CTimeline& t = m_doc.Timeline();
    switch (hint) {
    case kHintNew:
    case kHintOpened:
    case kHintFrames:
        // The control bar shows the frame range and rate again.
        m_lastFrameField = t.m_last;
        m_fpsField = std::to_string(t.m_fps);
        if (hint == kHintOpened) t.m_playing = 0;
        break;
    case kHintVectorEdited:
        if (m_doc.m_transformMode == 0)
            scene.SetPosition(t, m_vectorField);
        else if (m_doc.m_transformMode == 1)
            scene.SetRotation(t, m_vectorField);
        else
            scene.SetScale(t, m_vectorField);
        break;
    case kHintLastFrame: scene.SetLastFrame(t, m_lastFrameField); break;
    case kHintFps:
    case kHintFpsWhilePlaying: t.m_fps = ReadFrameRate(); break;
    case kHintPlay:
        t.m_fps = ReadFrameRate();
        t.m_playing = 1;
        break;
    case kHintCurrentFrameEdited:
        // The slider clamps the typed frame to its range.
        t.m_current = std::clamp(m_currentFrameField, 0, t.m_last);
        t.m_playing = 0;
        break;
    case kHintModelsChanged:
    case kHintReparented:
    case kHintNavigated:
    case kHintStop: t.m_playing = 0; break;
    default: break;
    }
}

}  // namespace kinovela
