#include "scene/Hierarchy.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace kinovela {
namespace {

// Models named "m0".."mN-1" with the given parent indices; parent names
// follow the indices.
CKinovela Forest(const std::vector<int>& parents)
{
    CKinovela s;
    for (std::size_t i = 0; i < parents.size(); ++i) {
        CModel m;
        m.m_name = "m" + std::to_string(i);
        m.m_parent = parents[i];
        m.ResizeFrames(60, 0);
        s.m_models.push_back(m);
    }
    for (CModel& m : s.m_models)
        if (m.m_parent >= 0 && static_cast<std::size_t>(m.m_parent) < s.m_models.size())
            m.m_parentName = s.m_models[static_cast<std::size_t>(m.m_parent)].m_name;
    return s;
}

std::vector<WalkEntry> W(std::initializer_list<std::pair<int, int>> l)
{
    std::vector<WalkEntry> w;
    for (auto [e, m] : l) w.push_back({e, m});
    return w;
}

TEST(Hierarchy, WalkOfAChainAndASibling)
{
    // 0 <- 1 <- 2, and 3 on its own.
    const CKinovela s = Forest({-99, 0, 1, -99});
    EXPECT_EQ(BuildHierarchyWalk(s),
              W({{0, 0}, {1, 0}, {1, 1}, {1, 2}, {2, 2}, {2, 1}, {2, 0}, {1, 3}, {2, 3}, {3, 3}}));
}

TEST(Hierarchy, WalkEndsInsideANestedModel)
{
    // 0 with children 1 and 2; 2 has child 3 (the last model handled).
    const CKinovela s = Forest({-99, 0, 0, 2});
    EXPECT_EQ(BuildHierarchyWalk(s),
              W({{0, 0}, {1, 0}, {1, 1}, {2, 1}, {1, 2}, {1, 3}, {2, 3}, {2, 2}, {2, 0}, {3, 3}}));
}

TEST(Hierarchy, ChildrenFollowModelOrderUnderTheirParent)
{
    // Children listed before their parent in the model list still come after it.
    const CKinovela s = Forest({2, 2, -99, 1});
    std::vector<int> order;
    std::vector<int> depth;
    for (const TreeItem& it : HierarchyTreeOrder(s)) {
        order.push_back(it.model);
        depth.push_back(it.depth);
    }
    EXPECT_EQ(order, (std::vector<int>{2, 0, 1, 3}));
    EXPECT_EQ(depth, (std::vector<int>{0, 1, 1, 2}));
}

TEST(Hierarchy, EmptySceneHasAnEmptyWalk) { EXPECT_TRUE(BuildHierarchyWalk(CKinovela{}).empty()); }

TEST(Hierarchy, BadParentsAreLeftOutWithoutHanging)
{
    // 1 points outside the list, 2 and 3 form a cycle, 4 is its own parent,
    // 5 hangs under the cycle, 6 has a negative index other than -99.
    const CKinovela s = Forest({-99, 40, 3, 2, 4, 2, -5});
    EXPECT_EQ(BuildHierarchyWalk(s), W({{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
    const CKinovela none = Forest({1, 0});
    EXPECT_TRUE(BuildHierarchyWalk(none).empty());
}

TEST(Hierarchy, DeepChainNeedsNoDeepRecursion)
{
    std::vector<int> parents(200000);
    for (std::size_t i = 0; i < parents.size(); ++i) parents[i] = static_cast<int>(i) - 1;
    parents[0] = -99;
    const auto walk = BuildHierarchyWalk(Forest(parents));
    ASSERT_EQ(walk.size(), 2 * parents.size() + 2);
    EXPECT_EQ(walk[parents.size()], (WalkEntry{kWalkEnter, static_cast<int>(parents.size() - 1)}));
    EXPECT_EQ(walk.back(), (WalkEntry{kWalkEnd, static_cast<int>(parents.size() - 1)}));
}

// On random forests the walk enters every model once, after its parent and
// before its parent is left, and leaves every model once: exactly the nesting
// a matrix stack needs.
TEST(Hierarchy, RandomForestsGiveBalancedWalks)
{
    std::mt19937 rng(99);
    for (int round = 0; round < 300; ++round) {
        const int n = 1 + static_cast<int>(rng() % 30);
        // Each model's parent comes earlier in a random permutation, so there
        // are no cycles, but parents and children appear in any list order.
        std::vector<int> parents(static_cast<std::size_t>(n), -99);
        std::vector<int> perm(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) perm[static_cast<std::size_t>(i)] = i;
        std::shuffle(perm.begin(), perm.end(), rng);
        for (int k = 1; k < n; ++k)
            if (rng() % 4 != 0) parents[static_cast<std::size_t>(perm[static_cast<std::size_t>(k)])] =
                                    perm[rng() % static_cast<unsigned>(k)];
        const CKinovela s = Forest(parents);
        const auto walk = BuildHierarchyWalk(s);
        ASSERT_GE(walk.size(), 2u);
        EXPECT_EQ(walk.front().event, kWalkBegin);
        EXPECT_EQ(walk.back().event, kWalkEnd);
        std::vector<int> stack;
        std::vector<int> entered(static_cast<std::size_t>(n), 0);
        for (std::size_t k = 1; k + 1 < walk.size(); ++k) {
            const WalkEntry& e = walk[k];
            if (e.event == kWalkEnter) {
                const int p = parents[static_cast<std::size_t>(e.model)];
                ASSERT_EQ(p, stack.empty() ? -99 : stack.back()) << "round " << round;
                stack.push_back(e.model);
                ++entered[static_cast<std::size_t>(e.model)];
            } else {
                ASSERT_EQ(e.event, kWalkLeave);
                ASSERT_FALSE(stack.empty());
                ASSERT_EQ(stack.back(), e.model);
                stack.pop_back();
            }
        }
        EXPECT_TRUE(stack.empty());
        for (int c : entered) EXPECT_EQ(c, 1);
    }
}

TEST(Hierarchy, ResolveParentsUsesTheFirstModelOfThatName)
{
    CKinovela s = Forest({-99, -99, -99, -99});
    s.m_models[1].m_name = "twin";
    s.m_models[2].m_name = "twin";
    s.m_models[3].m_parentName = "twin";
    s.m_models[0].m_parentName = "nobody";
    s.m_selected = 2;
    s.ResolveParents();
    EXPECT_EQ(s.m_models[3].m_parent, 1);
    EXPECT_EQ(s.m_models[0].m_parent, -99);
    EXPECT_EQ(s.m_models[0].m_parentName, "<NULL>");
    EXPECT_EQ(s.m_selected, -99);
}

TEST(Hierarchy, DeletingAParentMakesItsChildrenTopLevel)
{
    CKinovela s = Forest({-99, 0, 0, 1});
    CTimeline t;
    t.m_current = 7;
    s.PushUndo(1, 3);
    s.m_selected = 0;
    s.DeleteModel(t);
    ASSERT_EQ(s.m_models.size(), 3u);
    EXPECT_EQ(s.m_models[0].m_name, "m1");
    EXPECT_EQ(s.m_models[0].m_parentName, "<NULL>");
    EXPECT_EQ(s.m_models[1].m_parent, -99);
    EXPECT_EQ(s.m_models[2].m_parent, 0) << "m3 follows m1 to its new index";
    EXPECT_EQ(s.m_selected, -99);
    EXPECT_EQ(t.m_current, 0);
    EXPECT_EQ(s.m_undo.Size(), 2u) << "the deletion is a step of the history";
    EXPECT_EQ(s.m_hierarchyWalk, BuildHierarchyWalk(s));

    s.DeleteModel(t);  // no selection: nothing happens
    EXPECT_EQ(s.m_models.size(), 3u);
}

TEST(Hierarchy, PruneMaterialsAndRenameLinks)
{
    CKinovela s = Forest({-99, 0});
    for (int id : {0, 1, 2, 3}) {
        CMaterial m;
        m.m_id = id;
        s.m_materials.push_back(m);
    }
    CFace f;
    f.m_material = 2;
    s.m_models[0].m_faces.push_back(f);
    f.m_material = 0;
    s.m_models[1].m_faces.push_back(f);
    s.m_nextMaterialId = 4;
    s.PruneMaterials();
    ASSERT_EQ(s.m_materials.size(), 2u);
    EXPECT_EQ(s.m_materials[0].m_id, 0);
    EXPECT_EQ(s.m_materials[1].m_id, 2);
    EXPECT_EQ(s.m_nextMaterialId, 4);

    s.m_selected = 1;
    CTimeline t;
    s.DeleteModel(t);  // the last user of material 0
    ASSERT_EQ(s.m_materials.size(), 1u);
    EXPECT_EQ(s.m_materials[0].m_id, 2);

    CKinovela r = Forest({-99, 0, 0});
    r.RenameParentLinks("m0", "root");
    EXPECT_EQ(r.m_models[1].m_parentName, "root");
    EXPECT_EQ(r.m_models[2].m_parentName, "root");
}

TEST(Hierarchy, ResetSceneRestoresDefaults)
{
    CKinovela s = Forest({-99});
    CTimeline t;
    s.m_lastListId = 40;
    s.m_nextMaterialId = 9;
    s.m_smooth = 0;
    s.m_fov = 30;
    s.m_camera[0].m_position = {1, 1, 1};
    s.m_animClipboard.resize(3);
    s.m_selected = 0;
    t.m_current = 5;
    s.ResetScene(t);
    EXPECT_TRUE(s.m_models.empty());
    EXPECT_EQ(s.m_lastListId, 5);
    EXPECT_EQ(s.m_nextMaterialId, 0);
    EXPECT_EQ(s.m_smooth, 1);
    EXPECT_EQ(s.m_fov, 10.0f);
    EXPECT_EQ(s.m_camera[0].m_position, CVector(0, 0, -2000));
    EXPECT_EQ(s.m_animClipboard.size(), 3u) << "the clipboard survives a new document";
    EXPECT_EQ(s.m_selected, 0) << "the tree view clears the selection, not the reset";
    EXPECT_EQ(t.m_current, 0);
}

}  // namespace
}  // namespace kinovela
