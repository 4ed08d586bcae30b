#pragma once

#include "texts/Texts.h"

#include <QString>

#include <stdexcept>

namespace vesko::db {

// A failure of the database layer: what the program says of it, and the
// engine's own text as the engine wrote it, for a window to show under its
// fixed message. kind() tells a lost connection, worth one reconnect, and a
// statement the user cancelled from the rest.
class DbError : public std::runtime_error
{
public:
    enum class Kind { Failed, ConnectionLost, Cancelled };

    explicit DbError(const QString &text, Kind kind = Kind::Failed, const QString &engineText = QString())
        : std::runtime_error((text + engineText).toStdString())
        , m_detail(engineText.isEmpty()
                       ? text
                       : (text.isEmpty() ? QString() : text + u'\n') + text::kEngineSaid + u'\n' + engineText)
        , m_kind(kind)
    {
    }
    // The engine's text alone, under the program's heading.
    static DbError fromEngine(const QString &engineText, Kind kind = Kind::Failed)
    {
        return DbError(QString(), kind, engineText);
    }

    // The program's text, then the engine's under its heading.
    const QString &detail() const { return m_detail; }
    Kind kind() const { return m_kind; }
    bool connectionLost() const { return m_kind == Kind::ConnectionLost; }
    bool cancelled() const { return m_kind == Kind::Cancelled; }

private:
    QString m_detail;
    Kind m_kind;
};

} // namespace vesko::db
