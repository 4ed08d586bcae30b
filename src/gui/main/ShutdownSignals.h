#pragma once

#include <QObject>

class QSocketNotifier;

namespace vesko {

// Turns SIGTERM and SIGHUP into the Qt signal requested(), delivered by the
// event loop. The handler only writes a byte to a socket pair; everything
// else happens on the user-interface thread. One per process.
class ShutdownSignals : public QObject
{
    Q_OBJECT

public:
    // Installs the handlers and unblocks the two signals; a signal that was
    // already pending arrives once the event loop runs. Without a socket pair
    // (no descriptors left) the signals keep their default action.
    explicit ShutdownSignals(QObject *parent = nullptr);
    ~ShutdownSignals() override;
    ShutdownSignals(const ShutdownSignals &) = delete;
    ShutdownSignals &operator=(const ShutdownSignals &) = delete;

signals:
    void requested();

private:
    void drain();

    int m_readEnd = -1;
    int m_writeEnd = -1;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace vesko
