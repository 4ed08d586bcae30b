#include "core/config/MainConfig.h"

#include "core/config/ProfileStore.h"
#include "core/config/StoredTexts.h"

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

constexpr int kRequired = 2; // 数据连接 and 默认查询

// The five values as stored, in one pass over the file.
QStringList readTexts(const QString &iniPath)
{
    QList<ProfileKey> keys;
    for (const StoredText &stored : kStoredTexts)
        keys.append({stored.section, ini::kValue});
    return ProfileStore::read(keys, iniPath);
}

} // namespace

bool readStartupConfig(const QString &iniPath, RunConfig &config)
{
    const QStringList values = readTexts(iniPath);
    for (int i = 0; i < kRequired; ++i) {
        if (values[i] == ProfileStore::kNotSet)
            return false;
        config.*kStoredTexts[std::size_t(i)].member = values[i];
    }
    for (int i = kRequired; i < values.size(); ++i)
        config.*kStoredTexts[std::size_t(i)].member = values[i] == ProfileStore::kNotSet ? QString() : values[i];
    return true;
}

RunConfig readStoredTexts(const QString &iniPath)
{
    const QStringList values = readTexts(iniPath);
    RunConfig texts;
    for (int i = 0; i < values.size(); ++i)
        texts.*kStoredTexts[std::size_t(i)].member = values[i] == ProfileStore::kNotSet ? QString() : values[i];
    return texts;
}

void writeStatementTexts(const QString &iniPath, const RunConfig &texts, MessageService &messages)
{
    for (const StoredText &stored : kStoredTexts)
        writeProfileValue(stored.section, ini::kValue, texts.*stored.member, iniPath, messages);
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
