#include "core/config/RunConfig.h"
#include "gui/main/MainWindow.h"
#include "core/platform/Clock.h"
#include "gui/widgets/MessageBoxService.h"
#include "core/platform/ProgramDirectory.h"
#include "core/platform/SingleInstance.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    // A second copy brings the first forward and ends: no window, no message,
    // no file touched.
    vesko::SingleInstance instance(vesko::ProgramDirectory().path());
    if (!instance.acquire()) {
        instance.askRunningCopyToShow();
        return 0;
    }

    vesko::RunConfig config;
    vesko::SystemClock clock;
    vesko::MessageBoxService messages;
    vesko::MainWindow window(config, vesko::ProgramDirectory(), messages, clock);
    messages.setParent(&window);
    QObject::connect(&instance, &vesko::SingleInstance::showRequested, &window, [&window] {
        window.showNormal();
        window.raise();
        window.activateWindow();
    });
    window.start();
    window.show();
    return app.exec();
}
