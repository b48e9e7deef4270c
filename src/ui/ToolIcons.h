// The tool bar pictures, 16 x 15, drawn at run time so that they stay sharp
// and need no image files.
#pragma once

#include <QIcon>

namespace kinovela::ui {

// The picture of a tool bar command; a null icon for an id without one.
QIcon ToolIcon(int id);

}  // namespace kinovela::ui
