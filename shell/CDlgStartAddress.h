#pragma once

#include <string>

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace torvex {

class IPrompter;

// "Start Address Option" of the project's first address: the address with "Apply DATE", the
// date format with a sample of today's date and the address a run would request today, and
// "Request the URL with "POST" method". Loads the values when it opens and keeps them after
// OK. GUI thread only.
class CDlgStartAddress final : public QDialog {
    Q_OBJECT
public:
    CDlgStartAddress(const std::string& address, const std::string& dateFormat, bool post,
                     IPrompter& prompter, QWidget* parent = nullptr);

    const std::string& Address() const { return m_address; }
    const std::string& DateFormat() const { return m_dateFormat; }
    bool Post() const { return m_post; }
    QLineEdit* AddressField() const { return m_addressField; }
    QLineEdit* FormatField() const { return m_formatField; }
    QLabel* RealAddress() const { return m_real; }

    // "Apply DATE": the selection of the address field becomes "$DATE".
    void ApplyDateAtSelection();
    void accept() override;

private:
    void UpdateSample();

    IPrompter& m_prompter;
    std::string m_address;
    std::string m_dateFormat;
    bool m_post;
    QLineEdit* m_addressField = nullptr;
    QLineEdit* m_formatField = nullptr;
    QLabel* m_sample = nullptr;
    QLabel* m_real = nullptr;
    QCheckBox* m_postBox = nullptr;
};

} // namespace torvex
