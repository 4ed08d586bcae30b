#include "support/MessageRecorder.h"

namespace vesko::test {

void MessageRecorder::show(const QString &text, Icon icon, const QString &detail)
{
    messages.append({text, icon, detail});
}

QStringList MessageRecorder::texts() const
{
    QStringList out;
    for (const auto &m : messages)
        out.append((m.icon == Icon::Information ? kInformationMark : QString()) + m.text);
    return out;
}

} // namespace vesko::test
