#include <filesystem>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include "platform/FileSystem.h"
#include "shell/CDesktop.h"
#include "shell/CDlgSearchRestore.h"
#include "shell/CFileChooser.h"
#include "shell/CFormTree.h"
#include "shell/CMainFrame.h"
#include "shell/CTreeDialogs.h"
#include "support/TempDir.h"

#include "CFrameFixture.h"

using namespace torvex;
using namespace torvex::test;
namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = CFrameFixture::kWaitMs;

// Answers the file dialogs with the paths a test sets.
class CScriptedFiles final : public CFileChooser {
public:
    QString SaveFileName(QWidget *, const QString &, const QString &proposedName,
                         const QString &) override {
        proposed = proposedName;
        return save;
    }
    QString OpenFileName(QWidget *, const QString &, const QString &) override { return open; }
    QString save;
    QString open;
    QString proposed;
};

std::string ScreenshotDir() {
    const QByteArray dir = qgetenv("TORVEX_SCREENSHOTS");
    return dir.isEmpty() ? std::string(TORVEX_BINARY_DIR) + "/screenshots" : dir.toStdString();
}

void WriteLostProject(const std::string& dir, const std::string& name, const std::string& folders) {
    QVERIFY(WriteProjectConf(dir, name, folders));
}

bool Said(const CScriptedPrompter &prompter, const std::string &part) {
    for (const std::string &text : prompter.said) {
        if (text.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

class TreeCommandsTest : public QObject, public CFrameFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { SetUpFrame(); }
    void cleanup() { TearDownFrame(); }

    void newFolderRenameMoveAndDelete();
    void exportThenImportKeepsTheSettings();
    void damagedImportFilesAreToldAndLoseNothing();
    void searchFindsStopsAndRestores();
    void badSearchLocationsAreTold();
    void screenshots();

private:
    CDesktop &FrameDesktop() override { return m_desktop; }
    void OpenWithFiles() {
        OpenFrame();
        m_frame->SetFileChooser(m_files);
    }
    std::string TreeFile() {
        std::string text;
        ReadFileText(m_work + "/Torvex.dir", text);
        return text;
    }

    CDesktop m_desktop;
    CScriptedFiles m_files;
};

void TreeCommandsTest::newFolderRenameMoveAndDelete() {
    WriteTree({Project("Docs", "http://h/docs/"), Project("Blog", "http://h/blog/")});
    OpenWithFiles();
    Select("Docs"); // a new folder goes beside the selected project
    WhenShown<CDlgName>([this](CDlgName *dialog) {
        // A taken name, a slash and a control character are refused; the dialog stays.
        for (const QString &bad :
             {QStringLiteral("docs"), QStringLiteral("a/b"), QStringLiteral("tab\there")}) {
            dialog->NameEdit()->setText(bad);
            dialog->accept();
            QVERIFY(dialog->isVisible());
        }
        dialog->NameEdit()->setText(QStringLiteral("News"));
        dialog->accept();
    });
    Trigger("newFolder");
    QCOMPARE(m_prompter.said.size(), std::size_t{3});
    CTreeNode *news = Node("News");
    QVERIFY(news);
    QCOMPARE(news->parent, Node("Sites"));
    QCOMPARE(news->parent->children.front().get(), news); // folders before projects
    QCOMPARE(m_frame->FormTree()->SelectedNode(), news);
    QVERIFY(TreeFile().find("Name=News\n") != std::string::npos);

    WhenShown<CDlgName>([](CDlgName *dialog) {
        QCOMPARE(dialog->Name(), std::string("News"));
        dialog->NameEdit()->setText(QStringLiteral("Fresh"));
        dialog->accept();
    });
    Trigger("rename");
    QCOMPARE(news->label, std::string("Fresh"));
    QCOMPARE(m_frame->FormTree()->ItemOf(news)->text(0), QStringLiteral("Fresh"));
    QVERIFY(TreeFile().find("Name=Fresh\n") != std::string::npos);

    // Dragging: a project into the folder, the folder into itself (nothing), and a project onto
    // a folder that holds its name (refused).
    Q_EMIT m_frame->FormTree()->moveRequested(Node("Blog"), news);
    QCOMPARE(Node("Blog")->parent, news);
    QVERIFY(TreeFile().find("Name=Fresh\n[Object]\nType=2\nLevel=3\nName=Blog\n") !=
            std::string::npos);
    Q_EMIT m_frame->FormTree()->moveRequested(news, news);
    QCOMPARE(news->parent, Node("Sites"));
    m_prompter.said.clear();
    Select("Empty");
    WhenShown<CDlgName>([](CDlgName *dialog) {
        dialog->NameEdit()->setText(QStringLiteral("DOCS"));
        dialog->accept();
    });
    Trigger("newFolder");
    Q_EMIT m_frame->FormTree()->moveRequested(Node("Docs"), Node("Empty"));
    QVERIFY(Said(m_prompter, "Sorry, you cannot move it."));
    QCOMPARE(Node("Docs")->parent, Node("Sites"));

    // A running or waiting project is not offered for deletion, nor is its folder.
    for (NodeKind kind : {NodeKind::ProjectRunning, NodeKind::ProjectWaiting}) {
        Node("Blog")->kind = kind;
        Select("Blog");
        QVERIFY(!m_frame->Action("delete")->isEnabled());
        Select("Fresh");
        QVERIFY(!m_frame->Action("delete")->isEnabled());
    }
    Node("Blog")->kind = NodeKind::ProjectIdle;

    // Deleting a project with its files, then a folder without them.
    const std::string docsDir = Node("Docs")->project->ProjectDir;
    QVERIFY(DirectoryExists(docsDir));
    Select("Docs");
    WhenShown<CDlgDeleteItem>([](CDlgDeleteItem *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Torvex - Docs"));
        dialog->FilesBox()->setChecked(true);
        dialog->accept();
    });
    Trigger("delete");
    QVERIFY(Node("Docs") == nullptr);
    QVERIFY(!DirectoryExists(docsDir));
    QVERIFY(m_frame->FormTree()->SelectedNode() != nullptr);
    const std::string blogDir = Node("Blog")->project->ProjectDir;
    Select("Fresh");
    WhenShown<CDlgDeleteItem>([](CDlgDeleteItem *dialog) { dialog->accept(); });
    Trigger("delete");
    QVERIFY(Node("Fresh") == nullptr && Node("Blog") == nullptr);
    QVERIFY(FileExists(blogDir + "/project.conf"));
    QVERIFY(TreeFile().find("Blog") == std::string::npos);
    // Cancel leaves it.
    Select("Empty");
    WhenShown<CDlgDeleteItem>([](CDlgDeleteItem *dialog) { dialog->reject(); });
    Trigger("delete");
    QVERIFY(Node("Empty") != nullptr);
}

void TreeCommandsTest::exportThenImportKeepsTheSettings() {
    CProjectSettings docs = Project("Docs", "http://h/docs/");
    docs.DownthreadNum = 7;
    docs.TimeOut = 333;
    docs.Addresses.front().Level = 4;
    WriteTree({docs});
    OpenWithFiles();
    Select("Docs");
    const std::string one = m_work + "/docs.tvp";
    m_files.save = QString::fromStdString(one);
    Trigger("export");
    QCOMPARE(m_files.proposed, QStringLiteral("Docs.tvp"));
    QVERIFY(FileExists(one));

    Select("Empty");
    m_files.open = QString::fromStdString(one);
    WhenShown<CDlgImportProject>([this](CDlgImportProject *dialog) {
        QCOMPARE(dialog->Name(), std::string("Docs"));
        dialog->DirectoryEdit()->setText(QString::fromStdString(m_work + "/copies/docs"));
        dialog->accept();
    });
    Trigger("import");
    CTreeNode *empty = Node("Empty");
    QCOMPARE(empty->children.size(), std::size_t{1});
    const CProjectSettings &copy = *empty->children.front()->project;
    QCOMPARE(copy.DownthreadNum, 7);
    QCOMPARE(copy.TimeOut, 333);
    QCOMPARE(copy.Addresses.front().Level, 4);
    QCOMPARE(copy.Addresses.front().StartURL, std::string("http://h/docs/"));
    QCOMPARE(copy.ProjectDir, m_work + "/copies/docs");
    QVERIFY(copy.CreateTime > 0);
    QCOMPARE(m_frame->FormTree()->SelectedNode(), empty->children.front().get());
    QVERIFY(TreeFile().find("ProjectDir=copies/docs\n") != std::string::npos);

    // A folder export imported twice, changing names automatically.
    Select("Sites");
    const std::string many = m_work + "/sites.tvp";
    m_files.save = QString::fromStdString(many);
    Trigger("export");
    Select("Empty");
    m_files.open = QString::fromStdString(many);
    for (int round = 0; round < 2; ++round) {
        WhenShown<CDlgImportOption>([](CDlgImportOption *dialog) {
            dialog->AutomaticButton()->setChecked(true);
            dialog->accept();
        });
        Trigger("import");
    }
    CTreeNode *sites = CProjectTree::FindChildByName(*Node("Empty"), "Sites", true);
    QVERIFY(sites);
    QCOMPARE(sites->children.size(), std::size_t{2});
    QCOMPARE(sites->children[1]->label, std::string("Docs1"));
    QCOMPARE(sites->children[1]->project->DownthreadNum, 7);
    QVERIFY(m_prompter.said.empty());
}

void TreeCommandsTest::damagedImportFilesAreToldAndLoseNothing() {
    WriteTree({Project("Docs", "http://h/docs/")});
    OpenWithFiles();
    Select("Sites");
    const std::string bad = m_work + "/bad.tvp";
    const std::string cases[] = {std::string("\0\x01\x02\xff binary", 11), "", "Name=x\n"};
    for (const std::string &bytes : cases) {
        WriteFileBytes(bad, bytes);
        m_files.open = QString::fromStdString(bad);
        m_prompter.said.clear();
        Trigger("import");
        QCOMPARE(m_prompter.said.size(), std::size_t{1});
        QCOMPARE(m_prompter.said.front(),
                 std::string("error: Error: Failed to open the file or it is in wrong format!"));
        QVERIFY(Node("Docs") != nullptr);
    }
    // A one-project file cut short of its version is as bad; one whose name is unusable asks.
    WriteFileBytes(bad, "TorvexVersion=0.93\nName=sl/ash\n[URL]\nStartURL=http://h/\n");
    m_files.open = QString::fromStdString(bad);
    WhenShown<CDlgImportProject>([this](CDlgImportProject *dialog) {
        QVERIFY(dialog->findChild<QLabel *>(QStringLiteral("importReason")) != nullptr);
        dialog->reject();
    });
    Trigger("import");
    QCOMPARE(Node("Sites")->children.size(), std::size_t{1});
    // An export that cannot be written is told.
    Select("Docs");
    m_files.save = QString::fromStdString(m_work + "/no/such/folder/docs.tvp");
    m_prompter.said.clear();
    Trigger("export");
    QVERIFY(Said(m_prompter, "Error: Failed to write file:"));
}

void TreeCommandsTest::searchFindsStopsAndRestores() {
    WriteTree({Project("Docs", "http://h/docs/")});
    const std::string disk = m_work + "/disk";
    WriteLostProject(disk + "/guide", "Guide", "/Sites/Guides");
    WriteLostProject(disk + "/top", "Top", "/");
    // The tree's own project is not listed again.
    OpenWithFiles();
    fs::create_directory_symlink(m_work, disk + "/loop");
    Select("Empty");
    WhenShown<CDlgSearchRestore>([&](CDlgSearchRestore *dialog) {
        dialog->LocationBox()->setEditText(QString::fromStdString(disk));
        dialog->Button("start")->click();
        QTRY_VERIFY_WITH_TIMEOUT(dialog->Button("start")->isEnabled(), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(dialog->Status()->text(),
                                  QStringLiteral("2 project(s) have been found"), kWaitMs);
        QCOMPARE(dialog->Results()->topLevelItemCount(), 2);
        // Searching the whole working folder adds nothing twice and skips the tree's project.
        dialog->LocationBox()->setEditText(QString::fromStdString(m_work));
        dialog->Button("start")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->Searching(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->Button("start")->isEnabled(), kWaitMs);
        QCOMPARE(dialog->Results()->topLevelItemCount(), 2);

        dialog->Button("unselectAll")->click();
        dialog->Results()->topLevelItem(0)->setCheckState(0, Qt::Checked); // Guide
        dialog->OriginalFolders()->setChecked(true);
        dialog->Button("restore")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->Restoring(), kWaitMs);
        QCOMPARE(dialog->Status()->text(), QStringLiteral("1 project(s) have been restored"));
        QCOMPARE(dialog->Results()->topLevelItemCount(), 1);
        dialog->Button("selectAll")->click();
        dialog->OriginalFolders()->setChecked(false);
        dialog->Button("restore")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->Restoring(), kWaitMs);
        QCOMPARE(dialog->Results()->topLevelItemCount(), 0);

        // A large folder: Stop ends the search, and Close waits for it.
        for (int i = 0; i < 400; ++i) {
            fs::create_directories(m_work + "/big/d" + std::to_string(i) + "/e/f");
        }
        dialog->LocationBox()->setEditText(QString::fromStdString(m_work + "/big"));
        dialog->Button("start")->click();
        if (dialog->Searching()) {
            dialog->reject();
            QVERIFY(dialog->isVisible());
        }
        dialog->Button("stop")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->Searching(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->Button("start")->isEnabled(), kWaitMs);
        dialog->reject();
    });
    Trigger("searchRestore");
    CTreeNode *guides = Node("Guides");
    QVERIFY(guides);
    QCOMPARE(guides->parent, Node("Sites"));
    QVERIFY(CProjectTree::FindChildByName(*guides, "Guide", true) != nullptr);
    CTreeNode *top = Node("Top");
    QVERIFY(top);
    QCOMPARE(top->parent, Node("Empty")); // the selected folder
    QVERIFY(TreeFile().find("Name=Top\n") != std::string::npos);
    QVERIFY(m_prompter.said.empty());
}

void TreeCommandsTest::badSearchLocationsAreTold() {
    WriteTree({});
    OpenWithFiles();
    WriteFileBytes(m_work + "/afile", "x");
    fs::create_directory_symlink(m_work + "/loopb", m_work + "/loopa");
    fs::create_directory_symlink(m_work + "/loopa", m_work + "/loopb");
    WhenShown<CDlgSearchRestore>([&](CDlgSearchRestore *dialog) {
        for (const std::string &location :
             {m_work + "/afile", m_work + "/loopa", m_work + "/missing"}) {
            dialog->LocationBox()->setEditText(QString::fromStdString(location));
            dialog->Button("start")->click();
            QVERIFY(!dialog->Searching());
        }
        dialog->reject();
    });
    Trigger("searchRestore");
    QCOMPARE(m_prompter.said.size(), std::size_t{3});
    QVERIFY(Said(m_prompter, "is a file"));
    QVERIFY(Said(m_prompter, "does not exist"));
}

void TreeCommandsTest::screenshots() {
    WriteTree({Project("Idle", "http://h/idle/"), Project("Running", "http://h/running/"),
               Project("Waiting", "http://h/waiting/"), Project("On timer", "http://h/timer/")});
    OpenWithFiles();
    const std::string shots = ScreenshotDir();
    QVERIFY(QDir().mkpath(QString::fromStdString(shots)));
    // Kinds as runs and the timer list give them; only drawn, nothing runs.
    Node("Running")->kind = NodeKind::ProjectRunning;
    Node("Waiting")->kind = NodeKind::ProjectWaiting;
    Node("On timer")->kind = NodeKind::ProjectOnTimer;
    m_frame->FormTree()->RefreshKinds();
    Select("Idle");
    QVERIFY(m_frame->FormTree()->grab().save(QString::fromStdString(shots + "/tree-kinds.png")));
    for (const char *name : {"Running", "Waiting", "On timer"}) {
        Node(name)->kind = NodeKind::ProjectIdle;
    }
    m_frame->FormTree()->RefreshKinds();

    const std::string disk = m_work + "/disk";
    WriteLostProject(disk + "/guide", "Guide", "/Sites/Guides");
    WriteLostProject(disk + "/news", "News", "/");
    WhenShown<CDlgSearchRestore>([&](CDlgSearchRestore *dialog) {
        dialog->LocationBox()->setEditText(QString::fromStdString(disk));
        QVERIFY(dialog->Button("start")->isEnabled());
        dialog->Button("start")->click();
        QCOMPARE(m_prompter.said.size(), std::size_t{0});   // the location was taken
        QTRY_COMPARE_WITH_TIMEOUT(dialog->Status()->text(),
                                  QStringLiteral("2 project(s) have been found"), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->Button("start")->isEnabled(), kWaitMs);
        QCOMPARE(dialog->Results()->topLevelItemCount(), 2);
        QVERIFY(dialog->grab().save(QString::fromStdString(shots + "/search-restore.png")));
        dialog->reject();
    });
    Trigger("searchRestore");
}

QTEST_MAIN(TreeCommandsTest)
#include "TreeCommandsTest.moc"
