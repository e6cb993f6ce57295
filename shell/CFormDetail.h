#pragma once

#include <string>
#include <vector>

#include <QTreeWidget>

#include "app/WindowTexts.h"

namespace torvex {

// The upper right pane: one row per download record of the selected project, with the texts
// the core gives (CRecordRow). Rows keep the record's name for the commands. A refresh rewrites
// only the cells whose text changed. GUI thread only.
class CFormDetail final : public QTreeWidget {
    Q_OBJECT
public:
    explicit CFormDetail(QWidget* parent = nullptr);

    // Replaces the rows (records in file order) and orders them by `order`.
    void Fill(const std::vector<CRecordRow>& rows, CRecordOrder order);
    // Rewrites the rows of a refresh; the set of records is the same as at Fill (else Fill).
    void Update(const std::vector<CRecordRow>& rows, CRecordOrder order);
    void Empty();
    // The names ("latest" or a record time) of the selected rows.
    std::vector<std::string> SelectedRecords() const;
    const std::vector<CRecordRow>& Rows() const { return m_rows; }

private:
    void SetRow(QTreeWidgetItem* item, const CRecordRow& row);

    std::vector<CRecordRow> m_rows;
};

} // namespace torvex
