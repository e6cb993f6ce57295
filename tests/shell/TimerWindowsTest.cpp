#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>

#include "app/CDialUpSession.h"
#include "app/DownloadTimer.h"
#include "app/FinalActions.h"
#include "platform/FileSystem.h"
#include "project/CAppSettings.h"
#include "shell/CCountdownWindow.h"
#include "shell/CDefaultDirDialog.h"
#include "shell/CDefaultProxyDialog.h"
#include "shell/CDialUpDriver.h"
#include "shell/CDialUpWindow.h"
#include "shell/CFormTree.h"
#include "shell/CMainFrame.h"
#include "shell/CMoreOptionsDialog.h"
#include "shell/CTimerDialog.h"
#include "support/DialUpFakes.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

using namespace torvex;
using namespace torvex::test;

namespace {

constexpr int kWaitMs = 30000;

std::string ScreenshotDir() {
    const QByteArray dir = qgetenv("TORVEX_SCREENSHOTS");
    return dir.isEmpty() ? std::string(TORVEX_BINARY_DIR) + "/screenshots" : dir.toStdString();
}

// Runs `body` on the modal dialog that the next command opens, once it is up.
void OnNextModal(std::function<void(QWidget *)> body) {
    QTimer::singleShot(0, [body = std::move(body)] {
        QWidget *modal = nullptr;
        for (int i = 0; i < 500 && !(modal = QApplication::activeModalWidget()); ++i) {
            QTest::qWait(10);
        }
        QVERIFY(modal);
        body(modal);
    });
}

template <typename T> T *Child(QWidget *parent, const char *name) {
    T *child = parent->findChild<T *>(QString::fromLatin1(name));
    if (!child) {
        qWarning("no child %s", name);
    }
    return child;
}

} // namespace

class TimerWindowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void countdownCountsAndDoItNowCallsTheFakes();
    void closingTheCountdownCancelsAndZeroActsAtOnce();
    void dialUpWindowFollowsTheFakesEvents();
    void cancellingTheDialLetsTheProjectRun();
    void aFailedDialRedialsThenLetsTheProjectRun();
    void aStartCancelsTheCountdown();
    void theShutdownWaitsForTheRunsConversion();
    void aRefusedShutdownIsToldAndNothingDialledIsQuiet();
    void optionDialogsStoreWhatTheyShowAndSaveIt();
    void optionRefusalsKeepTheDialogOpen();
    void downloadTimerStartsTheTimerListAndStopsAll();
    void screenshots();

private:
    void WriteTree(const std::vector<CProjectSettings> &projects);
    CProjectSettings Project(const std::string &name, const std::string &address);
    void OpenFrame();
    CTreeNode *Node(const std::string &label);
    void Select(const std::string &label);
    void Trigger(const char *action);
    void WaitIdle();
    std::string SavedSettings() const;

    std::unique_ptr<TempDir> m_dir;
    std::string m_work;
    CAppSettings m_settings;
    CScriptedPrompter m_prompter;
    CStandInPipeline m_pipeline;
    std::unique_ptr<CFakeDialUp> m_dialUp;
    std::unique_ptr<CFakeShutdown> m_shutdown;
    CFakeClock m_clock;
    bool m_networkUp = true;
    std::unique_ptr<CMainFrame> m_frame;
};

void TimerWindowsTest::init() {
    m_dir = std::make_unique<TempDir>();
    m_work = m_dir->Str();
    qputenv("TORVEX_HOME", QByteArray::fromStdString(m_work));
    m_settings = CAppSettings();
    m_settings.DefaultDir = m_work + "/MyWebsites";
    m_prompter = CScriptedPrompter();
    m_dialUp = std::make_unique<CFakeDialUp>();
    m_dialUp->entries = {"Modem", "Office VPN"};
    m_shutdown = std::make_unique<CFakeShutdown>();
    m_networkUp = true;
}

void TimerWindowsTest::cleanup() {
    if (m_frame) {
        // Stop is given to each run once its monitor is up.
        QTRY_VERIFY_WITH_TIMEOUT(
            (m_frame->Runs().StopAll(),
             m_frame->Tasks().RunningCount() == 0 && m_frame->Tasks().WaitingCount() == 0),
            kWaitMs);
        m_frame->Automation().WaitForFinalActions();
        m_frame.reset();
    }
    m_dialUp.reset();
    m_shutdown.reset();
    m_dir.reset();
}

CProjectSettings TimerWindowsTest::Project(const std::string &name, const std::string &address) {
    CProjectSettings project = ProjectIn(m_work + "/sites/" + name, {address});
    project.Name = name;
    project.DownthreadNum = 1;
    return project;
}

void TimerWindowsTest::WriteTree(const std::vector<CProjectSettings> &projects) {
    CProjectTree tree(m_work + "/Torvex.dir", m_settings.DefaultDir);
    QVERIFY(tree.LoadTree());
    CTreeNode *sites = tree.AddFolder(tree.Root(), "Sites");
    for (const CProjectSettings &project : projects) {
        tree.AddProject(*sites, std::make_unique<CProjectSettings>(project));
    }
    tree.Root().kind = NodeKind::RootExpanded;
    sites->kind = NodeKind::FolderExpanded;
    QVERIFY(tree.SaveTree(true));
}

void TimerWindowsTest::OpenFrame() {
    CFrameOptions options;
    options.workDir = m_work;
    options.prompter = &m_prompter;
    options.pipeline = &m_pipeline;
    options.automation.dialUp = m_dialUp.get();
    options.automation.shutdown = m_shutdown.get();
    options.automation.clock = &m_clock;
    options.automation.networkUp = [this] { return m_networkUp; };
    m_frame = std::make_unique<CMainFrame>(m_settings, options);
    m_frame->resize(1000, 600);
    QVERIFY(m_frame->LoadTree());
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    QTRY_VERIFY(m_frame->FormTree()->SelectedNode() != nullptr);
}

CTreeNode *TimerWindowsTest::Node(const std::string &label) {
    std::function<CTreeNode *(CTreeNode &)> find = [&](CTreeNode &node) -> CTreeNode * {
        if (node.label == label) {
            return &node;
        }
        for (auto &child : node.children) {
            if (CTreeNode *found = find(*child)) {
                return found;
            }
        }
        return nullptr;
    };
    return find(m_frame->ProjectTree().Root());
}

void TimerWindowsTest::Select(const std::string &label) {
    CTreeNode *node = Node(label);
    QVERIFY(node);
    m_frame->FormTree()->Select(node);
}

void TimerWindowsTest::Trigger(const char *action) {
    QAction *command = m_frame->Action(QString::fromLatin1(action));
    QVERIFY(command);
    QVERIFY2(command->isEnabled(), action);
    command->trigger();
}

void TimerWindowsTest::WaitIdle() {
    QTRY_VERIFY_WITH_TIMEOUT(
        m_frame->Tasks().RunningCount() == 0 && m_frame->Tasks().WaitingCount() == 0, kWaitMs);
}

std::string TimerWindowsTest::SavedSettings() const {
    std::string text;
    ReadFileText(m_work + "/Config/Torvex.conf", text);
    return text;
}

void TimerWindowsTest::countdownCountsAndDoItNowCallsTheFakes() {
    m_settings.AutoHangUp = true;
    m_settings.AutoShutdown = true;
    m_settings.AutoTimeOut = 3;
    m_dialUp->SetConnections({"ppp0-link"});
    WriteTree({Project("Docs", "http://h/a.html")});
    OpenFrame();
    Select("Docs");
    Trigger("start");
    QTRY_VERIFY_WITH_TIMEOUT(m_frame->Automation().Countdown() != nullptr, kWaitMs);
    CCountdownWindow *countdown = m_frame->Automation().Countdown();
    QCOMPARE(countdown->windowTitle(), QStringLiteral("Download Finished"));
    QCOMPARE(countdown->LabelText(), QStringLiteral("Auto hangup and shutdown in"));
    // It counts: the bar moves and the seconds go down.
    QTRY_VERIFY_WITH_TIMEOUT(countdown->CounterText() == QStringLiteral("2 seconds!!"), kWaitMs);
    QVERIFY(countdown->ProgressValue() >= 10);
    QCOMPARE(m_shutdown->powerOffs.load(), 0);
    // A countdown that takes time speaks for the end: no "Download finished!" box.
    QVERIFY(m_prompter.said.empty());

    QPushButton *now = Child<QPushButton>(countdown, "doItNow");
    QVERIFY(now);
    QCOMPARE(now->text(), QStringLiteral("Do it now!"));
    QTest::mouseClick(now, Qt::LeftButton);
    m_frame->Automation().WaitForFinalActions();
    QCOMPARE(m_dialUp->HungUp(), std::vector<DialConnection>{"ppp0-link"});
    QCOMPARE(m_shutdown->powerOffs.load(), 1);
    QCOMPARE(m_shutdown->logOuts.load(), 0);
    QTRY_VERIFY(m_frame->Automation().Countdown() == nullptr);
}

void TimerWindowsTest::closingTheCountdownCancelsAndZeroActsAtOnce() {
    m_settings.AutoShutdown = true;
    m_settings.ShutdownAction = 1;
    WriteTree({Project("Docs", "http://h/a.html")});
    OpenFrame();
    QVERIFY(m_frame->Automation().AllRunsEnded(false, false));
    QPointer<CCountdownWindow> countdown = m_frame->Automation().Countdown();
    QVERIFY(countdown);
    QCOMPARE(countdown->LabelText(), QStringLiteral("Auto shutdown in"));
    countdown->close();
    QTRY_VERIFY(countdown.isNull()); // gone, and its timers with it
    m_frame->Automation().WaitForFinalActions();
    QCOMPARE(m_shutdown->logOuts.load(), 0);

    // With a count of 0 the actions follow at the first step, and a finished run still says so.
    m_settings.AutoTimeOut = 0;
    Select("Docs");
    Trigger("start");
    QTRY_COMPARE_WITH_TIMEOUT(m_shutdown->logOuts.load(), 1, kWaitMs);
    QCOMPARE(m_shutdown->powerOffs.load(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_prompter.said,
                              std::vector<std::string>{"information: Download finished!"}, kWaitMs);
}

void TimerWindowsTest::dialUpWindowFollowsTheFakesEvents() {
    m_settings.Dialup = true;
    m_settings.EntryName = "Modem";
    WriteTree({Project("Docs", "http://h/hold-docs.html")});
    OpenFrame();
    Select("Docs");
    Trigger("start");
    // The project waits while dialling.
    QCOMPARE(Node("Docs")->kind, NodeKind::ProjectWaiting);
    CDialUpWindow *window = m_frame->Automation().Driver().Window();
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QStringLiteral("Connecting \"Modem\"(1)"));
    QCOMPARE(m_dialUp->DialCount(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(window->IconFrame() != 0, kWaitMs); // the modem blinks

    const struct {
        int state;
        const char *status;
    } steps[] = {
        {DialState::OpenPort, "Status  Dialing up..."},
        {DialState::Authenticate, "Status  Authenticating user..."},
        {DialState::LogonNetwork, "Status  Logging on to network..."},
    };
    for (const auto &step : steps) {
        m_dialUp->Report(step.state);
        QTRY_COMPARE_WITH_TIMEOUT(window->Status(), QString::fromLatin1(step.status), kWaitMs);
    }
    QCOMPARE(Node("Docs")->kind, NodeKind::ProjectWaiting);
    m_dialUp->Report(DialState::Connected);
    QTRY_VERIFY_WITH_TIMEOUT(m_frame->Automation().Driver().Window() == nullptr, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(Node("Docs")->kind, NodeKind::ProjectRunning, kWaitMs);

    // Another start finds the connection up and does not dial.
    QTRY_VERIFY_WITH_TIMEOUT(m_frame->Action("stop")->isEnabled(), kWaitMs);
    Trigger("stop");
    WaitIdle();
    Trigger("start");
    QCOMPARE(Node("Docs")->kind, NodeKind::ProjectRunning);
    QCOMPARE(m_dialUp->DialCount(), 1);
}

void TimerWindowsTest::cancellingTheDialLetsTheProjectRun() {
    m_settings.Dialup = true;
    m_settings.EntryName = "Modem";
    WriteTree({Project("Docs", "http://h/hold-docs.html")});
    OpenFrame();
    Select("Docs");
    Trigger("start");
    CDialUpWindow *window = m_frame->Automation().Driver().Window();
    QVERIFY(window);
    m_dialUp->Report(DialState::OpenPort);
    QTRY_COMPARE_WITH_TIMEOUT(window->Status(), QStringLiteral("Status  Dialing up..."), kWaitMs);
    QSignalSpy messages(&m_frame->Automation().Driver(), &CDialUpDriver::dialMessage);
    QTest::mouseClick(Child<QPushButton>(window, "dialCancel"), Qt::LeftButton);
    QCOMPARE(window->Status(), QStringLiteral("Status  Hanging up..."));
    QCOMPARE(m_dialUp->HungUp(), std::vector<DialConnection>{"conn-1"});
    // The window stays through the hang-up's pause (a timer; the window answers meanwhile).
    QCOMPARE(Node("Docs")->kind, NodeKind::ProjectWaiting);
    QTRY_COMPARE_WITH_TIMEOUT(messages.count(), 1, kWaitMs);
    QCOMPARE(messages.at(0).at(0).toInt(), kDialCancelledMessage);
    QVERIFY(m_frame->Automation().Driver().Window() == nullptr);
    QCOMPARE(Node("Docs")->kind, NodeKind::ProjectRunning);
}

void TimerWindowsTest::aFailedDialRedialsThenLetsTheProjectRun() {
    m_settings.Dialup = true;
    m_settings.EntryName = "Modem";
    m_settings.Redial = 1;
    m_settings.WaitBeforeRedial = 1;
    WriteTree({Project("Docs", "http://h/hold-docs.html")});
    OpenFrame();
    QSignalSpy messages(&m_frame->Automation().Driver(), &CDialUpDriver::dialMessage);
    Select("Docs");
    Trigger("start");
    for (int attempt = 1; attempt <= 2; ++attempt) {
        QTRY_VERIFY_WITH_TIMEOUT(m_frame->Automation().Driver().Window() != nullptr, kWaitMs);
        QCOMPARE(m_frame->Automation().Driver().Window()->windowTitle(),
                 QStringLiteral("Connecting \"Modem\"(%1)").arg(attempt));
        QCOMPARE(m_dialUp->DialCount(), attempt);
        m_dialUp->Report(DialState::OpenPort, 7);
        // During the hang-up's pause the window says why the attempt failed.
        CDialUpWindow *window = m_frame->Automation().Driver().Window();
        QTRY_COMPARE_WITH_TIMEOUT(window->Status(), QStringLiteral("Status  Hanging up..."),
                                  kWaitMs);
        QCOMPARE(window->Error(), QStringLiteral("Error 7 of the fake"));
        QTRY_VERIFY_WITH_TIMEOUT(m_frame->Automation().Driver().Window() == nullptr, kWaitMs);
        QCOMPARE(messages.count(), attempt);
        QCOMPARE(messages.at(attempt - 1).at(0).toInt(),
                 attempt == 1 ? kDialRedialMessage : kDialFailedMessage);
    }
    // The dialling failed finally: the project runs without it.
    QTRY_COMPARE_WITH_TIMEOUT(Node("Docs")->kind, NodeKind::ProjectRunning, kWaitMs);
    QCOMPARE(m_dialUp->HungUp(), (std::vector<DialConnection>{"conn-1", "conn-2"}));

    // A dial that cannot even start fails at once, and the project is not held.
    QTRY_VERIFY_WITH_TIMEOUT(m_frame->Action("stop")->isEnabled(), kWaitMs);
    Trigger("stop");
    WaitIdle();
    m_dialUp->dialResult = 5;
    Trigger("start");
    QCOMPARE(m_dialUp->DialCount(), 3);
    QVERIFY(m_frame->Automation().Driver().Window() == nullptr);
    QCOMPARE(messages.count(), 3);
    QCOMPARE(Node("Docs")->kind, NodeKind::ProjectRunning);
}

void TimerWindowsTest::aStartCancelsTheCountdown() {
    m_settings.AutoShutdown = true;
    m_settings.AutoTimeOut = 30;
    WriteTree({Project("Docs", "http://h/hold-docs.html")});
    OpenFrame();
    Select("Docs");
    Trigger("addToTimer");
    m_frame->Automation().AllRunsEnded(false, false);
    QPointer<CCountdownWindow> first = m_frame->Automation().Countdown();
    m_frame->Automation().AllRunsEnded(false, false);
    QPointer<CCountdownWindow> countdown = m_frame->Automation().Countdown();
    QVERIFY(first && countdown && first != countdown);
    // The download timer starts a project while the countdowns run: every shutdown is off.
    const CLocalMinute now = LocalMinuteOf(m_clock.now.load());
    m_settings.StartDownloadTimer = true;
    m_settings.StartDownloadHour = now.hour;
    m_settings.StartDownloadMinute = now.minute;
    m_frame->Automation().CheckDownloadTimer();
    QCOMPARE(Node("Docs")->kind, NodeKind::ProjectRunning);
    QTRY_VERIFY(countdown.isNull() && first.isNull());
    QVERIFY(m_frame->Automation().Countdown() == nullptr);
    m_frame->Automation().WaitForFinalActions();
    QCOMPARE(m_shutdown->powerOffs.load(), 0);
}

void TimerWindowsTest::theShutdownWaitsForTheRunsConversion() {
    m_settings.AutoHangUp = true;
    m_settings.AutoShutdown = true;
    m_settings.AutoTimeOut = 2;
    m_dialUp->SetConnections({"ppp0-link"});
    CProjectSettings project = Project("Docs", "http://h/a.html");
    project.AutoConvert = true;
    project.Link = 1; // the run's end converts its record
    WriteTree({project});
    OpenFrame();
    Select("Docs");
    Trigger("start");
    // Only the hang-up follows the run; the shutdown waits for the conversion to end.
    QTRY_VERIFY_WITH_TIMEOUT(m_frame->Automation().Countdown() != nullptr, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(m_frame->Automation().Countdown() &&
                                 m_frame->Automation().Countdown()->windowTitle() ==
                                     QStringLiteral("Conversion Finished"),
                             kWaitMs);
    CCountdownWindow *countdown = m_frame->Automation().Countdown();
    QCOMPARE(countdown->LabelText(), QStringLiteral("Auto shutdown in"));
    QVERIFY(m_frame->Tasks().ConversionQueue().IsIdle());
    QCOMPARE(m_shutdown->powerOffs.load(), 0);
    countdown->DoItNow();
    m_frame->Automation().WaitForFinalActions();
    QCOMPARE(m_shutdown->powerOffs.load(), 1);
    // The first countdown hung up on its own.
    QTRY_COMPARE_WITH_TIMEOUT(m_dialUp->HungUp(), std::vector<DialConnection>{"ppp0-link"},
                              kWaitMs);
}

void TimerWindowsTest::aRefusedShutdownIsToldAndNothingDialledIsQuiet() {
    m_settings.AutoHangUp = true;
    m_settings.AutoTimeOut = 0;
    WriteTree({});
    OpenFrame();
    // Hanging up with no connection up does nothing and tells nothing.
    QVERIFY(!m_frame->Automation().AllRunsEnded(false, false));
    QTRY_VERIFY(m_frame->Automation().Countdown() == nullptr);
    m_frame->Automation().WaitForFinalActions();
    QVERIFY(m_dialUp->HungUp().empty());
    QCoreApplication::processEvents();
    QVERIFY(m_prompter.said.empty());

    // A shutdown the system refuses is told, as is a hang-up whose connections cannot be listed.
    m_settings.AutoShutdown = true;
    m_shutdown->refuse = true;
    m_dialUp->enumResult = 3;
    m_frame->Automation().AllRunsEnded(false, false);
    QTRY_COMPARE_WITH_TIMEOUT(m_prompter.said.size(), std::size_t{2}, kWaitMs);
    std::sort(m_prompter.said.begin(), m_prompter.said.end());
    QCOMPARE(m_prompter.said,
             (std::vector<std::string>{"error: " + std::string(kShutdownRefusedText),
                                       "error: " + std::string(kHangUpFailedText)}));
    QCOMPARE(m_shutdown->powerOffs.load(), 1);
}

void TimerWindowsTest::optionDialogsStoreWhatTheyShowAndSaveIt() {
    WriteTree({});
    OpenFrame();

    // More Options through the menu: the dial-up page lists the entries.
    OnNextModal([](QWidget *dialog) {
        auto *options = qobject_cast<CMoreOptionsDialog *>(dialog);
        QVERIFY(options);
        auto *entries = Child<QListWidget>(dialog, "dialEntries");
        QCOMPARE(entries->count(), 2);
        Child<QCheckBox>(dialog, "dialup")->setChecked(true);
        entries->setCurrentRow(0);
        Child<QSpinBox>(dialog, "redial")->setValue(150); // held to 99
        Child<QSpinBox>(dialog, "waitBeforeRedial")->setValue(0);
        Child<QSpinBox>(dialog, "autoTimeOut")->setValue(30);
        Child<QCheckBox>(dialog, "endNotify")->setChecked(false);
        Child<QRadioButton>(dialog, "shutdownAction1")->setChecked(true);
        options->accept();
    });
    Trigger("moreOptions");
    QVERIFY(m_settings.Dialup);
    QCOMPARE(m_settings.EntryName, std::string("Modem"));
    QCOMPARE(m_settings.Redial, 99);
    QCOMPARE(m_settings.WaitBeforeRedial, 1);
    QCOMPARE(m_settings.AutoTimeOut, 30);
    QCOMPARE(m_settings.EndNotify, 0);
    QCOMPARE(m_settings.ShutdownAction, 1);
    std::string saved = SavedSettings();
    QVERIFY(saved.find("Dialup=1\nEntryName=Modem\n") != std::string::npos);
    QVERIFY(saved.find("ShutdownAction=1\n") != std::string::npos);

    // The timer dialog; checking the stop timer reminds of hang-up and shutdown.
    OnNextModal([](QWidget *dialog) {
        Child<QCheckBox>(dialog, "startTimer")->setChecked(true);
        Child<QTimeEdit>(dialog, "startTime")->setTime(QTime(1, 30));
        QTest::mouseClick(Child<QCheckBox>(dialog, "stopTimer"), Qt::LeftButton);
        Child<QTimeEdit>(dialog, "stopTime")->setTime(QTime(7, 5));
        qobject_cast<QDialog *>(dialog)->accept();
    });
    Trigger("timer");
    QCOMPARE(m_prompter.said,
             std::vector<std::string>{"information: " + std::string(kStopTimerReminderText)});
    QVERIFY(m_settings.StartDownloadTimer && m_settings.StopDownloadTimer);
    QCOMPARE(m_settings.StartDownloadHour * 100 + m_settings.StartDownloadMinute, 130);
    QCOMPARE(m_settings.StopDownloadHour * 100 + m_settings.StopDownloadMinute, 705);
    QVERIFY(SavedSettings().find("StopDownloadHour=7\nStopDownloadMinute=5\n") !=
            std::string::npos);

    // The default proxy: the port is held to its range, the password scrambled on disk.
    OnNextModal([](QWidget *dialog) {
        Child<QRadioButton>(dialog, "proxyMode2")->setChecked(true);
        Child<QLineEdit>(dialog, "proxyServer")->setText(QStringLiteral(" socks.local "));
        Child<QLineEdit>(dialog, "proxyPort")->setText(QStringLiteral("70000"));
        Child<QLineEdit>(dialog, "proxyPassword")->setText(QStringLiteral("hidden"));
        qobject_cast<QDialog *>(dialog)->accept();
    });
    Trigger("defaultProxy");
    QCOMPARE(m_settings.Proxy, 2);
    QCOMPARE(m_settings.ProxyServer, std::string("socks.local"));
    QCOMPARE(m_settings.ProxyPort, 1080);
    saved = SavedSettings();
    QVERIFY(saved.find("ProxyPort=1080\n") != std::string::npos);
    QVERIFY(saved.find("hidden") == std::string::npos);
    QCOMPARE(m_frame->Tasks().Options().Proxy, 2); // new runs take it

    // Auto Hang Up and Auto Shutdown switch and are saved at once.
    QVERIFY(!m_frame->Action("autoHangUp")->isChecked());
    Trigger("autoHangUp");
    Trigger("autoShutdown");
    QVERIFY(m_settings.AutoHangUp && m_settings.AutoShutdown);
    QVERIFY(m_frame->Action("autoHangUp")->isChecked());
    QVERIFY(SavedSettings().find("AutoHangUp=1\nAutoShutdown=1\n") != std::string::npos);
    Trigger("autoHangUp");
    QVERIFY(!m_settings.AutoHangUp);

    // A save that fails is told.
    RemoveFileIfExists(m_work + "/Config/Torvex.conf");
    std::filesystem::remove_all(m_work + "/Config");
    WriteFileBytes(m_work + "/Config", "");
    m_prompter.said.clear();
    Trigger("autoShutdown");
    QCOMPARE(m_prompter.said.size(), std::size_t{1});
    QVERIFY(m_prompter.said.front().find("error: Error: Failed to write file:") == 0);
}

void TimerWindowsTest::optionRefusalsKeepTheDialogOpen() {
    WriteTree({});
    OpenFrame();
    // Dial-up without an entry.
    {
        CMoreOptionsDialog dialog(m_settings, *m_dialUp, m_prompter, m_frame.get());
        dialog.show();
        dialog.Tabs()->setCurrentIndex(1);
        Child<QCheckBox>(&dialog, "dialup")->setChecked(true);
        dialog.accept();
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.Tabs()->currentIndex(), 0);
        QCOMPARE(m_prompter.said, std::vector<std::string>{
                                      "warning: Please select an entry of the dial-up network!"});
        QVERIFY(!m_settings.Dialup);
    }
    // Without dial-up networking the page is disabled.
    {
        m_dialUp->available = false;
        CMoreOptionsDialog dialog(m_settings, *m_dialUp, m_prompter, m_frame.get());
        QVERIFY(!Child<QCheckBox>(&dialog, "dialup")->isEnabled());
        QVERIFY(!Child<QListWidget>(&dialog, "dialEntries")->isEnabled());
        QVERIFY(Child<QWidget>(&dialog, "dialUpMissing"));
        dialog.accept(); // the hang-up page still counts
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    // The default directory.
    {
        m_prompter.said.clear();
        CDefaultDirDialog dialog(m_settings, m_prompter, m_frame.get());
        dialog.show();
        auto *field = Child<QLineEdit>(&dialog, "defaultDir");
        field->setText(QStringLiteral("relative/sites"));
        dialog.accept();
        QVERIFY(dialog.isVisible());
        const std::string fresh = m_work + "/new/sites";
        field->setText(QString::fromStdString(fresh + "/"));
        m_prompter.answers = {false};
        dialog.accept();
        QVERIFY(dialog.isVisible()); // not to be created: stays
        QVERIFY(!DirectoryExists(fresh));
        m_prompter.answers = {true};
        dialog.accept();
        QVERIFY(!dialog.isVisible());
        QVERIFY(DirectoryExists(fresh));
        QCOMPARE(m_settings.DefaultDir, fresh);
        QCOMPARE(m_prompter.said.size(), std::size_t{3});
        QCOMPARE(m_prompter.said[0], std::string("warning: Sorry, \"relative/sites\" is not an "
                                                 "absolute path."));
    }
}

void TimerWindowsTest::downloadTimerStartsTheTimerListAndStopsAll() {
    WriteTree({Project("Docs", "http://h/hold-docs.html"), Project("Other", "http://h/b.html")});
    OpenFrame();
    Select("Docs");
    QVERIFY(!m_frame->Action("addToTimer")->isChecked());
    Trigger("addToTimer");
    QCOMPARE(Node("Docs")->kind, NodeKind::ProjectOnTimer);
    QVERIFY(m_frame->Action("addToTimer")->isChecked());
    // The list is kept in the tree file.
    {
        CProjectTree saved(m_work + "/Torvex.dir", m_settings.DefaultDir);
        QVERIFY(saved.LoadTree());
        QVERIFY(saved.FindProjectByDirectory(m_work + "/sites/Docs")->project->TimeDownload);
    }

    const CLocalMinute now = LocalMinuteOf(m_clock.now.load());
    m_settings.StartDownloadTimer = true;
    m_settings.StartDownloadHour = now.hour;
    m_settings.StartDownloadMinute = now.minute;
    m_frame->Automation().CheckDownloadTimer();
    QCOMPARE(Node("Docs")->kind, NodeKind::ProjectRunning);
    QCOMPARE(Node("Other")->kind, NodeKind::ProjectIdle);
    m_frame->Automation().CheckDownloadTimer(); // the same minute again
    QCOMPARE(m_frame->Tasks().RunningCount(), std::size_t{1});

    m_settings.StartDownloadTimer = false;
    m_settings.StopDownloadTimer = true;
    m_settings.StopDownloadHour = now.hour;
    m_settings.StopDownloadMinute = now.minute;
    QTRY_VERIFY_WITH_TIMEOUT(m_frame->Runs().StopAllowed(*Node("Docs")->project), kWaitMs);
    m_frame->Automation().CheckDownloadTimer();
    WaitIdle();
    QCOMPARE(Node("Docs")->kind, NodeKind::ProjectOnTimer);

    // Off the list again from the folder.
    Select("Sites");
    Trigger("deleteFromTimer");
    QCOMPARE(Node("Docs")->kind, NodeKind::ProjectIdle);
    QVERIFY(!m_frame->Action("deleteFromTimer")->isEnabled());
}

void TimerWindowsTest::screenshots() {
    WriteTree({Project("Docs", "http://h/hold-docs.html")});
    m_settings.Dialup = true;
    m_settings.EntryName = "Modem";
    m_settings.AutoHangUp = true;
    m_settings.AutoShutdown = true;
    m_settings.StartDownloadTimer = true;
    m_settings.StartDownloadHour = 2;
    m_settings.StartDownloadMinute = 30;
    m_settings.Proxy = 1;
    m_settings.ProxyServer = "proxy.example.org";
    m_settings.ProxyPort = 3128;
    OpenFrame();
    const std::string shots = ScreenshotDir();
    std::filesystem::create_directories(shots);
    // The offscreen platform draws no window frame: the picture gets a title bar of its own.
    const auto save = [&](QWidget *widget, const char *name) {
        widget->show();
        QVERIFY(QTest::qWaitForWindowExposed(widget));
        QTest::qWait(100);
        const QPixmap content = widget->grab();
        constexpr int kTitleHeight = 26;
        QPixmap picture(content.width(), content.height() + kTitleHeight);
        picture.fill(QColor(60, 90, 140));
        QPainter painter(&picture);
        painter.setPen(Qt::white);
        painter.drawText(QRect(8, 0, content.width() - 16, kTitleHeight),
                         Qt::AlignVCenter | Qt::AlignLeft, widget->windowTitle());
        painter.drawPixmap(0, kTitleHeight, content);
        painter.end();
        QVERIFY(picture.save(QString::fromStdString(shots + "/" + name + ".png")));
    };

    Select("Docs");
    Trigger("start");
    CDialUpWindow *dial = m_frame->Automation().Driver().Window();
    QVERIFY(dial);
    m_dialUp->Report(DialState::Authenticate);
    QTRY_COMPARE(dial->Status(), QStringLiteral("Status  Authenticating user..."));
    QTRY_VERIFY(dial->IconFrame() >= 2);
    save(dial, "dial-up");
    QTest::mouseClick(Child<QPushButton>(dial, "dialCancel"), Qt::LeftButton);

    CCountdownWindow countdown(
        CCountdown(kCountdownDownloadFinished | kCountdownHangUp | kCountdownShutdown, 15),
        m_frame.get());
    countdown.setAttribute(Qt::WA_DeleteOnClose, false);
    QTRY_VERIFY(countdown.ProgressValue() >= 20);
    save(&countdown, "download-end");
    countdown.reject();

    CDefaultProxyDialog proxy(m_settings, m_frame.get());
    save(&proxy, "default-proxy");
    CDefaultDirDialog directory(m_settings, m_prompter, m_frame.get());
    save(&directory, "default-directory");
    CMoreOptionsDialog options(m_settings, *m_dialUp, m_prompter, m_frame.get());
    Child<QListWidget>(&options, "dialEntries")->setCurrentRow(0);
    save(&options, "options-dial-up");
    options.Tabs()->setCurrentIndex(1);
    save(&options, "options-hang-up");
    CTimerDialog timer(m_settings, m_prompter, m_frame.get());
    save(&timer, "timer");
}

QTEST_MAIN(TimerWindowsTest)
#include "TimerWindowsTest.moc"
