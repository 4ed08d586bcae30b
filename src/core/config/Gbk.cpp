#include "core/config/Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace vesko {

QString fromGbk(QByteArrayView bytes)
{
    QStringDecoder decoder("GB18030");
    return decoder.decode(bytes);
}

QByteArray toGbk(const QString &text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

} // namespace vesko
