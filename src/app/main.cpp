#include "config/RunConfig.h"
#include "main/MainWindow.h"
#include "ui/Clock.h"
#include "ui/MessageBoxService.h"
#include "ui/ProgramDirectory.h"
#include "ui/SingleInstance.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    // A second copy ends at once: no window, no message, no file touched.
    vesko::SingleInstance instance(QCoreApplication::applicationFilePath());
    if (!instance.acquire())
        return 0;

    vesko::RunConfig config;
    vesko::SystemClock clock;
    vesko::MessageBoxService messages;
    vesko::MainWindow window(config, vesko::ProgramDirectory(), messages, clock);
    messages.setParent(&window);
    window.Form_Load();
    window.show();
    return app.exec();
}
