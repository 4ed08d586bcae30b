#include "gui/widgets/ProgressWaiter.h"

#include "core/platform/MessageService.h"
#include "gui/widgets/FrontWindow.h"
#include "texts/Texts.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace vesko {

namespace {

QString progressText(const DatabaseCall &call)
{
    return text::progress(double(call.elapsedMs()) / 1000.0, call.rowsFetched());
}

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

// Holds the input of every window back while a call runs, as a modal
// window would, but lets close requests through, so that a window can be
// closed in the middle of a statement. Esc cancels from the first moment.
class InputGuard : public QObject
{
public:
    explicit InputGuard(DatabaseCall &call)
        : m_call(call)
    {
        qApp->installEventFilter(this);
    }
    ~InputGuard() override { qApp->removeEventFilter(this); }

    // Input for the progress window and its children goes through.
    void allow(QWidget *window) { m_allowed = window; }

protected:
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        if (!isUserInput(event->type()))
            return false;
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            m_call.cancel();
            return true;
        }
        auto *widget = qobject_cast<QWidget *>(receiver);
        return !(m_allowed && widget && m_allowed->isAncestorOf(widget)) && !(widget && widget == m_allowed);
    }

private:
    DatabaseCall &m_call;
    QPointer<QWidget> m_allowed;
};

class ProgressDialog : public QDialog
{
public:
    ProgressDialog(DatabaseCall &call, QWidget *parent)
        : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
    {
        setObjectName(QStringLiteral("progress"));
        setWindowTitle(kAppTitle);
        // Room for the caption beside a title bar's buttons.
        setMinimumWidth(280);
        auto *text = new QLabel(progressText(call), this);
        auto *cancel = new QPushButton(text::kCancel, this);
        cancel->setObjectName(QStringLiteral("cancel"));
        cancel->setDefault(true);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(text);
        layout->addWidget(cancel, 0, Qt::AlignHCenter);
        cancel->setFocus();

        connect(cancel, &QPushButton::clicked, &call, &DatabaseCall::cancel);
        auto *tick = new QTimer(this);
        connect(tick, &QTimer::timeout, this, [text, &call] { text->setText(progressText(call)); });
        tick->start(200);
    }

protected:
    // The window closes only when the call has finished.
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
    InputGuard guard(call);
    QEventLoop loop;
    QObject::connect(&call, &DatabaseCall::finished, &loop, &QEventLoop::quit);
    std::unique_ptr<ProgressDialog> dialog;
    QTimer::singleShot(kQuietMs, &loop, [&] {
        dialog = std::make_unique<ProgressDialog>(call, frontWindow(m_window));
        guard.allow(dialog.get());
        dialog->show();
        dialog->activateWindow();
    });
    if (!call.isFinished())
        loop.exec();
    QApplication::restoreOverrideCursor();
}

} // namespace vesko
