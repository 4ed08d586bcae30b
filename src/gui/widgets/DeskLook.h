#pragma once

namespace vesko {

// The look of every window, set once before the first is made: the Chinese
// font whose captions fit the twip layouts, and Qt's own texts (buttons,
// menus, the details of a message box) in Chinese whatever the locale.
void applyDeskLook();

} // namespace vesko
