#pragma once

#include "core/platform/ProgramDirectory.h"
#include "core/search/StatementBuilder.h"
#include "db/Result.h"

#include <QFrame>
#include <QPointer>

#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QScrollBar;

namespace vesko {

class Clock;
class DateFrame;
class MessageService;
class PickList;
class SearchBox;

// The search panel pic_box: one check box c_field_<i> and one search box
// t_field_<i> per result column on the canvas pic_dsgn, which scrolls inside
// the panel by HS1 and VS1 (and the mouse wheel over the rows). The canvas
// also holds the pick list ls_list and the date frame fmrq. Row 0 exists from
// the start and is never destroyed; every build replaces rows 1 .. n-1.
//
// Keys in a search box: Enter moves to the next box, Down into its open pick
// list (where Enter takes the entry and returns to the box), Esc closes the
// open pick list or date frame. A click on the focused box opens them again.
// The row with the focus is scrolled into view.
class SearchPanel : public QFrame
{
    Q_OBJECT

public:
    // Gives the main window's current result (may be null or not open).
    using ResultSource = std::function<db::ResultPtr()>;

    SearchPanel(ProgramDirectory directory, MessageService &messages, const Clock &clock, QWidget *parent);
    ~SearchPanel() override;

    // Where a column's type is read from; without a source no column is a
    // date column.
    void setResultSource(ResultSource source);

    // Rebuilds the rows from the columns of rs, as many as it has, and refits
    // the scroll bars. Throws db::DbError from rs: the rows made so far stay,
    // the bars are not refitted.
    void rebuild(const db::Result &rs);

    // While the date frame is open, confirms it once for each ticked date
    // row, as a search does before it reads the rows; a failed confirmation
    // leaves the frame open, so the next such row tries again.
    void confirmOpenDateFrame();

    // The rows as a search reads them. A column's type is that of the first
    // column of the current result with its name; one the current result
    // lacks keeps the type recorded when the panel was built.
    QList<SearchRow> criteria() const;

    // Hides the pick list (emptying it first when emptyList) and the date frame.
    void hidePickListAndDateFrame(bool emptyList);
    void hideDateFrame();

public slots:
    // 清空: unticks every ticked box in index order (each untick moves the
    // focus into its search box) and empties every search box; stored date
    // ranges stay.
    void clearCriteria();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int rowCount() const;
    db::TypeCode typeCode(int row) const;
    std::optional<db::TypeCode> currentTypeCode(int row) const;
    void addRow();
    void fitScrollBars();
    void followHorizontalBar();
    void followVerticalBar();
    void takePickListEntry(const QString &text);
    void returnToBox();
    void boxFocused(int index);
    // Opens the box's pick list, or its date frame for a date column.
    void offerHelp(const SearchBox &box);
    // The part of the canvas the panel shows, in canvas coordinates.
    QRect shownCanvas() const;
    void scrollIntoView(const QWidget &row);
    void showDateFrameAt(const SearchBox &box);
    bool boxKeyPressed(SearchBox &box, int key);
    void takeDateRange(const QString &text, const QString &start, const QString &end);

    const Clock &m_clock;
    ResultSource m_resultSource;

    QWidget *m_client = nullptr;
    QWidget *m_canvas = nullptr;
    QScrollBar *m_horizontalBar = nullptr;
    QScrollBar *m_verticalBar = nullptr;
    PickList *m_list = nullptr;
    DateFrame *m_dateFrame = nullptr;

    std::vector<QCheckBox *> m_checks;
    std::vector<SearchBox *> m_boxes;
    std::vector<db::TypeCode> m_builtTypes;
    QPointer<SearchBox> m_currentBox;
    // Set while the focus goes back to a box after Esc or a pick: the box
    // keeps its list closed.
    bool m_returning = false;
};

} // namespace vesko
