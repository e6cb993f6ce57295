#pragma once

#include <QString>

class QWidget;

namespace torvex {

// The file dialogs of the export and import commands: the system's by default, a scripted one
// in tests. Each returns an empty text for Cancel. GUI thread.
class CFileChooser {
public:
    virtual ~CFileChooser() = default;
    // Asks where to save, proposing `proposed` and asking before an existing file is replaced.
    virtual QString SaveFileName(QWidget *parent, const QString &caption, const QString &proposed,
                                 const QString &filter);
    virtual QString OpenFileName(QWidget *parent, const QString &caption, const QString &filter);
};

} // namespace torvex
