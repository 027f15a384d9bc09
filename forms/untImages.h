#pragma once
// The module's small pictures (images/, with an @2x file of each for high-DPI
// screens): the tool bar and menu images by their index in the window's image
// list, and the glyph of the tree pane's hide button.
#include <QIcon>

QIcon ToolImage(int Index);      // 16 x 16; an index without a picture gives a null icon
QIcon HidePaneGlyph();           // 12 x 12 double arrow pointing left
QIcon ShowPaneGlyph();           // the same pointing right
QIcon WindowImage();             // the window's own icon, 16, 32 and 48: a ledger with a green tick
QIcon UnitTreeImage(bool Leaf);  // tree nodes: an office building, a folder for branches
