#include "shell/CPageFileFilter.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "engine/IPrompter.h"
#include "shell/DialogFields.h"

namespace torvex {

namespace {

constexpr int kCategoryRole = Qt::UserRole + 1;
constexpr int kIndexRole = Qt::UserRole + 2;
constexpr int kOtherCategory = static_cast<int>(kFileFilterGroups) - 1;
// "Retrieve all files" is the first choice and NoFileFilter 1.
constexpr int kAllFilesChoice = 0;
// Yes, retrieve them, is the first choice and FilterOther / FilterNoExt 0.
constexpr int kRetrieveChoice = 0;

} // namespace

CPageFileFilter::CPageFileFilter(const CPageContext& context, QWidget* parent)
    : CPropertyPage(context, parent) {
    setObjectName(QStringLiteral("fileFilterPage"));
    auto* layout = new QVBoxLayout(this);
    m_all = RadioGroup(this, layout,
                       {QStringLiteral("Retrieve all files"),
                        QStringLiteral("Retrieve files with the selected extenions only")});

    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("extensions"));
    m_tree->setHeaderHidden(true);
    m_extension = TextField(kMaxFileFilterList, "extension");
    m_add = new QPushButton(QStringLiteral("<< Add"));
    m_add->setObjectName(QStringLiteral("add"));
    m_delete = new QPushButton(QStringLiteral(">> Delete"));
    m_delete->setObjectName(QStringLiteral("delete"));
    auto* edit = new QVBoxLayout;
    edit->addWidget(m_extension);
    edit->addWidget(m_add);
    edit->addWidget(m_delete);
    edit->addStretch();
    auto* lists = new QHBoxLayout;
    lists->addWidget(m_tree, 1);
    lists->addLayout(edit);
    layout->addLayout(lists, 1);

    auto* questions = new QGridLayout;
    auto* other = new QGroupBox(QStringLiteral("Retrieve files with other extensions?"));
    auto* otherLayout = new QHBoxLayout(other);
    m_other = RadioGroup(this, otherLayout, {QStringLiteral("Yes"), QStringLiteral("No")});
    auto* noExt = new QGroupBox(QStringLiteral("Retrieve files with no extension?"));
    auto* noExtLayout = new QHBoxLayout(noExt);
    m_noExt = RadioGroup(this, noExtLayout, {QStringLiteral("Yes"), QStringLiteral("No")});
    questions->addWidget(other, 0, 0);
    questions->addWidget(noExt, 0, 1);
    layout->addLayout(questions);

    connect(m_all, &QButtonGroup::idClicked, this, [this](int) { UpdateEnabled(); });
    connect(m_add, &QPushButton::clicked, this, &CPageFileFilter::AddTyped);
    connect(m_delete, &QPushButton::clicked, this, &CPageFileFilter::DeleteCurrent);
    connect(m_extension, &QLineEdit::returnPressed, this, &CPageFileFilter::AddTyped);
    connect(m_tree, &QTreeWidget::itemChanged, this, &CPageFileFilter::OnItemChanged);
}

void CPageFileFilter::Load(const CProjectSettings& settings) {
    const CFileTypeFilter& filter = settings.FileTypeFilter;
    SetPosition(m_all, filter.NoFileFilter ? kAllFilesChoice : 1);
    SetPosition(m_other, filter.FilterOther ? 1 : kRetrieveChoice);
    SetPosition(m_noExt, filter.FilterNoExt ? 1 : kRetrieveChoice);
    for (std::size_t i = 0; i < kFileFilterGroups; ++i) {
        m_items[i] = ParseExtensionList(filter.FileFilter[i]);
        m_changed[i] = false;
    }
    Fill();
    UpdateEnabled();
}

bool CPageFileFilter::Store(CProjectSettings& settings) {
    CFileTypeFilter& filter = settings.FileTypeFilter;
    filter.NoFileFilter = Position(m_all) == kAllFilesChoice;
    filter.FilterOther = Position(m_other) != kRetrieveChoice;
    filter.FilterNoExt = Position(m_noExt) != kRetrieveChoice;
    for (std::size_t i = 0; i < kFileFilterGroups; ++i) {
        if (m_changed[i]) {
            filter.FileFilter[i] = ComposeExtensionList(m_items[i]);
        }
    }
    return true;
}

void CPageFileFilter::Fill() {
    // Which categories were open, so that a change does not fold the tree up.
    std::array<bool, kFileFilterGroups> expanded{};
    for (int i = 0; i < m_tree->topLevelItemCount() && i < kOtherCategory + 1; ++i) {
        expanded[static_cast<std::size_t>(i)] = m_tree->topLevelItem(i)->isExpanded();
    }
    m_filling = true;
    m_tree->clear();
    for (std::size_t i = 0; i < kFileFilterGroups; ++i) {
        auto* category = new QTreeWidgetItem(m_tree, {Q(kFileFilterCaptions[i])});
        category->setData(0, kCategoryRole, static_cast<int>(i));
        category->setData(0, kIndexRole, -1);
        for (std::size_t j = 0; j < m_items[i].size(); ++j) {
            auto* item = new QTreeWidgetItem(category, {Q(m_items[i][j].extension)});
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, m_items[i][j].retrieve ? Qt::Checked : Qt::Unchecked);
            item->setData(0, kCategoryRole, static_cast<int>(i));
            item->setData(0, kIndexRole, static_cast<int>(j));
        }
        category->setExpanded(expanded[i]);
    }
    m_filling = false;
}

void CPageFileFilter::UpdateEnabled() {
    const bool selected = Position(m_all) != kAllFilesChoice;
    for (QWidget* widget : {static_cast<QWidget*>(m_tree), static_cast<QWidget*>(m_extension),
                            static_cast<QWidget*>(m_add), static_cast<QWidget*>(m_delete)}) {
        widget->setEnabled(selected);
    }
}

int CPageFileFilter::CategoryOf(const QTreeWidgetItem* item) const {
    return item ? item->data(0, kCategoryRole).toInt() : kOtherCategory;
}

void CPageFileFilter::OnItemChanged(QTreeWidgetItem* item, int) {
    const int index = item->data(0, kIndexRole).toInt();
    if (m_filling || index < 0) {
        return;
    }
    const auto category = static_cast<std::size_t>(CategoryOf(item));
    m_items[category][static_cast<std::size_t>(index)].retrieve =
        item->checkState(0) == Qt::Checked;
    m_changed[category] = true;
}

void CPageFileFilter::AddTyped() {
    const auto category = static_cast<std::size_t>(CategoryOf(m_tree->currentItem()));
    std::size_t index = 0;
    const std::string refusal = AddExtension(m_items[category], S(m_extension->text()),
                                             kFileFilterCaptions[category], index);
    if (!refusal.empty()) {
        Refuse(Prompter(), m_extension, refusal);
        return;
    }
    if (index >= m_items[category].size()) {
        return; // nothing typed
    }
    m_changed[category] = true;
    m_extension->clear();
    Fill();
    QTreeWidgetItem* parent = m_tree->topLevelItem(static_cast<int>(category));
    parent->setExpanded(true);
    m_tree->setCurrentItem(parent->child(static_cast<int>(index)));
}

void CPageFileFilter::DeleteCurrent() {
    const QTreeWidgetItem* current = m_tree->currentItem();
    const int index = current ? current->data(0, kIndexRole).toInt() : -1;
    if (index < 0 || !Prompter().AskYesNo(kDeleteExtensionQuestion, false)) {
        return;
    }
    const auto category = static_cast<std::size_t>(CategoryOf(current));
    auto& items = m_items[category];
    items.erase(items.begin() + index);
    m_changed[category] = true;
    Fill();
    m_tree->setCurrentItem(m_tree->topLevelItem(static_cast<int>(category)));
}

} // namespace torvex
