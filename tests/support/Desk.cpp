#include "support/Desk.h"

#include "gui/search/SearchBox.h"
#include "gui/search/SearchPanel.h"
#include "gui/settings/SettingsDialog.h"
#include "gui/widgets/ResultGrid.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QTableView>
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

int Desk::selectedRow() const
{
    return window->grid()->view()->currentIndex().row();
}

QCheckBox *Desk::fieldCheck(const QString &caption) const
{
    for (QCheckBox *check : window->searchPanel()->findChildren<QCheckBox *>())
        if (check->text() == caption)
            return check;
    return nullptr;
}

SearchBox *Desk::fieldBox(const QString &caption) const
{
    const QString check = fieldCheck(caption)->objectName();
    return window->searchPanel()->findChild<SearchBox *>(
        QString(check).replace(QStringLiteral("c_field"), QStringLiteral("t_field")));
}

SettingsDialog *Desk::openSettings() const
{
    click("exbt_dbset");
    return window->settingsDialog();
}

} // namespace vesko::test
