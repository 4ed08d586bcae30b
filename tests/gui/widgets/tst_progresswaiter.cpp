#include "gui/widgets/ProgressWaiter.h"
#include "support/TestRunner.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>

using namespace vesko;
using vesko::test::dataRow;

class TestProgressWaiter : public QObject
{
    Q_OBJECT

private slots:
    // A quick call shows nothing; a slow one opens the progress window, whose
    // 取消 has the focus and whose Esc cancels the engine. Esc cancels from
    // the first moment, before the window shows, and typing into the
    // waiting window goes nowhere.
    void progressWindowAfterHalfASecond_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<QString>("seen");
        dataRow("quick", "never", QString());
        dataRow("slow", "in the progress window", "vesko信息/cancel");
        dataRow("Esc at once", "at once", QString());
    }
    void progressWindowAfterHalfASecond()
    {
        QFETCH(QString, when);
        QWidget window;
        auto *box = new QLineEdit(&window);
        window.show();
        box->setFocus();
        std::atomic<bool> release = when == u"never";
        DatabaseCall call(
            [&release] {
                while (!release)
                    QThread::yieldCurrentThread();
            },
            [&release] { release = true; }, [] { return qint64(7); });

        QString shown; // the window's caption and its focused control
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (when == u"at once") {
                QTest::keyClicks(box, QStringLiteral("abc"));
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            auto *dialog = window.findChild<QDialog *>("progress");
            if (!dialog || !dialog->isVisible() || !shown.isEmpty())
                return;
            shown = dialog->windowTitle() + u'/'
                + (dialog->focusWidget() ? dialog->focusWidget()->objectName() : QString());
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
        });
        watch.start(when == u"at once" ? 0 : 20);
        call.start();
        ProgressWaiter(&window).waitFor(call);

        QVERIFY(call.isFinished());
        QCOMPARE(call.wasCancelled(), when != u"never");
        QTEST(shown, "seen");
        QCOMPARE(box->text(), QString());
    }
};

VESKO_TEST_MAIN(TestProgressWaiter, QApplication)
#include "tst_progresswaiter.moc"
