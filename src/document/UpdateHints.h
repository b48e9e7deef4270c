// The numbers the document passes to its views to say what changed.
#pragma once

namespace kinovela {

enum UpdateHint : int {
    kHintFirstNew = 100,          // first new document after start-up
    kHintNew = 101,               // a later new document
    kHintOpened = 102,            // a file was opened
    kHintModelsChanged = 103,     // models were added or deleted
    kHintReparented = 104,        // a model got a new parent in the hierarchy
    kHintHistory = 105,           // undo, redo or camera reset
    kHintLook = 106,              // background colour or shading changed
    kHintModeMove = 107,          // transform mode set to move
    kHintModeRotate = 108,        // ... to rotate
    kHintModeScale = 109,         // ... to scale
    kHintVectorEdited = 110,      // an X/Y/Z edit was left
    kHintSelection = 111,         // mouse target changed, a model shown or hidden
    kHintKeys = 112,              // key frames changed
    kHintLastFrame = 113,         // the last-frame edit was left
    kHintFrames = 114,            // frames were inserted or deleted
    kHintFps = 115,               // frame rate changed while not playing; before Save As
    kHintCurrentFrameEdited = 116,
    kHintNavigated = 117,         // a navigation command moved the current frame
    kHintPlay = 118,
    kHintFpsWhilePlaying = 119,
    kHintStop = 120,
    kHintPoseOffKey = 121,        // a pose changed at a frame that is not a key of its model
};

// A window (or a stand-in for one) that reacts to the document's hints.
class IKinoView {
public:
    virtual ~IKinoView() = default;
    virtual void OnUpdate(int hint) = 0;
};

}  // namespace kinovela
