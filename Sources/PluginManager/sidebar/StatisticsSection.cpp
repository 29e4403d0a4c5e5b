#include "sidebar/StatisticsSection.h"

#include "operations/PluginManagerViewModel.h"
#include "widgets/AppTheme.h"
#include "widgets/ThemedLabel.h"
#include "widgets/Typography.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

StatisticsSection::StatisticsSection(PluginManagerViewModel& viewModel, QWidget* parent)
    : FoldingSection(QStringLiteral("statisticsSection"), QStringLiteral("Statistics"), &AppTheme::accentPink,
                     QMargins(20, 0, 20, 0), 12, parent),
      m_viewModel(viewModel)
{
    auto* rows = new QVBoxLayout(body());
    rows->setContentsMargins(20, 0, 20, 20);
    rows->setSpacing(8);
    auto addRow = [&](const QString& label, ThemedLabel::ColorSource labelColor) {
        auto* row = new QHBoxLayout;
        auto* name = new ThemedLabel(label, Typography::sidebarCaption(), std::move(labelColor), body());
        auto* value =
            new ThemedLabel(QStringLiteral("0"), Typography::sidebarCaption(), &AppTheme::textPrimary, body());
        row->addWidget(name);
        row->addStretch(1);
        row->addWidget(value);
        rows->addLayout(row);
        return value;
    };
    m_total = addRow(QStringLiteral("Total"), &AppTheme::textSecondary);
    // The status hues, dark enough to read on the sidebar.
    m_enabled = addRow(QStringLiteral("Enabled"),
                       [] { return AppTheme::legible(AppTheme::statusEnabled(), AppTheme::readingBackground()); });
    m_disabled = addRow(QStringLiteral("Disabled"),
                        [] { return AppTheme::legible(AppTheme::statusDisabled(), AppTheme::readingBackground()); });

    connect(&m_viewModel, &PluginManagerViewModel::countsChanged, this, &StatisticsSection::updateCounts);
    updateCounts();
    setExpanded(true); // the only section open at launch
}

QString StatisticsSection::totalText() const
{
    return m_total->text();
}
QString StatisticsSection::enabledText() const
{
    return m_enabled->text();
}
QString StatisticsSection::disabledText() const
{
    return m_disabled->text();
}

void StatisticsSection::updateCounts()
{
    // Each number is read with its caption ("Total: 295").
    const auto show = [](QLabel* value, const QString& caption, qint64 count) {
        value->setText(QString::number(count));
        value->setAccessibleName(caption + QStringLiteral(": ") + value->text());
    };
    show(m_total, QStringLiteral("Total"), m_viewModel.dbTotalCount());
    show(m_enabled, QStringLiteral("Enabled"), m_viewModel.dbEnabledCount());
    show(m_disabled, QStringLiteral("Disabled"), m_viewModel.dbDisabledCount());
}
