#include "gui/search/DateFrame.h"

#include "core/platform/Clock.h"
#include "core/platform/MessageService.h"
#include "gui/widgets/Twips.h"
#include "texts/Texts.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

namespace vesko {

namespace {

QStringList numbers(int from, int to)
{
    QStringList out;
    for (int n = from; n <= to; ++n)
        out.append(QString::number(n));
    return out;
}

} // namespace

DateFrame::DateFrame(MessageService &messages, const Clock &clock, QWidget *canvas)
    : QGroupBox(text::kDateFrame, canvas)
    , m_messages(messages)
{
    setObjectName(QStringLiteral("fmrq"));
    setGeometry(0, 0, 2265 / kTwipsPerPixel, 1230 / kTwipsPerPixel);
    setAutoFillBackground(true);
    // The combos are 34 to 50 pixels wide: a slim arrow leaves room for "2012"
    // and "31". Their lists scroll rather than run off the screen.
    setStyleSheet(QStringLiteral("QComboBox { padding: 0 1px; combobox-popup: 0; }"
                                 "QComboBox::drop-down { width: 11px; }"));

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Command2"));
    ok->setGeometry(twipsRect(1575, 0, 600, 285));
    connect(ok, &QPushButton::clicked, this, [this] { confirmDateRange(); });

    auto *start = new QLabel(text::kFrom, this);
    start->setObjectName(QStringLiteral("Label6"));
    start->setGeometry(twipsRect(45, 405, 195, 180));
    auto *end = new QLabel(text::kTo, this);
    end->setObjectName(QStringLiteral("Label7"));
    end->setGeometry(twipsRect(45, 810, 195, 180));

    const QRect places[6] = {twipsRect(270, 360, 750, 300),  twipsRect(1080, 360, 555, 300),
                             twipsRect(1665, 360, 510, 300), twipsRect(270, 765, 750, 300),
                             twipsRect(1080, 765, 555, 300), twipsRect(1665, 765, 510, 300)};
    const QStringList entries[3] = {numbers(1900, clock.today().year() + 10), numbers(1, 12), numbers(1, 31)};
    for (int i = 0; i < 6; ++i) {
        auto *box = new QComboBox(this);
        box->setObjectName(QStringLiteral("Combo%1").arg(i + 1));
        box->setGeometry(places[i]);
        box->addItems(entries[i % 3]);
        // The year may be typed; month and day come from their lists only.
        box->setEditable(i % 3 == 0);
        box->setMaxVisibleItems(12);
        // The open list is wider than its narrow box: each entry shows whole.
        QAbstractItemView *list = box->view();
        list->setMinimumWidth(list->sizeHintForColumn(0) + list->verticalScrollBar()->sizeHint().width()
                              + 2 * list->frameWidth() + 4);
        m_combos[i] = box;
    }
    hide();
}

void DateFrame::setDate(const QDate &date)
{
    const int parts[3] = {date.year(), date.month(), date.day()};
    for (int i = 0; i < 6; ++i) {
        QComboBox *box = m_combos[i];
        const QString text = QString::number(parts[i % 3]);
        box->setCurrentIndex(box->findText(text));
        // A typed year box shows a year beyond its list too.
        if (box->isEditable())
            box->setCurrentText(text);
    }
}

bool DateFrame::confirmDateRange()
{
    QString c[6];
    for (int i = 0; i < 6; ++i) {
        c[i] = m_combos[i]->currentText();
        if (c[i].isEmpty()) {
            m_messages.show(text::kChooseDate, MessageService::Icon::None);
            return false;
        }
    }
    const QString startDate = c[0] + u'-' + c[1] + u'-' + c[2];
    const QString endDate = c[3] + u'-' + c[4] + u'-' + c[5];
    emit confirmed(text::dateRange(startDate, endDate), startDate, endDate);
    QCoreApplication::processEvents();
    hide();
    return true;
}

} // namespace vesko
