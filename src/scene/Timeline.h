// The frame state the whole program shares: which frame is shown, how many
// frames there are and how fast they play. One instance per application,
// owned beside the scene (it is not part of the scene file's scene record).
#pragma once

#include <algorithm>
#include <cmath>

namespace kinovela {

// Largest last-frame number the program accepts. About nine hours at 30
// frames per second; it keeps a typed or stored number from asking for
// gigabytes of poses per model.
inline constexpr int kMaxLastFrame = 1'000'000;

// Frames per second are held to this range wherever a rate comes in (a typed
// or listed value, a script, a stored scene): 1e-45 made a VRML cycle
// interval infinite, and a rate past a thousand gives timer intervals and
// key times of nothing.
inline constexpr float kMinFrameRate = 0.01f;
inline constexpr float kMaxFrameRate = 1000.0f;
inline constexpr float kDefaultFrameRate = 30.0f;

// The rate the program uses for a given one: 0 or less, and values a float
// cannot hold (not numbers, infinities), give 30; others are held to the
// range above.
inline float SaneFrameRate(float fps)
{
    if (!std::isfinite(fps) || fps <= 0.0f) return kDefaultFrameRate;
    return std::clamp(fps, kMinFrameRate, kMaxFrameRate);
}

struct CTimeline {
    int m_current = 0;
    int m_last = 60;
    int m_prevLast = 60;  // m_last before the latest change of the frame range
    float m_fps = 30.0f;
    int m_playing = 0;

    int Step(int n)
    {
        m_current += n;
        return m_current;
    }

    // A new document starts at frame 0 of 0..60; the frame rate is kept.
    void ResetForNewDocument()
    {
        m_current = 0;
        m_last = 60;
        m_prevLast = 60;
        m_playing = 0;
    }
};

}  // namespace kinovela
