#pragma once

class QWidget;

namespace vesko {

// The window of owner that the user works in: the active one when it is
// owner or one of its own windows (the settings dialog that asked for a
// test, say), else owner itself. Boxes and progress windows shown over it
// come up in front, not behind a dialog.
QWidget *frontWindow(QWidget *owner);

} // namespace vesko
