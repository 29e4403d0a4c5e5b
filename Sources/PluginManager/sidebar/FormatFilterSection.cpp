#include "sidebar/FormatFilterSection.h"

#include "operations/PluginManagerViewModel.h"
#include "sidebar/SidebarIcons.h"
#include "widgets/AppTheme.h"
#include "widgets/GlassStyle.h"
#include "widgets/ThemedLabel.h"
#include "widgets/Typography.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {
const QString kSelectedSymbol = QStringLiteral("checkmark.circle.fill");
}

FormatFilterSection::FormatFilterSection(PluginManagerViewModel& viewModel, std::function<void()> expandActions,
                                         QWidget* parent)
    : FoldingSection(QStringLiteral("formatsSection"), QStringLiteral("Plugin Formats"), &AppTheme::accentBlue,
                     QMargins(12, 0, 12, 0), 12, parent),
      m_viewModel(viewModel), m_expandActions(std::move(expandActions))
{
    auto* bodyLayout = new QVBoxLayout(body());
    bodyLayout->setContentsMargins(8, 0, 8, 0);
    bodyLayout->setSpacing(8);
    for (PluginFormat format : PluginFormats::allCases) {
        const QString name = PluginFormats::rawValue(format);
        Row& row = m_rows[index(format)];
        row.button = new SidebarItemButton(QString(), body());
        row.button->setAccessibleName(name);
        row.button->setObjectName(QStringLiteral("formatRow:") + name);
        auto* content = new QHBoxLayout(row.button);
        content->setContentsMargins(10, 8, 10, 8);
        row.symbol =
            SidebarIcons::symbolLabel(PluginFormats::symbolName(format), AppTheme::accentBlue(), 14, 20, row.button);
        auto* title = new ThemedLabel(name, Typography::body(), &AppTheme::textPrimary, row.button);
        title->setAttribute(Qt::WA_TransparentForMouseEvents);
        row.count =
            new ThemedLabel(QStringLiteral("0"), Typography::sidebarCaption(), &AppTheme::textTertiary, row.button);
        row.count->setAttribute(Qt::WA_TransparentForMouseEvents);
        content->addWidget(row.symbol);
        content->addWidget(title);
        content->addStretch(1);
        content->addWidget(row.count);
        row.button->setMinimumHeight(content->minimumSize().height());
        bodyLayout->addWidget(row.button);
        connect(row.button, &QAbstractButton::clicked, this, [this, format] { toggleFormat(format); });
    }

    connect(&m_viewModel, &PluginManagerViewModel::selectedFormatsChanged, this, &FormatFilterSection::updateSelection);
    connect(&m_viewModel, &PluginManagerViewModel::showAllPluginsChanged, this, &FormatFilterSection::updateSelection);
    connect(&m_viewModel, &PluginManagerViewModel::countsChanged, this, &FormatFilterSection::updateCounts);
    connect(&m_viewModel, &PluginManagerViewModel::pluginsChanged, this, &FormatFilterSection::updateCounts);
    updateSelection();
    updateCounts();
}

QString FormatFilterSection::countText(PluginFormat format) const
{
    return m_rows[index(format)].count->text();
}

QString FormatFilterSection::symbolName(PluginFormat format) const
{
    return m_rows[index(format)].symbol->property("symbolName").toString();
}

void FormatFilterSection::toggleFormat(PluginFormat format)
{
    m_viewModel.setActiveProfile(std::nullopt);
    QSet<PluginFormat> formats = m_viewModel.selectedFormats();
    if (formats.contains(format)) {
        formats.remove(format);
        m_viewModel.setSelectedFormats(formats); // reloads the first page
        if (m_viewModel.selectedFormats().isEmpty())
            m_viewModel.setShowAllPlugins(!m_viewModel.selectedManufacturers().isEmpty());
        return;
    }
    formats.insert(format);
    m_viewModel.setSelectedFormats(formats);
    m_viewModel.setShowAllPlugins(true);
    if (m_expandActions)
        m_expandActions();
}

void FormatFilterSection::updateSelection()
{
    const QSet<PluginFormat>& selected = m_viewModel.selectedFormats();
    for (PluginFormat format : PluginFormats::allCases) {
        const Row& row = m_rows[index(format)];
        const bool inFilter = selected.contains(format);
        SidebarIcons::setSymbol(row.symbol, inFilter ? kSelectedSymbol : PluginFormats::symbolName(format),
                                AppTheme::accentBlue(), 14);
        row.button->setSelected(inFilter && m_viewModel.showAllPlugins());
        row.button->setAccessibleDescription(inFilter ? tr("in filter") : QString());
    }
}

void FormatFilterSection::updateCounts()
{
    const QHash<PluginFormat, qint64> counts = m_viewModel.pluginCounts();
    for (PluginFormat format : PluginFormats::allCases)
        m_rows[index(format)].count->setText(QString::number(counts.value(format, 0)));
}
