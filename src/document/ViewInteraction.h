// What the 3D view does with the mouse, the wheel, its three keys, the
// playback timer, the drawing-rate meter and the document's update hints,
// without a window: the editor's view forwards its events here and gives
// it the few window services it needs, so the same rules run in the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "document/KinoDoc.h"

namespace kinovela {

// The window and renderer services the rules need.
class IViewHost {
public:
    virtual ~IViewHost() = default;
    // Picks at a client position; true when the selection changed.
    virtual bool PickModel(int x, int y) = 0;
    virtual void Invalidate() = 0;
    virtual void CaptureMouse() {}
    virtual void ReleaseMouse() {}
    virtual void StartTimer(int intervalMs) = 0;
    virtual void KillTimer() = 0;
    virtual void RebuildModelLists() {}
};

// What the view shows in, and reads from, the control bar and status bar.
class IViewControls {
public:
    virtual ~IViewControls() = default;
    virtual void ShowVector(const CVector& v) = 0;
    virtual void ShowFrameSettings() {}
    virtual void ShowCurrentFrame(int frame) = 0;
    virtual void ShowKeyMarks() {}
    virtual CVector ReadVector() = 0;
    virtual void ApplyLastFrame() {}
    // The frames-per-second box: its edit text, or its selected list entry.
    virtual float ReadFrameRate(bool fromSelection) = 0;
    // The rate read from the box is in use: the box shows it when its text
    // said otherwise (a rate held to the range the program plays at).
    virtual void ShowFrameRate(float) {}
    // The current-frame field into the slider (which sets the frame).
    virtual void ReadCurrentFrame() {}
    virtual void ShowRate(const std::string& text) = 0;
    // A passing remark in the status bar.
    virtual void ShowNote(const std::string&) {}
};

// The drawing-rate meter. The clock is a parameter so that tests can drive it.
class FrameRateMeter {
public:
    using Clock = std::function<std::uint32_t()>;  // milliseconds
    explicit FrameRateMeter(Clock clock);
    void Reset();
    void Tick();
    // The new rate, or -1 when there is none yet; `fps` is the target rate.
    float Measure(float fps);

private:
    Clock m_clock;
    std::uint32_t m_elapsed = 0, m_elapsedAtMeasure = 0, m_startTime = 0;
    std::uint32_t m_frameCount = 0, m_countAtMeasure = 0;
    float m_lastRate = 0.0f, m_threshold = 0.0f;
};

enum class ViewKey { F1, F2, F3, Other };

struct MouseState {
    bool ctrl = false;
    bool shift = false;
    bool middle = false;
};

class ViewInteraction {
public:
    ViewInteraction(CKinoDoc& doc, IViewHost& host, IViewControls& controls, FrameRateMeter& meter);

    void OnLeftDown(int x, int y);
    void OnRightDown(int x, int y);
    // The middle button only pans while held; its press starts the drag
    // from where it was pressed.
    void OnMiddleDown(int x, int y)
    {
        m_lastX = x;
        m_lastY = y;
    }
    void OnLeftUp();
    void OnRightUp();
    void OnMouseMove(int x, int y, const MouseState& keys);
    void OnWheel(int delta);
    void OnKey(ViewKey key);
    void OnTimer();
    // Before each paint: the meter's tick and the status text.
    void OnPaint();
    void OnUpdate(int hint);

    bool LeftDown() const { return m_leftDown; }
    bool RightDown() const { return m_rightDown; }

    // The timer interval for a frame rate: 1000 / fps truncated.
    static int TimerInterval(float fps);

private:
    void ShowPositionOrCamera();
    void ShowByMode();
    void StopTimer();
    void Play(float fps);
    // A drag begins with the first button down and ends with the last one up.
    void BeginDrag(std::size_t mark);
    void EndDrag();
    // The dragged model's pose at the drag's frame, as it is now.
    const CAnimation& DragPose() const;

    CKinoDoc& m_doc;
    IViewHost& m_host;
    IViewControls& m_controls;
    FrameRateMeter& m_meter;
    bool m_leftDown = false;
    bool m_rightDown = false;
    int m_lastX = 0, m_lastY = 0;
    // The selected pose when the drag began, to tell at its end whether it
    // changed, and the history's size before the press recorded it.
    std::size_t m_dragMark = 0;
    int m_dragModel = kNoModel;
    int m_dragFrame = 0;
    CAnimation m_dragPose;
};

}  // namespace kinovela
