#pragma once

#include "core/config/RunConfig.h"
#include "core/platform/Clock.h"
#include "gui/main/MainWindow.h"
#include "support/MessageRecorder.h"
#include "support/TestRegistry.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

#include <memory>

namespace vesko::test {

class FixedClock : public Clock
{
public:
    explicit FixedClock(QDate date = QDate(2026, 12, 6))
        : m_date(date)
    {
    }
    QDate today() const override { return m_date; }

private:
    QDate m_date;
};

// One main window on a test program directory, with its messages recorded.
struct Desk
{
    TestRegistry registry;
    MessageRecorder messages;
    RunConfig config;
    FixedClock clock;
    std::unique_ptr<MainWindow> window;

    // Makes the window, runs its start-up, shows it and waits until it is active.
    void open()
    {
        window = std::make_unique<MainWindow>(config, ProgramDirectory(registry.path()), messages, clock);
        window->start();
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    QString ini() const { return registry.file(QStringLiteral("vesko.ini")); }
    QString brinfo() const { return registry.file(QStringLiteral("brinfo.ini")); }
    // The text of lb_ren.
    QString count() const { return window->findChild<QLabel *>(QStringLiteral("lb_ren"))->text(); }
    // A real mouse click on a button of the main window.
    void click(const char *button) const
    {
        QTest::mouseClick(window->findChild<QAbstractButton *>(QString::fromLatin1(button)), Qt::LeftButton);
    }
    // Clicks 数据库连接参数 and gives the dialog it shows.
    SettingsDialog *openSettings() const
    {
        click("exbt_dbset");
        return window->settingsDialog();
    }
};

} // namespace vesko::test
