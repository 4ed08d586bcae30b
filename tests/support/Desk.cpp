#include "support/Desk.h"

#include "gui/settings/SettingsDialog.h"
#include "gui/widgets/ResultGrid.h"

#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace vesko::test {

void Desk::open()
{
    window = std::make_unique<MainWindow>(config, ProgramDirectory(registry.path()), messages, clock);
    window->start();
    window->show();
}

QString Desk::count() const
{
    return window->findChild<QLabel *>(QStringLiteral("lb_ren"))->text();
}

void Desk::click(const char *button) const
{
    QTest::mouseClick(window->findChild<QPushButton *>(QString::fromLatin1(button)), Qt::LeftButton);
}

int Desk::gridRows() const
{
    return window->grid()->view()->model()->rowCount();
}

int Desk::selectedRow() const
{
    return window->grid()->view()->currentIndex().row();
}

SettingsDialog *Desk::openSettings() const
{
    click("exbt_dbset");
    return window->settingsDialog();
}

} // namespace vesko::test
