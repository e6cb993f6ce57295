#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;

namespace torvex {

// The dial-up window: the entry and attempt in the title, an animated modem picture, the status
// line and Cancel. It only shows; the dial-up session decides. Cancel and closing the window ask
// for the attempt to end (cancelRequested); the session closes it. GUI thread.
class CDialUpWindow final : public QDialog {
    Q_OBJECT
public:
    explicit CDialUpWindow(QWidget *parent = nullptr);
    void SetStatus(const QString &status);
    QString Status() const;
    // The frame the icon shows now (0..3).
    int IconFrame() const { return m_frame; }

Q_SIGNALS:
    void cancelRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void Animate();

    QLabel *m_icon = nullptr;
    QLabel *m_status = nullptr;
    QTimer m_iconTimer;
    int m_step = 0;
    int m_frame = 0;
};

} // namespace torvex
