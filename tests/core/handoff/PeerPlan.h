#pragma once

#include <QList>
#include <QStringList>

#include <optional>

namespace vesko::test {

// A record handed over while handoff_peer reads brinfo.ini (no value = Null).
struct PeerRecord
{
    QStringList names;
    QList<std::optional<QString>> values;
};

// The two records handed over in turn, a wide and a narrow one: Chinese
// text, Nulls, empty and long values.
inline QList<PeerRecord> peerPlan()
{
    QList<PeerRecord> plan;
    for (const int n : {32, 7}) {
        PeerRecord r;
        for (int i = 0; i < n; ++i) {
            const QString values[] = {QString(), QStringLiteral("张三%1号").arg(n), QString(300 + i, QChar(0x4e00 + n)),
                                      QString(1000, QChar(0x4e00 + i))};
            r.names.append(QStringLiteral("栏目%1_%2").arg(n).arg(i));
            r.values.append(i % 5 == 4 ? std::nullopt : std::optional(values[i % 4]));
        }
        plan.append(r);
    }
    return plan;
}

} // namespace vesko::test
