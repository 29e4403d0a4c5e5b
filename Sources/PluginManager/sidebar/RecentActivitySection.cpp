#include "RecentActivitySection.h"

#include "ActivityLogManager.h"
#include "ActivityLogView.h"
#include "AppTheme.h"
#include "SectionHeaderButton.h"
#include "SidebarFonts.h"
#include "ThemedLabel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

RecentActivitySection::RecentActivitySection(ActivityLogManager& log, QWidget* parent)
    : QWidget(parent), m_log(log)
{
    setObjectName(QStringLiteral("recentActivitySection"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_header = new SectionHeaderButton(QStringLiteral("Recent Activity"), &AppTheme::accentPink, this);
    m_count = new ThemedLabel(QString(), SidebarFonts::caption2(), &AppTheme::textTertiary, m_header);
    m_count->setContentsMargins(0, 0, 4, 0);
    m_count->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_header->addTrailingWidget(m_count);
    auto* headerRow = new QHBoxLayout;
    headerRow->setContentsMargins(20, 4, 20, 4);
    headerRow->addWidget(m_header);
    layout->addLayout(headerRow);
    connect(m_header, &QAbstractButton::clicked, this, [this] { setExpanded(!m_expanded); });

    m_bodyHolder = new QWidget(this);
    auto* body = new QVBoxLayout(m_bodyHolder);
    body->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(m_bodyHolder);
    m_bodyHolder->setVisible(false);

    connect(&m_log, &ActivityLogManager::entriesChanged, this, &RecentActivitySection::updateCount);
    updateCount();
}

void RecentActivitySection::setExpanded(bool expanded)
{
    if (m_expanded == expanded)
        return;
    m_expanded = expanded;
    m_header->setExpanded(expanded);
    if (expanded) {
        // A fresh view each time, so a half-answered clear question never survives a fold.
        m_logView = new ActivityLogView(m_log, m_bodyHolder);
        m_logView->setMaximumHeight(kLogMaxHeight);
        m_bodyHolder->layout()->addWidget(m_logView);
    } else if (m_logView) {
        m_logView->hide();
        m_logView->deleteLater();
        m_logView = nullptr;
    }
    m_bodyHolder->setVisible(expanded);
    Q_EMIT expandedChanged(expanded);
}

QString RecentActivitySection::countText() const
{
    return m_count->text();
}

void RecentActivitySection::updateCount()
{
    const qsizetype count = m_log.entries().size();
    m_count->setText(count > 0 ? QString::number(std::min<qsizetype>(count, kShownCountCap)) : QString());
    m_count->setVisible(count > 0);
    m_header->setAccessibleName(count > 0 ? QStringLiteral("Recent Activity, ") + m_count->text()
                                          : QStringLiteral("Recent Activity"));
}
