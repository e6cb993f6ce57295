#pragma once

#include <functional>

#include <QMetaObject>
#include <QString>

namespace torvex {

// The desktop's services that the window's commands use: opening a page or file with its
// default handler, starting a chosen program on a file, and the clipboard with its change
// notifications. The window owns the system's one; tests give a recording fake. GUI thread
// only.
class CDesktop {
public:
    virtual ~CDesktop();
    // Opens `url` (a web address or a file URL) with the desktop's default handler.
    virtual bool OpenUrl(const QString& url);
    // Starts `program` with `file` as its argument, without waiting for it.
    virtual bool StartProgram(const QString& program, const QString& file);
    virtual void SetClipboardText(const QString& text);
    virtual QString ClipboardText();
    // Calls `changed` after every change of the clipboard's text, by any program (this one too),
    // until StopWatchingClipboard; a second call replaces the first.
    virtual void WatchClipboard(std::function<void()> changed);
    virtual void StopWatchingClipboard();

private:
    QMetaObject::Connection m_clipboardWatch;
};

} // namespace torvex
