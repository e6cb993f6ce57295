#include <atomic>
#include <filesystem>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "app/StartUp.h"
#include "engine/CDownloadTask.h"
#include "platform/FileSystem.h"
#include "platform/InstanceLock.h"
#include "project/CAppSettings.h"
#include "shell/CDesktop.h"
#include "shell/CFormChannel.h"
#include "shell/CFormDetail.h"
#include "shell/CFormTree.h"
#include "shell/CMainFrame.h"
#include "shell/CSheetWizard.h"
#include "support/CFixtureServer.h"
#include "support/LoopbackSite.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

#include "CFrameFixture.h"

using namespace torvex;
using namespace torvex::test;

namespace {

constexpr int kWaitMs = CFrameFixture::kWaitMs;

// Keeps what the window asked of the desktop instead of opening anything.
class CRecordingDesktop final : public CDesktop {
public:
    bool OpenUrl(const QString& url) override {
        opened << url;
        return true;
    }
    bool StartProgram(const QString& program, const QString& file) override {
        started << program + QLatin1Char(' ') + file;
        return true;
    }
    void SetClipboardText(const QString& text) override { clipboard = text; }
    QStringList opened;
    QStringList started;
    QString clipboard;
};

// A small site on a fixture server: an index page linking to three pages and one slow file
// whose body arrives in pieces over about three seconds (so a worker is seen reading it even
// when the GUI thread is slowed down), or very slowly while `crawl` is set (so a stop catches
// it).
class CSlowSite {
public:
    CSlowSite() {
        m_server.SetResponder([this](const std::string& request) {
            const std::string target = request.substr(4, request.find(' ', 4) - 4);
            FixtureScript script;
            if (target == "/index.html") {
                script.push_back(SendBytes(HttpReply(
                    "200 OK", "text/html",
                    "<html><body><a href=\"a.html\">a</a> <a href=\"b.html\">b</a> "
                    "<a href=\"c.html\">c</a> <a href=\"slow.bin\">slow</a></body></html>")));
            } else if (target == "/slow.bin") {
                const std::string reply =
                    HttpReply("200 OK", "application/octet-stream", std::string(40000, 'x'));
                const bool slowly = crawl.load();
                script.push_back(SendInPieces(reply, slowly ? 200 : 2000,
                                              std::chrono::milliseconds(slowly ? 200 : 150)));
            } else if (target.size() > 1) {
                script.push_back(
                    SendBytes(HttpReply("200 OK", "text/html", "<html><body>page</body></html>")));
            }
            return script;
        });
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_server.Port()) + path;
    }
    std::atomic<bool> crawl{false};

private:
    CFixtureServer m_server;
};

std::string ScreenshotDir() {
    const QByteArray dir = qgetenv("TORVEX_SCREENSHOTS");
    return dir.isEmpty() ? std::string(TORVEX_BINARY_DIR) + "/screenshots" : dir.toStdString();
}

} // namespace

class MainWindowTest : public QObject, public CFrameFixture {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void selectingNodesFillsAndEmptiesTheLists();
    void runFromTheStartCommand();
    void stopSavesTheBreakPointAndResumeContinues();
    void waitingListStartsAProjectWhenOneEnds();
    void closingIsRefusedWhileProjectsRun();
    void damagedFilesDoNotLoseTheProjects();
    void secondCopyHandsOverTheAddress();
    void screenshots();

private:
    CDesktop& FrameDesktop() override { return m_desktop; }

    CRecordingDesktop m_desktop;
};

void MainWindowTest::init() {
    SetUpFrame();
    m_desktop.opened.clear();
}

void MainWindowTest::cleanup() {
    TearDownFrame();
}

void MainWindowTest::selectingNodesFillsAndEmptiesTheLists() {
    const std::string dir = m_work + "/sites/Docs";
    std::filesystem::create_directories(dir);
    WriteFileBytes(dir + "/project.log",
                   "[backup]\nRecordTime=1700000000\nStartTime=1700000000\nStatus=3 \n"
                   "StartPage=h/index.html\nEndTime=1700000090\nElapsedTime=90        \n"
                   "TotalFiles=12        \nDownloaded=10        \n"
                   "[latest]\nRecordTime=1700001000\nStartTime=1700001000\nStatus=2 \n"
                   "StartPage=\nEndTime=1700001030\nElapsedTime=0         \n"
                   "TotalFiles=3         \nDownloaded=3         \n");
    WriteTree({Project("Docs", "http://h/index.html")});
    OpenFrame();

    Select("Docs");
    QCOMPARE(m_frame->FormDetail()->topLevelItemCount(), 2);
    const QTreeWidgetItem* backup = m_frame->FormDetail()->topLevelItem(0);
    QCOMPARE(backup->text(2), QStringLiteral("10"));
    QCOMPARE(backup->text(5), QStringLiteral("00:01:30"));
    QCOMPARE(backup->text(6), QString::fromStdString(dir + "/download/1700000000/h/index.html"));
    QCOMPARE(m_frame->FormDetail()->topLevelItem(1)->text(5), QStringLiteral("00:00:30"));
    QCOMPARE(m_frame->FormChannel()->topLevelItemCount(), 0); // not running
    QVERIFY(m_frame->Action("start")->isEnabled());
    QVERIFY(!m_frame->Action("stop")->isEnabled());

    // View Index on a record whose index page is missing says so; with the page it opens it.
    m_frame->FormDetail()->topLevelItem(1)->setSelected(true);
    Trigger("viewIndex");
    QCOMPARE(m_prompter.said.size(), std::size_t{1});
    QVERIFY(m_prompter.said.front().find("does not exist") != std::string::npos);
    std::filesystem::create_directories(dir + "/download/latest");
    WriteFileBytes(dir + "/download/latest/index.html", "<html></html>");
    Trigger("viewIndex");
    QCOMPARE(m_desktop.opened.size(), 1);
    QVERIFY(m_desktop.opened.front().endsWith(QStringLiteral("/download/latest/index.html")));

    Trigger("copyUrl");
    QCOMPARE(m_desktop.clipboard, QStringLiteral("http://h/index.html"));

    // Help opens the manual page of the working directory.
    WriteFileBytes(m_work + "/Torvex.html", "<html></html>");
    Trigger("help");
    QCOMPARE(m_desktop.opened.size(), 2);
    QCOMPARE(m_desktop.opened.back(),
             QUrl::fromLocalFile(QString::fromStdString(m_work + "/Torvex.html")).toString());

    Select("Empty");
    QCOMPARE(m_frame->FormDetail()->topLevelItemCount(), 0);
    QVERIFY(!m_frame->Action("start")->isEnabled());
    Select("Sites");
    QCOMPARE(m_frame->FormDetail()->topLevelItemCount(), 0);
    QVERIFY(m_frame->Action("start")->isEnabled()); // an idle project below
}

void MainWindowTest::runFromTheStartCommand() {
    CSlowSite site;
    WriteTree({Project("Docs", site.Url("/index.html"))});
    OpenFrame();
    Select("Docs");
    QSignalSpy ended(m_frame.get(), &CMainFrame::allTasksEnded);
    Trigger("start");
    QCOMPARE(Node("Docs")->kind, NodeKind::ProjectRunning);

    // One row per configured thread; a worker is seen reading the slow file.
    QTRY_COMPARE_WITH_TIMEOUT(m_frame->FormChannel()->RowCount(), 2, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (int i = 0; i < m_frame->FormChannel()->RowCount(); ++i) {
                const CThreadRow& row = m_frame->FormChannel()->Row(i);
                if (row.status == "Reading Data..." && row.total == "40000" && !row.ratio.empty()) {
                    return true;
                }
            }
            return false;
        }(),
        kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(m_frame->PaneText(2) != QStringLiteral("Total Downloaded:  0"),
                             kWaitMs);
    QVERIFY(m_frame->Action("startAll")->isEnabled());

    // The end: message, node idle again, the lists stand still with the finished record.
    QTRY_COMPARE_WITH_TIMEOUT(Node("Docs")->kind, NodeKind::ProjectIdle, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, kWaitMs);
    QCOMPARE(m_prompter.said, std::vector<std::string>{"information: Download finished!"});
    QCOMPARE(m_frame->PaneText(2), QStringLiteral("Total Downloaded:  5"));
    QTRY_COMPARE(m_frame->FormDetail()->topLevelItemCount(), 1);
    // The list is read from project.log once the project is idle, a turn of the event loop
    // after the end; until then it shows the run's last live figures.
    QTRY_COMPARE(m_frame->FormDetail()->topLevelItem(0)->text(2), QStringLiteral("5"));
    QVERIFY(FileExists(m_work + "/sites/Docs/download/latest/index.html"));
    QVERIFY(m_frame->Action("start")->isEnabled());
}

void MainWindowTest::stopSavesTheBreakPointAndResumeContinues() {
    CSlowSite site;
    site.crawl = true;
    WriteTree({Project("Docs", site.Url("/index.html"))});
    OpenFrame();
    Select("Docs");
    Trigger("start");
    QTRY_VERIFY_WITH_TIMEOUT(
        m_frame->Action("stop")->isEnabled() && m_frame->FormChannel()->RowCount() > 0 &&
            [&] {
                for (int i = 0; i < 2; ++i) {
                    if (m_frame->FormChannel()->Row(i).status == "Reading Data...") {
                        return true;
                    }
                }
                return false;
            }(),
        kWaitMs);
    Trigger("stop");
    QVERIFY(!m_frame->Action("stop")->isEnabled()); // not given twice
    QTRY_COMPARE_WITH_TIMEOUT(Node("Docs")->kind, NodeKind::ProjectIdle, kWaitMs);
    QVERIFY(m_frame->BreakPointDialog());
    QVERIFY(m_frame->BreakPointDialog()->property("shownTimes").toInt() >= 1);
    QCOMPARE(m_frame->BreakPointDialog()->windowTitle(), QStringLiteral("Save break point"));
    QVERIFY(FileExists(m_work + "/sites/Docs/logs/latest.s"));
    QVERIFY(m_prompter.said.empty()); // a stop is not an error

    site.crawl = false;
    Trigger("resume");
    QTRY_COMPARE_WITH_TIMEOUT(Node("Docs")->kind, NodeKind::ProjectIdle, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!m_prompter.said.empty(), kWaitMs);
    QCOMPARE(m_prompter.said.back(), std::string("information: Download finished!"));
    QVERIFY(FileExists(m_work + "/sites/Docs/download/latest/127.0.0.1+" +
                       site.Url("").substr(site.Url("").rfind(':') + 1) + "/slow.bin"));
    QVERIFY(!FileExists(m_work + "/sites/Docs/logs/latest.s")); // finished: no break point
}

void MainWindowTest::waitingListStartsAProjectWhenOneEnds() {
    m_settings.MaxRunningTask = 1;
    m_settings.EndNotify = 0;
    CStandInPipeline pipeline;
    CProjectSettings first = Project("First", "http://h/hold-first.html");
    CProjectSettings second = Project("Second", "http://h/hold-second.html");
    first.DownthreadNum = second.DownthreadNum = 1;
    WriteTree({first, second});
    OpenFrame(&pipeline);
    Select("Sites");
    Trigger("start");
    QCOMPARE(Node("First")->kind, NodeKind::ProjectRunning);
    QCOMPARE(Node("Second")->kind, NodeKind::ProjectWaiting);
    QCOMPARE(m_frame->Tasks().WaitingCount(), std::size_t{1});

    Select("First");
    QTRY_VERIFY_WITH_TIMEOUT(m_frame->Action("stop")->isEnabled(), kWaitMs);
    QCOMPARE(m_frame->FormChannel()->RowCount(), 1);
    Trigger("stop");
    QTRY_COMPARE_WITH_TIMEOUT(Node("Second")->kind, NodeKind::ProjectRunning, kWaitMs);
    QCOMPARE(Node("First")->kind, NodeKind::ProjectIdle);
    // The waiting project now runs: selecting it attaches its thread rows.
    Select("Second");
    QTRY_COMPARE_WITH_TIMEOUT(m_frame->FormChannel()->RowCount(), 1, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(m_frame->Action("stopAll")->isEnabled() &&
                                 m_frame->Runs().StopAllowed(*Node("Second")->project),
                             kWaitMs);
    Trigger("stopAll");
    WaitIdle();
    QCOMPARE(Node("Second")->kind, NodeKind::ProjectIdle);
}

void MainWindowTest::closingIsRefusedWhileProjectsRun() {
    CStandInPipeline pipeline;
    WriteTree({Project("Docs", "http://h/hold.html")});
    OpenFrame(&pipeline);
    Select("Docs");
    Trigger("start");
    QVERIFY(!m_frame->close());
    QCOMPARE(m_prompter.said,
             std::vector<std::string>{"information: Please stop all the running projects first."});
    QTRY_VERIFY_WITH_TIMEOUT(m_frame->Action("stop")->isEnabled(), kWaitMs);
    Trigger("stop");
    WaitIdle();
    WriteFileBytes(HandOverFilePath(m_work), "http://h/\n");
    QVERIFY(m_frame->close());
    // Closing saved the tree with its copy, the settings with the splitters, and dropped the
    // hand-over file.
    QVERIFY(FileExists(m_work + "/Torvex.dir.bak"));
    std::string conf;
    QVERIFY(ReadFileText(m_work + "/Config/Torvex.conf", conf));
    QVERIFY(conf.find("Splitter1CX=") != std::string::npos);
    QVERIFY(!FileExists(HandOverFilePath(m_work)));
}

void MainWindowTest::damagedFilesDoNotLoseTheProjects() {
    WriteTree({Project("Docs", "http://h/index.html")});
    std::string projectConf;
    QVERIFY(ReadFileText(m_work + "/sites/Docs/project.conf", projectConf));
    std::filesystem::create_directories(m_work + "/Config");
    WriteFileBytes(
        m_work + "/Config/Torvex.conf",
        std::string("MaxRunningTask=99999999999999999999\nSplitter1CX=-5\n\0\xff\n", 44) +
            std::string(5000, 'x'));
    QVERIFY(m_settings.Load(m_work + "/Config/Torvex.conf", m_work + "/MyWebsites") || true);
    QVERIFY(m_settings.MaxRunningTask >= 1 && m_settings.MaxRunningTask <= 8);
    WriteFileBytes(m_work + "/Torvex.dir", std::string("\0\0\xfe[Object]\nType=2\nLevel=9\n", 27));
    OpenFrame();
    QVERIFY(m_frame->FormTree()->topLevelItemCount() == 1);
    // The project's own files are untouched, whatever the tree file held.
    std::string after;
    QVERIFY(ReadFileText(m_work + "/sites/Docs/project.conf", after));
    QCOMPARE(after, projectConf);
}

void MainWindowTest::secondCopyHandsOverTheAddress() {
    WriteTree({});
    OpenFrame();
    InstanceLock lock;
    QCOMPARE(lock.TryAcquire(InstanceLockPath(m_work)), InstanceLockOutcome::Acquired);
    QVERIFY(m_frame->OpenInstanceChannel());
    QSignalSpy taken(m_frame.get(), &CMainFrame::handOverTaken);

    const auto runSecondCopy = [&] {
        QProcess copy;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TORVEX_HOME"), QString::fromStdString(m_work));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        copy.setProcessEnvironment(env);
        copy.start(QStringLiteral(TORVEX_GUI_PATH), {QStringLiteral("/U")});
        QVERIFY(copy.waitForFinished(kWaitMs));
        QCOMPARE(copy.exitCode(), 0);
    };

    // The address starts the new-project wizard; it is answered here with Cancel.
    QString wizardAddress;
    QTimer closer;
    connect(&closer, &QTimer::timeout, &closer, [&] {
        if (auto* wizard = qobject_cast<CSheetWizard*>(QApplication::activeModalWidget())) {
            wizardAddress = wizard->AddressField()->text();
            wizard->reject();
        }
    });
    closer.start(10);
    WriteFileBytes(HandOverFilePath(m_work), "URL=http://h/page.html\nInfo=Page\nParentURL=\n");
    runSecondCopy();
    QTRY_COMPARE_WITH_TIMEOUT(taken.count(), 1, kWaitMs);
    QCOMPARE(m_frame->HandedOverText(), QStringLiteral("http://h/page.html"));
    QVERIFY(!FileExists(HandOverFilePath(m_work)));
    QTRY_COMPARE_WITH_TIMEOUT(wizardAddress, QStringLiteral("http://h/page.html"), kWaitMs);

    // While the running copy cannot take an address, the second copy drops the file.
    m_frame->InstanceChannel()->SetIntakeState(kIntakeClosed);
    WriteFileBytes(HandOverFilePath(m_work), "http://h/other.html\n");
    runSecondCopy();
    QVERIFY(!FileExists(HandOverFilePath(m_work)));
    QCOMPARE(taken.count(), 1);
}

void MainWindowTest::screenshots() {
    CSlowSite site;
    site.crawl = true;
    const std::string dir = m_work + "/sites/Manual";
    std::filesystem::create_directories(dir);
    WriteFileBytes(dir + "/project.log",
                   "[backup]\nRecordTime=1700000000\nStartTime=1700000000\nStatus=3 \n"
                   "StartPage=docs.example.org/index.html\nEndTime=1700000090\n"
                   "ElapsedTime=90        \nTotalFiles=312       \nDownloaded=298       \n");
    CProjectSettings docs = Project("Docs", site.Url("/index.html"));
    docs.DownthreadNum = 4;
    WriteTree({docs, Project("Manual", "http://docs.example.org/index.html")});
    OpenFrame();
    const std::string shots = ScreenshotDir();
    std::filesystem::create_directories(shots);

    Select("Manual");
    QTest::qWait(100);
    QVERIFY(m_frame->grab().save(QString::fromStdString(shots + "/main-idle.png")));

    Select("Docs");
    Trigger("start");
    QTRY_VERIFY_WITH_TIMEOUT(m_frame->PaneText(2) != QStringLiteral("Total Downloaded:  0") &&
                                 m_frame->PaneText(3) != QStringLiteral("Speed:   0.0KBps"),
                             kWaitMs);
    QTest::qWait(300);
    QVERIFY(m_frame->grab().save(QString::fromStdString(shots + "/main-running.png")));
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
