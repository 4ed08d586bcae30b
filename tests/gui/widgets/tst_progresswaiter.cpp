#include "gui/widgets/ProgressWaiter.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>

using namespace vesko;

class TestProgressWaiter : public QObject
{
    Q_OBJECT

private slots:
    // A quick call shows nothing; a slow one opens the progress window, whose
    // 取消 has the focus and whose Esc cancels the engine.
    void progressWindowAfterHalfASecond_data()
    {
        QTest::addColumn<bool>("slow");
        QTest::newRow("quick") << false;
        QTest::newRow("slow") << true;
    }
    void progressWindowAfterHalfASecond()
    {
        QFETCH(bool, slow);
        QWidget window;
        window.show();
        std::atomic<bool> release = !slow;
        DatabaseCall call([&release] {
            while (!release)
                QThread::yieldCurrentThread();
        }, [&release] { release = true; }, [] { return qint64(7); });

        QString seen; // the window's caption and its focused control
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog || !seen.isEmpty())
                return;
            seen = dialog->windowTitle() + u'/' + (dialog->focusWidget() ? dialog->focusWidget()->objectName() : QString());
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        watch.start(20);
        call.start();
        ProgressWaiter(&window).waitFor(call);

        QVERIFY(call.isFinished());
        QCOMPARE(call.wasCancelled(), slow);
        QCOMPARE(seen, slow ? QStringLiteral("vesko信息/cancel") : QString());
    }
};

QTEST_MAIN(TestProgressWaiter)
#include "tst_progresswaiter.moc"
