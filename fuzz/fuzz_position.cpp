// Any stored window position in vesko.ini.
#include "Check.h"
#include "core/config/Gbk.h"
#include "core/config/MainConfig.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>

using namespace vesko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir directory;
    static const QString path = directory.filePath(QStringLiteral("vesko.ini"));
    QFile file(path);
    VESKO_FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(toGbk(QStringLiteral("[vesko窗口位置]\r\nleft=")));
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();

    try {
        // Nothing for "-1", which means not set to every reader; otherwise
        // an edge the window can take, never left of the screen.
        const std::optional<float> left = readPosition(path, ini::kLeft);
        VESKO_FUZZ_CHECK(!left || (std::isfinite(*left) && *left >= 0));
    } catch (const PositionError &) {
    }
    return 0;
}
