#include "ui/HierarchyView.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeWidgetItemIterator>

#include "common/TextCodec.h"
#include "scene/Hierarchy.h"
#include "ui/CommandTexts.h"
#include "ui/FileFolders.h"

namespace kinovela::ui {

namespace {

// The pop-up's items, in order; their captions come from the command table.
constexpr const char* kMenuTitle = QT_TRANSLATE_NOOP("Menu", "ﾓﾃﾞﾙ(&M)");
constexpr int kMenuItems[] = {ID_MODEL_ADD, ID_MODEL_DELETE, ID_MODEL_RENAME, ID_MODEL_SHOW_HIDE};
constexpr const char* kMessageTitle = "Kinovela";

constexpr int kValueRole = Qt::UserRole;      // 0 for the root, else the model index
constexpr int kKindRole = Qt::UserRole + 1;   // ItemKind
constexpr int kImageSize = 13;

QString ModelText(const CModel& m) { return QString::fromStdString(Cp932ToUtf8(m.m_name)); }

// --- pictures ---------------------------------------------------------------------
// Drawn on white without antialiasing, then white is masked out, the way
// the image list's bitmaps are meant to be read.

QPixmap MaskedWhite(const QImage& image)
{
    QPixmap pm = QPixmap::fromImage(image);
    pm.setMask(pm.createMaskFromColor(Qt::white, Qt::MaskInColor));
    return pm;
}

void DrawDocument(QPainter& p, bool selected)
{
    const QPolygon sheet({QPoint(1, 0), QPoint(8, 0), QPoint(11, 3), QPoint(11, 12), QPoint(1, 12)});
    p.setPen(selected ? QColor(0, 0, 128) : QColor(64, 64, 64));
    p.setBrush(selected ? QColor(96, 144, 224) : QColor(255, 248, 200));
    p.drawPolygon(sheet);
    p.drawPolyline(QPolygon({QPoint(8, 0), QPoint(8, 3), QPoint(11, 3)}));
    p.setPen(selected ? QColor(240, 240, 240) : QColor(120, 120, 120));
    for (int y = 5; y <= 9; y += 2) p.drawLine(3, y, 8, y);
}

// A cube seen from above right: front, top and side faces.
void DrawCube(QPainter& p, bool selected, bool hidden)
{
    const QPolygon front({QPoint(0, 4), QPoint(8, 4), QPoint(8, 12), QPoint(0, 12)});
    const QPolygon top({QPoint(0, 4), QPoint(4, 0), QPoint(12, 0), QPoint(8, 4)});
    const QPolygon side({QPoint(8, 4), QPoint(12, 0), QPoint(12, 8), QPoint(8, 12)});
    QColor edge, faceFront, faceTop, faceSide;
    if (hidden) {
        // Greyed: outline only, no shading, so it reads as "not drawn".
        edge = selected ? QColor(0, 0, 160) : QColor(150, 150, 150);
        faceFront = faceTop = faceSide = selected ? QColor(208, 216, 240) : QColor(Qt::white);
        p.setPen(QPen(edge, 1, Qt::DotLine));
    } else {
        edge = selected ? QColor(96, 40, 0) : QColor(24, 40, 72);
        faceFront = selected ? QColor(240, 144, 32) : QColor(96, 128, 192);
        faceTop = selected ? QColor(252, 208, 120) : QColor(160, 192, 240);
        faceSide = selected ? QColor(184, 96, 16) : QColor(56, 80, 136);
        p.setPen(edge);
    }
    p.setBrush(faceFront);
    p.drawPolygon(front);
    p.setBrush(faceTop);
    p.drawPolygon(top);
    p.setBrush(faceSide);
    p.drawPolygon(side);
}

// The arrow of a drag cursor, tip at (0, 0).
void DrawArrow(QPainter& p)
{
    const QPolygon arrow({QPoint(0, 0), QPoint(0, 15), QPoint(4, 11), QPoint(7, 18), QPoint(9, 17), QPoint(6, 10),
                          QPoint(11, 10)});
    p.setPen(Qt::white);
    p.setBrush(Qt::black);
    p.drawPolygon(arrow);
}

}  // namespace

// The line editor's commit goes back to the view, which renames through the
// document rather than writing the text into the item.
class CHierarchyView::RenameDelegate final : public QStyledItemDelegate {
public:
    explicit RenameDelegate(CHierarchyView* view) : QStyledItemDelegate(view), m_view(view) {}
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        if (auto* line = qobject_cast<QLineEdit*>(editor)) m_view->CommitRename(index, line->text());
    }

private:
    CHierarchyView* m_view;
};

QPixmap CHierarchyView::StateImage(int image)
{
    QImage img(kImageSize, kImageSize, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    const bool selected = (image & 1) != 0;
    if (image <= 1)
        DrawDocument(p, selected);
    else
        DrawCube(p, selected, image >= 4);
    p.end();
    return MaskedWhite(img);
}

QCursor CHierarchyView::MakeDragCursor(int id)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    if (id == kNoDropCursor) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::white, 6));
        p.drawEllipse(QPoint(15, 15), 10, 10);
        p.drawLine(8, 8, 22, 22);
        p.setPen(QPen(QColor(200, 0, 0), 3));
        p.drawEllipse(QPoint(15, 15), 10, 10);
        p.drawLine(8, 8, 22, 22);
        p.end();
        return QCursor(pm, 15, 15);
    }
    DrawArrow(p);
    // The dragged item, as a small box under the arrow.
    p.setPen(QPen(Qt::black, 1, Qt::DotLine));
    p.setBrush(QColor(255, 255, 255, 160));
    p.drawRect(10, 19, 11, 8);
    if (id == kDropCopyCursor) {
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawRect(19, 22, 9, 9);
        p.drawLine(21, 26, 26, 26);
        p.drawLine(23, 24, 23, 29);
    }
    p.end();
    return QCursor(pm, 0, 0);
}

CHierarchyView::CHierarchyView(CKinoDoc& doc, QWidget* parent) : QTreeWidget(parent), m_doc(doc)
{
    for (int k = 0; k < 3; ++k) {
        m_icons[k].addPixmap(StateImage(2 * k), QIcon::Normal);
        m_icons[k].addPixmap(StateImage(2 * k + 1), QIcon::Selected);
    }
    m_cursors[0] = MakeDragCursor(kDropCursor);
    m_cursors[1] = MakeDragCursor(kDropCopyCursor);
    m_cursors[2] = MakeDragCursor(kNoDropCursor);

    setHeaderHidden(true);
    setColumnCount(1);
    setIconSize(QSize(kImageSize, kImageSize));
    setSelectionMode(QAbstractItemView::SingleSelection);
    // The root has no button of its own; models with children do.
    setRootIsDecorated(false);
    // The usual label-editing gestures stay on so that edit() sees them and
    // can refuse them: names change only through the rename command.
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::DoubleClicked);
    setItemDelegate(new RenameDelegate(this));

    m_chooseModelFile = [this] {
        const QString start = DialogStartFolder(QString::fromStdString(m_doc.PathName()));
        const QString path = QFileDialog::getOpenFileName(this, PlainCaption(Caption(ID_MODEL_ADD)), start,
                                                          Tr("Texts", kModelFilter));
        RememberDialogFolder(path);
        return path;
    };
    m_addModels = [this](const std::string& path) { return m_doc.AddModels(path); };
    m_showResult = [this](const DocResult& r) {
        if (!r.ok && !r.shown && !r.cancelled)
            QMessageBox::warning(this, kMessageTitle, QString::fromStdString(r.message));
    };
    m_execPopup = [](QMenu& menu, const QPoint& at) { menu.exec(at); };

    m_doc.AddView(this);
    Rebuild();
}

CHierarchyView::~CHierarchyView() { m_doc.RemoveView(this); }

// --- items ---------------------------------------------------------------------------

int CHierarchyView::KindOf(const QTreeWidgetItem* item)
{
    if (!item) return kInvalidItem;
    bool ok = false;
    const int kind = item->data(0, kKindRole).toInt(&ok);
    return ok && (kind == kRootItem || kind == kVisibleModelItem || kind == kHiddenModelItem) ? kind : kInvalidItem;
}

int CHierarchyView::ModelOf(const QTreeWidgetItem* item) const
{
    const int kind = KindOf(item);
    if (kind != kVisibleModelItem && kind != kHiddenModelItem) return -1;
    // An item may outlive the model it was made for until the next rebuild.
    const int model = item->data(0, kValueRole).toInt();
    return model >= 0 && static_cast<std::size_t>(model) < m_doc.Scene().m_models.size() ? model : -1;
}

QTreeWidgetItem* CHierarchyView::ItemOfModel(int model) const
{
    if (model < 0) return nullptr;
    for (QTreeWidgetItemIterator it(const_cast<CHierarchyView*>(this)); *it; ++it)
        if (ModelOf(*it) == model) return *it;
    return nullptr;
}

std::vector<int> CHierarchyView::ModelsInTreeOrder() const
{
    // Every item, collapsed branches included: folding a branch in the pane
    // must not take its models out of the 3D view.
    std::vector<int> models;
    for (QTreeWidgetItemIterator it(const_cast<CHierarchyView*>(this)); *it; ++it) {
        const int kind = KindOf(*it);
        if (kind == kInvalidItem) break;
        if (kind == kRootItem) continue;
        const int model = ModelOf(*it);
        if (model < 0) break;
        models.push_back(model);
    }
    return models;
}

QTreeWidgetItem* CHierarchyView::DropTarget() const { return m_dropTarget.isValid() ? itemFromIndex(m_dropTarget) : nullptr; }

void CHierarchyView::SetKind(QTreeWidgetItem* item, int kind)
{
    item->setData(0, kKindRole, kind);
    item->setIcon(0, m_icons[kind / 2]);
}

// On the item's icon or text, not on its indentation or expand button.
QTreeWidgetItem* CHierarchyView::HitItem(const QPoint& pos) const
{
    QTreeWidgetItem* item = itemAt(pos);
    if (!item || pos.x() < visualItemRect(item).left()) return nullptr;
    return item;
}

QTreeWidgetItem* CHierarchyView::FirstShownItem() const
{
    for (const int x : {1, viewport()->width() / 2})
        if (QTreeWidgetItem* item = itemAt(QPoint(x, 1))) return item;
    return topLevelItem(0);
}

// --- hints ---------------------------------------------------------------------------

void CHierarchyView::OnUpdate(int hint)
{
    switch (hint) {
    case kHintFirstNew:
    case kHintNew:
        m_doc.Scene().m_selected = kNoModel;
        ResetTree();
        break;
    case kHintOpened:
    case kHintModelsChanged:
    case kHintReparented:
        m_doc.Scene().m_selected = kNoModel;
        Rebuild();
        break;
    case kHintHistory:
        Rebuild();
        break;
    case kHintSelection:
        ExpandAndMark(FirstShownItem());
        SelectSelectedModel();
        break;
    default:
        break;
    }
}

void CHierarchyView::ResetTree()
{
    // Items are about to go: no drag or name edit may refer to them.
    if (m_dragging) EndDrag();
    m_pressItem = QPersistentModelIndex();
    m_renameAllowed = false;
    clear();
    auto* root = new QTreeWidgetItem(this);
    // The document's title: "Kinovela", or the full path of an opened scene.
    root->setText(0, QFile::decodeName(QByteArray::fromStdString(m_doc.Title())));
    root->setData(0, kValueRole, 0);
    root->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    SetKind(root, kRootItem);
}

void CHierarchyView::Rebuild()
{
    ResetTree();
    Fill();
    expandAll();  // one layout pass; ExpandAndMark then only marks
    ExpandAndMark(RootItem());
    BuildWalk();
}

void CHierarchyView::Fill()
{
    // The core's tree order is the one the exporters and the command-line
    // tool walk too: siblings in model order, depth first.
    const CKinovela& scene = m_doc.Scene();
    std::vector<QTreeWidgetItem*> atDepth{RootItem()};
    for (const TreeItem& t : HierarchyTreeOrder(scene)) {
        atDepth.resize(static_cast<std::size_t>(t.depth) + 1);
        auto* item = new QTreeWidgetItem(atDepth.back());
        item->setText(0, ModelText(scene.m_models[static_cast<std::size_t>(t.model)]));
        item->setData(0, kValueRole, t.model);
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
        SetKind(item, kVisibleModelItem);
        atDepth.push_back(item);
    }
}

void CHierarchyView::ExpandAndMark(QTreeWidgetItem* start)
{
    if (!start) return;
    const CKinovela& scene = m_doc.Scene();
    for (QTreeWidgetItemIterator it(start); *it; ++it) {
        QTreeWidgetItem* item = *it;
        if (item->childCount() > 0 && !item->isExpanded()) item->setExpanded(true);
        const int model = ModelOf(item);
        if (model < 0) continue;  // the root keeps its images
        const int kind = scene.m_models[static_cast<std::size_t>(model)].m_visible ? kVisibleModelItem : kHiddenModelItem;
        if (KindOf(item) != kind) SetKind(item, kind);
    }
}

void CHierarchyView::SelectSelectedModel()
{
    // Without a selected model the tree keeps its current item: a click on
    // a hidden model selects the item, not the model, and show/hide acts on it.
    if (QTreeWidgetItem* item = ItemOfModel(m_doc.Scene().m_selected)) setCurrentItem(item);
}

void CHierarchyView::BuildWalk()
{
    CKinovela& scene = m_doc.Scene();
    scene.m_hierarchyWalk.clear();
    if (!RootItem() || scene.m_models.empty()) return;
    const std::vector<int> models = ModelsInTreeOrder();
    scene.m_hierarchyWalk = WalkFromTreeOrder(scene, models);
}

// --- mouse ---------------------------------------------------------------------------

void CHierarchyView::mousePressEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    QTreeWidgetItem* item = HitItem(pos);
    m_pressItem = QPersistentModelIndex();
    if (e->button() == Qt::LeftButton && item) {
        m_pressPos = pos;
        m_pressItem = QPersistentModelIndex(indexFromItem(item));
        setCurrentItem(item);
        if (KindOf(item) == kRootItem) {
            // The root stands for the camera; the tree's own handling would
            // only start a label edit or a drag of it.
            m_doc.ClickTreeItem(kNoModel);
            return;
        }
        const int model = ModelOf(item);
        if (model >= 0) m_doc.ClickTreeItem(model);
    } else if (e->button() == Qt::RightButton && item) {
        setCurrentItem(item);
        const bool onModel = KindOf(item) != kRootItem;
        const int model = ModelOf(item);
        if (onModel && model < 0) return;  // a stale item: nothing to offer
        m_doc.RightClickTreeItem(onModel ? model : kNoModel);
        ShowPopup(onModel, e->globalPosition().toPoint());
        return;
    }
    QTreeWidget::mousePressEvent(e);
}

void CHierarchyView::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    if (!m_dragging && (e->buttons() & Qt::LeftButton) && m_pressItem.isValid() &&
        (pos - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        QTreeWidgetItem* item = itemFromIndex(m_pressItem);
        m_pressItem = QPersistentModelIndex();
        if (ModelOf(item) >= 0) BeginDrag(item, pos);
    }
    if (m_dragging) {
        DragTo(pos, e->modifiers());
        return;
    }
    QTreeWidget::mouseMoveEvent(e);
}

void CHierarchyView::mouseReleaseEvent(QMouseEvent* e)
{
    m_pressItem = QPersistentModelIndex();
    if (!m_dragging || e->button() != Qt::LeftButton) {
        QTreeWidget::mouseReleaseEvent(e);
        return;
    }
    QTreeWidgetItem* dragged = m_dragItem.isValid() ? itemFromIndex(m_dragItem) : nullptr;
    QTreeWidgetItem* target = HitItem(e->position().toPoint());
    int model = -1, newParent = kNoModel;
    const bool drop = dragged && target && CanDrop(dragged, target);
    if (drop) {
        model = ModelOf(dragged);
        newParent = KindOf(target) == kRootItem ? kNoModel : ModelOf(target);
    }
    EndDrag();
    // The tree's press began a drag-select that this release ends.
    setState(NoState);
    // Reparent broadcasts the hint that rebuilds every item, so nothing of
    // the old tree is touched after it. With Ctrl the document records the
    // undo steps, the hint and the modified mark but moves nothing: what a
    // copying drop should make of the model is still an open question.
    if (drop) m_doc.Reparent(model, newParent, (e->modifiers() & Qt::ControlModifier) != 0);
}

// --- drag and drop -------------------------------------------------------------------

bool CHierarchyView::CanDrop(QTreeWidgetItem* dragged, QTreeWidgetItem* target) const
{
    const int kind = KindOf(target);
    if (kind == kInvalidItem) return false;
    for (QTreeWidgetItem* p = target; p; p = p->parent())
        if (p == dragged) return false;
    const int model = ModelOf(dragged);
    const int newParent = kind == kRootItem ? kNoModel : ModelOf(target);
    if (model < 0 || (kind != kRootItem && newParent < 0)) return false;
    // The scene's parent links decide too, should the items lag behind them.
    return m_doc.CanReparent(model, newParent);
}

void CHierarchyView::BeginDrag(QTreeWidgetItem* item, const QPoint& pos)
{
    m_dragging = true;
    m_dragItem = QPersistentModelIndex(indexFromItem(item));
    setCurrentItem(item);

    // The drag image: the item's picture and name, half transparent,
    // held where the item was grabbed.
    const QRect rect = visualItemRect(item);
    const QString text = item->text(0);
    const QFontMetrics fm(font());
    QPixmap pm(kImageSize + 4 + fm.horizontalAdvance(text) + 2, std::max(kImageSize, fm.height()) + 2);
    pm.fill(Qt::transparent);
    {
        QPainter p(&pm);
        p.setOpacity(0.6);
        p.drawPixmap(0, (pm.height() - kImageSize) / 2, item->icon(0).pixmap(kImageSize, kImageSize));
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QRect(kImageSize + 4, 0, pm.width(), pm.height()), Qt::AlignVCenter | Qt::AlignLeft, text);
    }
    if (!m_dragImage) {
        m_dragImage = new QLabel(viewport());
        m_dragImage->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    m_dragImage->setPixmap(pm);
    m_dragImage->resize(pm.size());
    m_dragImageOffset = QPoint(rect.left() - m_pressPos.x(), rect.top() - m_pressPos.y());
    m_dragImage->move(pos + m_dragImageOffset);
    m_dragImage->show();
}

void CHierarchyView::DragTo(const QPoint& pos, Qt::KeyboardModifiers modifiers)
{
    if (m_dragImage) m_dragImage->move(pos + m_dragImageOffset);
    QTreeWidgetItem* target = HitItem(pos);
    QTreeWidgetItem* dragged = m_dragItem.isValid() ? itemFromIndex(m_dragItem) : nullptr;
    SetDropTarget(target);
    int cursor = kNoDropCursor;
    if (target && dragged && CanDrop(dragged, target))
        cursor = (modifiers & Qt::ControlModifier) ? kDropCopyCursor : kDropCursor;
    if (cursor != m_cursorId) {
        m_cursorId = cursor;
        viewport()->setCursor(m_cursors[cursor == kDropCursor ? 0 : cursor == kDropCopyCursor ? 1 : 2]);
    }
}

void CHierarchyView::SetDropTarget(QTreeWidgetItem* target)
{
    QTreeWidgetItem* old = DropTarget();
    if (old == target) return;
    // The highlight is the selection colour on the target's row.
    if (old) {
        old->setData(0, Qt::BackgroundRole, QVariant());
        old->setData(0, Qt::ForegroundRole, QVariant());
    }
    m_dropTarget = target ? QPersistentModelIndex(indexFromItem(target)) : QPersistentModelIndex();
    if (target) {
        target->setBackground(0, palette().brush(QPalette::Highlight));
        target->setForeground(0, palette().brush(QPalette::HighlightedText));
    }
}

void CHierarchyView::EndDrag()
{
    m_dragging = false;
    if (m_dragImage) m_dragImage->hide();
    SetDropTarget(nullptr);
    m_dragItem = QPersistentModelIndex();
    m_cursorId = kNoDragCursor;
    viewport()->unsetCursor();
}

// --- label editing -------------------------------------------------------------------

bool CHierarchyView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // A click on the selected name, F2 or a double click would rename by
    // accident; only the rename command opens the editor.
    if (!m_renameAllowed) return false;
    return QTreeWidget::edit(index, trigger, event);
}

void CHierarchyView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    m_renameAllowed = false;
    QTreeWidget::closeEditor(editor, hint);
}

void CHierarchyView::CommitRename(const QModelIndex& index, const QString& text)
{
    QTreeWidgetItem* item = itemFromIndex(index);
    CKinovela& scene = m_doc.Scene();
    // The document renames the selected model; should the selection have
    // moved while the editor was open, the edit no longer names it.
    const int model = ModelOf(item);
    if (text.isEmpty() || model < 0 || model != scene.m_selected) return;
    if (!m_doc.RenameSelected(Utf8ToCp932(text.toStdString()))) return;
    // Show what was stored: characters Shift_JIS lacks became '?'.
    item->setText(0, ModelText(scene.m_models[static_cast<std::size_t>(model)]));
}

// --- commands ------------------------------------------------------------------------

bool CHierarchyView::OnCommand(int id)
{
    switch (id) {
    case ID_MODEL_ADD:
        OnAddModel();
        return true;
    case ID_MODEL_DELETE:
        OnDeleteModel();
        return true;
    case ID_MODEL_RENAME:
        OnRenameModel();
        return true;
    case ID_MODEL_SHOW_HIDE:
        OnShowHide();
        return true;
    default:
        return false;
    }
}

void CHierarchyView::OnAddModel()
{
    const QString path = m_chooseModelFile ? m_chooseModelFile() : QString();
    if (path.isEmpty()) return;
    // Added under the selected model; the document's hint rebuilds the tree.
    const DocResult r = m_addModels(QFile::encodeName(path).toStdString());
    if (m_showResult) m_showResult(r);
}

void CHierarchyView::OnDeleteModel()
{
    if (!m_doc.Scene().HasSelection()) return;
    m_doc.DeleteSelectedModel();
    clearSelection();
}

void CHierarchyView::OnRenameModel()
{
    QTreeWidgetItem* item = ItemOfModel(m_doc.Scene().m_selected);
    if (!item) return;
    m_renameAllowed = true;
    setCurrentItem(item);
    scrollToItem(item);
    editItem(item, 0);
    if (state() != EditingState) m_renameAllowed = false;
}

void CHierarchyView::OnShowHide()
{
    const int model = ModelOf(currentItem());
    if (model < 0) {
        m_doc.UpdateAllViews(kHintSelection);
        return;
    }
    // The document flips the flag, sets the selection and sends the hint.
    m_doc.ToggleVisibility(model);
    if (QTreeWidgetItem* item = ItemOfModel(model))
        SetKind(item, m_doc.Scene().m_models[static_cast<std::size_t>(model)].m_visible ? kVisibleModelItem
                                                                                       : kHiddenModelItem);
}

std::unique_ptr<QMenu> CHierarchyView::BuildPopup(bool onModel)
{
    auto menu = std::make_unique<QMenu>(Tr("Menu", kMenuTitle), this);
    menu->setObjectName(QString::number(onModel ? kModelMenu : kRootMenu));
    for (const int id : kMenuItems) {
        if (!onModel && id != ID_MODEL_ADD) continue;
        QAction* action = menu->addAction(Caption(id));
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    }
    return menu;
}

void CHierarchyView::ShowPopup(bool onModel, const QPoint& globalPos)
{
    const std::unique_ptr<QMenu> menu = BuildPopup(onModel);
    if (m_execPopup) m_execPopup(*menu, globalPos);
}

}  // namespace kinovela::ui
