#include "shell/CSheetWizard.h"

#include <ctime>
#include <functional>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ProjectDirectory.h"
#include "app/PropertyFields.h"
#include "engine/IPrompter.h"
#include "shell/CNumberSpin.h"
#include "shell/DialogFields.h"

namespace torvex {

namespace {

constexpr int kNamePageId = 0;
constexpr int kAddressPageId = 1;

// A page whose "Next" or "Finish" asks the wizard to check it.
class CCheckedPage final : public QWizardPage {
public:
    CCheckedPage(QString title, std::function<bool()> check)
        : m_title(std::move(title)), m_check(std::move(check)) {}
    bool validatePage() override { return m_check(); }
    const QString& Title() const { return m_title; }

private:
    QString m_title;
    std::function<bool()> m_check;
};

} // namespace

CSheetWizard::CSheetWizard(CProjectTree& tree, CTreeNode& target, const CProjectSettings& defaults,
                           const CWizardValues& start, const std::string& defaultDir,
                           IPrompter& prompter, QWidget* parent)
    : QWizard(parent), m_tree(tree), m_target(target), m_defaults(defaults),
      m_defaultDir(defaultDir), m_prompter(prompter), m_values(start), m_lastName(start.name) {
    setObjectName(QStringLiteral("newProjectWizard"));
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage);
    setPage(kNamePageId, NamePage());
    setPage(kAddressPageId, AddressPage());
    const auto retitle = [this](int id) {
        if (const auto* page = dynamic_cast<const CCheckedPage*>(this->page(id))) {
            setWindowTitle(page->Title());
        }
    };
    connect(this, &QWizard::currentIdChanged, this, retitle);
    retitle(kNamePageId);
    resize(520, 300);
}

QWizardPage* CSheetWizard::NamePage() {
    auto* page = new CCheckedPage(QStringLiteral("New Project Wizard - Step 1 of 2"),
                                  [this] { return ValidateNamePage(); });
    m_name = TextField(kMaxProjectName, "name");
    m_name->setText(Q(m_values.name));
    m_directory = TextField(kMaxProjectDir, "directory");
    m_directory->setText(Q(m_values.directory));
    auto* browse = new QPushButton(QStringLiteral("..."));
    browse->setObjectName(QStringLiteral("browse"));
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Please give this project a name")));
    layout->addWidget(m_name);
    layout->addSpacing(12);
    layout->addWidget(new QLabel(QStringLiteral("And choose a directory to save this project")));
    auto* row = new QHBoxLayout;
    row->addWidget(m_directory, 1);
    row->addWidget(browse);
    layout->addLayout(row);
    layout->addStretch();
    connect(m_name, &QLineEdit::textEdited, this, &CSheetWizard::OnNameEdited);
    connect(browse, &QPushButton::clicked, this, &CSheetWizard::BrowseDirectory);
    return page;
}

QWizardPage* CSheetWizard::AddressPage() {
    auto* page = new CCheckedPage(QStringLiteral("New Project Wizard - Step 2 of 2"),
                                  [this] { return ValidateAddressPage(); });
    m_address = TextField(kMaxStartUrl, "address");
    m_address->setText(Q(m_values.address));
    m_level = NumberField(kLevelRange, "level");
    m_level->SetValue(m_values.level);
    m_backup = new QCheckBox(QStringLiteral("Backup latest record"));
    m_backup->setObjectName(QStringLiteral("backup"));
    m_backup->setChecked(m_values.backupLatest);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Please enter the start address")));
    layout->addWidget(m_address);
    layout->addSpacing(12);
    layout->addWidget(new QLabel(QStringLiteral("And set the level to download")));
    auto* level = new QHBoxLayout;
    level->addWidget(m_level);
    level->addWidget(new QLabel(QStringLiteral("(\"0\" - no limit)")));
    level->addStretch();
    layout->addLayout(level);
    layout->addSpacing(12);
    layout->addWidget(m_backup);
    layout->addStretch();
    return page;
}

void CSheetWizard::OnNameEdited(const QString& name) {
    const std::string typed = S(name);
    m_directory->setText(
        Q(DirectoryFollowingName(S(m_directory->text()), m_lastName, typed, m_defaultDir)));
    m_lastName = typed;
}

void CSheetWizard::BrowseDirectory() {
    const QString chosen = BrowseProjectDirectory(this, m_directory->text());
    if (!chosen.isEmpty()) {
        m_directory->setText(chosen);
    }
}

bool CSheetWizard::ValidateNamePage() {
    const std::string name = S(m_name->text());
    if (const std::string refusal = CProjectTree::CheckName(m_target, name); !refusal.empty()) {
        return Refuse(m_prompter, m_name, refusal);
    }
    const std::string directory = S(m_directory->text());
    if (!AcceptProjectDirectory(directory, m_tree, nullptr, m_prompter)) {
        m_directory->setFocus();
        m_directory->selectAll();
        return false;
    }
    m_values.name = name;
    m_values.directory = directory;
    return true;
}

bool CSheetWizard::ValidateAddressPage() {
    const std::string address = S(m_address->text());
    if (const std::string refusal = CheckStartAddress(address, kDefaultDateFormat);
        !refusal.empty()) {
        return Refuse(m_prompter, m_address, refusal);
    }
    int level = 0;
    if (!ReadNumber(m_prompter, m_level, level)) {
        return false;
    }
    m_values.address = address;
    m_values.level = level;
    m_values.backupLatest = m_backup->isChecked();
    return true;
}

void CSheetWizard::accept() {
    if (currentId() != kAddressPageId || !ValidateAddressPage()) {
        return;
    }
    std::string error;
    m_created = AddWizardProject(
        m_tree, m_target,
        MakeWizardProject(m_defaults, m_values, static_cast<std::int32_t>(std::time(nullptr))),
        error);
    if (m_created == nullptr) {
        // The tree changed under the wizard: the name is taken now.
        Refuse(m_prompter, nullptr, CProjectTree::CheckName(m_target, m_values.name));
        restart();
        return;
    }
    if (!error.empty()) {
        m_prompter.Error(error);
    }
    QWizard::accept();
}

} // namespace torvex
