#pragma once

#include "core/platform/ProgramDirectory.h"
#include "texts/Texts.h"

#include <QString>

namespace vesko {

class MessageService;

namespace db {
class Result;
}

// Writes brinfo.ini, the only channel to the registration program: the
// current row of a result (the hand-off) and the stop signal. The file is
// GBK, whatever it looks like, because the registration program reads GBK;
// a character outside GBK goes in as its four-byte GB18030 form. It is
// never cleared or trimmed here: entries are only added or replaced, and
// duplicates of the sections written are dropped.
class RecordHandOff
{
public:
    static inline const QString kCountSection = QStringLiteral("字段总数");
    static inline const QString kCountKey = QStringLiteral("值");
    static inline const QString kNameSection = QStringLiteral("字段名");
    static inline const QString kValueSection = QStringLiteral("字段值");
    static inline const QString kOverSection = QStringLiteral("over");
    static inline const QString kOverKey = QStringLiteral("value");
    static inline const QString kOverValue = QStringLiteral("yes");
    static inline const QString kStopSection = QStringLiteral("登记程序");
    static inline const QString kStopKey = QStringLiteral("value");
    static inline const QString kStopValue = QStringLiteral("stop");

    // Shown (information icon) instead of a hand-off when there is no record.
    static inline const QString &kNoRecord = text::kNoRecord;

    RecordHandOff(ProgramDirectory directory, MessageService &messages);

    // Hands over the current row of rs: 字段总数, then name and value of each
    // column in order (keys "0", "1", ...; Null as the empty text), then
    // over=yes, moved to be the last line of the file. All in one replacement
    // of the file, so the registration program reads the former file or the
    // whole new record; a failure shows "写出错！" once and leaves the former
    // file, and so does a record too large for the file to be read back.
    // Entries of an earlier, wider record beyond n stay.
    // With rs not open or without a current row nothing is written and
    // kNoRecord is shown. Returns whether the record is in the file.
    bool handOff(const db::Result &rs) const;

    // 登记程序 value=stop, one write; creates the file when there is none.
    // A file too large to be read back gives way to one that holds the stop
    // signal alone, so that the signal always gets through.
    void stopSignal() const;

private:
    ProgramDirectory m_directory;
    MessageService &m_messages;
};

} // namespace vesko
