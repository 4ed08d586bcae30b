#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vesko::test {

// One record handed over while handoff_peer reads brinfo.ini (no value = Null).
struct PeerRecord
{
    QStringList names;
    QList<std::optional<QString>> values;
};

// n columns of Chinese text, Nulls, empty texts, dates and long values,
// different per tag.
inline PeerRecord peerRecord(const QString &tag, int n)
{
    PeerRecord r;
    for (int i = 0; i < n; ++i) {
        r.names.append(QStringLiteral("栏目%1_%2").arg(tag).arg(i));
        switch ((i + tag.size()) % 6) {
        case 0: r.values.append(std::nullopt); break;
        case 1: r.values.append(QStringLiteral("张三%1号").arg(tag)); break;
        case 2: r.values.append(QString(300 + i, tag.at(0))); break;
        case 3: r.values.append(QStringLiteral("2012/3/%1 10:00:00").arg(i % 28 + 1)); break;
        case 4: r.values.append(QString()); break;
        default: r.values.append(QString(1000, QChar(0x4e00 + i)) + tag); break;
        }
    }
    return r;
}

// The hand-offs in order, shared by the test and the peer: wider and
// narrower records in turn, some twice running.
inline QList<PeerRecord> peerPlan()
{
    const PeerRecord records[] = {peerRecord(QStringLiteral("甲"), 32), peerRecord(QStringLiteral("b"), 7),
                                  peerRecord(QStringLiteral("丙c"), 35)};
    const int order[] = {0, 1, 2, 0, 0, 2, 1, 2, 0, 1};
    QList<PeerRecord> plan;
    for (int k = 0; k < 50; ++k)
        plan.append(records[order[k % std::size(order)]]);
    return plan;
}

} // namespace vesko::test
