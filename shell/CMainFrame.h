#pragma once

#include <map>
#include <memory>
#include <string>

#include <QMainWindow>
#include <QTimer>

#include "app/AddressCheck.h"
#include "app/CInstanceChannel.h"
#include "app/CStatusTicker.h"
#include "app/CTreeRuns.h"
#include "app/UrlIntake.h"
#include "engine/CRunPipeline.h"
#include "engine/CTaskManager.h"
#include "engine/IRunListener.h"
#include "project/CAppSettings.h"
#include "project/CProjectTree.h"
#include "shell/CFileChooser.h"
#include "shell/CFrameAutomation.h"

class QAction;
class QLabel;
class QMenu;
class QProgressDialog;
class QSplitter;
class QSystemTrayIcon;

namespace torvex {

class CAutoRun;
class CBrowserIntegration;
class CDesktop;
class CDlgNewAddress;
class CFormChannel;
class CFormDetail;
class CFormTree;
class IPrompter;
class CRegistry;

// What the window is made with. The prompter, desktop and pipeline are the system's when null
// (tests give their own); none is owned and all outlive the window.
struct CFrameOptions {
    std::string workDir;
    int commandLineBits = 0;
    IPrompter* prompter = nullptr;
    CDesktop* desktop = nullptr;
    IRunPipeline* pipeline = nullptr;
    CAutomationServices automation; // dial-up, shutdown, clock
    // "Browser Integration" and "Auto Run": the running user's when null.
    CBrowserIntegration* browserIntegration = nullptr;
    CAutoRun* autoRun = nullptr;
};

// The main window: the project tree on the left, the record list and the thread list on the
// right, the menus, toolbar and status bar, and the runs of projects started from it. It holds
// no rule of its own: which commands are offered, the rows' texts, the status panes and the
// task lists come from app/ and the core; the window maps them to widgets and forwards the
// user's commands.
//
// Lives on the GUI thread. The tasks report through a listener that re-posts each report to
// this thread; no other thread touches a widget. The application settings are not owned and
// outlive the window; it writes the splitter widths back into them at closing and saves them.
class CMainFrame final : public QMainWindow, private ITaskManagerHooks {
    Q_OBJECT
public:
    CMainFrame(CAppSettings& settings, const CFrameOptions& options, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Loads the tree file (made first from the pristine one when missing); false when the
    // tree cannot be had, and the program then ends.
    bool LoadTree();

    // A second copy asked: bring the window up and to the front.
    void Activate();
    // An address waits in the hand-over file: the running copy takes it (reads and deletes the
    // file) and brings its window up.
    void TakeHandOver();

    // Answers later copies of the program from now on (call while holding the instance lock):
    // their requests come to Activate and TakeHandOver on this thread. False when the socket
    // cannot be made; the window then runs alone.
    bool OpenInstanceChannel();
    // The channel and its IntakeState, set by the intake and the dialogs. It is there (and
    // holds the state) also while it does not answer other copies.
    CInstanceServer* InstanceChannel() const { return m_channel.get(); }

    // Access for the intake, dialogs and tests.
    CProjectTree& ProjectTree() { return m_tree; }
    CTaskManager& Tasks() { return *m_tasks; }
    CTreeRuns& Runs() { return m_runs; }
    CFrameAutomation &Automation() { return *m_automation; }
    CFormTree* FormTree() const { return m_formTree; }
    CFormDetail* FormDetail() const { return m_formDetail; }
    CFormChannel* FormChannel() const { return m_formChannel; }
    QProgressDialog* BreakPointDialog() const { return m_breakPointDialog; }
    // The action named `name` (its object name, e.g. "start"), or null.
    QAction* Action(const QString& name) const;
    // The text of status pane 1..3.
    QString PaneText(int pane) const;
    // The last address taken from the hand-over file (empty when none).
    const QString& HandedOverText() const { return m_handedOver; }
    // The address waiting for the next new-project wizard (from the browser or the clipboard).
    CPendingAddress& PendingAddress() { return m_pending; }
    // The open New Address dialog, which takes addresses while IntakeState is 2; else null.
    CDlgNewAddress* NewAddressDialog() const { return m_newAddressDialog; }
    // The tray menu (also without a tray, for tests) and the tray icon (null without a tray).
    QMenu* TrayMenu() const { return m_trayMenu; }
    QSystemTrayIcon* TrayIcon() const { return m_trayIcon; }
    // The export and import file dialogs (the system's unless set; not owned).
    void SetFileChooser(CFileChooser &chooser) { m_files = &chooser; }

Q_SIGNALS:
    // The last running task ended and none waits (the end-of-download actions follow).
    void allTasksEnded();
    // An address was taken from the hand-over file; `text` is the address.
    void handOverTaken(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class QueuedListener;

    void BuildActions();
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusBar();
    void BuildPanes();
    QAction* AddAction(const QString& name, const QString& text, const QKeySequence& key,
                       void (CMainFrame::*slot)());

    // Selection and the two lists.
    void OnNodeSelected(CTreeNode* node);
    void AttachRun();
    void DetachRun();
    void RefreshDetail();
    void RefreshChannel();
    void OnSpeedTick();
    void WritePanes();
    void UpdateCommands();
    CProjectSettings* SelectedProject() const;
    CDownloadTask* SelectedTask() const;

    // Task reports, on the GUI thread.
    void HandleTaskMessage(const CTaskMessage& message);
    void OnProjectState(const CProjectSettings* project, ProjectRunState state) override;
    void OnTaskMessage(const CTaskMessage& message, CDownloadTask& task) override;
    void OnBreakPointProgress(CDownloadTask& task, int position, int range) override;
    void ConvertLinks(CDownloadTask& task) override;
    bool OnAllTasksEnded(bool runStartsConversion) override;
    void ShowConversionProgress();

    // Commands.
    void RunSelected(RunCommand command);
    void OnStart();
    void OnStop();
    void OnResume();
    void OnUpdate();
    void OnStartAll();
    void OnStopAll();
    void OnDelete();
    void OnViewIndex();
    void OnDeleteRecords();
    void OnDeleteLogs();
    void OnConvertLocal();
    void OnConvertAbsolute();
    void ConvertSelectedRecords(bool absolute);
    void OnAbortThread();
    void OnCopyThreadUrl();
    void OnCopyUrl();
    void OnBrowseOnline();
    void OnBackupLatest();
    void OnHelp();
    void OnSendEmail();
    void OnRecommend();
    void OnAbout();
    void OnExit();
    void NotYet();

    // The dialogs: the wizard, the property pages, Default Settings and New Address.
    void OnNewProject();
    void OnProperties();
    void OnDefaultSettings();
    void OnStandAloneAddress();
    void OnChildAddress();
    void NewAddress(bool child);

    // Options, the timer list and the starts that may dial first (CMainFrameOptions.cpp).
    void StartProjects(CTreeNode &node, RunCommand command);
    void PrepareStart();
    void ApplyOptions();
    void OnDefaultProxy();
    void OnDefaultDir();
    void OnMoreOptions();
    void OnTimerDialog();
    void OnAutoHangUp();
    void OnAutoShutdown();
    void OnAddToTimer();
    void OnDeleteFromTimer();
    void ChangeTimerList(bool on);

    // Addresses from outside, the tray and the intake options (CMainFrameIntake.cpp).
    void BuildIntake();
    void BuildTray();
    void OnClipboardChanged();
    void DeliverPending();
    void JoinClipboard();
    void LeaveClipboard();
    void RefreshIntakeChecks();
    void OnBrowserIntegration();
    void OnClipMonitor();
    void OnAutoRun();
    // The tree pane's own commands (CMainFrameTree.cpp).
    void OnNewFolder();
    void OnRename();
    void OnDeleteNode();
    void OnExport();
    void OnImport();
    void OnSearchRestore();
    void OnMoveNode(CTreeNode *node, CTreeNode *target);
    void ShowTreeChange(CTreeNode *select);
    void SaveTreeTold();

    void ShowTreeMenu(const QPoint& at);
    void ShowRecordMenu(const QPoint& at);
    void ShowThreadMenu(const QPoint& at);

    CAppSettings& m_settings;
    CFrameOptions m_options;
    std::unique_ptr<IPrompter> m_ownPrompter;
    IPrompter* m_prompter = nullptr;
    std::unique_ptr<CDesktop> m_ownDesktop;
    CDesktop* m_desktop = nullptr;
    CProjectTree m_tree;
    CRunPipeline m_ownPipeline;
    std::unique_ptr<QueuedListener> m_listener;
    CTreeRuns m_runs;
    // Declared after what its tasks use, so it stops and joins them first.
    std::unique_ptr<CTaskManager> m_tasks;
    std::unique_ptr<CFrameAutomation> m_automation;

    std::unique_ptr<CInstanceServer> m_channel;
    CStatusTicker m_ticker;
    QTimer m_speedTimer;
    QTimer m_detailTimer;
    QTimer m_channelTimer;
    QTimer m_conversionTimer;

    CFormTree* m_formTree = nullptr;
    CFormDetail* m_formDetail = nullptr;
    CFormChannel* m_formChannel = nullptr;
    QSplitter* m_outerSplitter = nullptr;
    QSplitter* m_rightSplitter = nullptr;
    QLabel* m_panes[3] = {nullptr, nullptr, nullptr};
    QProgressDialog* m_breakPointDialog = nullptr;
    QProgressDialog* m_conversionDialog = nullptr;
    std::map<QString, QAction*> m_actions;

    CTreeNode* m_selected = nullptr;
    bool m_attached = false; // the lists show the selected project's run
    QString m_handedOver;
    CPendingAddress m_pending;
    CDlgNewAddress* m_newAddressDialog = nullptr; // while New Address is open

    CClipboardWatch m_clipboardWatch;
    std::unique_ptr<CRegistry> m_ownRegistry;
    std::unique_ptr<CBrowserIntegration> m_ownIntegration;
    CBrowserIntegration* m_integration = nullptr;
    std::unique_ptr<CAutoRun> m_ownAutoRun;
    CAutoRun* m_autoRun = nullptr;
    QMenu* m_trayMenu = nullptr;
    QSystemTrayIcon* m_trayIcon = nullptr;
    CFileChooser m_systemFiles;
    CFileChooser *m_files = &m_systemFiles;
};

} // namespace torvex
