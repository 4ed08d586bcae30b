#pragma once

#include "core/config/RunConfig.h"

#include <QString>

#include <optional>
#include <stdexcept>

namespace vesko {

class MessageService;

// The sections and keys of vesko.ini.
namespace ini {
inline const QString kConnection = QStringLiteral("数据连接");
inline const QString kDefault = QStringLiteral("默认查询");
inline const QString kAll = QStringLiteral("全部");
inline const QString kSpare1 = QStringLiteral("备用一");
inline const QString kSpare2 = QStringLiteral("备用二");
inline const QString kPosition = QStringLiteral("vesko窗口位置");
inline const QString kValue = QStringLiteral("value");
inline const QString kLeft = QStringLiteral("left");
inline const QString kTop = QStringLiteral("top");
} // namespace ini

// A stored position that is not a number, or not one a window can take.
class PositionError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Reads vesko.ini at start-up into config: 数据连接, then 默认查询 (stopping at
// the first of the two that is not set), then 全部, 备用一, 备用二 (one not set
// leaves its text empty). Returns false when a required value is not set.
bool readStartupConfig(const QString &iniPath, RunConfig &config);

// The five texts as stored, for the settings dialog; a value not set reads
// as an empty text. The connection state is left false.
RunConfig readStoredTexts(const QString &iniPath);

// Writes the five texts in their order; an empty text is stored as an entry
// with an empty value. Each failed write shows its own message.
void writeStatementTexts(const QString &iniPath, const RunConfig &texts, MessageService &messages);

// One stored window coordinate (left or top) in twips: nothing when not set,
// 0 for a negative number; throws PositionError for a text that is no number,
// for nan and infinity, and beyond ±32767 pixels.
std::optional<float> readPosition(const QString &iniPath, const QString &key);

// The decimal text of a single-precision coordinate; whole numbers have no
// decimal point.
QString positionText(float twips);

// Writes left, then top.
void writePosition(const QString &iniPath, float left, float top, MessageService &messages);

} // namespace vesko
