#pragma once

#include "core/platform/ProgramDirectory.h"

#include <QWidget>

class QLineEdit;

namespace vesko {

class DataLink;
class MessageService;
struct RunConfig;

// The settings dialog w_yuset: edits the connection string and the four
// statements of vesko.ini, tests them against the main window, and on every
// close stores them, hands them to the main window and reconnects it.
// Modeless, owned by the main window; reads vesko.ini when it is made.
class SettingsDialog : public QWidget
{
    Q_OBJECT

public:
    SettingsDialog(RunConfig &config, DataLink &link, ProgramDirectory directory,
                   MessageService &messages, QWidget *owner);

    // Closes as every close does, storing the values, but reconnects nothing:
    // the main window is going away.
    void closeForShutdown();

    // The five boxes, in their order.
    QLineEdit *t_cn() const { return m_boxes[0]; }
    QLineEdit *t_sql() const { return m_boxes[1]; }
    QLineEdit *t_all() const { return m_boxes[2]; }
    QLineEdit *t_qt1() const { return m_boxes[3]; }
    QLineEdit *t_qt2() const { return m_boxes[4]; }

signals:
    // The dialog has closed (and stored its values or refused to).
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void Command1_Click();
    void testStatement(const QLineEdit *box);
    void Form_Unload();

    RunConfig &m_config;
    DataLink &m_link;
    ProgramDirectory m_directory;
    MessageService &m_messages;
    QLineEdit *m_boxes[5] = {};
    bool m_shuttingDown = false;
};

} // namespace vesko
