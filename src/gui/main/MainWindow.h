#pragma once

#include "core/config/RunConfig.h"
#include "core/link/DataLink.h"
#include "core/link/ResultView.h"
#include "core/platform/ProgramDirectory.h"

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;

namespace vesko {

class Clock;
class MessageService;
class ResultGrid;
class SearchPanel;
class SettingsDialog;

// The main window w_yu: the result grid, the count line, the query frame with
// the search panel, and the buttons. start() does the whole start-up; every
// close writes the stop signal for the registration program.
//
// F3 and Ctrl+Enter run 查询 and F5 runs 刷新 from anywhere in the window;
// the buttons' tooltips name these keys. Tab runs from the grid through the
// search rows to 查询 and the other buttons. A hand-off takes the record the
// grid shows and says so for two seconds.
//
// A close request while a statement runs cancels it, and every statement
// after it, and the window closes as soon as the routine that ran it is
// done.
class MainWindow : public QWidget, private ResultView
{
    Q_OBJECT

public:
    MainWindow(RunConfig &config, ProgramDirectory directory, MessageService &messages, const Clock &clock,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    // Start-up: configuration, connection, default statement, panel, grid,
    // count, and last the stored window position.
    void start();

    DataLink &dataLink() { return m_link; }
    // A close was asked for, whether or not it has happened yet.
    bool closeRequested() const { return m_closePending || m_closed; }
    SearchPanel *searchPanel() const { return m_panel; }
    // The settings dialog while it is open.
    SettingsDialog *settingsDialog() const;
    ResultGrid *grid() const { return m_grid; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // ResultView
    void rebuildSearchPanel(const db::Result &rs) override;
    void bindGrid(const db::ResultPtr &rs) override;
    void showCurrentRow() override;
    void setCountText(const QString &text) override;
    void waitFor(DatabaseCall &call) override;

    void buildControls();
    QPushButton *makeButton(const char *name, const QString &caption, const QRect &geometry, QWidget *parent);
    void startupFailed();
    void restoreWindowPosition();
    // Pulls the window back so that one screen shows all of it.
    void keepOnScreen();
    void saveWindowPosition();
    void saveAndClose();
    void runPreset(const QString &statement);
    void showSettings();
    void handOffCurrentRow();

    RunConfig &m_config;
    ProgramDirectory m_directory;
    MessageService &m_messages;
    const Clock &m_clock;
    DataLink m_link;

    ResultGrid *m_grid = nullptr;
    QLabel *m_count = nullptr;
    QGroupBox *m_queryFrame = nullptr;
    SearchPanel *m_panel = nullptr;
    QRadioButton *m_or = nullptr;
    QRadioButton *m_and = nullptr;
    QCheckBox *m_substring = nullptr;
    QLabel *m_notice = nullptr;
    QTimer *m_noticeTimer = nullptr;
    QPointer<SettingsDialog> m_settings;
    QPointer<DatabaseCall> m_runningCall;
    bool m_closePending = false;
    bool m_closed = false;
};

} // namespace vesko
