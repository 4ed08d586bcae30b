#pragma once

#include "db/Result.h"
#include "core/search/PickListReader.h"
#include "core/platform/ProgramDirectory.h"

#include <QFrame>
#include <QPointer>

#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QListWidget;
class QScrollBar;

namespace vesko {

class Clock;
class DateFrame;
class MessageService;
class SearchBox;

// The search panel's viewport pic_box: one check box c_field(i) and one search
// box t_field(i) per result column on the canvas pic_dsgn, which scrolls
// inside the viewport by HS1 and VS1. The canvas also holds the pick list
// ls_list and the date frame fmrq. Row 0 exists from the start and is never
// destroyed; every build replaces rows 1 .. n-1.
class SearchPanel : public QFrame
{
    Q_OBJECT

public:
    // Gives the main window's current result (may be null or not open).
    using ResultSource = std::function<db::ResultPtr()>;

    SearchPanel(ProgramDirectory directory, MessageService &messages, const Clock &clock,
                QWidget *parent);
    ~SearchPanel() override;

    // Where the focus handler reads a column's type from; without a source
    // no column is a date column.
    void setResultSource(ResultSource source);

    // Rebuilds the rows from the columns of rs and refits the scroll bars.
    // Throws on failure (db::DbError from rs, SearchPanelOverflow beyond the
    // 16-bit limits): the rows made so far stay, the bars are not refitted.
    void rebuildSearchPanel(const db::Result &rs);

    // Appends the column's pick-list entries to ls_list and sets its height;
    // a missing file leaves list and height alone, a file read only in part
    // leaves the entries read so far and the height alone.
    void loadPickList(const QString &columnName);

    int rowCount() const;
    QCheckBox *c_field(int row) const;
    SearchBox *t_field(int row) const;
    // The search box that last received the focus; null before the first
    // focus and after its row was destroyed.
    SearchBox *cur_field() const;
    DateFrame *fmrq() const;
    QListWidget *ls_list() const;
    QWidget *pic_dsgn() const;
    QScrollBar *HS1() const;
    QScrollBar *VS1() const;
    // The focus sink, outside the visible area.
    QScrollBar *HScroll1() const;

    // The type code of the row's column when the panel was built; -1 when
    // none was recorded (row 0 before the first build with columns).
    int builtTypeCode(int row) const;
    // The type code of the first column of the current result named by the
    // row's caption; none without an open result or without such a column.
    std::optional<int> currentTypeCode(int row) const;

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
    void addRow();
    void fitScrollBars();
    void followHorizontalBar();
    void followVerticalBar();
    void viewportClicked();
    void canvasPressed();
    void takePickListEntry();
    void checkBoxToggled(int index);
    void boxFocused(int index);
    void boxKeyPressed(int index, int key);
    void boxLostFocus(int index);
    void showDateFrameAt(const SearchBox &box);
    void showPickListAt(const SearchBox &box);
    void takeDateRange(const QString &text, const QString &tag, const QString &toolTip);

    PickListReader m_reader;
    const Clock &m_clock;
    ResultSource m_resultSource;

    QWidget *m_client = nullptr;
    QWidget *m_canvas = nullptr;
    QScrollBar *m_hs1 = nullptr;
    QScrollBar *m_vs1 = nullptr;
    QScrollBar *m_focusSink = nullptr;
    QListWidget *m_list = nullptr;
    DateFrame *m_dateFrame = nullptr;

    std::vector<QCheckBox *> m_checks;
    std::vector<SearchBox *> m_boxes;
    std::vector<int> m_builtTypes;
    QPointer<SearchBox> m_curField;
};

} // namespace vesko
