#include "StatisticsSection.h"

#include "AppTheme.h"
#include "PluginManagerViewModel.h"
#include "SectionHeaderButton.h"
#include "SidebarFonts.h"
#include "ThemedLabel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

StatisticsSection::StatisticsSection(PluginManagerViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("statisticsSection"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    m_header = new SectionHeaderButton(QStringLiteral("Statistics"), &AppTheme::accentPink, this);
    auto* headerRow = new QHBoxLayout;
    headerRow->setContentsMargins(20, 0, 20, 0);
    headerRow->addWidget(m_header);
    layout->addLayout(headerRow);
    connect(m_header, &QAbstractButton::clicked, this, [this] { setExpanded(!m_expanded); });

    m_body = new QWidget(this);
    auto* rows = new QVBoxLayout(m_body);
    rows->setContentsMargins(20, 0, 20, 20);
    rows->setSpacing(8);
    auto addRow = [&](const QString& label, ThemedLabel::ColorSource labelColor) {
        auto* row = new QHBoxLayout;
        auto* name = new ThemedLabel(label, SidebarFonts::caption(), std::move(labelColor), m_body);
        auto* value = new ThemedLabel(QStringLiteral("0"), SidebarFonts::caption(), &AppTheme::textPrimary, m_body);
        value->setAccessibleName(label);
        row->addWidget(name);
        row->addStretch(1);
        row->addWidget(value);
        rows->addLayout(row);
        return value;
    };
    m_total = addRow(QStringLiteral("Total"), &AppTheme::textSecondary);
    m_enabled = addRow(QStringLiteral("Enabled"), &AppTheme::statusEnabled);
    m_disabled = addRow(QStringLiteral("Disabled"), &AppTheme::statusDisabled);
    layout->addWidget(m_body);

    connect(&m_viewModel, &PluginManagerViewModel::countsChanged, this, &StatisticsSection::updateCounts);
    updateCounts();
    setExpanded(true); // the only section open at launch
}

void StatisticsSection::setExpanded(bool expanded)
{
    if (m_expanded == expanded && m_body->isVisibleTo(this) == expanded)
        return;
    m_expanded = expanded;
    m_header->setExpanded(expanded);
    m_body->setVisible(expanded);
    Q_EMIT expandedChanged(expanded);
}

QString StatisticsSection::totalText() const { return m_total->text(); }
QString StatisticsSection::enabledText() const { return m_enabled->text(); }
QString StatisticsSection::disabledText() const { return m_disabled->text(); }

void StatisticsSection::updateCounts()
{
    m_total->setText(QString::number(m_viewModel.dbTotalCount()));
    m_enabled->setText(QString::number(m_viewModel.dbEnabledCount()));
    m_disabled->setText(QString::number(m_viewModel.dbDisabledCount()));
}
