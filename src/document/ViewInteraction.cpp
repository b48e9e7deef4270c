#include "document/ViewInteraction.h"

#include <cmath>
#include <cstdio>

#include "document/DocumentMessages.h"

namespace kinovela {

FrameRateMeter::FrameRateMeter(Clock clock) : m_clock(std::move(clock)) { Reset(); }

void FrameRateMeter::Reset()
{
    m_startTime = m_clock();
    m_elapsed = m_elapsedAtMeasure = m_frameCount = m_countAtMeasure = 0;
    m_lastRate = m_threshold = 0.0f;
}

void FrameRateMeter::Tick()
{
    ++m_frameCount;
    const std::uint32_t now = m_clock();
    const std::uint32_t t = now - m_startTime;
    if (t - m_elapsed > 1000 && t > m_elapsed) {
        // A pause longer than a second counts as one second.
        m_startTime = now - m_elapsed - 1000;
        m_elapsed += 1000;
    } else {
        m_elapsed = t;
    }
}

float FrameRateMeter::Measure(float fps)
{
    int n = static_cast<int>(fps);
    if (m_threshold < static_cast<float>(n)) n = static_cast<int>(std::floor(m_threshold));
    const std::uint32_t d = m_frameCount - m_countAtMeasure;
    if (n >= 0 && static_cast<std::uint32_t>(n) >= d) return -1.0f;
    const std::uint32_t span = m_elapsed - m_elapsedAtMeasure;
    // Frames drawn within the same millisecond have no rate yet (the plain
    // division would show an infinite one).
    if (span == 0) return -1.0f;
    const float rate = static_cast<float>(d) * 999.0f / static_cast<float>(span);
    m_lastRate = rate;
    m_threshold = 2.0f * rate;
    m_elapsedAtMeasure = m_elapsed;
    m_countAtMeasure = m_frameCount;
    return rate;
}

ViewInteraction::ViewInteraction(CKinoDoc& doc, IViewHost& host, IViewControls& controls, FrameRateMeter& meter)
    : m_doc(doc), m_host(host), m_controls(controls), m_meter(meter)
{
}

int ViewInteraction::TimerInterval(float fps)
{
    if (!(fps > 0.0f)) fps = 30.0f;
    // Above 1000 frames a second the truncated interval would be 0, which
    // some timers take as "as often as possible".
    return std::max(1, static_cast<int>(1.0f / fps * 1000.0f));
}

void ViewInteraction::ShowPositionOrCamera() { m_controls.ShowVector(m_doc.Scene().GetPosition(m_doc.Timeline())); }

void ViewInteraction::ShowByMode()
{
    const CKinovela& s = m_doc.Scene();
    const CTimeline& t = m_doc.Timeline();
    switch (m_doc.m_transformMode) {
    case 1: m_controls.ShowVector(s.GetRotation(t)); break;
    case 2: m_controls.ShowVector(s.GetScale(t)); break;
    default: m_controls.ShowVector(s.GetPosition(t)); break;
    }
}

void ViewInteraction::StopTimer()
{
    m_host.KillTimer();
    m_doc.Timeline().m_playing = 0;
}

void ViewInteraction::Play(float fps)
{
    m_doc.Timeline().m_fps = fps;
    m_host.StartTimer(TimerInterval(fps));
}

void ViewInteraction::BeginDrag(std::size_t mark)
{
    const CKinovela& s = m_doc.Scene();
    const CTimeline& t = m_doc.Timeline();
    m_dragMark = mark;
    m_dragModel = s.HasSelection() && s.m_models[static_cast<std::size_t>(s.m_selected)].HasFrame(t.m_current)
                      ? s.m_selected
                      : kNoModel;
    m_dragFrame = t.m_current;
    if (m_dragModel != kNoModel) m_dragPose = DragPose();
}

const CAnimation& ViewInteraction::DragPose() const
{
    const CModel& m = m_doc.Scene().m_models[static_cast<std::size_t>(m_dragModel)];
    return m.m_frames[static_cast<std::size_t>(m_dragFrame)];
}

void ViewInteraction::EndDrag()
{
    const CKinovela& s = m_doc.Scene();
    const CTimeline& t = m_doc.Timeline();
    // Only a drag that moved the model it began on counts as a pose edit.
    if (m_dragModel == kNoModel || s.m_selected != m_dragModel || t.m_current != m_dragFrame ||
        !s.m_models[static_cast<std::size_t>(m_dragModel)].HasFrame(m_dragFrame))
        return;
    if (SamePose(m_dragPose, DragPose())) return;
    m_dragModel = kNoModel;
    m_doc.FinishPoseEdit(m_dragMark);
}

void ViewInteraction::OnLeftDown(int x, int y)
{
    const bool first = !m_leftDown && !m_rightDown;
    if (first) m_host.CaptureMouse();
    m_leftDown = true;
    m_lastX = x;
    m_lastY = y;
    CKinovela& s = m_doc.Scene();
    const std::size_t mark = s.m_undo.Size();
    s.PushUndoForSelection(m_doc.Timeline());
    if (!m_rightDown && m_host.PickModel(x, y)) {
        m_doc.OnMouseModel();
        m_doc.UpdateAllViews(kHintSelection);
        s.PushUndoForSelection(m_doc.Timeline());
    }
    if (first) BeginDrag(mark);
}

void ViewInteraction::OnRightDown(int x, int y)
{
    const bool first = !m_leftDown && !m_rightDown;
    if (first) m_host.CaptureMouse();
    m_rightDown = true;
    m_lastX = x;
    m_lastY = y;
    const std::size_t mark = m_doc.Scene().m_undo.Size();
    m_doc.Scene().PushUndoForSelection(m_doc.Timeline());
    if (first) BeginDrag(mark);
}

void ViewInteraction::OnLeftUp()
{
    if (!m_rightDown) m_host.ReleaseMouse();
    m_leftDown = false;
    if (!m_rightDown) EndDrag();
}

void ViewInteraction::OnRightUp()
{
    if (!m_leftDown) m_host.ReleaseMouse();
    m_rightDown = false;
    if (!m_leftDown) EndDrag();
}

void ViewInteraction::OnMouseMove(int x, int y, const MouseState& keys)
{
    CKinovela& scene = m_doc.Scene();
    const CTimeline& t = m_doc.Timeline();
    CAnimation& camera = scene.m_camera.at(0);
    float dx = static_cast<float>(x - m_lastX);
    float dy = static_cast<float>(y - m_lastY);
    const float s = (dx - dy) / 10.0f;
    m_lastX = x;
    m_lastY = y;
    const bool leftOnly = m_leftDown && !m_rightDown, rightOnly = m_rightDown && !m_leftDown;
    const int target = m_doc.m_mouseTarget;

    auto turnCamera = [&] {
        const float ax = std::fabs(camera.m_rotation.m_x);
        const float h = ax > 90.0f && ax < 270.0f ? -dx : dx;  // reversed while upside down
        camera.m_rotation += CVector{dy, h, 0.0f};
        scene.WrapCameraAngles();
        m_controls.ShowVector(camera.m_rotation);
        m_host.Invalidate();
    };
    auto panCamera = [&](const CVector& by) {
        camera.m_position += by;
        ShowPositionOrCamera();
        m_host.Invalidate();
    };

    if (m_leftDown && m_rightDown) {
        panCamera({0.0f, 0.0f, dx - dy});
    } else if (keys.ctrl && m_rightDown) {
        turnCamera();
    } else if ((keys.ctrl && m_leftDown) || keys.middle) {
        panCamera({dx, -dy, 0.0f});
    } else if (target == 0 && leftOnly) {
        camera.m_position += CVector{dx, 0.0f, 0.0f};
        panCamera({0.0f, -dy, 0.0f});
    } else if (target == 0 && rightOnly) {
        turnCamera();
    } else if (target == 1 && m_leftDown) {
        // With X and Y both off nothing moves, but the drag still counts as
        // an edit (and redraws), as it always has.
        const int mode = m_doc.m_transformMode;
        if (!scene.m_axisX && !scene.m_axisY) {
            m_host.Invalidate();
            m_doc.SetModified(true);
            return;
        }
        if (!scene.m_axisX) (mode == 1 ? dy : dx) = 0.0f;
        if (!scene.m_axisY) (mode == 1 ? dx : dy) = 0.0f;
        CVector shown;
        if (mode == 0)
            shown = scene.AddPosition(t, {dx, -dy, 0.0f});
        else if (mode == 1)
            shown = scene.AddRotation(t, {dy, dx, 0.0f});
        else
            shown = scene.AddScale(t, keys.shift ? CVector{s, s, s} : CVector{dx / 10.0f, -dy / 10.0f, 0.0f});
        m_controls.ShowVector(shown);
        m_host.Invalidate();
        m_doc.SetModified(true);
    } else if (target == 1 && rightOnly && scene.m_axisZ) {
        const int mode = m_doc.m_transformMode;
        CVector shown;
        if (mode == 0)
            shown = scene.AddPosition(t, {0.0f, 0.0f, dy});
        else if (mode == 1)
            shown = scene.AddRotation(t, {0.0f, 0.0f, -dx});
        else
            shown = scene.AddScale(t, keys.shift ? CVector{s, s, s} : CVector{0.0f, 0.0f, -dy / 10.0f});
        m_controls.ShowVector(shown);
        m_host.Invalidate();
        m_doc.SetModified(true);
    }
}

void ViewInteraction::OnWheel(int delta)
{
    m_doc.Scene().m_camera.at(0).m_position.m_z += static_cast<float>(static_cast<std::int16_t>(delta));
    ShowPositionOrCamera();
    m_host.Invalidate();
}

void ViewInteraction::OnKey(ViewKey key)
{
    if (key == ViewKey::Other) return;
    CAnimation& camera = m_doc.Scene().m_camera.at(0);
    camera.m_position = {0.0f, 0.0f, camera.m_position.m_z};
    camera.m_rotation = key == ViewKey::F1 ? CVector{0.0f, -90.0f, 0.0f}
                      : key == ViewKey::F2 ? CVector{90.0f, 0.0f, 0.0f}
                                           : CVector{0.0f, 0.0f, 0.0f};
    ShowPositionOrCamera();
    m_host.Invalidate();
}

void ViewInteraction::OnTimer()
{
    CTimeline& t = m_doc.Timeline();
    if (++t.m_current > t.m_last) t.m_current = 0;
    m_controls.ShowCurrentFrame(t.m_current);
    ShowByMode();
    m_host.Invalidate();
}

void ViewInteraction::OnPaint()
{
    m_meter.Tick();
    const float rate = m_meter.Measure(m_doc.Timeline().m_fps);
    if (rate < 0.0f) return;
    char text[64];
    std::snprintf(text, sizeof text, "FPS %f", static_cast<double>(rate));
    m_controls.ShowRate(text);
}

void ViewInteraction::OnUpdate(int hint)
{
    CKinovela& s = m_doc.Scene();
    CTimeline& t = m_doc.Timeline();
    switch (hint) {
    case kHintFirstNew:  // the frame range may have changed since start-up
    case kHintNew:
        m_controls.ShowFrameSettings();
        m_host.RebuildModelLists();
        StopTimer();  // the document has stopped playing; so must the timer
        break;
    case kHintOpened:
        m_controls.ShowFrameSettings();
        [[fallthrough]];
    case kHintModelsChanged:
        ShowByMode();
        // Every model's keys show on the slider, selected or not.
        m_controls.ShowKeyMarks();
        m_host.RebuildModelLists();
        StopTimer();
        break;
    case kHintReparented:
        ShowByMode();
        StopTimer();
        break;
    case kHintHistory:
        m_controls.ShowCurrentFrame(t.m_current);
        m_controls.ShowKeyMarks();
        break;
    case kHintLook: m_host.RebuildModelLists(); break;
    case kHintModeMove: m_controls.ShowVector(s.GetPosition(t)); break;
    case kHintModeRotate: m_controls.ShowVector(s.GetRotation(t)); break;
    case kHintModeScale: m_controls.ShowVector(s.GetScale(t)); break;
    case kHintVectorEdited: {
        const CVector v = m_controls.ReadVector();
        if (m_doc.m_transformMode == 0)
            s.SetPosition(t, v);
        else if (m_doc.m_transformMode == 1)
            s.SetRotation(t, v);
        else
            s.SetScale(t, v);
        break;
    }
    case kHintSelection:
        ShowByMode();
        m_controls.ShowKeyMarks();
        break;
    case kHintKeys: m_controls.ShowKeyMarks(); break;
    case kHintLastFrame:
        m_controls.ApplyLastFrame();
        m_controls.ShowKeyMarks();
        break;
    case kHintFrames:
        m_controls.ShowFrameSettings();
        m_controls.ShowKeyMarks();
        break;
    case kHintFps:
        m_host.KillTimer();
        t.m_fps = m_controls.ReadFrameRate(false);
        m_controls.ShowFrameRate(t.m_fps);
        return;
    case kHintCurrentFrameEdited:
        m_controls.ReadCurrentFrame();
        StopTimer();
        return;
    case kHintNavigated:
        m_controls.ShowCurrentFrame(t.m_current);
        StopTimer();
        return;
    case kHintPlay:
        m_host.KillTimer();
        Play(m_controls.ReadFrameRate(false));
        m_controls.ShowFrameRate(t.m_fps);
        t.m_playing = 1;
        return;
    case kHintFpsWhilePlaying:
        m_host.KillTimer();
        Play(m_controls.ReadFrameRate(true));
        return;
    case kHintStop: StopTimer(); return;
    case kHintPoseOffKey: m_controls.ShowNote(UserText(msg::kPoseNotKey)); return;
    default: break;
    }
    m_host.Invalidate();
}

}  // namespace kinovela
