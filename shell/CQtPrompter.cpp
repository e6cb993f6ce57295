#include "shell/CQtPrompter.h"

#include <QMessageBox>

namespace torvex {

namespace {

QString Caption() {
    return QString::fromUtf8(kPromptCaption.data(), static_cast<int>(kPromptCaption.size()));
}
QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void CQtPrompter::Information(std::string_view text) {
    QMessageBox::information(m_parent, Caption(), Text(text));
}

void CQtPrompter::Warning(std::string_view text) {
    QMessageBox::warning(m_parent, Caption(), Text(text));
}

void CQtPrompter::Error(std::string_view text) {
    QMessageBox::critical(m_parent, Caption(), Text(text));
}

bool CQtPrompter::AskYesNo(std::string_view text, bool defaultNo) {
    return QMessageBox::question(
               m_parent, Caption(), Text(text), QMessageBox::Yes | QMessageBox::No,
               defaultNo ? QMessageBox::No : QMessageBox::Yes) == QMessageBox::Yes;
}

bool CQtPrompter::AskOkCancel(std::string_view text) {
    return QMessageBox::question(m_parent, Caption(), Text(text),
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

} // namespace torvex
