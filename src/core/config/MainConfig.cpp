#include "core/config/MainConfig.h"

#include "core/config/ProfileStore.h"

namespace vesko {

namespace {

std::optional<QString> readSet(const QString &section, const QString &key, const QString &path)
{
    const QString value = read_ini(section, key, path);
    if (value == ProfileStore::kNotSet)
        return std::nullopt;
    return value;
}

} // namespace

bool readStartupConfig(const QString &iniPath, RunConfig &config)
{
    const auto connection = readSet(ini::kConnection, ini::kValue, iniPath);
    if (!connection)
        return false;
    config.g_cn = *connection;

    const auto defaultStatement = readSet(ini::kDefault, ini::kValue, iniPath);
    if (!defaultStatement)
        return false;
    config.g_sql = *defaultStatement;

    config.g_all = readSet(ini::kAll, ini::kValue, iniPath).value_or(QString());
    config.g_qt1 = readSet(ini::kSpare1, ini::kValue, iniPath).value_or(QString());
    config.g_qt2 = readSet(ini::kSpare2, ini::kValue, iniPath).value_or(QString());
    return true;
}

StoredTexts readStoredTexts(const QString &iniPath)
{
    StoredTexts texts;
    texts.connection = readSet(ini::kConnection, ini::kValue, iniPath);
    texts.defaultStatement = readSet(ini::kDefault, ini::kValue, iniPath);
    texts.all = readSet(ini::kAll, ini::kValue, iniPath);
    texts.spare1 = readSet(ini::kSpare1, ini::kValue, iniPath);
    texts.spare2 = readSet(ini::kSpare2, ini::kValue, iniPath);
    return texts;
}

void writeStatementTexts(const QString &iniPath, const StatementTexts &texts,
                         MessageService &messages)
{
    write_ini(ini::kConnection, ini::kValue, texts.connection, iniPath, messages);
    write_ini(ini::kDefault, ini::kValue, texts.defaultStatement, iniPath, messages);
    write_ini(ini::kAll, ini::kValue, texts.all, iniPath, messages);
    write_ini(ini::kSpare1, ini::kValue, texts.spare1, iniPath, messages);
    write_ini(ini::kSpare2, ini::kValue, texts.spare2, iniPath, messages);
}

std::optional<float> readPosition(const QString &iniPath, const QString &key)
{
    const auto stored = readSet(ini::kPosition, key, iniPath);
    if (!stored)
        return std::nullopt;
    bool ok = false;
    const float value = stored->trimmed().toFloat(&ok);
    if (!ok)
        throw PositionError("window position is not a number: " + stored->toStdString());
    return value < 0 ? 0.0f : value;
}

QString positionText(float twips)
{
    return QString::number(twips, 'g', 7);
}

void writePosition(const QString &iniPath, float left, float top, MessageService &messages)
{
    write_ini(ini::kPosition, ini::kLeft, positionText(left), iniPath, messages);
    write_ini(ini::kPosition, ini::kTop, positionText(top), iniPath, messages);
}

} // namespace vesko
