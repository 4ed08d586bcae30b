#pragma once

#include "texts/Texts.h"

#include <QString>

namespace vesko {

// The caption of every message box the program shows.
inline const QString &kAppTitle = text::kAppTitle;

// The one road to a modal message box: OK button, caption kAppTitle.
// The windows receive it; tests pass a recorder instead of a box that blocks.
class MessageService
{
public:
    enum class Icon { None, Information };

    virtual ~MessageService() = default;

    // Shows text (exactly as given) and waits until it is closed.
    // detail, when not empty, is the engine's own error text shown under it.
    virtual void show(const QString &text, Icon icon, const QString &detail = QString()) = 0;
};

} // namespace vesko
