#include "gui/settings/SettingsDialog.h"

#include "core/config/MainConfig.h"
#include "core/config/RunConfig.h"
#include "core/config/StoredTexts.h"
#include "core/link/DataLink.h"
#include "core/platform/MessageService.h"
#include "gui/widgets/Twips.h"
#include "texts/Texts.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <limits>

namespace vesko {

namespace {

} // namespace

SettingsDialog::SettingsDialog(RunConfig &config, DataLink &link, ProgramDirectory directory, MessageService &messages,
                               QWidget *owner)
    : QWidget(owner, Qt::Dialog)
    , m_config(config)
    , m_link(link)
    , m_directory(std::move(directory))
    , m_messages(messages)
{
    setObjectName(QStringLiteral("w_yuset"));
    setWindowTitle(text::kSettingsTitle);
    setFixedSize(twipsToPixels(12100), twipsToPixels(4500));

    auto label = [this](const char *name, const QString &text, const QRect &place) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(place);
        return l;
    };
    auto button = [this](const char *name, const QString &text, const QRect &place) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(place);
        return b;
    };

    label("Label1", text::kConnectionLabel, twipsRect(225, 585, 1440, 180));
    label("Label4", text::kRequired, twipsRect(9900, 540, 360, 180));
    label("Label2", text::kDefaultLabel, twipsRect(90, 1215, 1440, 180));
    label("Label5", text::kRequired, twipsRect(9900, 1215, 360, 180));
    QLabel *note = label("Label3", text::kSettingsNote, twipsRect(225, 3780, 11700, 540));
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    const auto inTwips = [](const QRect &r) { return twipsRect(r.x(), r.y(), r.width(), r.height()); };
    for (const StoredText &stored : kStoredTexts) {
        auto *box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(stored.box));
        box->setGeometry(inTwips(stored.boxPlace));
        box->setMaxLength(std::numeric_limits<int>::max());
        m_boxes.append(box);
        if (!stored.captionButton) {
            connect(button(stored.testButton, text::kTestConnection, inTwips(stored.testPlace)), &QPushButton::clicked,
                    this, [this] { testConnection(); });
            continue;
        }
        // A caption only: the button of the main window that runs the row.
        button(stored.captionButton, stored.caption, inTwips(stored.captionPlace));
        connect(button(stored.testButton, text::kTestStatement, inTwips(stored.testPlace)), &QPushButton::clicked, this,
                [this, box] { testStatement(box); });
    }

    loadStoredTexts();
}

void SettingsDialog::loadStoredTexts()
{
    const RunConfig stored = readStoredTexts(m_directory.veskoIni());
    for (std::size_t i = 0; i < kStoredTexts.size(); ++i)
        m_boxes[qsizetype(i)]->setText(stored.*kStoredTexts[i].member);
}

RunConfig SettingsDialog::enteredTexts() const
{
    RunConfig texts;
    for (std::size_t i = 0; i < kStoredTexts.size(); ++i)
        texts.*kStoredTexts[i].member = m_boxes[qsizetype(i)]->text();
    return texts;
}

void SettingsDialog::testConnection()
{
    if (m_link.openConnection(m_boxes[0]->text()))
        m_messages.show(text::kConnected, MessageService::Icon::None);
}

void SettingsDialog::testStatement(const QLineEdit *box)
{
    m_link.reconnectAndShow(m_boxes[0]->text(), box->text());
}

void SettingsDialog::closeForShutdown()
{
    m_shuttingDown = true;
    close();
}

void SettingsDialog::closeEvent(QCloseEvent *event)
{
    // A close during a test waits for the test: storing applies the texts,
    // which starts a routine of its own.
    if (m_link.isBusy() && !m_shuttingDown) {
        event->ignore();
        m_link.whenIdle([self = QPointer<SettingsDialog>(this)] {
            if (self)
                self->close();
        });
        return;
    }
    storeAndApply();
    event->accept();
    emit closed();
}

void SettingsDialog::storeAndApply()
{
    RunConfig texts = enteredTexts();
    if (texts.defaultStatement.isEmpty()) {
        m_messages.show(text::kNotSet, MessageService::Icon::Information);
        return;
    }
    writeStatementTexts(m_directory.veskoIni(), texts, m_messages);
    m_config = texts;
    if (!m_shuttingDown)
        m_link.reconnectAndShow(m_config.connectionString, m_config.defaultStatement);
}

} // namespace vesko
