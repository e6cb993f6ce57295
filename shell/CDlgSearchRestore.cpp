#include "shell/CDlgSearchRestore.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "engine/IPrompter.h"
#include "platform/Clock.h"
#include "shell/CTreeDialogs.h"
#include "shell/DialogFields.h"

namespace torvex {

namespace {

QPushButton *MakeButton(const QString &text, const char *name) {
    auto *button = new QPushButton(text);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

CDlgSearchRestore::CDlgSearchRestore(CProjectTree &tree, CTreeNode &fallback,
                                     std::vector<CSearchLocation> locations, IPrompter &prompter,
                                     QWidget *parent)
    : QDialog(parent), m_tree(tree), m_fallback(fallback), m_locations(std::move(locations)),
      m_prompter(prompter) {
    setObjectName(QStringLiteral("searchRestoreDialog"));
    setWindowTitle(QStringLiteral("Search and Restore"));

    m_location = new QComboBox;
    m_location->setObjectName(QStringLiteral("location"));
    m_location->setEditable(true);
    m_location->setInsertPolicy(QComboBox::NoInsert);
    for (std::size_t i = 0; i < m_locations.size(); ++i) {
        const QStyle::StandardPixmap icon =
            i == 0 ? QStyle::SP_ComputerIcon : QStyle::SP_DriveHDIcon;
        m_location->addItem(style()->standardIcon(icon), Q(m_locations[i].text));
    }
    m_location->setMinimumWidth(360);
    m_browse = MakeButton(QStringLiteral("Browse..."), "browse");
    m_start = MakeButton(QStringLiteral("Start"), "start");
    m_stop = MakeButton(QStringLiteral("Stop"), "stop");

    m_results = new QTreeWidget;
    m_results->setObjectName(QStringLiteral("results"));
    m_results->setRootIsDecorated(false);
    m_results->setAllColumnsShowFocus(true);
    m_results->setHeaderLabels({QStringLiteral("Project Name"), QStringLiteral("In Folder"),
                                QStringLiteral("Project Directory")});
    m_results->header()->resizeSection(0, 120);
    m_results->header()->resizeSection(1, 180);
    m_results->header()->resizeSection(2, 390);
    connect(m_results, &QTreeWidget::itemChanged, this, [this] { TakeChecks(); });

    m_originalFolders =
        new QCheckBox(QStringLiteral("Restore the original parent folder of the project"));
    m_originalFolders->setObjectName(QStringLiteral("originalFolders"));
    m_selectAll = MakeButton(QStringLiteral("Select All"), "selectAll");
    m_unselectAll = MakeButton(QStringLiteral("Unselect All"), "unselectAll");
    m_restoreButton = MakeButton(QStringLiteral("Restore"), "restore");
    m_close = MakeButton(QStringLiteral("Close"), "close");
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setMinimumWidth(300);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Look in:")));
    top->addWidget(m_location, 1);
    top->addWidget(m_browse);
    top->addWidget(m_start);
    top->addWidget(m_stop);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_selectAll);
    bottom->addWidget(m_unselectAll);
    bottom->addStretch(1);
    bottom->addWidget(m_restoreButton);
    bottom->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_results, 1);
    layout->addWidget(m_originalFolders);
    layout->addLayout(bottom);
    layout->addWidget(m_status);
    resize(760, 460);

    connect(m_browse, &QPushButton::clicked, this, &CDlgSearchRestore::OnBrowse);
    connect(m_start, &QPushButton::clicked, this, &CDlgSearchRestore::OnStart);
    connect(m_stop, &QPushButton::clicked, this, &CDlgSearchRestore::OnStop);
    connect(m_selectAll, &QPushButton::clicked, this, [this] {
        m_search.SelectAll(true);
        FillRows();
    });
    connect(m_unselectAll, &QPushButton::clicked, this, [this] {
        m_search.SelectAll(false);
        FillRows();
    });
    connect(m_restoreButton, &QPushButton::clicked, this, &CDlgSearchRestore::OnRestore);
    connect(m_close, &QPushButton::clicked, this, &CDlgSearchRestore::reject);
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &CDlgSearchRestore::OnPoll);
    m_pause.setSingleShot(true);
    m_pause.setInterval(kRestorePauseMs);
    connect(&m_pause, &QTimer::timeout, this, &CDlgSearchRestore::RestoreStep);
    EnableControls();
}

QPushButton *CDlgSearchRestore::Button(const char *name) const {
    return findChild<QPushButton *>(QLatin1String(name));
}

void CDlgSearchRestore::EnableControls() {
    const bool busy = m_searching || m_restore != nullptr;
    m_location->setEnabled(!busy);
    m_browse->setEnabled(!busy);
    m_start->setEnabled(!busy);
    m_stop->setEnabled(m_searching);
    m_restoreButton->setEnabled(!busy && !m_search.Rows().empty());
    m_selectAll->setEnabled(!busy);
    m_unselectAll->setEnabled(!busy);
}

void CDlgSearchRestore::OnBrowse() {
    const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("Select folder"),
                                                             m_location->currentText());
    if (chosen.isEmpty()) {
        return;
    }
    m_location->addItem(style()->standardIcon(QStyle::SP_DirIcon), chosen);
    m_location->setCurrentIndex(m_location->count() - 1);
}

void CDlgSearchRestore::OnStart() {
    std::vector<std::string> paths;
    std::string error;
    if (!ResolveSearchLocation(S(m_location->currentText().trimmed()), m_locations, paths, error)) {
        m_prompter.Warning(error);
        return;
    }
    if (!m_search.Start(std::move(paths), TreeProjectDirectories(m_tree))) {
        return;
    }
    m_searching = true;
    EnableControls();
    m_poll.start();
}

void CDlgSearchRestore::OnStop() {
    m_search.Stop();
}

void CDlgSearchRestore::OnPoll() {
    const std::size_t before = m_search.Rows().size();
    const bool ended = m_search.Poll();
    m_status->setText(Q(m_search.StatusText()));
    if (m_search.Rows().size() != before) {
        FillRows();
    }
    if (ended) {
        m_poll.stop();
        m_searching = false;
        EnableControls();
    }
}

void CDlgSearchRestore::FillRows() {
    const QSignalBlocker block(m_results);
    m_results->clear();
    for (const CFoundProject &row : m_search.Rows()) {
        auto *item = new QTreeWidgetItem(m_results);
        item->setText(0, Q(row.name));
        item->setText(1, Q(row.folders));
        item->setText(2, Q(row.directory));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
    }
    EnableControls();
}

void CDlgSearchRestore::TakeChecks() {
    std::vector<CFoundProject> &rows = m_search.Rows();
    for (int i = 0; i < m_results->topLevelItemCount() && i < static_cast<int>(rows.size()); ++i) {
        rows[static_cast<std::size_t>(i)].checked =
            m_results->topLevelItem(i)->checkState(0) == Qt::Checked;
    }
}

void CDlgSearchRestore::OnRestore() {
    if (m_searching || m_restore) {
        return;
    }
    TakeChecks();
    m_restore = std::make_unique<CProjectRestore>(
        m_tree, m_search.Rows(), m_fallback, m_originalFolders->isChecked(), m_prompter,
        static_cast<INameAsker &>(*this), static_cast<std::int32_t>(SystemClock().Now()));
    EnableControls();
    RestoreStep();
}

void CDlgSearchRestore::RestoreStep() {
    if (!m_restore) {
        return;
    }
    const CRestoreStep step = m_restore->Next();
    if (!step.status.empty()) {
        m_status->setText(Q(step.status));
    }
    if (step.done) {
        m_status->setText(Q(RestoredText(m_restore->Restored())));
        m_restore.reset();
        FillRows();
        return;
    }
    if (step.added != nullptr) {
        FillRows();
        Q_EMIT projectRestored(step.added);
        m_pause.start();
        return;
    }
    FillRows();
    QTimer::singleShot(0, this, &CDlgSearchRestore::RestoreStep);
}

bool CDlgSearchRestore::AskName(std::string &name, std::size_t capacity) {
    CDlgName dialog(QStringLiteral("Rename"), QStringLiteral("New name"), name, capacity, nullptr,
                    m_prompter, this);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    name = dialog.Name();
    return true;
}

void CDlgSearchRestore::reject() {
    if (m_searching) {
        return; // a running search is stopped first
    }
    m_pause.stop();
    m_restore.reset();
    QDialog::reject();
}

void CDlgSearchRestore::closeEvent(QCloseEvent *event) {
    if (m_searching) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace torvex
