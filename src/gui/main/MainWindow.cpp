#include "gui/main/MainWindow.h"

#include "core/config/MainConfig.h"
#include "core/config/StoredTexts.h"
#include "core/grid/ResultTableModel.h"
#include "core/handoff/RecordHandOff.h"
#include "core/platform/MessageService.h"
#include "gui/search/SearchCommand.h"
#include "gui/search/SearchPanel.h"
#include "gui/settings/SettingsDialog.h"
#include "gui/widgets/BackgroundClick.h"
#include "gui/widgets/ProgressWaiter.h"
#include "gui/widgets/ResultGrid.h"
#include "gui/widgets/Twips.h"
#include "texts/Texts.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

#include <algorithm>

namespace vesko {

namespace {

// The window's outer size is 12885 x 7395 twips; a fixed single border and
// the caption bar take their share of it.
constexpr QSize kClientSize(12885 / kTwipsPerPixel - 8, 7395 / kTwipsPerPixel - 30);

// How long the notice of a hand-off stays.
constexpr int kNoticeMilliseconds = 2000;

// Moves rect by the least amount that puts it whole on screen, or on its
// top left corner when it is larger.
QPoint pulledInside(const QRect &rect, const QRect &screen)
{
    return QPoint(qMax(screen.left(), qMin(rect.left(), screen.right() + 1 - rect.width())),
                  qMax(screen.top(), qMin(rect.top(), screen.bottom() + 1 - rect.height())));
}

} // namespace

MainWindow::MainWindow(RunConfig &config, ProgramDirectory directory, MessageService &messages, const Clock &clock,
                       QWidget *parent)
    : QWidget(parent)
    , m_config(config)
    , m_directory(std::move(directory))
    , m_messages(messages)
    , m_clock(clock)
    , m_link(m_directory, messages, *this)
{
    setObjectName(QStringLiteral("w_yu"));
    setWindowTitle(kAppTitle);
    setFixedSize(kClientSize);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    buildControls();
}

MainWindow::~MainWindow() = default;

QPushButton *MainWindow::makeButton(const char *name, const QString &caption, const QRect &geometry, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    return button;
}

void MainWindow::buildControls()
{
    m_grid = new ResultGrid(text::kGridCaption, this);
    m_grid->setObjectName(QStringLiteral("dgd_currday"));
    m_grid->setGeometry(twipsRect(225, 135, 8400, 6150));

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lb_ren"));
    m_count->setGeometry(twipsRect(9360, 45, 2505, 315));

    m_queryFrame = new QGroupBox(text::kQueryFrame, this);
    m_queryFrame->setObjectName(QStringLiteral("fm_cx"));
    m_queryFrame->setGeometry(twipsRect(8730, 405, 3705, 5505));

    m_panel = new SearchPanel(m_directory, m_messages, m_clock, m_queryFrame);
    m_panel->setResultSource([this] { return m_link.result(); });
    // Just below the ink of the frame's caption, which it would cover; the
    // frame's background stays free under it.
    const QFontMetrics caption = m_queryFrame->fontMetrics();
    m_panel->move(m_panel->x(),
                  qMax(m_panel->y(), caption.ascent() + caption.tightBoundingRect(m_queryFrame->title()).bottom() + 1));

    m_or = new QRadioButton(text::kOr, m_queryFrame);
    m_or->setObjectName(QStringLiteral("op_or"));
    m_or->setGeometry(twipsRect(270, 3825, 555, 285));
    m_or->setChecked(true);
    m_and = new QRadioButton(text::kAnd, m_queryFrame);
    m_and->setObjectName(QStringLiteral("op_and"));
    m_and->setGeometry(twipsRect(1125, 3825, 555, 240));
    m_substring = new QCheckBox(text::kSubstring, m_queryFrame);
    m_substring->setObjectName(QStringLiteral("ck_mohu"));
    m_substring->setGeometry(twipsRect(2025, 3780, 1185, 285));

    auto *find = makeButton("exbt_find", text::kFind, twipsRect(180, 4275, 1050, 420), m_queryFrame);
    auto *clear = makeButton("exbt_clear", text::kClear, twipsRect(1350, 4275, 1050, 420), m_queryFrame);
    QPushButton *refresh = nullptr;
    QList<QWidget *> tabOrder = {find, clear};
    for (const StoredText &stored : kStoredTexts) {
        if (!stored.runButton)
            continue;
        const QRect &r = stored.runPlace;
        auto *run =
            makeButton(stored.runButton, stored.caption, twipsRect(r.x(), r.y(), r.width(), r.height()), m_queryFrame);
        connect(run, &QPushButton::clicked, this, [this, member = stored.member] { runPreset(m_config.*member); });
        if (stored.member == &RunConfig::defaultStatement)
            refresh = run;
        tabOrder.append(run);
    }
    // The presets in the order they are placed: by row, then from the left.
    std::sort(tabOrder.begin() + 2, tabOrder.end(),
              [](const QWidget *a, const QWidget *b) { return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x()); });
    auto *handOff = makeButton("exbt_in", text::kHandOff, twipsRect(9045, 5985, 1545, 420), this);
    auto *exit = makeButton("exbt_exit", text::kExit, twipsRect(10710, 5985, 1545, 420), this);
    auto *settings = makeButton("exbt_dbset", text::kSettings, twipsRect(315, 6345, 1725, 420), this);
    find->setToolTip(text::kFindKeys);
    refresh->setToolTip(text::kRefreshKeys);
    handOff->setToolTip(text::kHandOffKeys);
    // Tab runs from the grid through the search rows, made before them, to
    // 查询 and on through the other controls.
    tabOrder << m_or << m_and << m_substring << handOff << exit << settings;
    for (auto it = tabOrder.begin() + 1; it != tabOrder.end(); ++it)
        QWidget::setTabOrder(*(it - 1), *it);

    // Under 导入 and 退出, where nothing else is.
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("handOffNotice"));
    m_notice->setGeometry(handOff->x(), exit->geometry().bottom() + 4, exit->geometry().right() - handOff->x(),
                          handOff->height());
    m_notice->hide();
    m_noticeTimer = new QTimer(this);
    m_noticeTimer->setSingleShot(true);
    m_noticeTimer->setInterval(kNoticeMilliseconds);
    connect(m_noticeTimer, &QTimer::timeout, m_notice, &QWidget::hide);

    connect(exit, &QPushButton::clicked, this, [this] { saveAndClose(); });
    connect(clear, &QPushButton::clicked, m_panel, &SearchPanel::clearCriteria);
    for (const QKeySequence &keys :
         {QKeySequence(Qt::Key_F3), QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)})
        connect(new QShortcut(keys, this), &QShortcut::activated, find, &QPushButton::click);
    connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, refresh, &QPushButton::click);
    connect(find, &QPushButton::clicked, this, [this] {
        SearchCommand(*m_panel, m_config, m_link, m_messages).run(m_and->isChecked(), m_substring->checkState());
    });
    // fm_cx Click and w_yu Click: presses on their own background only.
    new BackgroundClick(m_queryFrame, [this] { m_panel->hidePickListAndDateFrame(true); });
    new BackgroundClick(this, [this] { m_panel->hideDateFrame(); });
    connect(settings, &QPushButton::clicked, this, [this] { showSettings(); });
    connect(handOff, &QPushButton::clicked, this, [this] { handOffCurrentRow(); });
    // The grid's caption promises it: a double-click (or Enter) hands the row over.
    connect(m_grid, &ResultGrid::rowChosen, this, [this] { handOffCurrentRow(); });
}

void MainWindow::start()
{
    if (!readStartupConfig(m_directory.veskoIni(), m_config)) {
        startupFailed();
        return;
    }
    m_link.openConnection(m_config.connectionString);
    m_link.runStatement(m_config.defaultStatement);
    if (!m_link.result()->isOpen()) {
        startupFailed();
        return;
    }
    try {
        m_link.showResult();
        restoreWindowPosition();
    } catch (const PositionError &) {
        startupFailed();
    }
}

void MainWindow::startupFailed()
{
    m_messages.show(text::kStartupFailed, MessageService::Icon::Information);
}

void MainWindow::restoreWindowPosition()
{
    const QString ini = m_directory.veskoIni();
    if (const auto left = readPosition(ini, ini::kLeft))
        move(qRound(*left / kTwipsPerPixel), y());
    if (const auto top = readPosition(ini, ini::kTop))
        move(x(), qRound(*top / kTwipsPerPixel));
    keepOnScreen();
}

void MainWindow::keepOnScreen()
{
    const QRect frame = frameGeometry();
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (std::any_of(screens.begin(), screens.end(),
                    [&frame](const QScreen *screen) { return screen->geometry().contains(frame); }))
        return;
    // The screen under the window's centre, or the primary one; Qt stands
    // in a placeholder screen when none is connected.
    const QScreen *target = QGuiApplication::screenAt(frame.center());
    move(pulledInside(frame, (target ? target : QGuiApplication::primaryScreen())->geometry()));
}

void MainWindow::saveWindowPosition()
{
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
        return;
    writePosition(m_directory.veskoIni(), float(x() * kTwipsPerPixel), float(y() * kTwipsPerPixel), m_messages);
}

void MainWindow::saveAndClose()
{
    saveWindowPosition();
    close();
}

void MainWindow::runPreset(const QString &statement)
{
    if (statement.isEmpty())
        return;
    m_link.refresh(statement);
}

SettingsDialog *MainWindow::settingsDialog() const
{
    return m_settings;
}

void MainWindow::showSettings()
{
    if (!m_settings) {
        m_settings = new SettingsDialog(m_config, m_link, m_directory, m_messages, this);
        m_settings->setAttribute(Qt::WA_DeleteOnClose);
        // Each opening after a close is a fresh dialog that reads vesko.ini again.
        connect(m_settings, &SettingsDialog::closed, this, [this] { m_settings = nullptr; });
    }
    m_settings->show();
    m_settings->raise();
    m_settings->activateWindow();
}

void MainWindow::handOffCurrentRow()
{
    // The record on screen; after a failed statement the grid shows none.
    const db::ResultPtr &shown = m_grid->result();
    if (!shown) {
        m_messages.show(RecordHandOff::kNoRecord, MessageService::Icon::Information);
        return;
    }
    // Only a record that is in the file is announced.
    if (!RecordHandOff(m_directory, m_messages).handOff(*shown))
        return;
    const QString first =
        ResultTableModel::visible(shown->text(shown->currentRow(), 0).left(ResultTableModel::kShownLength));
    m_notice->setText(m_notice->fontMetrics().elidedText(text::kHandedOff + first, Qt::ElideRight, m_notice->width()));
    m_notice->show();
    m_noticeTimer->start();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    if (m_runningCall) {
        // The routine waiting for the call goes on once the call has
        // ended; the window closes after it.
        m_closePending = true;
        m_runningCall->cancel();
        event->ignore();
        return;
    }
    // An open settings dialog stores its values first; nothing is reconnected.
    if (m_settings)
        m_settings->closeForShutdown();
    RecordHandOff(m_directory, m_messages).stopSignal();
    m_closed = true;
    event->accept();
}

void MainWindow::changeEvent(QEvent *event)
{
    // The window keeps one size: maximising snaps back, minimising works.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        setWindowState(windowState() & ~Qt::WindowMaximized);
    QWidget::changeEvent(event);
}

void MainWindow::rebuildSearchPanel(const db::Result &rs)
{
    m_panel->rebuild(rs);
}

void MainWindow::bindGrid(const db::ResultPtr &rs)
{
    m_grid->bind(rs);
}

void MainWindow::showCurrentRow()
{
    m_grid->showCurrentRow();
}

void MainWindow::setCountText(const QString &text)
{
    m_count->setText(text);
}

void MainWindow::waitFor(DatabaseCall &call)
{
    if (closeRequested())
        call.cancel();
    m_runningCall = &call;
    ProgressWaiter(this).waitFor(call);
    m_runningCall = nullptr;
    if (m_closePending && !m_closed)
        QTimer::singleShot(0, this, &QWidget::close);
}

} // namespace vesko
