#include "core/platform/ProgramDirectory.h"

#include <QCoreApplication>
#include <QDir>

namespace vesko {

ProgramDirectory::ProgramDirectory()
    : m_path(QCoreApplication::applicationDirPath())
{
}

ProgramDirectory::ProgramDirectory(QString path)
    : m_path(std::move(path))
{
}

QString ProgramDirectory::file(const QString &name) const
{
    return QDir(m_path).filePath(name);
}

} // namespace vesko
