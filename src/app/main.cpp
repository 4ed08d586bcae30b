#include "core/config/RunConfig.h"
#include "core/platform/Clock.h"
#include "core/platform/ProgramDirectory.h"
#include "core/platform/SingleInstance.h"
#include "gui/main/MainWindow.h"
#include "gui/main/ShutdownSignals.h"
#include "gui/widgets/DeskLook.h"
#include "gui/widgets/MessageBoxService.h"
#include "texts/Texts.h"

#include <QApplication>
#include <QSessionManager>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    // A second copy brings the first forward and ends: no window, no message,
    // no file touched.
    vesko::SingleInstance instance(vesko::ProgramDirectory().path());
    switch (instance.acquire()) {
    case vesko::SingleInstance::Claim::Only:
        break;
    case vesko::SingleInstance::Claim::AnotherRuns:
        instance.askRunningCopyToShow();
        return 0;
    case vesko::SingleInstance::Claim::CannotTell:
        vesko::MessageBoxService().show(vesko::text::kCannotTellCopies, vesko::MessageService::Icon::Information);
        return 1;
    }

    vesko::applyDeskLook();
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

    // Termination and the end of the desktop session close the window as a
    // click on its close button does: the stop signal gets written, a
    // running statement is cancelled, and no message box waits for anyone.
    // A request during start-up ends the program once start-up returns.
    const auto closeWindow = [&window, &messages] {
        messages.shutDown();
        window.close();
    };
    vesko::ShutdownSignals shutdown;
    QObject::connect(&shutdown, &vesko::ShutdownSignals::requested, &window, closeWindow);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [closeWindow](QSessionManager &) { closeWindow(); });

    window.start();
    if (window.closeRequested()) {
        window.close();
        return 0;
    }
    window.show();
    return app.exec();
}
