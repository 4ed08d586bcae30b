#include "support/Desk.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

namespace vesko::test {

void Desk::open()
{
    window = std::make_unique<MainWindow>(config, ProgramDirectory(registry.path()), messages, clock);
    window->start();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

QString Desk::count() const
{
    return window->findChild<QLabel *>(QStringLiteral("lb_ren"))->text();
}

void Desk::click(const char *button) const
{
    QTest::mouseClick(window->findChild<QAbstractButton *>(QString::fromLatin1(button)), Qt::LeftButton);
}

SettingsDialog *Desk::openSettings() const
{
    click("exbt_dbset");
    return window->settingsDialog();
}

} // namespace vesko::test
