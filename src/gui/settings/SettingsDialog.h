#pragma once

#include "core/config/RunConfig.h"
#include "core/platform/ProgramDirectory.h"

#include <QWidget>

class QLineEdit;

namespace vesko {

class DataLink;
class MessageService;

// The settings dialog w_yuset: edits the connection string and the four
// statements of vesko.ini, tests them against the main window, and on every
// close stores them, hands them to the main window and reconnects it.
// Modeless, owned by the main window; reads vesko.ini when it is made.
class SettingsDialog : public QWidget
{
    Q_OBJECT

public:
    SettingsDialog(RunConfig &config, DataLink &link, ProgramDirectory directory, MessageService &messages,
                   QWidget *owner);

    // Closes as every close does, storing the values, but reconnects nothing:
    // the main window is going away.
    void closeForShutdown();

signals:
    // The dialog has closed (and stored its values or refused to).
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void loadStoredTexts();
    RunConfig enteredTexts() const;
    void testConnection();
    void testStatement(const QLineEdit *box);
    void storeAndApply();

    RunConfig &m_config;
    DataLink &m_link;
    ProgramDirectory m_directory;
    MessageService &m_messages;
    QList<QLineEdit *> m_boxes; // one per stored text, in order
    bool m_shuttingDown = false;
};

} // namespace vesko
