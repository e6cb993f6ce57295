// Addresses from outside the program under Qt Test: the clipboard monitor, the browser's
// hand-over file, the tray menu and the intake options, over a desktop whose clipboard the test
// sets (its changes notify the window as the system's clipboard does) and the user's folders in
// a temporary directory.
#include <filesystem>
#include <functional>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include "app/StartUp.h"
#include "capture/BrowserIntegration.h"
#include "platform/AutoRun.h"
#include "platform/DesktopEntry.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "shell/CDesktop.h"
#include "shell/CDlgNewAddress.h"
#include "shell/CMainFrame.h"
#include "shell/CSheetProperty.h"
#include "shell/CSheetWizard.h"
#include "support/ScopedVariable.h"
#include "support/TempDir.h"

#include "CFrameFixture.h"

using namespace torvex;
using namespace torvex::test;

namespace {

constexpr int kWaitMs = CFrameFixture::kWaitMs;

// A clipboard of the test's own: Copy stands for another program copying, SetClipboardText for
// the window's own Copy URL commands; both notify the watcher as the system's clipboard does.
class CClipboardDesktop final : public CDesktop {
public:
    bool OpenUrl(const QString&) override { return true; }
    bool StartProgram(const QString&, const QString&) override { return true; }
    void SetClipboardText(const QString& value) override { Copy(value); }
    QString ClipboardText() override { return text; }
    void WatchClipboard(std::function<void()> changed) override { m_changed = std::move(changed); }
    void StopWatchingClipboard() override { m_changed = nullptr; }
    bool Watched() const { return static_cast<bool>(m_changed); }
    void Copy(const QString& value) {
        text = value;
        if (m_changed) {
            m_changed();
        }
    }
    QString text;

private:
    std::function<void()> m_changed;
};

std::string ScreenshotDir() {
    const QByteArray dir = qgetenv("TORVEX_SCREENSHOTS");
    return dir.isEmpty() ? std::string(TORVEX_BINARY_DIR) + "/screenshots" : dir.toStdString();
}

} // namespace

class IntakeTest : public QObject, public CFrameFixture {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void clipboardStartsTheWizardFilledIn();
    void firstNotificationAfterSwitchingOnIsIgnored();
    void openDialogsDecideWhereAnAddressGoes();
    void handOverProposesTheHostAndKeepsTheFirstAddress();
    void badHandOverFilesKeepThePendingValues();
    void optionsShowWhatIsInstalledAndUndoThemselves();
    void screenshots();

private:
    CDesktop& FrameDesktop() override { return m_desktop; }
    // Notes every new-project wizard that opens and cancels it.
    void WatchWizards();

    CClipboardDesktop m_desktop;
    QStringList m_wizards; // "address|name" of each wizard opened
    std::unique_ptr<TempDir> m_home;
    std::vector<std::unique_ptr<ScopedVariable>> m_environment;
};

void IntakeTest::init() {
    SetUpFrame();
    m_home = std::make_unique<TempDir>();
    static const std::pair<const char*, const char*> kFolders[] = {
        {"HOME", "home"},
        {"XDG_CONFIG_HOME", "home/config"},
        {"XDG_DATA_HOME", "home/data"},
        {"TORVEX_REGISTRY", "home/registry"}};
    for (const auto& [name, folder] : kFolders) {
        m_environment.push_back(std::make_unique<ScopedVariable>(name, (*m_home / folder).c_str()));
    }
    std::filesystem::create_directories(*m_home / "home");
    m_desktop.text.clear();
    m_wizards.clear();
}

void IntakeTest::cleanup() {
    TearDownFrame();
    m_environment.clear();
    m_home.reset();
}

void IntakeTest::WatchWizards() {
    QTimer* timer = m_watchers.emplace_back(std::make_unique<QTimer>()).get();
    timer->setInterval(10);
    connect(timer, &QTimer::timeout, timer, [this] {
        if (auto* wizard = qobject_cast<CSheetWizard*>(QApplication::activeModalWidget())) {
            m_wizards << wizard->AddressField()->text() + QLatin1Char('|') +
                             wizard->NameField()->text();
            wizard->reject();
        }
    });
    timer->start();
}

void IntakeTest::clipboardStartsTheWizardFilledIn() {
    m_settings.ClipMonitor = true;
    m_desktop.text = QStringLiteral("http://before.example.org/");
    WriteTree({Project("Docs", "http://docs.example.org/own/")});
    OpenFrame();
    WatchWizards();
    QVERIFY(m_desktop.Watched());
    QVERIFY(m_frame->PendingAddress().IsEmpty()); // what was there before stays there

    // The program's own Copy URL is no address from outside.
    Select("Docs");
    Trigger("copyUrl");
    QCOMPARE(m_desktop.text, QStringLiteral("http://docs.example.org/own/"));
    QVERIFY(m_frame->PendingAddress().IsEmpty());

    // Text that is no address is passed over quietly.
    const QString junk[] = {
        QString(3 * 1024 * 1024, QLatin1Char('x')),
        QStringLiteral("http://h/") + QString(2 * 1024 * 1024, QLatin1Char('a')),
        QStringLiteral("http://h/a\u0007b"),
        QStringLiteral("http://h/\nhttp://i/"),
        QStringLiteral("http//broken address"),
        QString(),
    };
    for (const QString& text : junk) {
        m_desktop.Copy(text);
        QVERIFY(m_frame->PendingAddress().IsEmpty());
    }
    QVERIFY(m_prompter.said.empty());

    m_desktop.Copy(QStringLiteral("  http://www.example.org/manual/index.html\n"));
    QTRY_COMPARE_WITH_TIMEOUT(m_wizards.size(), 1, kWaitMs);
    QCOMPARE(m_wizards.front(),
             QStringLiteral("http://www.example.org/manual/index.html|www.example.org"));
    QVERIFY(m_frame->PendingAddress().IsEmpty()); // the wizard took it
    QVERIFY(m_frame->isVisible());
}

void IntakeTest::firstNotificationAfterSwitchingOnIsIgnored() {
    m_settings.ClipMonitor = false;
    WriteTree({});
    OpenFrame();
    WatchWizards();
    QVERIFY(!m_desktop.Watched());
    QVERIFY(!m_frame->Action("clipMonitor")->isChecked());
    m_desktop.Copy(QStringLiteral("http://off.example.org/"));
    QVERIFY(m_frame->PendingAddress().IsEmpty());

    Trigger("clipMonitor");
    QVERIFY(m_settings.ClipMonitor);
    QVERIFY(m_frame->Action("clipMonitor")->isChecked());
    std::string conf;
    QVERIFY(ReadFileText(m_work + "/Config/Torvex.conf", conf));
    QVERIFY(conf.find("ClipMonitor=1\n") != std::string::npos);
    QVERIFY(m_frame->PendingAddress().IsEmpty()); // the address copied before is not taken

    m_desktop.Copy(QStringLiteral("http://next.example.org/a/"));
    QTRY_COMPARE_WITH_TIMEOUT(m_wizards.size(), 1, kWaitMs);
    QCOMPARE(m_wizards.front(), QStringLiteral("http://next.example.org/a/|next.example.org"));

    Trigger("clipMonitor");
    QVERIFY(!m_desktop.Watched());
    QVERIFY(!m_settings.ClipMonitor);
}

void IntakeTest::openDialogsDecideWhereAnAddressGoes() {
    m_settings.ClipMonitor = true;
    WriteTree({Project("Docs", "http://docs.example.org/")});
    OpenFrame();
    Select("Docs");

    // The property sheet cannot take one: nothing happens, nothing waits.
    bool sheetChecked = false;
    WhenShown<CSheetProperty>([&](CSheetProperty* sheet) {
        QCOMPARE(m_frame->InstanceChannel()->IntakeState(), kIntakeClosed);
        m_desktop.Copy(QStringLiteral("http://during.example.org/"));
        QVERIFY(m_frame->PendingAddress().IsEmpty());
        sheetChecked = true;
        sheet->reject();
    });
    Trigger("properties");
    QVERIFY(sheetChecked);

    // New Address takes the clipboard's and the browser's addresses into its fields.
    bool dialogChecked = false;
    WhenShown<CDlgNewAddress>([&](CDlgNewAddress* dialog) {
        QCOMPARE(m_frame->InstanceChannel()->IntakeState(), kIntakeNewAddress);
        m_desktop.Copy(QStringLiteral("http://copied.example.org/x.html"));
        QCOMPARE(dialog->AddressField()->text(),
                 QStringLiteral("http://copied.example.org/x.html"));
        QCOMPARE(dialog->DescriptionField()->text(), QStringLiteral("copied.example.org"));
        QVERIFY(m_frame->PendingAddress().IsEmpty());
        WriteFileBytes(HandOverFilePath(m_work),
                       "URL=http://handed.example.org/\nInfo=From the browser\nParentURL=\n");
        m_frame->TakeHandOver();
        QCOMPARE(dialog->AddressField()->text(), QStringLiteral("http://handed.example.org/"));
        QCOMPARE(dialog->DescriptionField()->text(), QStringLiteral("From the browser"));
        QCOMPARE(dialog->DescriptionField()->selectedText(), QStringLiteral("From the browser"));
        QVERIFY(!FileExists(HandOverFilePath(m_work)));
        dialogChecked = true;
        dialog->reject();
    });
    Trigger("standAlone");
    QVERIFY(dialogChecked);

    // Afterwards an address starts the wizard again (and none was left over from above).
    WatchWizards();
    m_desktop.Copy(QStringLiteral("http://after.example.org/"));
    QTRY_COMPARE_WITH_TIMEOUT(m_wizards.size(), 1, kWaitMs);
    QCOMPARE(m_wizards.front(), QStringLiteral("http://after.example.org/|after.example.org"));
}

void IntakeTest::handOverProposesTheHostAndKeepsTheFirstAddress() {
    WriteTree({});
    OpenFrame();
    WatchWizards();
    WriteFileBytes(HandOverFilePath(m_work),
                   "URL=http://docs.example.org/guide/\nInfo=\nParentURL=http://x/\n");
    m_frame->TakeHandOver();
    QVERIFY(!FileExists(HandOverFilePath(m_work)));
    QTRY_COMPARE_WITH_TIMEOUT(m_wizards.size(), 1, kWaitMs);
    QCOMPARE(m_wizards.back(), QStringLiteral("http://docs.example.org/guide/|docs.example.org"));

    // A page title with a line break wrote a second URL line; the first one is the address.
    WriteFileBytes(HandOverFilePath(m_work), "URL=http://good.example.org/\nInfo=Title\n"
                                             "URL=http://evil.example.org/\nParentURL=\n");
    m_frame->TakeHandOver();
    QTRY_COMPARE_WITH_TIMEOUT(m_wizards.size(), 2, kWaitMs);
    QCOMPARE(m_wizards.back(), QStringLiteral("http://good.example.org/|Title"));
}

void IntakeTest::badHandOverFilesKeepThePendingValues() {
    WriteTree({});
    OpenFrame();
    m_frame->PendingAddress() = {"http://kept.example.org/", "Kept"};
    // While a dialog that cannot take it is open, the values stay pending.
    m_frame->InstanceChannel()->SetIntakeState(kIntakeClosed);
    const struct {
        const char* what;
        std::string text;
    } files[] = {
        {"empty", ""},
        {"over-long", "URL=http://h/" + std::string(100000, 'p') + "\nInfo=x\n"},
        {"binary", std::string("\x7f"
                               "ELF\x02\x01\x01\x00URL=\x01\xff\n",
                               15)},
        {"no address", "Info=Only a name\nParentURL=http://h/\n"},
    };
    for (const auto& file : files) {
        WriteFileBytes(HandOverFilePath(m_work), file.text);
        m_frame->TakeHandOver();
        QVERIFY2(!FileExists(HandOverFilePath(m_work)), file.what);
        QCOMPARE(m_frame->PendingAddress().address, std::string("http://kept.example.org/"));
        QCOMPARE(m_frame->PendingAddress().name, std::string("Kept"));
    }
    m_frame->TakeHandOver(); // no file at all
    QCOMPARE(m_frame->PendingAddress().name, std::string("Kept"));
    QVERIFY(m_frame->HandedOverText().isEmpty());

    // A good one replaces them and, with the dialog still open, waits for the next wizard.
    WriteFileBytes(HandOverFilePath(m_work), "URL=http://new.example.org/\nInfo=New\n");
    m_frame->TakeHandOver();
    QCOMPARE(m_frame->PendingAddress().address, std::string("http://new.example.org/"));
    QCOMPARE(m_frame->HandedOverText(), QStringLiteral("http://new.example.org/"));
    m_frame->InstanceChannel()->SetIntakeState(kIntakeNewProject);
}

void IntakeTest::optionsShowWhatIsInstalledAndUndoThemselves() {
    const std::string config = *m_home / "home/config";
    const std::string host = *m_home / "pellix-host";
    WriteFileBytes(host, "#!/bin/sh\n");
    std::filesystem::permissions(host, std::filesystem::perms::owner_all);
    CFileRegistry registry(*m_home / "home/registry");
    const std::string menuEntry = std::string(kMenuExtKeyPath) + "\\" + std::string(kMenuEntryName);
    const UserFolders folders = UserFoldersFromEnvironment();
    CUserBrowserIntegration integration(registry, folders, m_work, host);
    WriteTree({});
    // The window's own Auto Run (over the folders of the environment) and this integration.
    m_settings.ClipMonitor = false;
    {
        CFrameOptions options;
        options.workDir = m_work;
        options.prompter = &m_prompter;
        options.desktop = &m_desktop;
        options.browserIntegration = &integration;
        m_frame = std::make_unique<CMainFrame>(m_settings, options);
        QVERIFY(m_frame->LoadTree());
    }

    QVERIFY(!m_frame->Action("browserIntegration")->isChecked());
    Trigger("browserIntegration");
    QVERIFY(m_frame->Action("browserIntegration")->isChecked());
    QVERIFY(registry.KeyExists(menuEntry));
    QVERIFY(FileExists(config + "/chromium/NativeMessagingHosts/torvex.pellix.json"));
    Trigger("browserIntegration");
    QVERIFY(!m_frame->Action("browserIntegration")->isChecked());
    QVERIFY(!integration.IsInstalled());

    // Installed by someone else while the window runs: the menu shows it when it opens.
    QVERIFY(integration.Install());
    QMenu* option = nullptr;
    for (QAction* menu : m_frame->menuBar()->actions()) {
        if (menu->text() == QStringLiteral("&Option")) {
            option = menu->menu();
        }
    }
    QVERIFY(option);
    QMetaObject::invokeMethod(option, "aboutToShow");
    QVERIFY(m_frame->Action("browserIntegration")->isChecked());

    const std::string entry = config + "/autostart/torvex.desktop";
    Trigger("autoRun");
    QVERIFY(m_frame->Action("autoRun")->isChecked());
    std::string text;
    QVERIFY(ReadFileText(entry, text));
    QVERIFY(text.find(" /m\n") != std::string::npos);
    std::string value;
    QVERIFY(registry.ReadString(kRunKeyPath, kRunValueName, value));
    QVERIFY(value.ends_with(" /m"));
    Trigger("autoRun");
    QVERIFY(!m_frame->Action("autoRun")->isChecked());
    QVERIFY(!FileExists(entry));
    QVERIFY(!registry.ReadString(kRunKeyPath, kRunValueName, value));

    // An autostart folder that cannot be written: the option stays off, with nothing behind
    // and nothing said.
    std::filesystem::remove_all(config + "/autostart");
    WriteFileBytes(config + "/autostart", "a file where the folder belongs");
    Trigger("autoRun");
    QVERIFY(!m_frame->Action("autoRun")->isChecked());
    QVERIFY(!registry.ReadString(kRunKeyPath, kRunValueName, value));
    // A host program that is not there: Browser Integration stays off.
    QVERIFY(integration.Remove());
    std::filesystem::remove(host);
    Trigger("browserIntegration");
    QVERIFY(!m_frame->Action("browserIntegration")->isChecked());
    QVERIFY(!registry.KeyExists(menuEntry));
    QVERIFY(m_prompter.said.empty());
}

void IntakeTest::screenshots() {
    m_settings.ClipMonitor = true;
    m_settings.AutoHangUp = true;
    WriteTree({});
    OpenFrame();
    QMenu* tray = m_frame->TrayMenu();
    QVERIFY(tray);
    QStringList texts;
    for (QAction* action : tray->actions()) {
        if (!action->isSeparator()) {
            texts << action->text();
        }
    }
    QCOMPARE(texts, (QStringList{"Stop &All", "Browser &Integration", "Clipboard &Monitor",
                                 "Auto &Run", "Auto &Hang Up", "Auto &Shutdown", "E&xit"}));
    // The tray's entries run the window's commands and show the same check marks.
    QAction* monitor = tray->actions().at(3);
    QVERIFY(monitor->isChecked());
    monitor->trigger();
    QVERIFY(!m_settings.ClipMonitor);
    QVERIFY(!m_frame->Action("clipMonitor")->isChecked());
    QVERIFY(!monitor->isChecked());
    monitor->trigger();

    const std::string shots = ScreenshotDir();
    std::filesystem::create_directories(shots);
    tray->popup(m_frame->mapToGlobal(QPoint(200, 100)));
    QVERIFY(QTest::qWaitForWindowExposed(tray));
    QVERIFY(tray->grab().save(QString::fromStdString(shots + "/tray-menu.png")));
    tray->close();
}

QTEST_MAIN(IntakeTest)
#include "IntakeTest.moc"
