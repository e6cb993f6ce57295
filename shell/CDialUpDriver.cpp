#include "shell/CDialUpDriver.h"

#include <QMetaObject>

#include "shell/CDialUpWindow.h"

namespace torvex {

CDialUpDriver::CDialUpDriver(IDialUpService &service, const CAppSettings &settings,
                             std::function<bool()> networkUp, QWidget *windowParent)
    : m_service(service), m_windowParent(windowParent),
      m_timers(this, [this](int timer) { m_session->OnTimer(timer); }) {
    IDialUpFrontEnd &frontEnd = *this;
    IDialEvents *relay = this;
    m_session = std::make_unique<CDialUpSession>(service, settings, frontEnd, m_timers,
                                                 std::move(networkUp), relay);
}

CDialUpDriver::~CDialUpDriver() {
    m_session.reset(); // no report reaches this object any more
    delete m_window;
}

void CDialUpDriver::OnDialEvent(int attempt, int state, int error) {
    QMetaObject::invokeMethod(
        this, [this, attempt, state, error] { m_session->OnDialEvent(attempt, state, error); },
        Qt::QueuedConnection);
}

void CDialUpDriver::OpenDialWindow(const std::string &title) {
    delete m_window;
    m_window = new CDialUpWindow(m_windowParent);
    m_window->setWindowTitle(QString::fromStdString(title));
    connect(m_window, &CDialUpWindow::cancelRequested, this, [this] { m_session->Cancel(); });
    m_window->show();
}

void CDialUpDriver::SetDialStatus(const std::string &status) {
    if (m_window) {
        m_window->SetStatus(QString::fromStdString(status));
    }
}

void CDialUpDriver::CloseDialWindow() {
    if (m_window) {
        m_window->hide();
        m_window->deleteLater();
        m_window = nullptr;
    }
}

void CDialUpDriver::StartWaitingProjects() {
    Q_EMIT startWaitingProjects();
}

void CDialUpDriver::OnDialMessage(int message) {
    Q_EMIT dialMessage(message);
}

} // namespace torvex
