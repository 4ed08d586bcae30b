#include "gui/widgets/DeskLook.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

namespace vesko {

namespace {

// The largest size at which "进入默认查询SQL=" fits its 96 pixels.
constexpr int kFontPixels = 11;

} // namespace

void applyDeskLook()
{
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPixelSize(kFontPixels);
    QApplication::setFont(font);

    // Without the translations installed Qt's texts stay English.
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}

} // namespace vesko
