// The hierarchy pane: the document as one root item and every model under
// its parent model. The user selects, shows and hides, renames, adds, deletes
// and re-parents models here, and the scene's hierarchy walk is built from
// the order of this tree's items, so the 3D view draws in the order shown.
//
// The scene side of every action (undo records, hints, modified mark) is the
// document's; this class only turns mouse and menu input into those calls
// and mirrors the scene in its items.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QPersistentModelIndex>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <vector>

#include "document/KinoDoc.h"

class QLabel;
class QMenu;

namespace kinovela::ui {

class CHierarchyView final : public QTreeWidget, public IKinoView {
public:
    // An item's kind is also the number of its normal image; the selected
    // image is the next one (root 0/1, visible model 2/3, hidden model 4/5).
    enum ItemKind : int { kInvalidItem = -1, kRootItem = 0, kVisibleModelItem = 2, kHiddenModelItem = 4 };
    // The cursor shown while dragging a model, by resource number.
    enum DragCursorId : int { kNoDragCursor = 0, kDropCursor = 137, kDropCopyCursor = 141, kNoDropCursor = 143 };
    // Pop-up menus by resource number: a model item's and the root item's.
    static constexpr int kModelMenu = 135;
    static constexpr int kRootMenu = 136;

    // Registers with `doc` and fills itself from its scene; `doc` must
    // outlive the view.
    explicit CHierarchyView(CKinoDoc& doc, QWidget* parent = nullptr);
    ~CHierarchyView() override;
    CHierarchyView(const CHierarchyView&) = delete;
    CHierarchyView& operator=(const CHierarchyView&) = delete;

    void OnUpdate(int hint) override;

    // --- commands (pop-up menus and the main window's accelerators) -----------
    void OnAddModel();     // 32798: asks for a .mqo and adds it under the selected model
    void OnDeleteModel();  // 32799: nothing without a selected model
    void OnRenameModel();  // 32800: the only way to start editing a name
    void OnShowHide();     // 32801: acts on the tree's current item
    // One of the four ids above; false (nothing done) for any other id.
    bool OnCommand(int id);

    // Menu 135 (onModel) or 136, its actions wired to OnCommand and carrying
    // their command id as data. The caller owns it.
    std::unique_ptr<QMenu> BuildPopup(bool onModel);

    // --- replaceable hooks -----------------------------------------------------------
    // The .mqo to add; empty for none. Defaults to an open dialog starting
    // where DialogStartFolder says.
    std::function<QString()> m_chooseModelFile;
    // Adds a .mqo's models under the selected model. Defaults to the
    // document's AddModels; the main window runs it as work, with progress.
    std::function<DocResult(const std::string&)> m_addModels;
    // Told the result of an add. Defaults to a warning box when it failed
    // and nobody has shown why.
    std::function<void(const DocResult&)> m_showResult;
    // Runs a pop-up at a global position. Defaults to a modal exec.
    std::function<void(QMenu&, const QPoint&)> m_execPopup;

    // --- what the items say --------------------------------------------------------
    static int KindOf(const QTreeWidgetItem* item);
    // The model an item stands for; -1 for the root, an invalid item, or a
    // value the scene no longer has.
    int ModelOf(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* ItemOfModel(int model) const;
    QTreeWidgetItem* RootItem() const { return topLevelItem(0); }
    // The models of the model items in tree order, as the walk is built from.
    std::vector<int> ModelsInTreeOrder() const;

    bool IsDragging() const { return m_dragging; }
    int DragCursor() const { return m_cursorId; }
    QTreeWidgetItem* DropTarget() const;
    bool RenameAllowed() const { return m_renameAllowed; }
    bool IsEditingName() const { return state() == EditingState; }

    // Image 0..5 of the item image list (13 x 13, transparent where white).
    static QPixmap StateImage(int image);
    static QCursor MakeDragCursor(int id);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    class RenameDelegate;

    void ResetTree();
    void Rebuild();
    void Fill();
    void ExpandAndMark(QTreeWidgetItem* start);
    void SelectSelectedModel();
    void BuildWalk();
    void SetKind(QTreeWidgetItem* item, int kind);
    QTreeWidgetItem* HitItem(const QPoint& pos) const;
    QTreeWidgetItem* FirstShownItem() const;
    void ShowPopup(bool onModel, const QPoint& globalPos);
    void CommitRename(const QModelIndex& index, const QString& text);

    bool CanDrop(QTreeWidgetItem* dragged, QTreeWidgetItem* target) const;
    void BeginDrag(QTreeWidgetItem* item, const QPoint& pos);
    void DragTo(const QPoint& pos, Qt::KeyboardModifiers modifiers);
    void SetDropTarget(QTreeWidgetItem* target);
    void EndDrag();

    CKinoDoc& m_doc;
    QIcon m_icons[3];  // root, visible model, hidden model: normal and selected images
    QCursor m_cursors[3];  // 137, 141, 143
    bool m_renameAllowed = false;

    // Items are rebuilt on every model-list hint, so the drag keeps
    // persistent indices rather than item pointers.
    bool m_dragging = false;
    QPersistentModelIndex m_pressItem;
    QPoint m_pressPos;
    QPersistentModelIndex m_dragItem;
    QPersistentModelIndex m_dropTarget;
    QLabel* m_dragImage = nullptr;  // child of the viewport
    QPoint m_dragImageOffset;
    int m_cursorId = kNoDragCursor;
};

}  // namespace kinovela::ui
