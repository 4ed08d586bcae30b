// Any bytes as a pick-list file, read as the search box reads it.
#include "Check.h"
#include "core/config/TextEncoding.h"
#include "core/search/PickListReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace vesko;

namespace {

const QString kColumn = QStringLiteral("姓名");

// One entry per line, whatever the line ends; a final line end adds none.
QStringList expectedEntries(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    if (text.isEmpty())
        return {};
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text.split(u'\n');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir directory;
    static const QString path = [] {
        QDir(directory.path()).mkpath(QStringLiteral("set_info/bg_info/field_list"));
        return directory.filePath(QStringLiteral("set_info/bg_info/field_list/") + kColumn + QStringLiteral(".flt"));
    }();
    const QByteArrayView bytes(data, qsizetype(size));
    QFile file(path);
    VESKO_FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate)
                     && file.write(bytes.data(), bytes.size()) == bytes.size());
    file.close();

    const std::optional<QStringList> entries = PickListReader(ProgramDirectory(directory.path())).read(kColumn);
    VESKO_FUZZ_CHECK(entries && *entries == expectedEntries(decode(bytes, encodingOf(bytes))));
    return 0;
}
