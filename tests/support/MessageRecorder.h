#pragma once

#include "core/platform/MessageService.h"

#include <QList>
#include <QStringList>

namespace vesko::test {

// How texts() marks a message shown with the information icon.
inline const QString kInformationMark = QStringLiteral("(i) ");

// Keeps every message in order instead of showing a box.
class MessageRecorder : public MessageService
{
public:
    struct Message
    {
        QString text;
        Icon icon;
        QString detail;
    };

    void show(const QString &text, Icon icon, const QString &detail = QString()) override
    {
        messages.append({text, icon, detail});
    }

    // Each message's text, after kInformationMark when it has the
    // information icon.
    QStringList texts() const
    {
        QStringList out;
        for (const Message &m : messages)
            out.append((m.icon == Icon::Information ? kInformationMark : QString()) + m.text);
        return out;
    }
    void clear() { messages.clear(); }

    QList<Message> messages;
};

} // namespace vesko::test
