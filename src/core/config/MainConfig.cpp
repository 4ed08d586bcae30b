#include "core/config/MainConfig.h"

#include "core/config/ProfileStore.h"

#include <cmath>

namespace vesko {

namespace {

// The farthest a window coordinate in twips can lie: 16-bit pixels.
constexpr float kMaxTwips = 32767.0f * 15.0f;

std::optional<QString> readSet(const QString &section, const QString &key, const QString &path)
{
    const QString value = ProfileStore::read(section, key, path);
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
    config.connectionString = *connection;

    const auto defaultStatement = readSet(ini::kDefault, ini::kValue, iniPath);
    if (!defaultStatement)
        return false;
    config.defaultStatement = *defaultStatement;

    config.allStatement = readSet(ini::kAll, ini::kValue, iniPath).value_or(QString());
    config.spare1Statement = readSet(ini::kSpare1, ini::kValue, iniPath).value_or(QString());
    config.spare2Statement = readSet(ini::kSpare2, ini::kValue, iniPath).value_or(QString());
    return true;
}

RunConfig readStoredTexts(const QString &iniPath)
{
    auto read = [&](const QString &section) { return readSet(section, ini::kValue, iniPath).value_or(QString()); };
    RunConfig texts;
    texts.connectionString = read(ini::kConnection);
    texts.defaultStatement = read(ini::kDefault);
    texts.allStatement = read(ini::kAll);
    texts.spare1Statement = read(ini::kSpare1);
    texts.spare2Statement = read(ini::kSpare2);
    return texts;
}

void writeStatementTexts(const QString &iniPath, const RunConfig &texts, MessageService &messages)
{
    writeProfileValue(ini::kConnection, ini::kValue, texts.connectionString, iniPath, messages);
    writeProfileValue(ini::kDefault, ini::kValue, texts.defaultStatement, iniPath, messages);
    writeProfileValue(ini::kAll, ini::kValue, texts.allStatement, iniPath, messages);
    writeProfileValue(ini::kSpare1, ini::kValue, texts.spare1Statement, iniPath, messages);
    writeProfileValue(ini::kSpare2, ini::kValue, texts.spare2Statement, iniPath, messages);
}

std::optional<float> readPosition(const QString &iniPath, const QString &key)
{
    const auto stored = readSet(ini::kPosition, key, iniPath);
    if (!stored)
        return std::nullopt;
    bool ok = false;
    const float value = stored->trimmed().toFloat(&ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > kMaxTwips)
        throw PositionError("window position is not a number: " + stored->toStdString());
    return value < 0 ? 0.0f : value;
}

QString positionText(float twips)
{
    return QString::number(twips, 'g', 7);
}

void writePosition(const QString &iniPath, float left, float top, MessageService &messages)
{
    writeProfileValue(ini::kPosition, ini::kLeft, positionText(left), iniPath, messages);
    writeProfileValue(ini::kPosition, ini::kTop, positionText(top), iniPath, messages);
}

} // namespace vesko
