// The desktop program's dialogs under Qt Test: the new-project wizard, the property dialog with
// its tabs and the dialogs it opens, Default Settings and New Address, driven through the main
// window's commands with scripted answers to every message.

#include <filesystem>
#include <functional>
#include <memory>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/StartUp.h"
#include "platform/DurableFile.h"
#include "platform/FileSystem.h"
#include "platform/InstanceLock.h"
#include "project/CAppSettings.h"
#include "shell/CDesktop.h"
#include "shell/CDlgAddress.h"
#include "shell/CDlgAddressList.h"
#include "shell/CDlgNewAddress.h"
#include "shell/CDlgNewUrlOption.h"
#include "shell/CDlgProtocolFilter.h"
#include "shell/CDlgStartAddress.h"
#include "shell/CDlgUrlFilter.h"
#include "shell/CFormTree.h"
#include "shell/CMainFrame.h"
#include "shell/CNumberSpin.h"
#include "shell/CPageBasic.h"
#include "shell/CPageFileFilter.h"
#include "shell/CSheetProperty.h"
#include "shell/CSheetWizard.h"
#include "support/LoopbackSite.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

#include "CFrameFixture.h"

using namespace torvex;
using namespace torvex::test;

namespace {

constexpr int kWaitMs = CFrameFixture::kWaitMs;

// The clipboard as a test sets it; nothing else of the desktop is used here.
class CFakeDesktop final : public CDesktop {
public:
    bool OpenUrl(const QString&) override { return true; }
    bool StartProgram(const QString&, const QString&) override { return true; }
    void SetClipboardText(const QString& text) override { clipboard = text; }
    QString ClipboardText() override { return clipboard; }
    QString clipboard;
};

std::string ScreenshotDir() {
    const QByteArray dir = qgetenv("TORVEX_SCREENSHOTS");
    return dir.isEmpty() ? std::string(TORVEX_BINARY_DIR) + "/screenshots" : dir.toStdString();
}

template <typename T> T* Child(QObject* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (!child) {
        qWarning("no child %s", name);
    }
    return child;
}

// Types into the text field or number field `name` below `parent`.
void SetText(QObject* parent, const char* name, const QString& text) {
    const QString object = QString::fromLatin1(name);
    if (auto* spin = parent->findChild<CNumberSpin*>(object)) {
        spin->findChild<QLineEdit*>()->setText(text);
    } else if (auto* field = Child<QLineEdit>(parent, name)) {
        field->setText(text);
    }
}

// Clicks the radio button with `caption` inside `parent`.
void Choose(QObject* parent, const QString& caption) {
    for (QAbstractButton* button : parent->findChildren<QAbstractButton*>()) {
        if (button->text() == caption) {
            button->click();
            return;
        }
    }
    qWarning("no button %s", qPrintable(caption));
}

// Clicks the button with `caption` in the group box titled `group`.
void ChooseIn(QObject* parent, const QString& group, const QString& caption) {
    for (QGroupBox* box : parent->findChildren<QGroupBox*>()) {
        if (box->title() == group) {
            Choose(box, caption);
            return;
        }
    }
    qWarning("no group %s", qPrintable(group));
}

} // namespace

class DialogsTest : public QObject, public CFrameFixture {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void wizardCreatesAProjectThatTheCliRuns();
    void wizardRefusesBadNamesDirectoriesAndAddresses();
    void directoryThatCannotBeCreatedKeepsTheDialogOpen();
    void everyControlLandsOnItsKey();
    void propertyChangeReachesProjectConfOnOkOnly();
    void runningProjectHasItsAddressFieldsDisabled();
    void badInputKeepsTheDialogOnItsTab();
    void startAddressOptionAndAddressList();
    void fileFilterTabEditsTheLists();
    void defaultSettingsWritesDefaultConf();
    void newAddressInsertsChildrenAndHoldsIntakeState();
    void screenshots();

private:
    CDesktop& FrameDesktop() override { return m_desktop; }
    std::string ProjectConf(const std::string& name);

    CFakeDesktop m_desktop;
};

void DialogsTest::init() {
    SetUpFrame();
    m_settings.ClipMonitor = false;
    m_desktop.clipboard.clear();
}

void DialogsTest::cleanup() {
    TearDownFrame();
}

std::string DialogsTest::ProjectConf(const std::string& name) {
    std::string text;
    ReadFileText(m_work + "/sites/" + name + "/project.conf", text);
    return text;
}

void DialogsTest::wizardCreatesAProjectThatTheCliRuns() {
    CLoopbackSite site;
    site.Serve("/index.html", HttpReply("200 OK", "text/html",
                                        "<html><body><a href=\"a.html\">a</a></body></html>"));
    site.Serve("/a.html", HttpReply("200 OK", "text/html", "<html><body>a</body></html>"));
    WriteTree({});
    OpenFrame();
    InstanceLock lock;
    QCOMPARE(lock.TryAcquire(InstanceLockPath(m_work)), InstanceLockOutcome::Acquired);
    QVERIFY(m_frame->OpenInstanceChannel());
    Select("Sites");

    const std::string dir = m_work + "/sites/Docs";
    std::filesystem::create_directories(dir);
    int intakeWhileOpen = -1;
    WhenShown<CSheetWizard>([&](CSheetWizard* wizard) {
        intakeWhileOpen = m_frame->InstanceChannel()->IntakeState();
        QCOMPARE(wizard->windowTitle(), QStringLiteral("New Project Wizard - Step 1 of 2"));
        QCOMPARE(wizard->AddressField()->text(), QStringLiteral("http://"));
        QTest::keyClicks(wizard->NameField(), QStringLiteral("Docs"));
        // The directory follows the name until the user types one.
        QCOMPARE(wizard->DirectoryField()->text(),
                 QString::fromStdString(m_settings.DefaultDir + "/Docs"));
        wizard->DirectoryField()->setText(QString::fromStdString(dir));
        wizard->next();
        QCOMPARE(wizard->windowTitle(), QStringLiteral("New Project Wizard - Step 2 of 2"));
        wizard->AddressField()->setText(QString::fromStdString(site.Url("/index.html")));
        wizard->LevelField()->stepBy(-5); // from the defaults' 2, never below 0
        QCOMPARE(wizard->LevelField()->text(), QStringLiteral("0"));
        wizard->accept();
    });
    Trigger("newProject");
    QCOMPARE(intakeWhileOpen, kIntakeClosed);
    QCOMPARE(m_frame->InstanceChannel()->IntakeState(), kIntakeNewProject);
    QVERIFY(m_prompter.said.empty());

    CTreeNode* docs = Node("Docs");
    QVERIFY(docs);
    QCOMPARE(docs->parent, Node("Sites"));
    QCOMPARE(m_frame->FormTree()->SelectedNode(), docs);
    QCOMPARE(docs->project->Addresses.size(), std::size_t{1});
    QCOMPARE(docs->project->Addresses[0].Level, 0);
    QVERIFY(docs->project->CreateTime > 0);
    std::string tree;
    QVERIFY(ReadFileText(m_work + "/Torvex.dir", tree));
    QVERIFY(tree.find("Name=Docs\n") != std::string::npos);

    // The files the wizard wrote are the ones the command-line program runs.
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TORVEX_HOME"), QString::fromStdString(m_work));
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(TORVEX_CLI_PATH),
              {QStringLiteral("start"), QString::fromStdString(dir)});
    QVERIFY(cli.waitForFinished(kWaitMs));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
    QVERIFY(FileExists(dir + "/download/latest/" + site.Host() + "/index.html"));
    QVERIFY(FileExists(dir + "/download/latest/" + site.Host() + "/a.html"));
}

void DialogsTest::wizardRefusesBadNamesDirectoriesAndAddresses() {
    CProjectSettings taken = Project("Taken", "http://h/");
    WriteTree({taken});
    OpenFrame();
    Select("Taken"); // the new project goes beside it
    m_prompter.answers = {false, true};
    WhenShown<CSheetWizard>([&](CSheetWizard* wizard) {
        const auto refusedOn = [&](int page, const std::string& start) {
            QVERIFY2(!m_prompter.said.empty(), start.c_str());
            QVERIFY2(m_prompter.said.back().rfind(start, 0) == 0, m_prompter.said.back().c_str());
            QCOMPARE(wizard->currentId(), page);
        };
        wizard->NameField()->setText(QStringLiteral("TAKEN"));
        wizard->next();
        refusedOn(0, "information: Sorry, this name is used.");
        wizard->NameField()->setText(QStringLiteral("a:b"));
        wizard->next();
        refusedOn(0, "information: Sorry, the name contains invalid characters.");
        wizard->NameField()->setText(QStringLiteral("Fresh"));
        wizard->DirectoryField()->setText(QString::fromStdString(m_work + "/a|b"));
        wizard->next();
        refusedOn(0, "information: Sorry, the directory \"" + m_work + "/a|b\" is invalid.");
        wizard->DirectoryField()->setText(QString::fromStdString(m_work + "/sites/Taken"));
        wizard->next();
        refusedOn(0, "information: Sorry, this directory is used by the project \"Taken\".");
        const std::string fresh = m_work + "/sites/Fresh";
        wizard->DirectoryField()->setText(QString::fromStdString(fresh));
        wizard->next(); // "does not exist ... create it?" No
        refusedOn(0, "yesno: The path \"" + fresh + "\" does not exist!");
        QVERIFY(!DirectoryExists(fresh));
        wizard->next(); // Yes
        QCOMPARE(wizard->currentId(), 1);
        QVERIFY(DirectoryExists(fresh));

        wizard->AddressField()->setText(QStringLiteral("gopher://h/"));
        wizard->accept();
        refusedOn(1, "information: Sorry, the URL is not valid.");
        wizard->AddressField()->setText(QStringLiteral("http://h/"));
        SetText(wizard, "level", QStringLiteral("150"));
        wizard->accept();
        refusedOn(1, "information: Please enter an integer between 0 and 99.");
        QVERIFY(wizard->isVisible());
        wizard->reject();
    });
    Trigger("newProject");
    QVERIFY(!Node("Fresh"));
    QVERIFY(!FileExists(m_work + "/sites/Fresh/project.conf"));
}

void DialogsTest::directoryThatCannotBeCreatedKeepsTheDialogOpen() {
    CProjectSettings docs = Project("Docs", "http://h/");
    WriteTree({docs});
    OpenFrame();
    // A plain file where a folder of the path should be: no directory can be made below it.
    const std::string blocker = m_work + "/blocker";
    QVERIFY(ReplaceFileDurably(blocker, "not a folder"));
    const std::string unreachable = blocker + "/Docs";
    const std::string notCreated =
        "error: Error: Failed to create the directory \"" + unreachable + "\".";
    Select("Docs");
    const std::string before = ProjectConf("Docs");

    m_prompter.answers = {true}; // create it: yes
    WhenShown<CSheetWizard>([&](CSheetWizard* wizard) {
        wizard->NameField()->setText(QStringLiteral("Fresh"));
        wizard->DirectoryField()->setText(QString::fromStdString(unreachable));
        wizard->next();
        QCOMPARE(wizard->currentId(), 0);
        QCOMPARE(wizard->focusWidget(), wizard->DirectoryField());
        QCOMPARE(m_prompter.said.size(), std::size_t{2});
        QCOMPARE(m_prompter.said.back(), notCreated);
        wizard->reject();
    });
    Trigger("newProject");
    QVERIFY(!Node("Fresh"));

    // The property dialog's directory field says the same and keeps the dialog.
    m_prompter.said.clear();
    m_prompter.answers = {true};
    bool checked = false;
    WhenShown<CSheetProperty>([&](CSheetProperty* sheet) {
        sheet->DirectoryField()->setText(QString::fromStdString(unreachable));
        sheet->accept();
        QVERIFY(sheet->isVisible());
        QCOMPARE(sheet->focusWidget(), sheet->DirectoryField());
        QCOMPARE(m_prompter.said.back(), notCreated);
        sheet->DirectoryField()->setText(QString::fromStdString(m_work + "/a\"b"));
        sheet->accept();
        QVERIFY(sheet->isVisible());
        QCOMPARE(m_prompter.said.back().rfind("information: Sorry, the directory", 0), 0u);
        checked = true;
        sheet->reject();
    });
    Trigger("properties");
    QVERIFY(checked);
    QCOMPARE(Node("Docs")->project->ProjectDir, m_work + "/sites/Docs");
    QCOMPARE(ProjectConf("Docs"), before);
}

void DialogsTest::everyControlLandsOnItsKey() {
    CProjectSettings docs = Project("Docs", "http://h/");
    docs.BackupLast = 1;
    docs.Cookie = true;
    WriteTree({docs});
    OpenFrame();
    Select("Docs");
    const std::string before = ProjectConf("Docs");

    // What each tab's controls are set to, and the line each change writes into project.conf.
    struct Control {
        PropertyTab tab;
        std::function<void(QWidget*)> set;
        std::vector<std::string> lines;
    };
    const auto text = [](const char* name, const char* value) {
        return [=](QWidget* page) { SetText(page, name, QString::fromLatin1(value)); };
    };
    const auto check = [](const char* name, bool on) {
        return [=](QWidget* page) { Child<QCheckBox>(page, name)->setChecked(on); };
    };
    const auto choose = [](const char* caption) {
        return [=](QWidget* page) { Choose(page, QString::fromLatin1(caption)); };
    };
    const Control controls[] = {
        {PropertyTab::Basic, text("address", "http://h/new/"), {"StartURL=http://h/new/\n"}},
        {PropertyTab::Basic, text("level", "7"), {"Level=7\n"}},
        {PropertyTab::Basic, text("description", "Home"), {"Description=Home\n"}},
        {PropertyTab::Basic, text("username", "u"), {"Username=u\n"}},
        {PropertyTab::Basic, text("password", "secret"), {"\nPassword="}},
        {PropertyTab::Basic, check("noImages", true), {}},
        {PropertyTab::Basic, check("noDropdown", true), {"FileType=3\n"}},
        {PropertyTab::Basic, check("backup", false), {"BackupLast=0\n"}},
        {PropertyTab::Basic, check("noCookies", true), {"Cookie=0\n"}},
        {PropertyTab::UrlFilter, choose("specified hosts"), {"HostFilter=3\n"}},
        {PropertyTab::UrlFilter, text("fhost", "*.h"), {"FHost=*.h\n"}},
        {PropertyTab::UrlFilter, text("ehost", "ads.h"), {"EHost=ads.h\n"}},
        {PropertyTab::UrlFilter, choose("specified path"), {"PathFilter=2\n"}},
        {PropertyTab::UrlFilter, text("fpath", "/a"), {"FPath=/a\n"}},
        {PropertyTab::UrlFilter, text("epath", "/b"), {"EPath=/b\n"}},
        {PropertyTab::UrlFilter, check("sameLevel", true), {"FilterSameLevel=1\n"}},
        {PropertyTab::UrlFilter,
         [this](QWidget* page) {
             // "FTP" unticked: bit 1 set.
             WhenShown<CDlgProtocolFilter>([](CDlgProtocolFilter* protocols) {
                 QVERIFY(Child<QCheckBox>(protocols, "http")->isChecked());
                 Child<QCheckBox>(protocols, "ftp")->setChecked(false);
                 protocols->accept();
             });
             Child<QPushButton>(page, "protocolFilter")->click();
         },
         {"ProtocolFilter=2\n"}},
        {PropertyTab::FileFilter,
         choose("Retrieve files with the selected extenions only"),
         {"NoFileFilter=0\n"}},
        {PropertyTab::FileFilter,
         [](QWidget* page) {
             ChooseIn(page, QStringLiteral("Retrieve files with other extensions?"),
                      QStringLiteral("No"));
             ChooseIn(page, QStringLiteral("Retrieve files with no extension?"),
                      QStringLiteral("No"));
         },
         {"FilterOther=1\n", "FilterNoExt=1\n"}},
        {PropertyTab::Download,
         choose("Read from local disk first. If fails, download from server"),
         {"UpdateMode=1\n"}},
        {PropertyTab::Download, check("firstPage", true), {"FirstPage=1\n"}},
        {PropertyTab::Linkage, choose("the absolute URL of the file"), {"Link=1\n"}},
        {PropertyTab::Linkage, check("autoExt", true), {"AutoExt=1\n"}},
        {PropertyTab::Linkage, check("autoConvert", false), {"AutoConvert=0\n"}},
        {PropertyTab::Proxy,
         choose("Use the specified proxy setting for this project"),
         {"UseGlobeProxy=0\n"}},
        {PropertyTab::Proxy, choose("Socks5 Proxy"), {"Proxy=2\n"}},
        {PropertyTab::Proxy, text("server", "proxy.h"), {"ProxyServer=proxy.h\n"}},
        {PropertyTab::Proxy, text("port", "1081"), {"ProxyPort=1081\n"}},
        {PropertyTab::Proxy, text("user", "pu"), {"ProxyUser=pu\n"}},
        {PropertyTab::Proxy, text("password", "hidden"), {}},
        {PropertyTab::Advanced, text("threads", "20"), {"DownthreadNum=20\n"}},
        {PropertyTab::Advanced, text("timeOut", "300"), {"TimeOut=300\n"}},
        {PropertyTab::Advanced, text("retry", "5"), {"Retry=5\n"}},
        {PropertyTab::Advanced, text("freeSpace", "50"), {"FreeSpaceLimit=50\n"}},
        {PropertyTab::Advanced, text("maxMinute", "60"), {"MaxMinute=60\n"}},
        {PropertyTab::Advanced, text("maxFile", "100"), {"MaxFile=100\n"}},
        {PropertyTab::Advanced,
         [](QWidget* page) { Child<QComboBox>(page, "userAgent")->setCurrentIndex(2); },
         {"UserAgentMode=2\n"}},
        {PropertyTab::Advanced, check("keepAlive", true), {"KeepAlive=1\n"}},
    };
    for (const Control& control : controls) {
        for (const std::string& line : control.lines) {
            QVERIFY2(before.find(line) == std::string::npos, line.c_str());
        }
    }

    WhenShown<CSheetProperty>([&](CSheetProperty* sheet) {
        for (const Control& control : controls) {
            const int tab = static_cast<int>(control.tab);
            sheet->Tabs()->setCurrentIndex(tab);
            QCOMPARE(sheet->Tabs()->currentIndex(), tab);
            control.set(sheet->Tabs()->widget(tab));
        }
        sheet->accept();
        QVERIFY(!sheet->isVisible());
    });
    Trigger("basic");
    QCOMPARE(m_prompter.said, std::vector<std::string>{});

    const std::string after = ProjectConf("Docs");
    for (const Control& control : controls) {
        for (const std::string& line : control.lines) {
            QVERIFY2(after.find(line) != std::string::npos, line.c_str());
        }
    }
    // Passwords reach the file scrambled and come back as typed.
    QVERIFY(after.find("secret") == std::string::npos);
    QVERIFY(after.find("hidden") == std::string::npos);
    CProjectSettings reread;
    QVERIFY(reread.LoadProjectFile(m_work + "/sites/Docs/project.conf", nullptr));
    QCOMPARE(reread.Addresses.at(0).Password, std::string("secret"));
    QCOMPARE(reread.ProxyPassword, std::string("hidden"));
    QCOMPARE(reread.FileType, 3);
    QVERIFY(reread.KeepAlive);
    // Reopened, the tab shows what was saved; unticked, the key leaves the file again.
    WhenShown<CSheetProperty>([&](CSheetProperty* sheet) {
        sheet->Tabs()->setCurrentIndex(static_cast<int>(PropertyTab::Advanced));
        auto* keepAlive = Child<QCheckBox>(sheet, "keepAlive");
        QVERIFY(keepAlive->isChecked());
        QVERIFY(!keepAlive->toolTip().isEmpty());
        keepAlive->setChecked(false);
        sheet->accept();
    });
    Trigger("basic");
    QVERIFY(ProjectConf("Docs").find("KeepAlive") == std::string::npos);
}

void DialogsTest::propertyChangeReachesProjectConfOnOkOnly() {
    CProjectSettings docs = Project("Docs", "http://h/");
    WriteTree({docs});
    OpenFrame();
    Select("Docs");
    const std::string before = ProjectConf("Docs");
    QVERIFY(before.find("Retry=3\n") != std::string::npos);

    WhenShown<CSheetProperty>([&](CSheetProperty* sheet) {
        QCOMPARE(sheet->Tabs()->currentIndex(), static_cast<int>(PropertyTab::Advanced));
        SetText(sheet, "retry", QStringLiteral("7"));
        sheet->reject();
    });
    Trigger("advanced");
    QCOMPARE(ProjectConf("Docs"), before);
    QCOMPARE(Node("Docs")->project->Retry, 3);

    WhenShown<CSheetProperty>([&](CSheetProperty* sheet) {
        QCOMPARE(sheet->Tabs()->currentIndex(), static_cast<int>(PropertyTab::Proxy));
        sheet->Tabs()->setCurrentIndex(static_cast<int>(PropertyTab::Advanced));
        SetText(sheet, "retry", QStringLiteral("7"));
        Child<QComboBox>(sheet, "userAgent")->setCurrentIndex(4);
        QVERIFY(Child<QLineEdit>(sheet, "userDefined")->isEnabled());
        SetText(sheet, "userDefined", QStringLiteral("Crawler/1.0"));
        sheet->Tabs()->setCurrentIndex(static_cast<int>(PropertyTab::Basic));
        Child<QCheckBox>(sheet, "noCookies")->setChecked(true);
        Child<QCheckBox>(sheet, "noImages")->setChecked(true);
        sheet->accept();
    });
    Trigger("proxy");
    const std::string after = ProjectConf("Docs");
    for (const char* line : {"Retry=7\n", "UserAgentMode=4\n", "UserDefined=Crawler/1.0\n",
                             "Cookie=0\n", "FileType=1\n", "Folders=/Sites\n"}) {
        QVERIFY2(after.find(line) != std::string::npos, line);
    }
    std::string tree;
    QVERIFY(ReadFileText(m_work + "/Torvex.dir", tree));
    QVERIFY(tree.find("Retry=7\n") != std::string::npos);
    QVERIFY(m_prompter.said.empty());
}

void DialogsTest::runningProjectHasItsAddressFieldsDisabled() {
    CStandInPipeline pipeline;
    CProjectSettings docs = Project("Docs", "http://h/hold.html");
    docs.DownthreadNum = 1;
    WriteTree({docs});
    OpenFrame(&pipeline);
    Select("Docs");
    Trigger("start");
    QCOMPARE(Node("Docs")->kind, NodeKind::ProjectRunning);
    WhenShown<CSheetProperty>([&](CSheetProperty* sheet) {
        auto* basic = sheet->findChild<CPageBasic*>();
        QVERIFY(basic);
        for (const char* name :
             {"address", "description", "username", "password", "startAddr", "addressList"}) {
            QWidget* field = Child<QWidget>(basic, name);
            QVERIFY2(field && !field->isEnabled(), name);
        }
        QVERIFY(Child<QWidget>(basic, "level")->isEnabled());
        QVERIFY(!sheet->DirectoryField()->isEnabled());
        // What may change still reaches the project.
        Child<QCheckBox>(basic, "backup")->setChecked(true);
        sheet->accept();
    });
    Trigger("properties");
    QCOMPARE(Node("Docs")->project->BackupLast, 1);
    QCOMPARE(Node("Docs")->project->Addresses[0].StartURL, std::string("http://h/hold.html"));
    QTRY_VERIFY_WITH_TIMEOUT(m_frame->Action("stop")->isEnabled(), kWaitMs);
    Trigger("stop");
    // The run's workers call into the stand-in pipeline until they end: it must outlive them.
    WaitIdle();
}

void DialogsTest::badInputKeepsTheDialogOnItsTab() {
    CProjectSettings docs = Project("Docs", "http://h/");
    docs.FreeSpaceLimit = 1; // valid when stored, below what the dialog sets
    WriteTree({docs});
    OpenFrame();
    Select("Docs");
    const std::string before = ProjectConf("Docs");

    struct Case {
        const char* command;
        PropertyTab tab;
        std::function<void(CSheetProperty*)> enter;
        std::string message;
    };
    const Case cases[] = {
        {"basic", PropertyTab::Basic,
         [](CSheetProperty* s) { SetText(s, "address", QStringLiteral("gopher://h/")); },
         "Sorry, the URL is not valid."},
        {"basic", PropertyTab::Basic,
         [](CSheetProperty* s) { SetText(s, "address", QStringLiteral("h/no-scheme")); },
         "Sorry, the URL is not valid."},
        {"basic", PropertyTab::Basic,
         [](CSheetProperty* s) {
             s->findChild<CPageBasic*>()
                 ->findChild<QLineEdit*>(QStringLiteral("description"))
                 ->setText(QStringLiteral("tab\there"));
         },
         "Sorry, \"Description\" must not contain control characters."},
        {"basic", PropertyTab::Basic,
         [](CSheetProperty* s) { SetText(s, "level", QStringLiteral("100")); },
         "Please enter an integer between 0 and 99."},
        {"urlFilter", PropertyTab::UrlFilter,
         [](CSheetProperty* s) {
             SetText(s, "ehost",
                     QStringLiteral("a\x01"
                                    "b"));
         },
         "Sorry, \"Excluded hosts\" must not contain control characters."},
        {"proxy", PropertyTab::Proxy,
         [](CSheetProperty* s) {
             Choose(s, QStringLiteral("Use the specified proxy setting for this project"));
             Choose(s, QStringLiteral("HTTP Proxy"));
             SetText(s, "port", QStringLiteral("70000"));
         },
         "Please enter an integer between 1 and 65535."},
        {"advanced", PropertyTab::Advanced,
         [](CSheetProperty* s) { SetText(s, "threads", QStringLiteral("51")); },
         "Please enter an integer between 1 and 50."},
        {"advanced", PropertyTab::Advanced,
         [](CSheetProperty* s) {
             SetText(s, "freeSpace", QStringLiteral("3"));
             SetText(s, "freeSpace", QStringLiteral("1")); // the stored 1 again: accepted
             SetText(s, "maxMinute", QStringLiteral("10000"));
         },
         "Please enter an integer between 0 and 9999."},
    };
    for (const Case& c : cases) {
        m_prompter.said.clear();
        bool checked = false;
        WhenShown<CSheetProperty>([&](CSheetProperty* sheet) {
            const int tab = static_cast<int>(c.tab);
            QCOMPARE(sheet->Tabs()->currentIndex(), tab);
            c.enter(sheet);
            // Leaving the tab is refused and keeps it.
            sheet->Tabs()->setCurrentIndex(tab == 0 ? 1 : 0);
            QCOMPARE(sheet->Tabs()->currentIndex(), tab);
            QCOMPARE(m_prompter.said.size(), std::size_t{1});
            QCOMPARE(m_prompter.said[0], "information: " + c.message);
            // So is OK.
            sheet->accept();
            QVERIFY(sheet->isVisible());
            QCOMPARE(sheet->Tabs()->currentIndex(), tab);
            QCOMPARE(m_prompter.said.size(), std::size_t{2});
            checked = true;
            sheet->reject();
        });
        Trigger(c.command);
        QVERIFY2(checked, c.message.c_str());
        QCOMPARE(ProjectConf("Docs"), before);
    }

    // An untouched stored 1 is kept; the dialog itself never sets less than 2.
    WhenShown<CSheetProperty>([&](CSheetProperty* sheet) {
        auto* freeSpace = Child<CNumberSpin>(sheet, "freeSpace");
        QCOMPARE(freeSpace->text(), QStringLiteral("1"));
        freeSpace->stepBy(-1);
        QCOMPARE(freeSpace->text(), QStringLiteral("2"));
        freeSpace->stepBy(-1);
        QCOMPARE(freeSpace->text(), QStringLiteral("2"));
        sheet->reject();
    });
    Trigger("advanced");
    m_prompter.said.clear();
    WhenShown<CSheetProperty>([&](CSheetProperty* sheet) { sheet->accept(); });
    Trigger("advanced");
    QVERIFY(m_prompter.said.empty());
    QVERIFY(ProjectConf("Docs").find("FreeSpaceLimit=1\n") != std::string::npos);
}

void DialogsTest::startAddressOptionAndAddressList() {
    CProjectSettings docs = Project("Docs", "http://h/news/2024/");
    docs.Addresses[0].Filter.HostFilter = 3;
    docs.Addresses[0].Filter.FHost = "*.h";
    WriteTree({docs});
    OpenFrame();
    Select("Docs");

    WhenShown<CSheetProperty>([&](CSheetProperty* sheet) {
        auto* basic = sheet->findChild<CPageBasic*>();
        WhenShown<CDlgStartAddress>([&](CDlgStartAddress* option) {
            QCOMPARE(option->windowTitle(), QStringLiteral("Start Address Option"));
            QLineEdit* address = option->AddressField();
            address->setSelection(14, 4); // "2024"
            option->ApplyDateAtSelection();
            QCOMPARE(address->text(), QStringLiteral("http://h/news/$DATE/"));
            option->FormatField()->setText(QStringLiteral("yyyy"));
            QVERIFY(option->RealAddress()->text().startsWith(QStringLiteral("http://h/news/20")));
            QVERIFY(!option->RealAddress()->text().contains(QStringLiteral("$DATE")));
            Child<QCheckBox>(option, "post")->setChecked(true);
            option->accept();
        });
        Child<QPushButton>(basic, "startAddr")->click();
        QCOMPARE(Child<QLineEdit>(basic, "address")->text(),
                 QStringLiteral("http://h/news/$DATE/"));

        WhenShown<CDlgAddressList>([&](CDlgAddressList* list) {
            QCOMPARE(list->windowTitle(), QStringLiteral("Address list"));
            QCOMPARE(list->List()->rowCount(), 1);
            QCOMPARE(list->List()->item(0, 0)->text(), QStringLiteral("http://h/news/$DATE/"));
            // Add refuses what is not an address; a copy of an address is added only when the
            // user says so.
            m_prompter.answers = {false};
            WhenShown<CDlgAddress>([&](CDlgAddress* add) {
                SetText(add, "address", QStringLiteral("gopher://h/"));
                add->accept();
                QVERIFY(add->isVisible());
                SetText(add, "address", QStringLiteral("HTTP://H/NEWS/$DATE/"));
                add->accept(); // No
                QVERIFY(add->isVisible());
                SetText(add, "address", QStringLiteral("http://h/child/"));
                SetText(add, "description", QStringLiteral("Child"));
                Child<QCheckBox>(add, "child")->setChecked(true);
                add->accept();
            });
            list->AddAddress();
            QCOMPARE(list->List()->rowCount(), 2);
            QCOMPARE(list->List()->item(1, 0)->text(),
                     QStringLiteral("    Child (http://h/child/)"));
            QCOMPARE(list->List()->item(1, 0)->checkState(), Qt::Checked);
            // The child inherits; "Inherit and Revise" starts from its parent's filter.
            list->List()->selectRow(1);
            list->ToggleInheritOfCurrent();
            WhenShown<CDlgUrlFilter>([&](CDlgUrlFilter* filter) {
                QCOMPARE(Child<QLineEdit>(filter, "fhost")->text(), QStringLiteral("*.h"));
                SetText(filter, "ehost", QStringLiteral("ads.h"));
                filter->accept();
            });
            list->ReviseFilterOfCurrent();
            // Both rows at once: only the host and path choices.
            list->List()->selectAll();
            WhenShown<CDlgUrlFilter>([&](CDlgUrlFilter* filter) {
                QVERIFY(Child<QWidget>(filter, "fhost")->isHidden());
                Choose(filter, QStringLiteral("hosts within the start domain"));
                filter->accept();
            });
            list->ShowFilterMenu();
            list->List()->item(1, 0)->setCheckState(Qt::Unchecked);
            list->accept();
        });
        Child<QPushButton>(basic, "addressList")->click();
        sheet->accept();
    });
    Trigger("basic");
    QCOMPARE(m_prompter.said.size(), std::size_t{2});
    QCOMPARE(m_prompter.said[0],
             std::string("information: Sorry, the URL is not valid."));
    QCOMPARE(m_prompter.said[1],
             std::string("yesno: The URL already exists. Do you wish to add it anyway?"));

    const CProjectSettings& project = *Node("Docs")->project;
    QCOMPARE(project.Addresses.size(), std::size_t{2});
    QCOMPARE(project.Addresses[0].StartURL, std::string("http://h/news/$DATE/"));
    QCOMPARE(project.Addresses[0].DateFormat, std::string("yyyy"));
    QCOMPARE(project.Addresses[0].RequestMethod, std::string("POST"));
    const CStartAddress& child = project.Addresses[1];
    QCOMPARE(child.Child, 1);
    QCOMPARE(child.Inherit, 0);
    QVERIFY(!child.Enable);
    QCOMPARE(child.Filter.FHost, std::string("*.h"));
    QCOMPARE(child.Filter.HostFilter, 1);
    QCOMPARE(project.Addresses[0].Filter.HostFilter, 1);
    QCOMPARE(project.Addresses[0].Filter.FHost, std::string("*.h"));
    QCOMPARE(child.Filter.EHost, std::string("ads.h"));
    const std::string conf = ProjectConf("Docs");
    for (const char* line : {"RequestMethod=POST\n", "DateFormat=yyyy\n",
                             "StartURL=http://h/child/\n", "Enable=0\n", "EHost=ads.h\n"}) {
        QVERIFY2(conf.find(line) != std::string::npos, line);
    }
}

void DialogsTest::fileFilterTabEditsTheLists() {
    CProjectSettings docs = Project("Docs", "http://h/");
    docs.FileTypeFilter.FileFilter[7] = "odd"; // not in the usual form: kept while untouched
    WriteTree({docs});
    OpenFrame();
    Select("Docs");
    m_prompter.answers = {true};
    WhenShown<CSheetProperty>([&](CSheetProperty* sheet) {
        auto* page = sheet->findChild<CPageFileFilter*>();
        QVERIFY(!page->Tree()->isEnabled()); // "Retrieve all files"
        Choose(page, QStringLiteral("Retrieve files with the selected extenions only"));
        QVERIFY(page->Tree()->isEnabled());
        QCOMPARE(page->Tree()->topLevelItemCount(), 8);
        QTreeWidgetItem* documents = page->Tree()->topLevelItem(3);
        QCOMPARE(documents->text(0), QStringLiteral("Document"));
        page->Tree()->setCurrentItem(documents);
        page->ExtensionField()->setText(QStringLiteral("a;b"));
        page->AddTyped();
        QCOMPARE(m_prompter.said.size(), std::size_t{1});
        page->ExtensionField()->setText(QStringLiteral(".odt"));
        page->AddTyped();
        QCOMPARE(page->Tree()->currentItem()->text(0), QStringLiteral("odt"));
        documents = page->Tree()->topLevelItem(3);
        documents->child(0)->setCheckState(0, Qt::Unchecked); // pdf
        page->Tree()->setCurrentItem(documents->child(1));    // doc
        page->DeleteCurrent();
        ChooseIn(page, QStringLiteral("Retrieve files with other extensions?"),
                 QStringLiteral("No"));
        sheet->accept();
    });
    Trigger("fileFilter");
    QCOMPARE(m_prompter.said.size(), std::size_t{2});
    QCOMPARE(m_prompter.said[1].rfind("yesno: The selected type will be deleted.", 0), 0u);
    const CFileTypeFilter& filter = Node("Docs")->project->FileTypeFilter;
    QVERIFY(!filter.NoFileFilter);
    QVERIFY(filter.FilterOther);
    QCOMPARE(filter.FileFilter[3], std::string("pdf;0|txt;1|text;1|xls;1|odt;1"));
    QCOMPARE(filter.FileFilter[7], std::string("odd"));
    QVERIFY(ProjectConf("Docs").find("FileFilter4=pdf;0|txt;1|text;1|xls;1|odt;1\n") !=
            std::string::npos);
}

void DialogsTest::defaultSettingsWritesDefaultConf() {
    WriteTree({});
    OpenFrame();
    WhenShown<CSheetProperty>([&](CSheetProperty* sheet) {
        QCOMPARE(sheet->windowTitle(), QStringLiteral("Default settings"));
        QVERIFY(!sheet->DirectoryField());
        QVERIFY(!sheet->Tabs()->isTabEnabled(static_cast<int>(PropertyTab::Proxy)));
        auto* basic = sheet->findChild<CPageBasic*>();
        QVERIFY(Child<QWidget>(basic, "address")->isHidden());
        SetText(basic, "level", QStringLiteral("5"));
        sheet->Tabs()->setCurrentIndex(static_cast<int>(PropertyTab::UrlFilter));
        QVERIFY(Child<QWidget>(sheet, "fhost")->isHidden());
        Choose(sheet, QStringLiteral("all hosts"));
        sheet->Tabs()->setCurrentIndex(static_cast<int>(PropertyTab::Advanced));
        SetText(sheet, "threads", QStringLiteral("20"));
        Child<QCheckBox>(sheet, "keepAlive")->setChecked(true);
        sheet->accept();
    });
    Trigger("defaultSettings");
    std::string text;
    QVERIFY(ReadFileText(m_work + "/Config/default.conf", text));
    for (const char* line :
         {"TorvexVersion=0.93\n", "Level=5\n", "HostFilter=0\n", "DownthreadNum=20\n",
          "KeepAlive=1\n"}) {
        QVERIFY2(text.find(line) != std::string::npos, line);
    }
    QVERIFY(m_prompter.said.empty());

    // A new project starts from them.
    Select("Sites");
    WhenShown<CSheetWizard>([&](CSheetWizard* wizard) {
        QCOMPARE(wizard->LevelField()->text(), QStringLiteral("5"));
        wizard->reject();
    });
    Trigger("newProject");
}

void DialogsTest::newAddressInsertsChildrenAndHoldsIntakeState() {
    CProjectSettings docs =
        ProjectIn(m_work + "/sites/Docs", {"http://a/", "http://a/1", "http://b/"});
    docs.Name = "Docs";
    docs.Addresses[1].Child = 1;
    docs.UpdateMode = 2;
    WriteTree({docs});
    OpenFrame();
    InstanceLock lock;
    QCOMPARE(lock.TryAcquire(InstanceLockPath(m_work)), InstanceLockOutcome::Acquired);
    QVERIFY(m_frame->OpenInstanceChannel());
    m_settings.ClipMonitor = true;
    m_desktop.clipboard = QStringLiteral("http://clip.example.org/x.html");
    Select("Docs");

    int intakeInOption = -1;
    WhenShown<CDlgNewAddress>([&](CDlgNewAddress* dialog) {
        QCOMPARE(m_frame->InstanceChannel()->IntakeState(), kIntakeNewAddress);
        QCOMPARE(m_frame->NewAddressDialog(), dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("New URL(Docs) - child"));
        QCOMPARE(dialog->AddressField()->text(), QStringLiteral("http://clip.example.org/x.html"));
        QVERIFY(dialog->AddCurrent());
        dialog->AddressField()->setText(QStringLiteral("gopher://h/"));
        QVERIFY(!dialog->AddCurrent());
        // A browser hand-over while it is open fills it.
        dialog->TakeAddress("http://c2/", "Second");
        QCOMPARE(dialog->DescriptionField()->text(), QStringLiteral("Second"));
        WhenShown<CDlgNewUrlOption>([&](CDlgNewUrlOption* option) {
            intakeInOption = m_frame->InstanceChannel()->IntakeState();
            QCOMPARE(Child<QCheckBox>(option, "readLocal")->isChecked(), false);
            Child<QCheckBox>(option, "disableOld")->setChecked(true);
            Child<QCheckBox>(option, "readLocal")->setChecked(true);
            option->accept();
        });
        dialog->accept(); // collects what the field holds
    });
    Trigger("child");
    QCOMPARE(intakeInOption, kIntakeClosed);
    QCOMPARE(m_frame->InstanceChannel()->IntakeState(), kIntakeNewProject);
    QVERIFY(!m_frame->NewAddressDialog());

    const CProjectSettings& project = *Node("Docs")->project;
    std::vector<std::string> rows;
    for (const CStartAddress& address : project.Addresses) {
        rows.push_back(address.StartURL + (address.Child ? " child" : "") +
                       (address.Enable ? "" : " off"));
    }
    QCOMPARE(rows, (std::vector<std::string>{"http://a/", "http://a/1 child off",
                                             "http://clip.example.org/x.html child",
                                             "http://c2/ child", "http://b/ off"}));
    QCOMPARE(project.Addresses[3].Description, std::string("Second"));
    QCOMPARE(project.UpdateMode, 1);
    QVERIFY(ProjectConf("Docs").find("StartURL=http://c2/\n") != std::string::npos);

    // Cancel in the option dialog adds nothing.
    WhenShown<CDlgNewAddress>([&](CDlgNewAddress* dialog) {
        dialog->AddressField()->setText(QStringLiteral("http://never/"));
        WhenShown<CDlgNewUrlOption>([](CDlgNewUrlOption* option) { option->reject(); });
        dialog->accept();
    });
    Trigger("standAlone");
    QCOMPARE(Node("Docs")->project->Addresses.size(), std::size_t{5});
    QCOMPARE(m_frame->InstanceChannel()->IntakeState(), kIntakeNewProject);
}

void DialogsTest::screenshots() {
    CProjectSettings docs = Project("Docs", "http://docs.example.org/manual/");
    docs.Addresses[0].Description = "The manual";
    docs.FileTypeFilter.NoFileFilter = false;
    CStartAddress child;
    child.StartURL = "http://docs.example.org/faq/";
    child.Child = 1;
    docs.Addresses.push_back(child);
    WriteTree({docs});
    OpenFrame();
    const std::string shots = ScreenshotDir();
    std::filesystem::create_directories(shots);
    const auto save = [&](QWidget* widget, const std::string& name) {
        QCoreApplication::processEvents();
        QVERIFY2(widget->grab().save(QString::fromStdString(shots + "/" + name)), name.c_str());
    };

    Select("Sites");
    WhenShown<CSheetWizard>([&](CSheetWizard* wizard) {
        QTest::keyClicks(wizard->NameField(), QStringLiteral("Manual"));
        save(wizard, "wizard-step1.png");
        std::filesystem::create_directories(m_settings.DefaultDir + "/Manual");
        wizard->next();
        wizard->AddressField()->setText(QStringLiteral("http://docs.example.org/manual/"));
        save(wizard, "wizard-step2.png");
        wizard->reject();
    });
    Trigger("newProject");

    Select("Docs");
    WhenShown<CSheetProperty>([&](CSheetProperty* sheet) {
        const char* names[] = {"basic",   "url-filter", "file-filter", "download",
                               "linkage", "proxy",      "advanced"};
        for (int tab = 0; tab < kPropertyTabs; ++tab) {
            sheet->Tabs()->setCurrentIndex(tab);
            if (tab == static_cast<int>(PropertyTab::FileFilter)) {
                sheet->findChild<CPageFileFilter*>()->Tree()->topLevelItem(0)->setExpanded(true);
            }
            save(sheet, std::string("properties-") + names[tab] + ".png");
        }
        WhenShown<CDlgAddressList>([&](CDlgAddressList* list) {
            save(list, "address-list.png");
            list->reject();
        });
        Child<QPushButton>(sheet->findChild<CPageBasic*>(), "addressList")->click();
        WhenShown<CDlgStartAddress>([&](CDlgStartAddress* option) {
            save(option, "start-address-option.png");
            option->reject();
        });
        Child<QPushButton>(sheet->findChild<CPageBasic*>(), "startAddr")->click();
        sheet->reject();
    });
    Trigger("basic");
    WhenShown<CDlgNewAddress>([&](CDlgNewAddress* dialog) {
        save(dialog, "new-address.png");
        dialog->reject();
    });
    Trigger("standAlone");
    QVERIFY(m_prompter.said.empty());
}

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
