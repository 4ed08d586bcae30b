#pragma once

#include <QProcess>
#include <QString>
#include <QtGlobal>

// Makes the demo registry with the given number of rows in a folder, by the
// demo program the benchmarks are built with.
inline void makeDemoRegistry(const QString &folder, int rows)
{
    QProcess demo;
    demo.start(QStringLiteral(VESKO_DEMO), {folder, QString::number(rows)});
    if (!demo.waitForFinished(-1) || demo.exitCode() != 0)
        qFatal("the demo registry could not be made");
}
