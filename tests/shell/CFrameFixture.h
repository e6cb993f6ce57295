#pragma once

#include <memory>
#include <string>
#include <vector>

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

    std::unique_ptr<TempDir> m_dir;
    std::string m_work;
    CAppSettings m_settings;
    CScriptedPrompter m_prompter;
    std::unique_ptr<CMainFrame> m_frame;
};

} // namespace torvex::test
