#pragma once

#include <QString>

namespace vesko {

// The directory that holds the executable, where vesko.ini, brinfo.ini and
// the pick lists live. Tests point it at a temporary directory.
class ProgramDirectory
{
public:
    // The directory of the running executable.
    ProgramDirectory();
    explicit ProgramDirectory(QString path);

    const QString &path() const { return m_path; }

    // A file of the program directory, the path built anew on each call.
    QString file(const QString &name) const;
    QString veskoIni() const { return file(QStringLiteral("vesko.ini")); }
    QString brinfoIni() const { return file(QStringLiteral("brinfo.ini")); }

private:
    QString m_path;
};

} // namespace vesko
