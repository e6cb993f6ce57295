// Runs the project in DIR through the main window, with the project selected so that both lists
// refresh as they do for a user, and prints the wall time of the run (from Start to the end of
// its link conversion), the longest stall of the GUI thread's event loop, and the CPU time of
// the GUI thread beside that of the whole process.
//
//   torvex-gui-bench PROJECT_DIR WORK_DIR

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>

#include "engine/IPrompter.h"
#include "project/CAppSettings.h"
#include "project/CProjectTree.h"
#include "shell/CFormTree.h"
#include "shell/CMainFrame.h"

using namespace torvex;

namespace {

// Keeps messages off the screen: a benchmark has nobody to click them away.
class CSilentPrompter final : public IPrompter {
public:
    void Information(std::string_view text) override { Print("information", text); }
    void Warning(std::string_view text) override { Print("warning", text); }
    void Error(std::string_view text) override { Print("error", text); }
    bool AskYesNo(std::string_view, bool) override { return true; }
    bool AskOkCancel(std::string_view) override { return true; }

private:
    static void Print(const char* kind, std::string_view text) {
        std::fprintf(stderr, "%s: %.*s\n", kind, static_cast<int>(text.size()), text.data());
    }
};

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: torvex-gui-bench PROJECT_DIR WORK_DIR\n");
        return 2;
    }
    QApplication application(argc, argv);
    const std::string projectDir = argv[1];
    const std::string workDir = argv[2];

    CAppSettings settings;
    settings.DefaultDir = workDir + "/MyWebsites";
    {
        auto project = std::make_unique<CProjectSettings>();
        if (!project->LoadProjectFile(projectDir + "/project.conf", nullptr)) {
            std::fprintf(stderr, "cannot read %s/project.conf\n", projectDir.c_str());
            return 2;
        }
        project->ProjectDir = projectDir;
        CProjectTree tree(workDir + "/" + std::string(kTreeFileName), settings.DefaultDir);
        tree.LoadTree();
        tree.AddProject(tree.Root(), std::move(project));
        tree.SaveTree(false);
    }

    CSilentPrompter prompter;
    CFrameOptions options;
    options.workDir = workDir;
    options.prompter = &prompter;
    CMainFrame frame(settings, options);
    frame.resize(1100, 700);
    if (!frame.LoadTree()) {
        return 2;
    }
    frame.show();

    // The event loop's heartbeat: the longest gap between two 5 ms ticks, less the 5 ms.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });

    QElapsedTimer wall;
    double guiCpuStart = 0;
    double processCpuStart = 0;
    bool ended = false;
    QTimer finish;
    finish.setInterval(20);
    QObject::connect(&frame, &CMainFrame::allTasksEnded, [&] { ended = true; });
    QObject::connect(&finish, &QTimer::timeout, [&] {
        if (!ended || !frame.Tasks().ConversionQueue().IsIdle()) {
            return;
        }
        const double seconds = static_cast<double>(wall.elapsed()) / 1000.0;
        const double guiCpu = ThreadCpuSeconds() - guiCpuStart;
        const double processCpu = ProcessCpuSeconds() - processCpuStart;
        std::printf("wall_s %.2f\nlongest_stall_ms %lld\ngui_cpu_s %.3f\nprocess_cpu_s %.3f\n"
                    "gui_cpu_share %.1f%%\n",
                    seconds, static_cast<long long>(std::max<qint64>(0, longestGap - 5)), guiCpu,
                    processCpu, processCpu > 0 ? guiCpu * 100.0 / processCpu : 0.0);
        std::fflush(stdout);
        frame.close();
        QApplication::quit();
    });

    QTimer::singleShot(200, [&] {
        CTreeNode& root = frame.ProjectTree().Root();
        if (root.children.empty()) {
            QApplication::exit(2);
            return;
        }
        frame.FormTree()->Select(root.children.back().get());
        guiCpuStart = ThreadCpuSeconds();
        processCpuStart = ProcessCpuSeconds();
        wall.start();
        sinceTick.start();
        heartbeat.start();
        finish.start();
        frame.Action(QStringLiteral("start"))->trigger();
    });
    return QApplication::exec();
}
