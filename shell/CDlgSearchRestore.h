#pragma once

#include <memory>
#include <vector>

#include <QDialog>
#include <QTimer>

#include "app/ProjectRestore.h"
#include "project/ProjectSearch.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace torvex {

// "Search and Restore": looks for lost projects in a location on a thread of its own and adds
// the checked ones back to the tree. The dialog polls the search for its rows and status line;
// a restore takes one row a step with a pause between added projects, so the window keeps
// answering. Closing is refused while a search runs. GUI thread.
class CDlgSearchRestore final : public QDialog, private INameAsker {
    Q_OBJECT
public:
    static constexpr int kPollMs = 100;
    static constexpr int kRestorePauseMs = 200;

    // `fallback`: where projects go without their original folders. `locations`: the entries of
    // the location box.
    CDlgSearchRestore(CProjectTree &tree, CTreeNode &fallback,
                      std::vector<CSearchLocation> locations, IPrompter &prompter,
                      QWidget *parent = nullptr);

    QComboBox *LocationBox() const { return m_location; }
    QTreeWidget *Results() const { return m_results; }
    QCheckBox *OriginalFolders() const { return m_originalFolders; }
    QLabel *Status() const { return m_status; }
    QPushButton *Button(const char *name) const;
    // From Start until the dialog has taken the end of the search.
    bool Searching() const { return m_searching; }
    bool Restoring() const { return m_restore != nullptr; }

    void reject() override;

Q_SIGNALS:
    // A project was added to the tree (and is to be selected).
    void projectRestored(torvex::CTreeNode *node);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void OnStart();
    void OnStop();
    void OnBrowse();
    void OnRestore();
    void RestoreStep();
    void OnPoll();
    void FillRows();
    void TakeChecks();
    void EnableControls();
    bool AskName(std::string &name, std::size_t capacity) override;

    CProjectTree &m_tree;
    CTreeNode &m_fallback;
    std::vector<CSearchLocation> m_locations;
    IPrompter &m_prompter;
    CProjectSearch m_search;
    std::unique_ptr<CProjectRestore> m_restore;
    bool m_searching = false;
    QTimer m_poll;
    QTimer m_pause;

    QComboBox *m_location = nullptr;
    QTreeWidget *m_results = nullptr;
    QCheckBox *m_originalFolders = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_selectAll = nullptr;
    QPushButton *m_unselectAll = nullptr;
    QPushButton *m_restoreButton = nullptr;
    QPushButton *m_close = nullptr;
    QPushButton *m_browse = nullptr;
};

} // namespace torvex
