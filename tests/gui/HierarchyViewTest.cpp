// The hierarchy pane driven with real mouse and key events on a shown
// widget, against a real document. Runs under a virtual display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>

#include <random>

#include "TestUtil.h"
#include "common/TextCodec.h"
#include "scene/Hierarchy.h"
#include "ui/HierarchyView.h"

namespace kinovela {
namespace {

using ui::CHierarchyView;

class Tree : public ::testing::Test {
protected:
    void SetUp() override
    {
        view = std::make_unique<CHierarchyView>(doc);
        view->resize(320, 480);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        doc.OnNewDocument();
    }

    // One small triangle object per name, all top level.
    void Load(const std::vector<std::string>& names)
    {
        std::string body;
        for (const std::string& n : names) body += test::MqoObject(n, "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)");
        ASSERT_TRUE(test::ImportText(scene, timeline, test::Mqo(body)).ok);
        doc.UpdateAllViews(kHintOpened);
    }
    QWidget* Port() { return view->viewport(); }
    QPoint At(QTreeWidgetItem* item) { return view->visualItemRect(item).center(); }
    QPoint At(int model) { return At(view->ItemOfModel(model)); }
    void Send(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held,
              Qt::KeyboardModifiers mods = {})
    {
        QMouseEvent e(type, pos, Port()->mapToGlobal(pos), button, held, mods);
        QApplication::sendEvent(Port(), &e);
    }
    // Press on `from`, move to `to` in steps (the cursor seen there is
    // returned), release there.
    int Drag(int from, QPoint to, Qt::KeyboardModifiers mods = {})
    {
        const QPoint start = At(from);
        Send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        for (int k = 1; k <= 4; ++k)
            Send(QEvent::MouseMove, start + (to - start) * k / 4, Qt::NoButton, Qt::LeftButton, mods);
        const int cursor = view->DragCursor();
        Send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, mods);
        return cursor;
    }
    void Click(QPoint pos, Qt::MouseButton b = Qt::LeftButton)
    {
        Send(QEvent::MouseButtonPress, pos, b, b);
        Send(QEvent::MouseButtonRelease, pos, b, Qt::NoButton);
    }
    std::vector<QString> ChildTexts(QTreeWidgetItem* item)
    {
        std::vector<QString> out;
        for (int i = 0; i < item->childCount(); ++i) out.push_back(item->child(i)->text(0));
        return out;
    }
    // Right-clicks `pos` and runs the pop-up's command `id` (0: none); the
    // ids the pop-up offered are returned.
    std::vector<int> Popup(QPoint pos, int id)
    {
        std::vector<int> offered;
        view->m_execPopup = [&](QMenu& menu, const QPoint&) {
            for (QAction* a : menu.actions()) offered.push_back(a->data().toInt());
            for (QAction* a : menu.actions())
                if (a->data().toInt() == id) a->trigger();
        };
        Send(QEvent::MouseButtonPress, pos, Qt::RightButton, Qt::RightButton);
        Send(QEvent::MouseButtonRelease, pos, Qt::RightButton, Qt::NoButton);
        return offered;
    }

    CKinovela scene;
    CTimeline timeline;
    CKinoDoc doc{scene, timeline};
    std::unique_ptr<CHierarchyView> view;
};

TEST_F(Tree, WalkFromTheItemsEqualsTheCoreWalkOnRandomForests)
{
    std::mt19937 rng(20240611);
    for (int round = 0; round < 60; ++round) {
        const int n = round == 0 ? 0 : static_cast<int>(rng() % 14) + 1;
        scene.m_models.assign(static_cast<std::size_t>(n), CModel{});
        for (int i = 0; i < n; ++i) {
            CModel& m = scene.m_models[static_cast<std::size_t>(i)];
            m.m_name = "m" + std::to_string(i);
            // Top level, any model (cycles included) or an index past the end.
            const unsigned r = rng() % 10;
            m.m_parent = r < 4 ? kNoModel : r < 9 ? static_cast<int>(rng() % n) : n + 2;
            m.m_visible = rng() % 4 != 0;
        }
        doc.UpdateAllViews(kHintHistory);
        SCOPED_TRACE("round " + std::to_string(round));
        EXPECT_EQ(scene.m_hierarchyWalk, BuildHierarchyWalk(scene));
        if (n == 0) {
            EXPECT_TRUE(scene.m_hierarchyWalk.empty());
        }
        // Each item sits under its model's parent, hidden models marked.
        for (int i = 0; i < n; ++i) {
            QTreeWidgetItem* item = view->ItemOfModel(i);
            if (!item) continue;  // unreachable from the top level
            const CModel& m = scene.m_models[static_cast<std::size_t>(i)];
            EXPECT_EQ(m.m_parent == kNoModel ? view->RootItem() : view->ItemOfModel(m.m_parent), item->parent());
            EXPECT_EQ(CHierarchyView::KindOf(item),
                      m.m_visible ? CHierarchyView::kVisibleModelItem : CHierarchyView::kHiddenModelItem);
        }
    }
}

TEST_F(Tree, ChildrenFollowModelOrderWhateverTheDropOrder)
{
    const std::string body = "\x83\x7B\x83\x66\x83\x42";  // "ボディ" in Shift_JIS
    Load({body, "arm", "leg", "head"});
    EXPECT_EQ(view->ItemOfModel(0)->text(0), QString::fromUtf8("ボディ"));

    EXPECT_EQ(CHierarchyView::kDropCursor, Drag(3, At(0)));  // head under body first
    EXPECT_EQ(CHierarchyView::kDropCursor, Drag(1, At(0)));
    EXPECT_EQ(ChildTexts(view->ItemOfModel(0)), (std::vector<QString>{"arm", "head"}));
    EXPECT_EQ(scene.m_models[3].m_parentName, body);
    EXPECT_EQ(scene.m_hierarchyWalk, BuildHierarchyWalk(scene));
}

TEST_F(Tree, DropOntoOwnChildIsRefusedAndOntoRootMakesTopLevel)
{
    Load({"body", "arm"});
    Drag(1, At(0));
    ASSERT_EQ(scene.m_models[1].m_parent, 0);
    doc.SetModified(false);
    const std::size_t undo = scene.m_undo.Size();

    EXPECT_EQ(CHierarchyView::kNoDropCursor, Drag(0, At(1)));
    EXPECT_EQ(scene.m_models[0].m_parent, kNoModel);
    EXPECT_EQ(scene.m_models[1].m_parent, 0);
    EXPECT_EQ(scene.m_undo.Size(), undo);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(view->IsDragging());
    EXPECT_EQ(view->DragCursor(), CHierarchyView::kNoDragCursor);

    // Ctrl: the copy cursor and the modified mark, but no move and so
    // nothing to undo.
    EXPECT_EQ(CHierarchyView::kDropCopyCursor, Drag(1, At(view->RootItem()), Qt::ControlModifier));
    EXPECT_EQ(scene.m_models[1].m_parent, 0);
    EXPECT_EQ(scene.m_undo.Size(), undo);
    EXPECT_TRUE(doc.IsModified());

    EXPECT_EQ(CHierarchyView::kDropCursor, Drag(1, At(view->RootItem())));
    EXPECT_EQ(scene.m_models[1].m_parent, kNoModel);
    EXPECT_EQ(scene.m_models[1].m_parentName, kNoParentName);
    EXPECT_EQ(view->ItemOfModel(1)->parent(), view->RootItem());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(scene.m_undo.Size(), undo + 1) << "one step for the drop";

    // The root itself does not drag.
    const QPoint root = At(view->RootItem());
    Send(QEvent::MouseButtonPress, root, Qt::LeftButton, Qt::LeftButton);
    Send(QEvent::MouseMove, At(1), Qt::NoButton, Qt::LeftButton);
    EXPECT_FALSE(view->IsDragging());
    Send(QEvent::MouseButtonRelease, At(1), Qt::LeftButton, Qt::NoButton);
}

TEST_F(Tree, NamesChangeOnlyThroughTheRenameCommand)
{
    Load({"body", "arm", "leg"});
    doc.Reparent(1, 0, false);
    doc.Reparent(2, 0, false);

    Click(At(0));
    ASSERT_EQ(scene.m_selected, 0);
    Click(At(0));  // on the selected name
    QTest::keyClick(Port(), Qt::Key_F2);
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    EXPECT_FALSE(view->IsEditingName());

    Popup(At(0), ID_MODEL_RENAME);
    ASSERT_TRUE(view->IsEditingName());
    auto* editor = view->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QString::fromUtf8("胴体"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();  // the delegate commits through a queued call

    const std::string renamed = Utf8ToCp932("胴体");
    EXPECT_EQ(scene.m_models[0].m_name, renamed);
    EXPECT_EQ(scene.m_models[1].m_parentName, renamed);
    EXPECT_EQ(scene.m_models[2].m_parentName, renamed);
    EXPECT_EQ(view->ItemOfModel(0)->text(0), QString::fromUtf8("胴体"));
    EXPECT_FALSE(view->RenameAllowed());
}

TEST_F(Tree, HiddenModelIsNotSelectedByClickButShowingSelectsIt)
{
    Load({"body", "arm"});
    scene.m_models[1].m_visible = 0;
    doc.UpdateAllViews(kHintHistory);
    ASSERT_EQ(CHierarchyView::KindOf(view->ItemOfModel(1)), CHierarchyView::kHiddenModelItem);

    Click(At(0));
    Click(At(1));
    EXPECT_EQ(scene.m_selected, 0);
    EXPECT_EQ(view->currentItem(), view->ItemOfModel(1));

    view->OnCommand(ID_MODEL_SHOW_HIDE);
    EXPECT_EQ(scene.m_selected, 1);
    EXPECT_EQ(scene.m_models[1].m_visible, 1);
    EXPECT_EQ(CHierarchyView::KindOf(view->ItemOfModel(1)), CHierarchyView::kVisibleModelItem);

    view->OnShowHide();
    EXPECT_EQ(scene.m_selected, kNoModel);
    EXPECT_EQ(CHierarchyView::KindOf(view->ItemOfModel(1)), CHierarchyView::kHiddenModelItem);

    // The root stands for the camera.
    Click(At(1));
    Click(At(view->RootItem()));
    EXPECT_EQ(scene.m_selected, kNoModel);
    EXPECT_EQ(doc.m_mouseTarget, 0);
}

TEST_F(Tree, PopupsOfferTheirCommandsAndDeleteNeedsASelection)
{
    test::TempDir dir;
    const std::string file = dir.File("wheel.mqo");
    test::WriteFile(file, test::Mqo(test::MqoObject("wheel", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)")));
    view->m_chooseModelFile = [&] { return QString::fromStdString(file); };
    view->m_showResult = [](const DocResult& r) { EXPECT_TRUE(r.ok) << r.message; };

    // An empty scene: the root only, an empty walk.
    EXPECT_EQ(view->topLevelItemCount(), 1);
    EXPECT_EQ(view->RootItem()->childCount(), 0);
    EXPECT_TRUE(scene.m_hierarchyWalk.empty());

    EXPECT_EQ(Popup(At(view->RootItem()), ID_MODEL_ADD), std::vector<int>{ID_MODEL_ADD});
    ASSERT_EQ(scene.m_models.size(), 1u);
    EXPECT_EQ(Popup(At(0), ID_MODEL_ADD),
              (std::vector<int>{ID_MODEL_ADD, ID_MODEL_DELETE, ID_MODEL_RENAME, ID_MODEL_SHOW_HIDE}));
    ASSERT_EQ(scene.m_models.size(), 2u);
    EXPECT_EQ(scene.m_models[1].m_parent, 0);
    EXPECT_EQ(view->ItemOfModel(1)->parent(), view->ItemOfModel(0));

    doc.SetModified(false);
    ASSERT_EQ(scene.m_selected, kNoModel);
    view->OnDeleteModel();
    EXPECT_EQ(scene.m_models.size(), 2u);
    EXPECT_FALSE(doc.IsModified());

    Popup(At(1), ID_MODEL_DELETE);
    EXPECT_EQ(scene.m_models.size(), 1u);
    EXPECT_EQ(view->RootItem()->child(0)->childCount(), 0);
    EXPECT_EQ(view->ItemOfModel(1), nullptr);
}

}  // namespace
}  // namespace kinovela

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
