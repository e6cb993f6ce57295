// The main window's part in addresses from outside: the browser's hand-over, the clipboard
// monitor, the tray icon with its menu, and the options "Browser Integration", "Clipboard
// Monitor" and "Auto Run". Where an address goes is decided in app/UrlIntake; this maps it to
// the wizard, the open New Address dialog or the pending values.

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/StartUp.h"
#include "capture/BrowserIntegration.h"
#include "platform/AutoRun.h"
#include "platform/ProgramDir.h"
#include "platform/Registry.h"
#include "shell/CDesktop.h"
#include "shell/CDlgNewAddress.h"
#include "shell/CMainFrame.h"
#include "shell/DialogFields.h"

namespace torvex {

namespace {

// An entry of the tray menu with its own caption that runs `command` and shows its check mark.
QAction* MirrorAction(QMenu* menu, const QString& text, QAction* command) {
    QAction* mirror = menu->addAction(text);
    mirror->setObjectName(command->objectName());
    mirror->setCheckable(command->isCheckable());
    const auto follow = [mirror, command] {
        mirror->setChecked(command->isChecked());
        mirror->setEnabled(command->isEnabled());
    };
    follow();
    QObject::connect(command, &QAction::changed, mirror, follow);
    QObject::connect(mirror, &QAction::triggered, command, [command] { command->trigger(); });
    return mirror;
}

} // namespace

void CMainFrame::BuildIntake() {
    m_channel = std::make_unique<CInstanceServer>([this](InstanceRequest request) {
        QMetaObject::invokeMethod(
            this,
            [this, request] {
                if (request == InstanceRequest::TakeHandOver) {
                    TakeHandOver();
                } else {
                    Activate();
                }
            },
            Qt::QueuedConnection);
    });

    const UserFolders folders = UserFoldersFromEnvironment();
    if (!m_options.browserIntegration || !m_options.autoRun) {
        m_ownRegistry = std::make_unique<CFileRegistry>(RegistryFilePath());
    }
    m_integration = m_options.browserIntegration;
    if (!m_integration) {
        m_ownIntegration = std::make_unique<CUserBrowserIntegration>(
            *m_ownRegistry, folders, m_options.workDir,
            ProgramDirectory() + "/" + std::string(kHostProgramName));
        m_integration = m_ownIntegration.get();
    }
    m_autoRun = m_options.autoRun;
    if (!m_autoRun) {
        m_ownAutoRun = std::make_unique<CSessionAutoRun>(*m_ownRegistry, folders, ProgramPath());
        m_autoRun = m_ownAutoRun.get();
    }

    // Another program may change what the check marks show; they are read when a menu opens.
    for (QAction* menu : menuBar()->actions()) {
        if (menu->menu() && menu->menu()->actions().contains(Action("clipMonitor"))) {
            connect(menu->menu(), &QMenu::aboutToShow, this, &CMainFrame::RefreshIntakeChecks);
        }
    }
    BuildTray();
    RefreshIntakeChecks();
    if (m_settings.ClipMonitor) {
        JoinClipboard();
    }
}

void CMainFrame::BuildTray() {
    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(QStringLiteral("trayMenu"));
    connect(m_trayMenu, &QMenu::aboutToShow, this, &CMainFrame::RefreshIntakeChecks);
    MirrorAction(m_trayMenu, QStringLiteral("Stop &All"), Action("stopAll"));
    m_trayMenu->addSeparator();
    MirrorAction(m_trayMenu, QStringLiteral("Browser &Integration"), Action("browserIntegration"));
    MirrorAction(m_trayMenu, QStringLiteral("Clipboard &Monitor"), Action("clipMonitor"));
    MirrorAction(m_trayMenu, QStringLiteral("Auto &Run"), Action("autoRun"));
    m_trayMenu->addSeparator();
    MirrorAction(m_trayMenu, QStringLiteral("Auto &Hang Up"), Action("autoHangUp"));
    MirrorAction(m_trayMenu, QStringLiteral("Auto &Shutdown"), Action("autoShutdown"));
    m_trayMenu->addSeparator();
    MirrorAction(m_trayMenu, QStringLiteral("E&xit"), Action("exit"));

    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return; // "/m" then starts the window minimised
    }
    m_trayIcon = new QSystemTrayIcon(style()->standardIcon(QStyle::SP_ArrowDown), this);
    m_trayIcon->setToolTip(QStringLiteral("Torvex"));
    m_trayIcon->setContextMenu(m_trayMenu);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                    Activate();
                }
            });
    m_trayIcon->show();
}

void CMainFrame::RefreshIntakeChecks() {
    Action("browserIntegration")->setChecked(m_integration->IsInstalled());
    Action("clipMonitor")->setChecked(m_settings.ClipMonitor);
    Action("autoRun")->setChecked(m_autoRun->IsOn());
}

void CMainFrame::OnBrowserIntegration() {
    m_integration->Toggle(); // a failure leaves the option as it was, without a message
    RefreshIntakeChecks();
}

void CMainFrame::OnAutoRun() {
    m_autoRun->Toggle();
    RefreshIntakeChecks();
}

void CMainFrame::OnClipMonitor() {
    m_settings.ClipMonitor = !m_settings.ClipMonitor;
    if (m_settings.ClipMonitor) {
        JoinClipboard();
    } else {
        LeaveClipboard();
    }
    RefreshIntakeChecks();
    ApplyOptions();
}

void CMainFrame::JoinClipboard() {
    m_clipboardWatch.Join();
    m_desktop->WatchClipboard([this] { OnClipboardChanged(); });
    // Joining counts as the first notification, so what is on the clipboard already stays there.
    OnClipboardChanged();
}

void CMainFrame::LeaveClipboard() {
    if (m_clipboardWatch.IsJoined()) {
        m_clipboardWatch.Leave();
        m_desktop->StopWatchingClipboard();
    }
}

void CMainFrame::OnClipboardChanged() {
    const std::optional<CPendingAddress> copied = m_clipboardWatch.Changed(
        m_channel->IntakeState(), [this] { return S(m_desktop->ClipboardText()); });
    if (!copied) {
        return;
    }
    m_pending = *copied;
    Activate();
    DeliverPending();
}

void CMainFrame::TakeHandOver() {
    const std::optional<CPendingAddress> taken =
        TakeHandOverFile(HandOverFilePath(m_options.workDir));
    if (!taken) {
        return; // the pending values stay as they were
    }
    m_pending = *taken;
    m_handedOver = Q(taken->address);
    Activate();
    DeliverPending();
    Q_EMIT handOverTaken(m_handedOver);
}

void CMainFrame::DeliverPending() {
    switch (DeliveryStep(m_channel->IntakeState(), m_newAddressDialog != nullptr)) {
    case IntakeStep::NewProject:
        // As a posted command: the wizard opens once the current event is over, unless a
        // dialog opened in between (then the address waits for the next wizard).
        QTimer::singleShot(0, this, [this] {
            if (m_channel->IntakeState() == kIntakeNewProject && m_pending.IsSet()) {
                OnNewProject();
            }
        });
        break;
    case IntakeStep::NewAddress:
        m_newAddressDialog->TakeAddress(m_pending.address, m_pending.name);
        m_newAddressDialog->raise();
        m_newAddressDialog->activateWindow();
        m_pending.Clear();
        break;
    case IntakeStep::KeepPending:
        break;
    }
}

} // namespace torvex
