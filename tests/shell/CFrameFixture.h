#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include "project/CAppSettings.h"
#include "shell/CMainFrame.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex::test {

// What the window's and the dialogs' tests stand on: a fresh working directory (TORVEX_HOME) with
// a tree file, and the main window over it with scripted answers to every message. A test class
// derives from it, gives the desktop its window uses, and calls SetUpFrame and TearDownFrame
// from its init() and cleanup(). GUI thread only.
class CFrameFixture {
public:
    static constexpr int kWaitMs = 30000;

    virtual ~CFrameFixture() = default;

protected:
    virtual CDesktop& FrameDesktop() = 0;

    void SetUpFrame();
    // Stops what still runs and closes the window before the folder goes.
    void TearDownFrame();

    // A tree of a folder "Sites" holding the projects, and an empty folder "Empty".
    void WriteTree(const std::vector<CProjectSettings>& projects);
    // A project named `name` in <work>/sites/<name> with one start address.
    CProjectSettings Project(const std::string& name, const std::string& address);
    void OpenFrame(IRunPipeline* pipeline = nullptr);
    CTreeNode* Node(const std::string& label);
    void Select(const std::string& label);
    void Trigger(const char* action);
    void WaitIdle();
    // Runs `act` on the modal dialog of type D once it is shown; a failing check inside closes
    // every dialog left open, so that a failure never hangs the test.
    template <typename D> void WhenShown(std::function<void(D*)> act);

    std::unique_ptr<TempDir> m_dir;
    std::string m_work;
    CAppSettings m_settings;
    CScriptedPrompter m_prompter;
    std::unique_ptr<CMainFrame> m_frame;
    std::vector<std::unique_ptr<QTimer>> m_watchers;
};

template <typename D> void CFrameFixture::WhenShown(std::function<void(D*)> act) {
    QTimer* timer = m_watchers.emplace_back(std::make_unique<QTimer>()).get();
    timer->setInterval(10);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, started] {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (started->elapsed() > kWaitMs) {
                timer->stop();
                QFAIL("the dialog did not come");
            }
            return;
        }
        timer->stop();
        act(dialog);
        if (QTest::currentTestFailed()) {
            while (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                open->reject();
                QCoreApplication::processEvents();
            }
        }
    });
    timer->start();
}

} // namespace torvex::test
