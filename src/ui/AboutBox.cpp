#include "ui/AboutBox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>

#include "ui/Tr.h"

namespace kinovela::ui {

namespace {

constexpr const char* kMailAddress = "kinovela@example.org";
constexpr const char* kWebAddress = "https://kinovela.example.org/";

}  // namespace

int OpenWithDesktop(const QUrl& target)
{
    if (target.isLocalFile() && !QFileInfo::exists(target.toLocalFile())) return CHyperLink::kFileNotFound;
    // Qt asks xdg-open, then the desktop's own opener and the browsers it
    // knows ($BROWSER among them): false when none is there.
    return QDesktopServices::openUrl(target) ? CHyperLink::kOpened + 1 : CHyperLink::kNoAssociation;
}

CHyperLink::CHyperLink(const QString& text, const QUrl& target, QWidget* parent) : QLabel(text, parent), m_target(target)
{
    setTextFormat(Qt::PlainText);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    setCursor(Qt::PointingHandCursor);
    setToolTip(target.toString());
    setFocusPolicy(Qt::StrongFocus);
    // As wide as its text, so that only the text is the link.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_open = OpenWithDesktop;
    m_showMessage = [this](const QString& message) { QMessageBox::warning(window(), "Kinovela", message); };
    Recolour();
}

QColor CHyperLink::TextColour() const
{
    if (m_hovered) return QApplication::palette().color(QPalette::Active, QPalette::Highlight);
    return m_visited ? kVisitedColour : kLinkColour;
}

void CHyperLink::Recolour()
{
    QPalette p = palette();
    for (const QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(g, QPalette::WindowText, TextColour());
    setPalette(p);
    update();
}

void CHyperLink::enterEvent(QEnterEvent* e)
{
    QLabel::enterEvent(e);
    m_hovered = true;
    Recolour();
}

void CHyperLink::leaveEvent(QEvent* e)
{
    QLabel::leaveEvent(e);
    m_hovered = false;
    Recolour();
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* e)
{
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) Open();
}

void CHyperLink::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Space || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        Open();
        return;
    }
    QLabel::keyPressEvent(e);
}

void CHyperLink::Open()
{
    const int result = m_open(m_target);
    if (result > kOpened) {
        m_visited = true;
        Recolour();
        return;
    }
    QApplication::beep();
    m_showMessage(FailureText(result));
}

QString CHyperLink::FailureText(int result)
{
    QString reason;
    switch (result) {
    case 0: reason = "The operating system is out\nof memory or resources."; break;
    case 2: reason = "The specified file was not found."; break;
    case 3: reason = "The specified path was not found."; break;
    case 5: reason = "The operating system denied\naccess to the specified file."; break;
    case 8: reason = "There was not enough memory to complete the operation."; break;
    case 11: reason = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."; break;
    case 26: reason = "A sharing violation occurred. "; break;
    case 27: reason = "The filename association is\nincomplete or invalid."; break;
    case 28: reason = "The DDE transaction could not\nbe completed because the request timed out."; break;
    case 29: reason = "The DDE transaction failed."; break;
    case 30:
        reason = "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.";
        break;
    case 31: reason = "There is no application associated\nwith the given filename extension."; break;
    case 32: reason = "The specified dynamic-link library was not found."; break;
    default: reason = QString("Unknown Error (%1) occurred.").arg(result); break;
    }
    return "Unable to open hyperlink:\n\n" + reason;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("100"));
    setWindowTitle(Tr("About", "Kinovelaのﾊﾞｰｼﾞｮﾝ情報"));
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(16);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(QIcon(QStringLiteral(":/kinovela/kinovela.png")).pixmap(48, 48));
    grid->addWidget(icon, 0, 0, 4, 1, Qt::AlignTop);

    auto* name = new QLabel(QStringLiteral("Kinovela Version %1.%2").arg(KINOVELA_VERSION_MAJOR).arg(KINOVELA_VERSION_MINOR),
                            this);
    name->setObjectName(QStringLiteral("version"));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    grid->addWidget(name, 0, 1);
    auto* build = new QLabel(Tr("About", "Qt %1 でビルド (実行中の Qt は %2)").arg(QT_VERSION_STR, qVersion()), this);
    build->setObjectName(QStringLiteral("build"));
    grid->addWidget(build, 1, 1);

    m_mail = new CHyperLink(kMailAddress, QUrl(QString("mailto:") + kMailAddress), this);
    m_mail->setObjectName(QStringLiteral("1011"));
    m_web = new CHyperLink(kWebAddress, QUrl(kWebAddress), this);
    m_web->setObjectName(QStringLiteral("1012"));
    grid->addWidget(m_mail, 2, 1, Qt::AlignLeft);
    grid->addWidget(m_web, 3, 1, Qt::AlignLeft);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, Qt::Vertical, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    grid->addWidget(buttons, 0, 2, 4, 1, Qt::AlignTop);
    grid->setColumnStretch(1, 1);
    // OK has the focus, as the box's default button, so Enter closes it.
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Ok)->setFocus();
    setLayout(grid);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kinovela::ui
