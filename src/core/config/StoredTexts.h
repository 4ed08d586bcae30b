#pragma once

#include "core/config/MainConfig.h"
#include "core/config/RunConfig.h"
#include "texts/Texts.h"

#include <QRect>
#include <QString>

#include <array>

namespace vesko {

// The five texts of vesko.ini, in their order in the file, with everything
// that shows or runs them: the settings dialog's box, its test button and
// caption button, and the main window's button that runs the statement.
// Places are in twips, as the windows lay them out. A new preset is one row.
struct StoredText
{
    const QString &section;
    QString RunConfig::*member;
    const char *box;
    QRect boxPlace;
    const char *testButton; // tests the connection in the first row, the statement in the others
    QRect testPlace;
    const char *captionButton; // beside the box, a caption only; none for the connection
    QRect captionPlace;
    const char *runButton; // in the main window's query frame; none for the connection
    QRect runPlace;
    QString caption;
};

inline const std::array<StoredText, 5> kStoredTexts = {{
    {ini::kConnection,
     &RunConfig::connectionString,
     "t_cn",
     {1845, 495, 8025, 330},
     "Command1",
     {10395, 405, 1095, 375},
     nullptr,
     {},
     nullptr,
     {},
     QString()},
    {ini::kDefault,
     &RunConfig::defaultStatement,
     "t_sql",
     {2835, 1125, 7035, 330},
     "Command2",
     {10395, 1035, 1095, 375},
     "eb_ref",
     {1575, 1080, 1050, 420},
     "exbt_ref",
     {180, 4905, 1050, 420},
     text::kRefresh},
    {ini::kAll,
     &RunConfig::allStatement,
     "t_all",
     {2835, 1710, 7305, 330},
     "Command3",
     {10395, 1665, 1095, 375},
     "ExBtn1",
     {1575, 1665, 1050, 420},
     "exbt_showall",
     {2565, 4275, 1050, 420},
     text::kShowAll},
    {ini::kSpare1,
     &RunConfig::spare1Statement,
     "t_qt1",
     {2835, 2295, 7350, 330},
     "Command4",
     {10395, 2250, 1095, 375},
     "ExBtn2",
     {1575, 2250, 1050, 420},
     "exbt_qt1",
     {1395, 4905, 1050, 420},
     text::kSpare1},
    {ini::kSpare2,
     &RunConfig::spare2Statement,
     "t_qt2",
     {2835, 2925, 7350, 330},
     "Command5",
     {10395, 2835, 1095, 375},
     "ExBtn3",
     {1575, 2880, 1050, 420},
     "exbt_qt2",
     {2565, 4905, 1050, 420},
     text::kSpare2},
}};

} // namespace vesko
