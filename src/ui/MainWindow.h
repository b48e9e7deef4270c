// The main window: the hierarchy pane and the 3D view in a splitter, and a
// status bar with the drawing-rate pane. The menus, tool bars and control
// bar come later and plug into the same document.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QTreeWidget>

#include "document/HeadlessViews.h"
#include "document/ViewInteraction.h"
#include "ui/KinoView.h"

namespace kinovela::ui {

// What the control bar will show; until it exists the status bar does.
class StatusControls final : public IViewControls {
public:
    StatusControls(CTimeline& timeline, QLabel* vector, QLabel* frame, QLabel* rate)
        : m_timeline(timeline), m_vector(vector), m_frame(frame), m_rate(rate)
    {
    }
    void ShowVector(const CVector& v) override;
    void ShowCurrentFrame(int frame) override;
    CVector ReadVector() override { return m_shown; }
    float ReadFrameRate(bool) override { return m_timeline.m_fps > 0.0f ? m_timeline.m_fps : 30.0f; }
    void ShowRate(const std::string& text) override;

private:
    CTimeline& m_timeline;
    QLabel* m_vector;
    QLabel* m_frame;
    QLabel* m_rate;
    CVector m_shown;
};

// The hierarchy pane as a plain tree for now: filled from the scene, and a
// click selects the model as the tree will.
class HierarchyPane final : public QTreeWidget, public IKinoView {
public:
    HierarchyPane(CKinoDoc& doc, QWidget* parent = nullptr);
    ~HierarchyPane() override;
    void OnUpdate(int hint) override;
    void Fill();

private:
    CKinoDoc& m_doc;
};

class MainWindow final : public QMainWindow {
public:
    MainWindow(CKinoDoc& doc, FrameRateMeter& meter);
    ~MainWindow() override;
    void OpenFile(const QString& path);
    KinoView* View() { return m_view; }

protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void UpdateTitle();
    void ShowResult(const DocResult& r);

    CKinoDoc& m_doc;
    HeadlessTree m_walk;
    QLabel* m_vectorPane;
    QLabel* m_framePane;
    QLabel* m_ratePane;
    StatusControls* m_controls;
    HierarchyPane* m_tree;
    KinoView* m_view;
};

}  // namespace kinovela::ui
