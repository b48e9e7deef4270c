#include "ui/TextureFolders.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include "ui/Tr.h"

namespace kinovela::ui {

namespace {

// Translated in the "TextureFolders" context.
constexpr const char* kTitle = QT_TRANSLATE_NOOP("TextureFolders", "テクスチャ フォルダ");
constexpr const char* kExplanation = QT_TRANSLATE_NOOP(
    "TextureFolders",
    "テクスチャの画像は、このフォルダを上から順に探したあと、プログラムの TEXTURE フォルダ、"
    "開いたファイルのフォルダとその TEXTURE フォルダで探します。");
constexpr const char* kAdd = QT_TRANSLATE_NOOP("TextureFolders", "追加(&A)...");
constexpr const char* kRemove = QT_TRANSLATE_NOOP("TextureFolders", "削除(&D)");
constexpr const char* kUp = QT_TRANSLATE_NOOP("TextureFolders", "上へ(&U)");
constexpr const char* kDown = QT_TRANSLATE_NOOP("TextureFolders", "下へ(&N)");
constexpr const char* kChooseFolder = QT_TRANSLATE_NOOP("TextureFolders", "テクスチャ フォルダの追加");

}  // namespace

QStringList ReadTextureFolders(QSettings& settings)
{
    settings.beginGroup("Textures");
    QStringList folders = settings.value("Folders").toStringList();
    settings.endGroup();
    folders.removeAll(QString());
    return folders;
}

void WriteTextureFolders(QSettings& settings, const QStringList& folders)
{
    settings.beginGroup("Textures");
    settings.setValue("Folders", folders);
    settings.endGroup();
    settings.sync();
}

std::vector<std::string> ToPaths(const QStringList& folders)
{
    std::vector<std::string> paths;
    for (const QString& f : folders) paths.push_back(QFile::encodeName(f).toStdString());
    return paths;
}

QStringList FromPaths(const std::vector<std::string>& folders)
{
    QStringList list;
    for (const std::string& f : folders) list << QFile::decodeName(QByteArray::fromStdString(f));
    return list;
}

CDlgTextureFolders::CDlgTextureFolders(const QStringList& folders, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(Tr("TextureFolders", kTitle));
    auto* layout = new QVBoxLayout(this);
    auto* explanation = new QLabel(Tr("TextureFolders", kExplanation), this);
    explanation->setWordWrap(true);
    layout->addWidget(explanation);

    auto* row = new QHBoxLayout;
    m_list = new QListWidget(this);
    m_list->addItems(folders);
    m_list->setMinimumWidth(420);
    row->addWidget(m_list, 1);
    auto* buttons = new QVBoxLayout;
    m_add = new QPushButton(Tr("TextureFolders", kAdd), this);
    m_remove = new QPushButton(Tr("TextureFolders", kRemove), this);
    m_up = new QPushButton(Tr("TextureFolders", kUp), this);
    m_down = new QPushButton(Tr("TextureFolders", kDown), this);
    for (QPushButton* b : {m_add, m_remove, m_up, m_down}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    row->addLayout(buttons);
    layout->addLayout(row);

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

    m_chooseFolder = [this] {
        return QFileDialog::getExistingDirectory(this, Tr("TextureFolders", kChooseFolder), QDir::homePath());
    };
    connect(m_add, &QPushButton::clicked, this, [this] {
        const QString folder = m_chooseFolder();
        // Back from the folder dialog, the keys go to the list again.
        activateWindow();
        m_list->setFocus();
        if (folder.isEmpty()) return;
        const QString clean = QDir::cleanPath(folder);
        // A folder listed twice would only be searched twice.
        const QList<QListWidgetItem*> same = m_list->findItems(clean, Qt::MatchExactly);
        if (same.isEmpty()) m_list->addItem(clean);
        m_list->setCurrentRow(same.isEmpty() ? m_list->count() - 1 : m_list->row(same.first()));
    });
    connect(m_remove, &QPushButton::clicked, this, [this] {
        delete m_list->takeItem(m_list->currentRow());
        UpdateButtons();
    });
    connect(m_up, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { Move(1); });
    connect(m_list, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    if (m_list->count() > 0) m_list->setCurrentRow(0);
    UpdateButtons();
}

QStringList CDlgTextureFolders::Folders() const
{
    QStringList folders;
    for (int i = 0; i < m_list->count(); ++i) folders << m_list->item(i)->text();
    return folders;
}

void CDlgTextureFolders::Move(int by)
{
    const int row = m_list->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= m_list->count()) return;
    m_list->insertItem(to, m_list->takeItem(row));
    m_list->setCurrentRow(to);
}

void CDlgTextureFolders::UpdateButtons()
{
    const int row = m_list->currentRow();
    m_remove->setEnabled(row >= 0);
    m_up->setEnabled(row > 0);
    m_down->setEnabled(row >= 0 && row + 1 < m_list->count());
}

}  // namespace kinovela::ui
