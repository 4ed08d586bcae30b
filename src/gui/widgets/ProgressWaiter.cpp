#include "gui/widgets/ProgressWaiter.h"

#include "core/platform/MessageService.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace vesko {

namespace {

QString progressText(const DatabaseCall &call)
{
    return QStringLiteral("正在查询数据库，请稍候……\n已用时间：%1 秒\n已取得：%2 行")
        .arg(double(call.elapsedMs()) / 1000.0, 0, 'f', 1)
        .arg(call.rowsFetched());
}

class ProgressDialog : public QDialog
{
public:
    ProgressDialog(DatabaseCall &call, QWidget *parent)
        : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
    {
        setObjectName(QStringLiteral("progress"));
        setWindowTitle(kAppTitle);
        setModal(true);
        // Room for the caption beside a title bar's buttons.
        setMinimumWidth(280);
        auto *text = new QLabel(progressText(call), this);
        auto *cancel = new QPushButton(QStringLiteral("取消"), this);
        cancel->setObjectName(QStringLiteral("cancel"));
        cancel->setDefault(true);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(text);
        layout->addWidget(cancel, 0, Qt::AlignHCenter);
        cancel->setFocus();

        connect(cancel, &QPushButton::clicked, &call, &DatabaseCall::cancel);
        connect(&call, &DatabaseCall::finished, this, &QDialog::accept);
        auto *tick = new QTimer(this);
        connect(tick, &QTimer::timeout, this, [text, &call] { text->setText(progressText(call)); });
        tick->start(200);
    }

protected:
    // Esc cancels; the window closes only when the call has finished.
    void reject() override { findChild<QPushButton *>(QStringLiteral("cancel"))->click(); }
};

} // namespace

ProgressWaiter::ProgressWaiter(QWidget *window)
    : m_window(window)
{
}

void ProgressWaiter::waitFor(DatabaseCall &call)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    {
        QEventLoop quiet;
        QObject::connect(&call, &DatabaseCall::finished, &quiet, &QEventLoop::quit);
        QTimer::singleShot(kQuietMs, &quiet, &QEventLoop::quit);
        if (!call.isFinished())
            quiet.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!call.isFinished()) {
        ProgressDialog dialog(call, m_window);
        if (!call.isFinished())
            dialog.exec();
    }
    QApplication::restoreOverrideCursor();
}

} // namespace vesko
