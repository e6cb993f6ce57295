#include "shell/CDesktop.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QUrl>

namespace torvex {

CDesktop::~CDesktop() {
    QObject::disconnect(m_clipboardWatch);
}

bool CDesktop::OpenUrl(const QString& url) {
    return QDesktopServices::openUrl(QUrl(url));
}

bool CDesktop::StartProgram(const QString& program, const QString& file) {
    return QProcess::startDetached(program, {file});
}

void CDesktop::SetClipboardText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

QString CDesktop::ClipboardText() {
    return QGuiApplication::clipboard()->text();
}

void CDesktop::WatchClipboard(std::function<void()> changed) {
    StopWatchingClipboard();
    m_clipboardWatch = QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged,
                                        std::move(changed));
}

void CDesktop::StopWatchingClipboard() {
    QObject::disconnect(m_clipboardWatch);
}

} // namespace torvex
