// The control bar at the bottom of the main window: the axis switches, the
// X/Y/Z fields of the selected pose, the frame slider with a tick at every
// key frame, the current and last frame and the frame rate. The 3D view
// writes into it and reads from it through IViewControls; leaving a field
// tells the document.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QVBoxLayout>
#include <QWidget>

#include <functional>
#include <vector>

#include "document/KinoDoc.h"
#include "document/ViewInteraction.h"

namespace kinovela::ui {

// A horizontal slider that marks key frames under its groove: the selected
// model's as clear markers, every model's fainter.
class KeySlider final : public QSlider {
public:
    explicit KeySlider(QWidget* parent = nullptr);
    void ClearTicks();
    void AddTick(int position);
    // The selected model's keys, and the frames where any model has a key.
    void SetKeys(std::vector<int> selected, std::vector<int> any);
    const std::vector<int>& Ticks() const { return m_ticks; }
    const std::vector<int>& FaintTicks() const { return m_faintTicks; }
    // The x coordinate of a frame's marker.
    int MarkerX(int frame) const;

    static const QColor kMarkerColour;
    static const QColor kFaintColour;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    std::vector<int> m_ticks;
    std::vector<int> m_faintTicks;
};

class ControlBar final : public QWidget, public IViewControls {
public:
    ControlBar(CKinoDoc& doc, QWidget* parent = nullptr);

    // IViewControls
    void ShowVector(const CVector& v) override;
    void ShowFrameSettings() override;
    void ShowCurrentFrame(int frame) override;
    void ShowKeyMarks() override;
    CVector ReadVector() override;
    void ApplyLastFrame() override;
    float ReadFrameRate(bool fromSelection) override;
    void ShowFrameRate(float fps) override;
    void ReadCurrentFrame() override;
    void ShowRate(const std::string& text) override;
    void ShowNote(const std::string& text) override;

    // Axis switch 0, 1 or 2 turned over (its check box follows).
    void ToggleAxis(int axis);

    // The slider's least height, and the room above it, while the
    // interface is Japanese and while it is English.
    static constexpr int kSliderHeight = 40;
    static constexpr int kEnglishSliderHeight = 45;
    static constexpr int kEnglishSliderGap = 5;

    // Redraws the 3D view; the rate text goes to the status bar.
    std::function<void()> m_invalidate;
    // Shows a refusal of a field's text; a warning box by default.
    std::function<void(const QString&)> m_showMessage;
    std::function<void(const QString&)> m_showRate;
    // Passing remarks go to the status bar.
    std::function<void(const QString&)> m_showNote;
    // Where Enter in a field sends the focus (so that the field is left).
    QWidget* m_focusAfterEnter = nullptr;

    // While one is alive, a field losing the focus commits nothing. Document
    // work shows dialogs (progress, a missing texture) that take the focus;
    // a commit then would change the scene under the reader or writer, or
    // write the old scene's field into the new one. The field keeps its text.
    class CommitHold {
    public:
        explicit CommitHold(ControlBar& bar) : m_bar(bar) { ++m_bar.m_commitHolds; }
        ~CommitHold() { --m_bar.m_commitHolds; }
        CommitHold(const CommitHold&) = delete;
        CommitHold& operator=(const CommitHold&) = delete;

    private:
        ControlBar& m_bar;
    };

    // The window is going: a field losing the focus as it closes commits
    // nothing, and the bar no longer calls into the window.
    void Detach()
    {
        ++m_commitHolds;
        m_invalidate = nullptr;
        m_showMessage = nullptr;
        m_showRate = nullptr;
        m_showNote = nullptr;
        m_focusAfterEnter = nullptr;
    }

    QCheckBox* m_axis[3];
    QLineEdit* m_vector[3];  // 1003, 1004, 1005
    KeySlider* m_slider;     // 1001
    QLineEdit* m_current;    // 1006
    QLineEdit* m_last;       // 1008
    QComboBox* m_fps;        // 1012
    QLabel* m_keyMark;       // shown while the current frame is a key of the selected model

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // Every change of the slider: the frame follows it, with the view and
    // the fields.
    void SliderNotification();
    // What the X/Y/Z fields stand for now, by the transform mode.
    CVector ShownVector() const;
    // The message refusing a field's text (the dialogs' messages: the frame
    // fields take integers, X/Y/Z numbers), or null when it reads.
    const char* Refusal(const QLineEdit* field) const;
    // Shows the scene's value again in a field whose text was refused.
    void Restore(const QLineEdit* field);
    void Refuse(const char* message);
    void ShowCurrentKey();
    // Lays the slider out for the language in use.
    void PlaceSlider();

    CKinoDoc& m_doc;
    QVBoxLayout* m_sliderBox;
    int m_commitHolds = 0;
    // The text Enter last refused, and its field: leaving the field with
    // that text restores it without telling the user a second time.
    const QLineEdit* m_refusedField = nullptr;
    QString m_refusedText;
};

}  // namespace kinovela::ui
