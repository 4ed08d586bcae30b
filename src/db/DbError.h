#pragma once

#include <QString>

#include <stdexcept>

namespace vesko::db {

// A failure of the database layer. detail() keeps the engine's own error
// text so that a window can show it under its fixed message; kind() tells a
// lost connection, worth one reconnect, and a statement the user cancelled
// from the rest.
class DbError : public std::runtime_error
{
public:
    enum class Kind { Failed, ConnectionLost, Cancelled };

    explicit DbError(const QString &detail, Kind kind = Kind::Failed)
        : std::runtime_error(detail.toStdString()), m_detail(detail), m_kind(kind)
    {
    }

    const QString &detail() const { return m_detail; }
    Kind kind() const { return m_kind; }
    bool connectionLost() const { return m_kind == Kind::ConnectionLost; }
    bool cancelled() const { return m_kind == Kind::Cancelled; }

private:
    QString m_detail;
    Kind m_kind;
};

} // namespace vesko::db
