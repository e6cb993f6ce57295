#include <QApplication>
#include <QTimer>

#include "app/StartUp.h"
#include "platform/InstanceLock.h"
#include "project/CAppSettings.h"
#include "project/WorkDir.h"
#include "shell/CMainFrame.h"
#include "shell/CQtPrompter.h"

using namespace torvex;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvex"));

    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    const int bits = ParseCommandLine(arguments);

    const std::string workDir = WorkingDirectory();
    CQtPrompter startPrompter(nullptr);
    if (!AcceptWorkingDirectory(workDir, startPrompter)) {
        return 1;
    }

    // One running copy per working directory; a second one hands over and ends.
    InstanceLock lock;
    const InstanceLockOutcome locked = lock.TryAcquire(InstanceLockPath(workDir));
    if (locked == InstanceLockOutcome::HeldElsewhere) {
        RunSecondCopy(InstanceSocketPath(workDir), HandOverFilePath(workDir), bits);
        return 0;
    }

    ProvideTreeFile(workDir);
    CAppSettings settings;
    settings.Load(workDir + "/" + std::string(kConfigDirName) + "/" + std::string(kAppSettingsName),
                  workDir + "/" + std::string(kDefaultProjectsDirName));

    CFrameOptions options;
    options.workDir = workDir;
    options.commandLineBits = bits;
    CMainFrame frame(settings, options);
    if (!frame.LoadTree()) {
        return 1;
    }

    if (locked == InstanceLockOutcome::Acquired) {
        frame.OpenInstanceChannel();
    }

    if (bits & kStartHidden) {
        // Hidden in the tray, where the desktop has one; else minimised.
        if (frame.TrayIcon() == nullptr) {
            frame.showMinimized();
        }
    } else {
        frame.showMaximized();
    }
    if (bits & kHandOverWaiting) {
        QTimer::singleShot(0, &frame, [&frame] { frame.TakeHandOver(); });
    }
    return QApplication::exec();
}
