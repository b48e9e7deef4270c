// The hierarchy tree and the walk built from it. The editor's tree view, the
// command-line tool and the exporters all get the walk from here, so a scene
// draws and exports in the same order with or without a window.
#pragma once

#include <span>
#include <vector>

#include "scene/Kinovela.h"

namespace kinovela {

struct TreeItem {
    int model = 0;
    int depth = 0;  // 0 for a top-level model
};

// The model items of the fully expanded tree in visible order: top-level
// models (parent index -99) in list order, each followed depth-first by its
// children in list order. Models whose parent index lies outside the list
// or that sit on a parent cycle are not reached and so are left out.
std::vector<TreeItem> HierarchyTreeOrder(const CKinovela& scene);

// The walk for a tree whose model items show the given models in visible
// order (each item's parent item must be the model's m_parent).
std::vector<WalkEntry> WalkFromTreeOrder(const CKinovela& scene, std::span<const int> visibleModels);

// WalkFromTreeOrder over HierarchyTreeOrder.
std::vector<WalkEntry> BuildHierarchyWalk(const CKinovela& scene);

}  // namespace kinovela
