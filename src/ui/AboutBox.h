// The About box (dialog 100): the program's icon, name and version, a line
// on the build, OK, and two links: the maker's mail address (1011) and web
// page (1012).
#pragma once

#include <QColor>
#include <QDialog>
#include <QLabel>
#include <QUrl>

#include <functional>

namespace kinovela::ui {

// A link drawn as underlined text: blue until it has been opened, purple
// after, the desktop's highlight colour while the pointer is over it, with
// the hand pointer and its target as the tool tip. A click (or Space or
// Enter when it has the focus) opens the target with the desktop's program
// for it; when none opens it, a beep and the box "Unable to open
// hyperlink:" with the reason.
class CHyperLink final : public QLabel {
public:
    static constexpr QColor kLinkColour{0, 0, 0xEE};
    static constexpr QColor kVisitedColour{0x55, 0x1A, 0x8B};

    // The result of opening, numbered as the Windows shell numbers it:
    // above kOpened is success, the others are reasons.
    static constexpr int kOpened = 32;
    static constexpr int kFileNotFound = 2;
    static constexpr int kNoAssociation = 31;

    CHyperLink(const QString& text, const QUrl& target, QWidget* parent = nullptr);

    const QUrl& Target() const { return m_target; }
    bool Visited() const { return m_visited; }
    bool Hovered() const { return m_hovered; }
    // The colour the text is drawn in now.
    QColor TextColour() const;
    // Opens the target as a click does.
    void Open();

    // The text of the failure box for a result (the reason after the
    // heading).
    static QString FailureText(int result);

    // How the target is opened (QDesktopServices by default) and how the
    // failure is shown (a warning box); replaceable so that tests need no
    // desktop.
    std::function<int(const QUrl&)> m_open;
    std::function<void(const QString&)> m_showMessage;

protected:
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Recolour();

    QUrl m_target;
    bool m_visited = false;
    bool m_hovered = false;
};

// Opens `target` with the desktop's program for it: kOpened + 1 when one
// took it, kFileNotFound for a local file that is not there, kNoAssociation
// when the desktop has nothing to open it with.
int OpenWithDesktop(const QUrl& target);

class CAboutDlg final : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    CHyperLink* m_mail;
    CHyperLink* m_web;
};

}  // namespace kinovela::ui
