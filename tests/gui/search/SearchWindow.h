#pragma once

#include "core/config/RunConfig.h"
#include "gui/main/MainWindow.h"
#include "gui/search/DateFrame.h"
#include "gui/search/SearchBox.h"
#include "gui/search/SearchPanel.h"
#include "support/MessageRecorder.h"
#include "support/TestRegistry.h"
#include "core/platform/Clock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QTest>

#include <algorithm>
#include <memory>

namespace vesko::test {

class FixedClock : public Clock
{
public:
    QDate today() const override { return {2026, 12, 6}; }
};

// Five people to search for. Row 3 registered after 23:59:01 on 2012-3-7 and
// row 4 before 01:01:01 on 2012-3-5: both fall just outside a 3-5 .. 3-7 range.
inline QStringList peopleStatements(const QString &table)
{
    QStringList out = {QStringLiteral("create table %1 (编号 INTEGER, 姓名 VARCHAR(20), 年龄 INTEGER,"
                                      " 出生日期 DATE, 登记日期 TIMESTAMP)")
                           .arg(table)};
    const char *rows[] = {"1, '张三', 30, '1996-01-02', '2012-03-05 10:00:00'",
                          "2, '张三丰', 45, '1981-05-06', '2012-03-06 12:00:00'",
                          "3, '李四', 30, '1996-07-08', '2012-03-07 23:59:30'",
                          "4, 'O''Neil', 52, '1974-02-03', '2012-03-05 00:30:00'",
                          "5, '王五', 28, '1998-03-04', '2012-03-08 09:00:00'"};
    for (const char *row : rows)
        out.append(QStringLiteral("insert into %1 values (%2)").arg(table, QString::fromUtf8(row)));
    return out;
}

// Types text into widget: Latin-1 as key presses, anything else committed
// by the input method, as Chinese text arrives.
inline void type(QWidget *widget, const QString &text)
{
    bool latin1 = true;
    for (const QChar c : text)
        latin1 = latin1 && c.unicode() < 0x100;
    if (latin1) {
        QTest::keyClicks(widget, text);
        return;
    }
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QCoreApplication::sendEvent(widget, &commit);
}

// A shown main window on a temporary program directory, after start().
class SearchWindow
{
public:
    TestRegistry registry;
    RunConfig config;
    MessageRecorder messages;
    FixedClock clock;
    std::unique_ptr<MainWindow> window;

    bool open(const QString &connection, const QString &defaultStatement, const QString &all = {})
    {
        registry.writeIni(connection, defaultStatement, all);
        window = std::make_unique<MainWindow>(config, ProgramDirectory(registry.path()), messages,
                                              clock);
        window->start();
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    SearchPanel *panel() const { return window->searchPanel(); }
    DateFrame *fmrq() const { return panel()->fmrq(); }

    int row(const QString &caption) const
    {
        for (int i = 0; i < panel()->rowCount(); ++i)
            if (panel()->c_field(i)->text() == caption)
                return i;
        return -1;
    }
    SearchBox *box(const QString &caption) const { return panel()->t_field(row(caption)); }

    template<typename T = QWidget>
    T *child(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }

    void click(QWidget *widget, QPoint at = {}) const { QTest::mouseClick(widget, Qt::LeftButton, {}, at); }
    void click(const char *name) const { click(child(name)); }
    void tick(const QString &caption) const { click(panel()->c_field(row(caption))); }
    void focus(const QString &caption) const { click(box(caption)); }

    // Combo1 .. Combo6 from year, month, day of start and end, as texts.
    void chooseDates(const QStringList &texts) const
    {
        for (int i = 0; i < 6; ++i) {
            QComboBox *combo = fmrq()->combo(i + 1);
            combo->setCurrentIndex(combo->findText(texts.at(i)));
        }
    }

    // The 编号 of every row of the current result, ascending.
    QList<int> ids() const
    {
        QList<int> out;
        const db::ResultPtr &rs = window->dataLink().result();
        if (rs && rs->isOpen())
            for (qint64 r = 0; r < rs->rowCount(); ++r)
                out.append(rs->text(r, 0).toInt());
        std::sort(out.begin(), out.end());
        return out;
    }

    QString count() const { return child<QLabel>("lb_ren")->text(); }
};

} // namespace vesko::test
