#include "shell/CPageUrlFilter.h"

#include <QVBoxLayout>

#include "shell/CUrlFilterEditor.h"

namespace torvex {

namespace {

// The defaults file keeps a filter's choices and protocols for new addresses, not its lists.
CUrlFilter DefaultsFilter(const CProjectSettings& settings) {
    CUrlFilter filter;
    filter.FilterSameLevel = settings.FilterSameLevel;
    filter.HostFilter = settings.HostFilter;
    filter.PathFilter = settings.PathFilter;
    filter.ProtocolFilter = settings.ProtocolFilter;
    return filter;
}

} // namespace

CPageUrlFilter::CPageUrlFilter(const CPageContext& context, QWidget* parent)
    : CPropertyPage(context, parent) {
    setObjectName(QStringLiteral("urlFilterPage"));
    m_editor = new CUrlFilterEditor(*context.prompter,
                                    context.defaults ? CUrlFilterEditor::Scope::ChoicesAndProtocols
                                                     : CUrlFilterEditor::Scope::Full);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_editor);
}

void CPageUrlFilter::Load(const CProjectSettings& settings) {
    if (Context().defaults) {
        m_editor->Load(DefaultsFilter(settings));
    } else {
        m_editor->Load(settings.Addresses.empty() ? Context().newAddress.Filter
                                                  : settings.Addresses.front().Filter);
    }
}

bool CPageUrlFilter::Store(CProjectSettings& settings) {
    const bool defaults = Context().defaults;
    const CUrlFilter& newFilter = Context().newAddress.Filter;
    CUrlFilter filter = defaults                     ? DefaultsFilter(settings)
                        : settings.Addresses.empty() ? newFilter
                                                     : settings.Addresses.front().Filter;
    if (!m_editor->Store(filter)) {
        return false;
    }
    if (defaults) {
        settings.FilterSameLevel = filter.FilterSameLevel;
        settings.HostFilter = filter.HostFilter;
        settings.PathFilter = filter.PathFilter;
        settings.ProtocolFilter = filter.ProtocolFilter;
    } else if (!settings.Addresses.empty() || filter != newFilter) {
        FirstAddress(settings).Filter = filter;
    }
    return true;
}

} // namespace torvex
