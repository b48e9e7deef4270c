#include "scene/Hierarchy.h"

namespace kinovela {

std::vector<TreeItem> HierarchyTreeOrder(const CKinovela& scene)
{
    const int n = static_cast<int>(scene.m_models.size());
    std::vector<std::vector<int>> children(static_cast<std::size_t>(n));
    std::vector<int> roots;
    for (int i = 0; i < n; ++i) {
        const int p = scene.m_models[static_cast<std::size_t>(i)].m_parent;
        if (p == kNoModel)
            roots.push_back(i);
        else if (p >= 0 && p < n)
            children[static_cast<std::size_t>(p)].push_back(i);
    }

    // Depth-first with an explicit stack: a chain of thousands of models must
    // not exhaust the call stack. Children are pushed in reverse so that they
    // come off in list order.
    std::vector<TreeItem> out;
    out.reserve(static_cast<std::size_t>(n));
    std::vector<char> listed(static_cast<std::size_t>(n), 0);
    std::vector<TreeItem> stack;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it) stack.push_back({*it, 0});
    while (!stack.empty()) {
        const TreeItem item = stack.back();
        stack.pop_back();
        if (listed[static_cast<std::size_t>(item.model)]) continue;
        listed[static_cast<std::size_t>(item.model)] = 1;
        out.push_back(item);
        const auto& kids = children[static_cast<std::size_t>(item.model)];
        for (auto it = kids.rbegin(); it != kids.rend(); ++it)
            if (!listed[static_cast<std::size_t>(*it)]) stack.push_back({*it, item.depth + 1});
    }
    return out;
}

std::vector<WalkEntry> WalkFromTreeOrder(const CKinovela& scene, std::span<const int> visible)
{
    std::vector<WalkEntry> walk;
    const int count = static_cast<int>(scene.m_models.size());
    if (count == 0 || visible.empty()) return walk;
    auto inRange = [count](int i) { return i >= 0 && i < count; };
    for (int m : visible)
        if (!inRange(m)) return walk;  // not a tree this scene can have
    auto parent = [&](int i) { return inRange(i) ? scene.m_models[static_cast<std::size_t>(i)].m_parent : kNoModel; };

    walk.push_back({kWalkBegin, 0});
    // Climbing out of a subtree follows parent links; capping the steps at
    // the model count keeps a malformed tree from looping.
    auto climb = [&](int pc, int stopAt) {
        for (int steps = 0; pc != stopAt && inRange(pc) && steps < count; ++steps) {
            walk.push_back({kWalkLeave, pc});
            pc = parent(pc);
        }
    };

    int c = visible[0];
    for (std::size_t k = 0;; ++k) {
        c = visible[k];
        const int pc = parent(c);
        walk.push_back({kWalkEnter, c});
        if (k + 1 == visible.size()) break;
        const int next = visible[k + 1];
        const int pn = parent(next);
        if (pn == pc) {
            walk.push_back({kWalkLeave, c});
        } else if (pn == c) {
            // a child follows: c stays open
        } else {
            walk.push_back({kWalkLeave, c});
            climb(pc, pn);
        }
    }
    walk.push_back({kWalkLeave, c});
    climb(parent(c), kNoModel - 1);  // no model index equals this: climb to the top
    walk.push_back({kWalkEnd, c});
    return walk;
}

std::vector<WalkEntry> BuildHierarchyWalk(const CKinovela& scene)
{
    const std::vector<TreeItem> items = HierarchyTreeOrder(scene);
    std::vector<int> models;
    models.reserve(items.size());
    for (const TreeItem& it : items) models.push_back(it.model);
    return WalkFromTreeOrder(scene, models);
}

}  // namespace kinovela
