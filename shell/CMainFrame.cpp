#include "shell/CMainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDate>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QProgressDialog>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "app/NodeCommands.h"
#include "app/OptionChecks.h"
#include "app/RunOptions.h"
#include "app/StartUp.h"
#include "app/WindowTexts.h"
#include "capture/BrowserIntegration.h"
#include "engine/CDownloadTask.h"
#include "engine/Records.h"
#include "net/CBlockingSocket.h"
#include "platform/AutoRun.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "project/WorkDir.h"
#include "shell/CDesktop.h"
#include "shell/CFormChannel.h"
#include "shell/CFormDetail.h"
#include "shell/CFormTree.h"
#include "shell/CQtPrompter.h"

namespace torvex {

namespace {

constexpr int kDetailRefreshMs = 1000;
constexpr int kChannelRefreshMs = 200;
constexpr int kConversionRefreshMs = 200;
constexpr int kPaneWidths[] = {139, 150, 120};

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The start time as the record list shows it: the locale's short date with its weekday, then
// the time as hours:minutes.
std::string LocaleStartTime(std::int64_t time) {
    if (time < 0) {
        return {};
    }
    const QDateTime when = QDateTime::fromSecsSinceEpoch(time);
    const QLocale locale;
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("ddd"))) {
        format = QStringLiteral("ddd ") + format;
    }
    return (locale.toString(when.date(), format) + QLatin1Char(' ') +
            when.time().toString(QStringLiteral("HH:mm")))
        .toStdString();
}

} // namespace

// Hands each report of a task's threads to the GUI thread as a queued call; the window handles
// it there. Calls that come while the window is going away are dropped with it.
class CMainFrame::QueuedListener final : public IRunListener {
public:
    explicit QueuedListener(CMainFrame* frame) : m_frame(frame) {}
    void OnTaskMessage(const CTaskMessage& message) override {
        QMetaObject::invokeMethod(
            m_frame, [frame = m_frame, message] { frame->HandleTaskMessage(message); },
            Qt::QueuedConnection);
    }

private:
    CMainFrame* m_frame;
};

CMainFrame::CMainFrame(CAppSettings& settings, const CFrameOptions& options, QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_options(options),
      m_tree(options.workDir + "/" + std::string(kTreeFileName), settings.DefaultDir),
      m_listener(std::make_unique<QueuedListener>(this)), m_runs(m_tree, this) {
    if (options.prompter) {
        m_prompter = options.prompter;
    } else {
        m_ownPrompter = std::make_unique<CQtPrompter>(this);
        m_prompter = m_ownPrompter.get();
    }
    if (options.desktop) {
        m_desktop = options.desktop;
    } else {
        m_ownDesktop = std::make_unique<CDesktop>();
        m_desktop = m_ownDesktop.get();
    }
    IRunPipeline& pipeline = options.pipeline ? *options.pipeline : m_ownPipeline;
    m_tasks = std::make_unique<CTaskManager>(pipeline, *m_listener, *m_prompter, &m_runs);
    m_tasks->SetOptions(RunOptionsFrom(settings));
    m_runs.Attach(*m_tasks);
    m_automation = std::make_unique<CFrameAutomation>(
        settings, m_tree, options.automation, this,
        [this](CTreeNode &node) { StartProjects(node, RunCommand::Start); },
        // The stop time posts the Stop All command to the window.
        [this] { QTimer::singleShot(0, this, &CMainFrame::OnStopAll); });
    connect(m_automation.get(), &CFrameAutomation::finalActionFailed, this,
            [this](const QString &text) { m_prompter->Error(text.toStdString()); });
    connect(m_automation.get(), &CFrameAutomation::startWaitingProjects, this, [this] {
        m_tasks->HoldStarts(false);
        m_formTree->RefreshKinds();
        UpdateCommands();
    });

    setWindowTitle(QStringLiteral("Torvex"));
    setObjectName(QStringLiteral("mainFrame"));
    BuildPanes();
    BuildActions();
    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    BuildIntake();

    m_speedTimer.setInterval(CStatusTicker::kTickMs);
    connect(&m_speedTimer, &QTimer::timeout, this, &CMainFrame::OnSpeedTick);
    m_detailTimer.setInterval(kDetailRefreshMs);
    connect(&m_detailTimer, &QTimer::timeout, this, &CMainFrame::RefreshDetail);
    m_channelTimer.setInterval(kChannelRefreshMs);
    connect(&m_channelTimer, &QTimer::timeout, this, &CMainFrame::RefreshChannel);
    m_conversionTimer.setInterval(kConversionRefreshMs);
    connect(&m_conversionTimer, &QTimer::timeout, this, &CMainFrame::ShowConversionProgress);
}

CMainFrame::~CMainFrame() {
    m_channel.reset(); // no request may reach a window that is going
    LeaveClipboard();
    m_speedTimer.stop();
    m_detailTimer.stop();
    m_channelTimer.stop();
    m_conversionTimer.stop();
    m_automation.reset(); // cancels a countdown, waits for a final hang-up under way
    m_tasks.reset(); // stops and joins what still runs, before the tree goes
}

bool CMainFrame::LoadTree() {
    ProvideTreeFile(m_options.workDir);
    if (!m_tree.LoadTree()) {
        return false;
    }
    m_formTree->Rebuild();
    // Once the window is up: the tree gets the focus and its first node is selected.
    QTimer::singleShot(0, this, [this] {
        m_formTree->setFocus();
        m_formTree->Select(&m_tree.Root());
        OnNodeSelected(m_formTree->SelectedNode());
    });
    return true;
}

void CMainFrame::BuildPanes() {
    m_formTree = new CFormTree(m_tree);
    m_formDetail = new CFormDetail;
    m_formChannel = new CFormChannel;
    m_rightSplitter = new QSplitter(Qt::Vertical);
    m_rightSplitter->addWidget(m_formDetail);
    m_rightSplitter->addWidget(m_formChannel);
    m_rightSplitter->setOpaqueResize(true);
    m_outerSplitter = new QSplitter(Qt::Horizontal);
    m_outerSplitter->addWidget(m_formTree);
    m_outerSplitter->addWidget(m_rightSplitter);
    m_outerSplitter->setOpaqueResize(true);
    m_outerSplitter->setStretchFactor(1, 1);
    m_rightSplitter->setStretchFactor(1, 1);
    m_outerSplitter->setSizes({m_settings.Splitter1CX, 10000});
    m_rightSplitter->setSizes({m_settings.Splitter2CX, 10000});
    setCentralWidget(m_outerSplitter);

    connect(m_formTree, &CFormTree::nodeSelected, this, &CMainFrame::OnNodeSelected);
    connect(m_formTree, &CFormTree::moveRequested, this, &CMainFrame::OnMoveNode);
    connect(m_formTree, &QWidget::customContextMenuRequested, this, &CMainFrame::ShowTreeMenu);
    connect(m_formDetail, &QWidget::customContextMenuRequested, this, &CMainFrame::ShowRecordMenu);
    connect(m_formChannel, &QWidget::customContextMenuRequested, this, &CMainFrame::ShowThreadMenu);
    connect(m_formDetail, &QTreeWidget::itemSelectionChanged, this, &CMainFrame::UpdateCommands);
    connect(m_formChannel, &QTreeWidget::itemSelectionChanged, this, &CMainFrame::UpdateCommands);
    connect(m_formDetail, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem*, int) { OnViewIndex(); });
}

QAction* CMainFrame::AddAction(const QString& name, const QString& text, const QKeySequence& key,
                               void (CMainFrame::*slot)()) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    if (!key.isEmpty()) {
        action->setShortcut(key);
    }
    connect(action, &QAction::triggered, this, slot);
    m_actions[name] = action;
    return action;
}

QAction* CMainFrame::Action(const QString& name) const {
    const auto found = m_actions.find(name);
    return found == m_actions.end() ? nullptr : found->second;
}

void CMainFrame::BuildActions() {
    const QKeySequence none;
    // File
    AddAction("newFolder", "&Folder", none, &CMainFrame::OnNewFolder);
    AddAction("newProject", "&Project\tCtrl+N", QKeySequence(Qt::CTRL | Qt::Key_N),
              &CMainFrame::OnNewProject);
    AddAction("import", "&Import", none, &CMainFrame::OnImport);
    AddAction("export", "&Export", none, &CMainFrame::OnExport);
    AddAction("delete", "&Delete", QKeySequence(Qt::Key_Delete), &CMainFrame::OnDelete);
    AddAction("rename", "Rena&me\tF2", QKeySequence(Qt::Key_F2), &CMainFrame::OnRename);
    AddAction("searchRestore", "Search and &Restore", none, &CMainFrame::OnSearchRestore);
    AddAction("exit", "E&xit", none, &CMainFrame::OnExit);
    // Project: the property pages, addresses, timer list, record backup, address
    AddAction("basic", "&Basic\tF3", QKeySequence(Qt::Key_F3), &CMainFrame::OnProperties);
    AddAction("urlFilter", "&URL Filter\tF4", QKeySequence(Qt::Key_F4), &CMainFrame::OnProperties);
    AddAction("fileFilter", "&File Filter\tF6", QKeySequence(Qt::Key_F6),
              &CMainFrame::OnProperties);
    AddAction("download", "&Download\tF7", QKeySequence(Qt::Key_F7), &CMainFrame::OnProperties);
    AddAction("linkage", "&Linkage\tF8", QKeySequence(Qt::Key_F8), &CMainFrame::OnProperties);
    AddAction("proxy", "&Proxy\tF9", QKeySequence(Qt::Key_F9), &CMainFrame::OnProperties);
    AddAction("advanced", "Ad&vanced\tF10", QKeySequence(Qt::Key_F10), &CMainFrame::OnProperties);
    AddAction("properties", "P&roperties", none, &CMainFrame::OnProperties);
    AddAction("standAlone", "&Stand-alone Address", none, &CMainFrame::OnStandAloneAddress);
    AddAction("child", "&Child Address", none, &CMainFrame::OnChildAddress);
    AddAction("addToTimer", "&Add to Download Timer", none, &CMainFrame::OnAddToTimer);
    AddAction("deleteFromTimer", "D&elete from Download Timer", none,
              &CMainFrame::OnDeleteFromTimer);
    AddAction("backupLatest", "Backup Latest &Record", none, &CMainFrame::OnBackupLatest);
    AddAction("copyUrl", "&Copy URL", none, &CMainFrame::OnCopyUrl);
    AddAction("browseOnline", "Browse &Online", none, &CMainFrame::OnBrowseOnline);
    // Download
    AddAction("start", "&Start\tCtrl+S", QKeySequence(Qt::CTRL | Qt::Key_S), &CMainFrame::OnStart);
    AddAction("stop", "Sto&p\tCtrl+P", QKeySequence(Qt::CTRL | Qt::Key_P), &CMainFrame::OnStop);
    AddAction("resume", "&Resume\tCtrl+R", QKeySequence(Qt::CTRL | Qt::Key_R),
              &CMainFrame::OnResume);
    AddAction("update", "&Update", none, &CMainFrame::OnUpdate);
    AddAction("startAll", "Start A&ll", none, &CMainFrame::OnStartAll);
    AddAction("stopAll", "Stop &All", none, &CMainFrame::OnStopAll);
    // Task, Option
    AddAction("timer", "Download/Stop", none, &CMainFrame::OnTimerDialog);
    AddAction("defaultProxy", "Default &Proxy Server", none, &CMainFrame::OnDefaultProxy);
    AddAction("defaultDir", "Default &Directory", none, &CMainFrame::OnDefaultDir);
    AddAction("moreOptions", "More &Options...", none, &CMainFrame::OnMoreOptions);
    AddAction("defaultSettings", "Default &Settings", none, &CMainFrame::OnDefaultSettings);
    AddAction("browserIntegration", "Browser &Integration", none, &CMainFrame::OnBrowserIntegration)
        ->setCheckable(true);
    AddAction("clipMonitor", "Clipboard &Monitor", none, &CMainFrame::OnClipMonitor)
        ->setCheckable(true);
    AddAction("autoRun", "Auto &Run", none, &CMainFrame::OnAutoRun)->setCheckable(true);
    AddAction("autoHangUp", "Auto &Hang Up", none, &CMainFrame::OnAutoHangUp)->setCheckable(true);
    AddAction("autoShutdown", "Auto Sh&utdown", none, &CMainFrame::OnAutoShutdown)
        ->setCheckable(true);
    Action("autoHangUp")->setChecked(m_settings.AutoHangUp);
    Action("autoShutdown")->setChecked(m_settings.AutoShutdown);
    Action("addToTimer")->setCheckable(true);
    // Record list
    AddAction("viewIndex", "&View Index", none, &CMainFrame::OnViewIndex);
    AddAction("deleteRecords", "&Delete", none, &CMainFrame::OnDeleteRecords);
    AddAction("deleteLogs", "D&elete Logs", none, &CMainFrame::OnDeleteLogs);
    AddAction("convertLocal", "&Local Address", none, &CMainFrame::OnConvertLocal);
    AddAction("convertAbsolute", "Absolute &URL", none, &CMainFrame::OnConvertAbsolute);
    // Thread list
    AddAction("abortThread", "&Abort", none, &CMainFrame::OnAbortThread);
    AddAction("copyThreadUrl", "&Copy URL", none, &CMainFrame::OnCopyThreadUrl);
    // Help
    AddAction("help", "&Help\tF1", QKeySequence(Qt::Key_F1), &CMainFrame::OnHelp);
    AddAction("sendEmail", "&Send Email...", none, &CMainFrame::OnSendEmail);
    AddAction("recommend", "Recommend &to...", none, &CMainFrame::OnRecommend);
    AddAction("about", "&About", none, &CMainFrame::OnAbout);

    // The shortcut text is Qt's to show; the captions keep only the name.
    for (auto& [name, action] : m_actions) {
        action->setText(action->text().section(QLatin1Char('\t'), 0, 0));
    }
    Action("start")->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    Action("stop")->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    Action("resume")->setIcon(style()->standardIcon(QStyle::SP_MediaSeekForward));
    Action("newFolder")->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
    Action("newProject")->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    Action("import")->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    Action("export")->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    Action("properties")->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    Action("delete")->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
}

void CMainFrame::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QMenu* fresh = file->addMenu(QStringLiteral("&New"));
    fresh->addAction(Action("newFolder"));
    fresh->addAction(Action("newProject"));
    file->addSeparator();
    for (const char* name : {"import", "export", "delete", "rename"}) {
        file->addAction(Action(name));
    }
    file->addSeparator();
    file->addAction(Action("searchRestore"));
    file->addSeparator();
    file->addAction(Action("exit"));

    QMenu* project = menuBar()->addMenu(QStringLiteral("&Project"));
    for (const char* name :
         {"basic", "urlFilter", "fileFilter", "download", "linkage", "proxy", "advanced"}) {
        project->addAction(Action(name));
    }
    project->addSeparator();
    project->addAction(Action("standAlone"));
    project->addAction(Action("child"));
    project->addSeparator();
    project->addAction(Action("addToTimer"));
    project->addAction(Action("backupLatest"));
    project->addAction(Action("copyUrl"));

    QMenu* download = menuBar()->addMenu(QStringLiteral("&Download"));
    for (const char* name : {"start", "stop", "resume"}) {
        download->addAction(Action(name));
    }
    download->addSeparator();
    download->addAction(Action("startAll"));
    download->addAction(Action("stopAll"));

    QMenu* task = menuBar()->addMenu(QStringLiteral("&Task"));
    task->addMenu(QStringLiteral("Timer"))->addAction(Action("timer"));

    QMenu* option = menuBar()->addMenu(QStringLiteral("&Option"));
    for (const char* name : {"defaultProxy", "defaultDir", "moreOptions"}) {
        option->addAction(Action(name));
    }
    option->addAction(Action("defaultSettings"));
    option->addSeparator();
    for (const char* name : {"browserIntegration", "clipMonitor", "autoRun"}) {
        option->addAction(Action(name));
    }
    option->addSeparator();
    option->addAction(Action("autoHangUp"));
    option->addAction(Action("autoShutdown"));

    m_actions["viewMenu"] = menuBar()->addMenu(QStringLiteral("&View"))->menuAction();

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(Action("help"));
    help->addSeparator();
    help->addAction(Action("sendEmail"));
    help->addAction(Action("recommend"));
    help->addSeparator();
    help->addAction(Action("about"));
}

void CMainFrame::BuildToolBar() {
    QToolBar* tools = addToolBar(QStringLiteral("Toolbar"));
    tools->setObjectName(QStringLiteral("toolbar"));
    tools->setIconSize(QSize(20, 20));
    tools->setMovable(false);
    for (const char* name : {"newFolder", "newProject", "import", "export", "properties", "delete",
                             "start", "stop", "resume"}) {
        tools->addAction(Action(name));
    }
    // The thin empty bar below the toolbar.
    addToolBarBreak();
    QToolBar* thin = addToolBar(QStringLiteral("Bar"));
    thin->setObjectName(QStringLiteral("thinBar"));
    thin->setFixedHeight(4);
    thin->setMovable(false);
    thin->toggleViewAction()->setVisible(false);

    QMenu* view = m_actions["viewMenu"]->menu();
    QAction* showTools = tools->toggleViewAction();
    showTools->setText(QStringLiteral("&Toolbar"));
    view->addAction(showTools);
    auto* showStatus = new QAction(QStringLiteral("&Status Bar"), this);
    showStatus->setCheckable(true);
    showStatus->setChecked(true);
    connect(showStatus, &QAction::toggled, this,
            [this](bool shown) { statusBar()->setVisible(shown); });
    view->addAction(showStatus);
}

void CMainFrame::BuildStatusBar() {
    statusBar()->showMessage(QStringLiteral("Ready"));
    const CRunTotals none;
    const std::string texts[] = {QueuePaneText(none), DownloadedPaneText(none), SpeedPaneText(0)};
    for (int i = 0; i < 3; ++i) {
        m_panes[i] = new QLabel(Q(texts[i]));
        m_panes[i]->setObjectName(QStringLiteral("pane%1").arg(i + 1));
        m_panes[i]->setMinimumWidth(kPaneWidths[i]);
        statusBar()->addPermanentWidget(m_panes[i]);
    }
}

QString CMainFrame::PaneText(int pane) const {
    return pane >= 1 && pane <= 3 ? m_panes[pane - 1]->text() : QString();
}

CProjectSettings* CMainFrame::SelectedProject() const {
    return m_selected && m_selected->IsProject() ? m_selected->project : nullptr;
}

CDownloadTask* CMainFrame::SelectedTask() const {
    const CProjectSettings* project = SelectedProject();
    if (!project || m_tasks->StateOf(*project) != ProjectRunState::Running) {
        return nullptr;
    }
    return m_tasks->TaskOf(*project);
}

void CMainFrame::OnNodeSelected(CTreeNode* node) {
    DetachRun();
    m_formChannel->Empty();
    m_formDetail->Empty();
    m_selected = node;
    if (SelectedProject()) {
        m_formDetail->Fill({}, RecordOrderFor(m_settings.RecordListSort));
        RefreshDetail();
        if (SelectedTask()) {
            AttachRun();
        }
    }
    UpdateCommands();
}

void CMainFrame::AttachRun() {
    CDownloadTask* task = SelectedTask();
    if (!task) {
        return;
    }
    m_attached = true;
    m_formChannel->CreateRows(task->Settings().DownthreadNum);
    RefreshDetail();
    RefreshChannel();
    m_detailTimer.start();
    m_channelTimer.start();
}

void CMainFrame::DetachRun() {
    m_attached = false;
    m_detailTimer.stop();
    m_channelTimer.stop();
}

void CMainFrame::RefreshDetail() {
    const CProjectSettings* project = SelectedProject();
    if (!project) {
        return;
    }
    CLiveRecord live;
    const CDownloadTask* task = m_attached ? SelectedTask() : nullptr;
    if (task) {
        const CTaskSnapshot run = task->Snapshot();
        live.downloaded = run.downloaded;
        live.totalFiles = run.totalFiles;
        live.downloadQueue = run.downloadQueue;
        live.elapsedSeconds =
            run.elapsedTime + (run.startTime > 0 ? SystemClock().Now() - run.startTime : 0);
    }
    const std::vector<CRecordRow> rows =
        RecordRowsOf(project->ProjectDir, ReadRecordList(project->ProjectDir),
                     task ? &live : nullptr, LocaleStartTime);
    m_formDetail->Update(rows, RecordOrderFor(m_settings.RecordListSort));
}

void CMainFrame::RefreshChannel() {
    const CDownloadTask* task = m_attached ? SelectedTask() : nullptr;
    if (!task) {
        return;
    }
    const CTaskSnapshot run = task->Snapshot();
    for (int i = 0; i < m_formChannel->RowCount(); ++i) {
        const std::size_t slot = static_cast<std::size_t>(i);
        m_formChannel->UpdateRow(
            i, ThreadRowOf(i, slot < run.slots.size() ? run.slots[slot] : CSlotView{}));
    }
    UpdateCommands(); // Stop is offered once the run's monitor is up
}

void CMainFrame::OnSpeedTick() {
    if (m_tasks->RunningCount() == 0) {
        m_speedTimer.stop(); // the panes keep their last texts
        return;
    }
    const CStatusTicker::Due due =
        m_ticker.Tick(SystemClock().MonotonicMs(), CBlockingSocket::TotalReceivedBytes());
    if (due.panes) {
        WritePanes();
    }
    if (due.speed) {
        m_panes[2]->setText(Q(SpeedPaneText(due.kilobytesPerSecond)));
    }
}

void CMainFrame::WritePanes() {
    CRunTotals totals;
    for (const CDownloadTask* task : m_tasks->RunningTasks()) {
        totals.downloadQueue += task->DownloadQueue().Count();
        totals.parseQueue += task->ParseQueue().Count();
        totals.downloaded += task->counters.Downloaded.load();
    }
    m_panes[0]->setText(Q(QueuePaneText(totals)));
    m_panes[1]->setText(Q(DownloadedPaneText(totals)));
}

void CMainFrame::UpdateCommands() {
    const CNodeCommands commands = CommandsFor(m_selected, [this](const CProjectSettings& project) {
        return m_runs.StopAllowed(project);
    });
    const bool project = SelectedProject() != nullptr;
    Action("start")->setEnabled(commands.start);
    Action("resume")->setEnabled(commands.start);
    Action("update")->setEnabled(commands.start);
    Action("stop")->setEnabled(commands.stop);
    Action("export")->setEnabled(commands.exportItem);
    Action("rename")->setEnabled(commands.rename);
    Action("properties")->setEnabled(commands.properties);
    for (const char* page :
         {"basic", "urlFilter", "fileFilter", "download", "linkage", "proxy", "advanced"}) {
        Action(page)->setEnabled(commands.properties);
    }
    Action("standAlone")->setEnabled(commands.newAddress);
    Action("child")->setEnabled(commands.newAddress);
    // On a project the command is a switch that shows whether it is on the list.
    const bool onTimer = project && commands.removeFromTimer;
    Action("addToTimer")->setEnabled(commands.addToTimer || onTimer);
    Action("addToTimer")->setChecked(onTimer);
    Action("deleteFromTimer")->setEnabled(commands.removeFromTimer);
    Action("backupLatest")->setEnabled(commands.backupLatest);
    Action("copyUrl")->setEnabled(commands.copyUrl);
    Action("browseOnline")->setEnabled(commands.copyUrl);
    const bool records = project && !m_formDetail->SelectedRecords().empty();
    Action("viewIndex")->setEnabled(records);
    Action("deleteRecords")->setEnabled(records);
    Action("deleteLogs")->setEnabled(records);
    Action("convertLocal")->setEnabled(records);
    Action("convertAbsolute")->setEnabled(records);
    const bool thread = m_attached && m_formChannel->SelectedThread() >= 0;
    Action("abortThread")->setEnabled(thread);
    Action("copyThreadUrl")->setEnabled(thread);
    // Delete serves the record list when it has the focus, else the tree.
    Action("delete")->setEnabled(m_formDetail->hasFocus() ? records : commands.deleteItem);
}

void CMainFrame::HandleTaskMessage(const CTaskMessage& message) {
    m_tasks->HandleTaskMessage(message);
    m_formTree->RefreshKinds();
    UpdateCommands();
}

void CMainFrame::OnProjectState(const CProjectSettings* project, ProjectRunState state) {
    m_formTree->RefreshKinds();
    if (project && project == SelectedProject() && state != ProjectRunState::Running) {
        DetachRun();
        QTimer::singleShot(0, this, [this] { RefreshDetail(); });
    }
    UpdateCommands();
}

void CMainFrame::OnTaskMessage(const CTaskMessage& message, CDownloadTask& task) {
    const CProjectSettings* project = SelectedProject();
    const bool selected = project && m_tasks->TaskOf(*project) == &task;
    switch (message.message) {
    case TaskMessage::Started:
        if (selected) {
            AttachRun();
        }
        if (m_tasks->RunningCount() >= 1 && !m_speedTimer.isActive()) {
            m_ticker.Reset(SystemClock().MonotonicMs(), CBlockingSocket::TotalReceivedBytes());
            m_speedTimer.start();
        }
        break;
    case TaskMessage::StartPage:
        if (selected) {
            RefreshDetail();
        }
        break;
    default:
        // The panes keep the figures the run ended with (it still counts among the running).
        WritePanes();
        if (selected) {
            // The last figures of the run, then the lists stand still.
            RefreshChannel();
            DetachRun();
        }
        break;
    }
}

void CMainFrame::OnBreakPointProgress(CDownloadTask&, int position, int range) {
    if (!m_breakPointDialog) {
        m_breakPointDialog = new QProgressDialog(this);
        m_breakPointDialog->setObjectName(QStringLiteral("saveBreakPoint"));
        m_breakPointDialog->setWindowTitle(QStringLiteral("Save break point"));
        m_breakPointDialog->setLabelText(
            QStringLiteral("Saving break point information to log file..."));
        m_breakPointDialog->setCancelButton(nullptr);
        m_breakPointDialog->setMinimumDuration(0);
        m_breakPointDialog->setAutoClose(false);
        m_breakPointDialog->setAutoReset(false);
    }
    m_breakPointDialog->setRange(0, range > 0 ? range : 1);
    m_breakPointDialog->setValue(range > 0 ? position : 0);
    if (position >= range) {
        m_breakPointDialog->setProperty("shownTimes",
                                        m_breakPointDialog->property("shownTimes").toInt() + 1);
        m_breakPointDialog->hide();
    } else if (!m_breakPointDialog->isVisible()) {
        m_breakPointDialog->show();
    }
}

void CMainFrame::ConvertLinks(CDownloadTask&) {
    if (!m_conversionTimer.isActive()) {
        m_conversionTimer.start();
    }
}

void CMainFrame::ShowConversionProgress() {
    const CConversionProgress progress = m_tasks->ConversionQueue().Progress();
    if (!progress.busy) {
        m_conversionTimer.stop();
        if (m_conversionDialog) {
            m_conversionDialog->hide();
        }
        if (SelectedProject()) {
            RefreshDetail();
        }
        m_automation->ConversionsEnded(m_tasks->RunningCount() > 0 || m_tasks->WaitingCount() > 0);
        return;
    }
    if (!m_conversionDialog) {
        m_conversionDialog = new QProgressDialog(this);
        m_conversionDialog->setObjectName(QStringLiteral("convertLinks"));
        m_conversionDialog->setWindowTitle(QStringLiteral("Convert Links"));
        m_conversionDialog->setMinimumDuration(0);
        m_conversionDialog->setAutoClose(false);
        m_conversionDialog->setAutoReset(false);
        connect(m_conversionDialog, &QProgressDialog::canceled, this,
                [this] { m_tasks->ConversionQueue().CancelAll(); });
    }
    QString text = QString::fromStdString(progress.record);
    text = QStringLiteral("Download record : %1\nTotal files     : %2\nDone            : %3")
               .arg(text)
               .arg(progress.totalPages)
               .arg(progress.donePages);
    m_conversionDialog->setLabelText(text);
    m_conversionDialog->setRange(0, progress.totalPages > 0 ? progress.totalPages : 0);
    m_conversionDialog->setValue(progress.donePages);
    if (!m_conversionDialog->isVisible()) {
        m_conversionDialog->show();
    }
}

bool CMainFrame::OnAllTasksEnded(bool runStartsConversion) {
    const bool leaveOutNotice =
        m_automation->AllRunsEnded(runStartsConversion, !m_tasks->ConversionQueue().IsIdle());
    Q_EMIT allTasksEnded();
    return leaveOutNotice;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    const std::string refusal = m_runs.CloseRefusal();
    if (!refusal.empty()) {
        m_prompter->Information(refusal);
        event->ignore();
        return;
    }
    std::string error;
    if (!m_tree.SaveAll(error)) {
        m_prompter->Error(error);
    }
    const QList<int> outer = m_outerSplitter->sizes();
    const QList<int> right = m_rightSplitter->sizes();
    if (!outer.isEmpty() && outer.front() > 0) {
        m_settings.Splitter1CX = outer.front();
    }
    if (!right.isEmpty() && right.front() > 0) {
        m_settings.Splitter2CX = right.front();
    }
    SaveAppSettingsTold(m_settings, m_options.workDir, *m_prompter);
    RemoveFileIfExists(HandOverFilePath(m_options.workDir));
    event->accept();
}

} // namespace torvex
