#include "ui/MainWindow.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStatusBar>

#include "common/TextCodec.h"
#include "scene/Hierarchy.h"

namespace kinovela::ui {

void StatusControls::ShowVector(const CVector& v)
{
    m_shown = v;
    m_vector->setText(QString("X %1  Y %2  Z %3").arg(v.m_x, 0, 'f', 3).arg(v.m_y, 0, 'f', 3).arg(v.m_z, 0, 'f', 3));
}

void StatusControls::ShowCurrentFrame(int frame) { m_frame->setText(QString("Frame %1").arg(frame)); }

void StatusControls::ShowRate(const std::string& text) { m_rate->setText(QString::fromStdString(text)); }

HierarchyPane::HierarchyPane(CKinoDoc& doc, QWidget* parent) : QTreeWidget(parent), m_doc(doc)
{
    setHeaderHidden(true);
    m_doc.AddView(this);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
        m_doc.ClickTreeItem(item->data(0, Qt::UserRole).toInt());
    });
    Fill();
}

HierarchyPane::~HierarchyPane() { m_doc.RemoveView(this); }

void HierarchyPane::OnUpdate(int hint)
{
    if (hint >= kHintFirstNew && hint <= kHintReparented) Fill();
}

void HierarchyPane::Fill()
{
    clear();
    auto* root = new QTreeWidgetItem(this, QStringList(QFileInfo(QString::fromStdString(m_doc.Title())).fileName()));
    root->setData(0, Qt::UserRole, kNoModel);
    std::vector<QTreeWidgetItem*> atDepth{root};
    const CKinovela& s = m_doc.Scene();
    for (const TreeItem& item : HierarchyTreeOrder(s)) {
        const std::size_t d = static_cast<std::size_t>(item.depth);
        atDepth.resize(d + 1);
        QTreeWidgetItem* parent = atDepth[d];
        const CModel& m = s.m_models[static_cast<std::size_t>(item.model)];
        auto* node = new QTreeWidgetItem(parent, QStringList(QString::fromUtf8(Cp932ToUtf8(m.m_name).c_str())));
        node->setData(0, Qt::UserRole, item.model);
        if (!m.m_visible) node->setForeground(0, Qt::gray);
        atDepth.push_back(node);
    }
    expandAll();
}

MainWindow::MainWindow(CKinoDoc& doc, FrameRateMeter& meter) : m_doc(doc), m_walk(doc.Scene())
{
    m_doc.AddView(&m_walk);
    m_vectorPane = new QLabel(this);
    m_framePane = new QLabel("Frame 0", this);
    m_ratePane = new QLabel("FPS 30.000000", this);
    statusBar()->addPermanentWidget(m_vectorPane);
    statusBar()->addPermanentWidget(m_framePane);
    statusBar()->addPermanentWidget(m_ratePane);
    m_controls = new StatusControls(doc.Timeline(), m_vectorPane, m_framePane, m_ratePane);

    auto* splitter = new QSplitter(this);
    m_tree = new HierarchyPane(doc, splitter);
    m_view = new KinoView(doc, *m_controls, meter, splitter);
    splitter->addWidget(m_tree);
    splitter->addWidget(m_view);
    splitter->setStretchFactor(1, 4);
    splitter->setSizes({240, 1200});
    setCentralWidget(splitter);

    QMenu* file = menuBar()->addMenu("&File");
    QAction* open = file->addAction("&Open...");
    open->setShortcut(QKeySequence::Open);
    connect(open, &QAction::triggered, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(this, "Open", QString(), "Kinovela / Metasequoia (*.kvl *.mqo)");
        if (!path.isEmpty()) OpenFile(path);
    });
    QAction* quit = file->addAction("E&xit");
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);

    doc.m_textureFailed = [this](const CMaterial& m, const std::string& message) {
        QMessageBox::warning(this, "Kinovela",
                             QString::fromStdString(Cp932ToUtf8(m.m_texture) + "\n" + message));
    };
    setAcceptDrops(true);
    m_doc.OnNewDocument();
    UpdateTitle();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e)
{
    for (const QUrl& url : e->mimeData()->urls()) {
        const QString path = url.toLocalFile();
        const QString ext = path.right(3).toLower();
        if (ext == "kvl") {
            // The scene file replaces the scene: unsaved work is not thrown
            // away without asking.
            if (m_doc.IsModified() &&
                QMessageBox::question(this, "Kinovela", "The scene has unsaved changes. Open " + path + " anyway?") !=
                    QMessageBox::Yes)
                break;
            OpenFile(path);
            break;
        }
        if (ext == "mqo") {
            ShowResult(m_doc.DropModels(path.toStdString()));
            m_tree->Fill();
        }
    }
    e->acceptProposedAction();
    activateWindow();
    setFocus();
}

void MainWindow::ShowResult(const DocResult& r)
{
    if (!r.ok || !r.message.empty()) QMessageBox::warning(this, "Kinovela", QString::fromStdString(r.message));
    for (const std::string& w : r.warnings) statusBar()->showMessage(QString::fromStdString(w), 8000);
}

MainWindow::~MainWindow()
{
    m_doc.m_textureFailed = nullptr;
    m_doc.RemoveView(&m_walk);
    delete m_controls;
}

void MainWindow::OpenFile(const QString& path)
{
    ShowResult(m_doc.OnOpenDocument(path.toStdString()));
    m_tree->Fill();
    m_view->RebuildModelLists();
    UpdateTitle();
}

void MainWindow::UpdateTitle() { setWindowTitle(QString::fromStdString(m_doc.Title()) + " - Kinovela"); }

}  // namespace kinovela::ui
