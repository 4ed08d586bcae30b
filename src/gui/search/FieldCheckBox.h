#pragma once

#include <QCheckBox>

namespace vesko {

// A check box c_field_<i> that ticks on a click anywhere in its rectangle,
// not only on its indicator and caption: the panel's boxes are wide and
// their captions often short.
class FieldCheckBox : public QCheckBox
{
    Q_OBJECT

public:
    FieldCheckBox(int index, QWidget *parent);

protected:
    bool hitButton(const QPoint &pos) const override;
};

} // namespace vesko
