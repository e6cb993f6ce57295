#pragma once

#include <vector>

#include <QTreeWidget>

#include "app/WindowTexts.h"

namespace torvex {

// The lower right pane: one row per configured download thread of the selected running
// project, with the texts the core gives (CThreadRow). A refresh rewrites a cell only when its
// text changed. GUI thread only.
class CFormChannel final : public QTreeWidget {
    Q_OBJECT
public:
    explicit CFormChannel(QWidget* parent = nullptr);

    // Makes `count` rows, each "Empty".
    void CreateRows(int count);
    // Rewrites the changed cells of row `index`; returns how many cells were rewritten.
    int UpdateRow(int index, const CThreadRow& row);
    void Empty();
    // The selected row's thread index, or -1.
    int SelectedThread() const;
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    const CThreadRow& Row(int index) const { return m_rows[static_cast<std::size_t>(index)]; }

private:
    std::vector<CThreadRow> m_rows;
};

} // namespace torvex
