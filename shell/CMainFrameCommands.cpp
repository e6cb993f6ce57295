// The commands of the main window: each forwards to app/ or the core and shows the outcome.

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMetaObject>
#include <QUrl>

#include "app/NodeCommands.h"
#include "app/StartUp.h"
#include "app/WindowTexts.h"
#include "engine/CDownloadTask.h"
#include "engine/IPrompter.h"
#include "engine/Records.h"
#include "engine/RunEndCode.h"
#include "platform/FileSystem.h"
#include "shell/CDesktop.h"
#include "shell/CFormChannel.h"
#include "shell/CFormDetail.h"
#include "shell/CFormTree.h"
#include "shell/CMainFrame.h"
#include "url/CUrl.h"

namespace torvex {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr std::string_view kNotYetText = "This command is not available in this version yet.";
constexpr std::string_view kRecommendSubject = "Have you tried \"Torvex\"?";
constexpr std::string_view kFeedbackSubject = "Feedback of Torvex 0.93";

} // namespace

void CMainFrame::RunSelected(RunCommand command) {
    if (m_selected) {
        StartProjects(*m_selected, command);
    }
}

void CMainFrame::OnStart() {
    RunSelected(RunCommand::Start);
}
void CMainFrame::OnResume() {
    RunSelected(RunCommand::Resume);
}
void CMainFrame::OnUpdate() {
    RunSelected(RunCommand::Update);
}

void CMainFrame::OnStop() {
    if (m_selected) {
        m_runs.Stop(*m_selected);
        UpdateCommands();
    }
}

void CMainFrame::OnStartAll() {
    PrepareStart();
    m_runs.StartAll();
    m_formTree->RefreshKinds();
    UpdateCommands();
}

void CMainFrame::OnStopAll() {
    m_runs.StopAll();
    UpdateCommands();
}

void CMainFrame::OnDelete() {
    if (m_formDetail->hasFocus()) {
        OnDeleteRecords();
    } else {
        OnDeleteNode();
    }
}

void CMainFrame::OnViewIndex() {
    const CProjectSettings* project = SelectedProject();
    const std::vector<std::string> names = m_formDetail->SelectedRecords();
    if (!project || names.empty()) {
        return;
    }
    for (const CRecordRow& row : m_formDetail->Rows()) {
        if (row.name != names.front()) {
            continue;
        }
        CRecordInfo record;
        record.IsLatest = row.isLatest;
        record.RecordTime = row.recordTime;
        const std::string path = RecordIndexPath(project->ProjectDir, record);
        if (!FileExists(path)) {
            m_prompter->Information("Sorry. File \"" + path + "\" does not exist.");
            return;
        }
        if (m_settings.HTMLOpenMethod && !m_settings.HTMLOpenWith.empty() &&
            m_desktop->StartProgram(Q(m_settings.HTMLOpenWith), Q(path))) {
            return;
        }
        m_desktop->OpenUrl(QUrl::fromLocalFile(Q(path)).toString());
        return;
    }
}

void CMainFrame::OnDeleteRecords() {
    const CProjectSettings* project = SelectedProject();
    const std::vector<std::string> names = m_formDetail->SelectedRecords();
    if (!project || names.empty() || !m_prompter->AskYesNo(kDeleteRecordsQuestion, true)) {
        return;
    }
    DeleteRecords(project->ProjectDir, names);
    OnNodeSelected(m_selected);
}

void CMainFrame::OnDeleteLogs() {
    const CProjectSettings* project = SelectedProject();
    const std::vector<std::string> names = m_formDetail->SelectedRecords();
    if (!project || names.empty() || !m_prompter->AskYesNo(kDeleteLogsQuestion, true)) {
        return;
    }
    DeleteRecordLogs(project->ProjectDir, names);
    OnNodeSelected(m_selected);
}

void CMainFrame::OnConvertLocal() {
    ConvertSelectedRecords(false);
}
void CMainFrame::OnConvertAbsolute() {
    ConvertSelectedRecords(true);
}

void CMainFrame::ConvertSelectedRecords(bool absolute) {
    const CProjectSettings* project = SelectedProject();
    if (!project) {
        return;
    }
    const std::vector<std::string> names = m_formDetail->SelectedRecords();
    const std::vector<CRecordInfo> records = ReadRecordList(project->ProjectDir);
    for (const std::string& name : names) {
        for (const CRecordInfo& record : records) {
            if (RecordName(record) != name) {
                continue;
            }
            CConversionJob job;
            job.projectDir = project->ProjectDir;
            job.record = name;
            job.linkMode = absolute ? LinkMode::Absolute : LinkMode::Local;
            job.appendHtml = project->AutoExt;
            job.hasRenamedFile = record.HasRenamedFile;
            job.timeLimit = record.EndTime;
            m_tasks->ConversionQueue().Start(job);
        }
    }
    if (!m_conversionTimer.isActive()) {
        m_conversionTimer.start();
    }
}

void CMainFrame::OnAbortThread() {
    CDownloadTask* task = m_attached ? SelectedTask() : nullptr;
    const int index = m_formChannel->SelectedThread();
    if (task && index >= 0 && index < task->UsedSlots()) {
        task->StopWorker(index, false);
    }
}

void CMainFrame::OnCopyThreadUrl() {
    const int index = m_formChannel->SelectedThread();
    if (index >= 0 && index < m_formChannel->RowCount()) {
        m_clipboardWatch.IgnoreNextChange(); // our own copy is no address from outside
        m_desktop->SetClipboardText(Q(m_formChannel->Row(index).url));
    }
}

void CMainFrame::OnCopyUrl() {
    const CProjectSettings* project = SelectedProject();
    if (project && !project->Addresses.empty()) {
        m_clipboardWatch.IgnoreNextChange();
        m_desktop->SetClipboardText(Q(project->Addresses.front().StartURL));
    }
}

void CMainFrame::OnBrowseOnline() {
    const CProjectSettings* project = SelectedProject();
    if (!project || project->Addresses.empty()) {
        return;
    }
    const CStartAddress& first = project->Addresses.front();
    std::string address;
    ExpandDateMacro(first.StartURL, first.DateFormat, address);
    m_desktop->OpenUrl(Q(address));
}

void CMainFrame::OnBackupLatest() {
    CTreeNode* node = m_selected;
    const CProjectSettings* project = SelectedProject();
    if (!project || !node || !IsIdleProject(*node)) {
        return;
    }
    if (!BackupLatestRecord(project->ProjectDir)) {
        m_prompter->Error(
            StartFailureText(static_cast<int>(RunEndCode::BackupFailed), project->Name));
    }
    OnNodeSelected(m_selected);
}

void CMainFrame::OnHelp() {
    const std::string manual = ManualPath(m_options.workDir);
    if (manual.empty()) {
        m_prompter->Information("Sorry. File \"" + m_options.workDir + "/" +
                                std::string(kManualName) + "\" does not exist.");
        return;
    }
    m_desktop->OpenUrl(QUrl::fromLocalFile(Q(manual)).toString());
}

void CMainFrame::OnSendEmail() {
    m_desktop->OpenUrl(
        QStringLiteral("mailto:?subject=") +
        QString::fromUtf8(QUrl::toPercentEncoding(Q(std::string(kFeedbackSubject)))));
}

void CMainFrame::OnRecommend() {
    m_desktop->OpenUrl(
        QStringLiteral("mailto:?subject=%1&body=%2")
            .arg(QString::fromUtf8(QUrl::toPercentEncoding(Q(std::string(kRecommendSubject)))),
                 QString::fromUtf8(QUrl::toPercentEncoding(
                     QStringLiteral("Torvex, a web-site downloader. Version %1")
                         .arg(Q(std::string(kProgramVersion)))))));
}

void CMainFrame::OnAbout() {
    QMessageBox::about(this, QStringLiteral("About Torvex"),
                       QStringLiteral("Torvex\n%1").arg(Q(std::string(kAboutVersionText))));
}

void CMainFrame::OnExit() {
    close();
}

void CMainFrame::NotYet() {
    m_prompter->Information(kNotYetText);
}

void CMainFrame::Activate() {
    if (isMinimized() || !isVisible()) {
        showMaximized();
    }
    raise();
    activateWindow();
}

bool CMainFrame::OpenInstanceChannel() {
    return m_channel->Start(InstanceSocketPath(m_options.workDir));
}

void CMainFrame::ShowTreeMenu(const QPoint& at) {
    CTreeNode* node = NodeOfItem(m_formTree->itemAt(at));
    if (!node) {
        return;
    }
    if (node != m_selected) {
        m_formTree->Select(node);
    }
    QMenu menu(this);
    if (node->IsProject()) {
        for (const char* name : {"start", "stop"}) {
            menu.addAction(Action(name));
        }
        menu.addSeparator();
        for (const char* name : {"export", "delete", "rename"}) {
            menu.addAction(Action(name));
        }
        menu.addSeparator();
        menu.addAction(Action("standAlone"));
        menu.addAction(Action("child"));
        menu.addAction(Action("addToTimer"));
        menu.addAction(Action("backupLatest"));
        menu.addSeparator();
        menu.addAction(Action("browseOnline"));
        menu.addAction(Action("copyUrl"));
        menu.addSeparator();
        menu.addAction(Action("properties"));
    } else {
        menu.addAction(Action("newFolder"));
        menu.addAction(Action("newProject"));
        menu.addAction(Action("import"));
        menu.addAction(Action("export"));
        menu.addSeparator();
        menu.addAction(Action("start"));
        menu.addAction(Action("stop"));
        menu.addSeparator();
        menu.addAction(Action("addToTimer"));
        menu.addAction(Action("deleteFromTimer"));
        menu.addSeparator();
        menu.addAction(Action("delete"));
        menu.addAction(Action("rename"));
    }
    menu.exec(m_formTree->viewport()->mapToGlobal(at));
}

void CMainFrame::ShowRecordMenu(const QPoint& at) {
    UpdateCommands();
    QMenu menu(this);
    menu.addAction(Action("viewIndex"));
    menu.addSeparator();
    menu.addAction(Action("deleteRecords"));
    menu.addAction(Action("deleteLogs"));
    QMenu* convert = menu.addMenu(QStringLiteral("Convert Links"));
    convert->addAction(Action("convertLocal"));
    convert->addAction(Action("convertAbsolute"));
    convert->setEnabled(Action("convertLocal")->isEnabled());
    menu.addSeparator();
    menu.addAction(Action("resume"));
    menu.addAction(Action("update"));
    menu.exec(m_formDetail->viewport()->mapToGlobal(at));
}

void CMainFrame::ShowThreadMenu(const QPoint& at) {
    UpdateCommands();
    QMenu menu(this);
    menu.addAction(Action("abortThread"));
    menu.addAction(Action("copyThreadUrl"));
    menu.exec(m_formChannel->viewport()->mapToGlobal(at));
}

} // namespace torvex
