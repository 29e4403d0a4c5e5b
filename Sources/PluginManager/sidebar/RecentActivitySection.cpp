#include "sidebar/RecentActivitySection.h"

#include "catalogue/ActivityLogManager.h"
#include "sidebar/ActivityLogView.h"
#include "widgets/AppTheme.h"
#include "widgets/SectionHeaderButton.h"
#include "widgets/TabChain.h"
#include "widgets/ThemedLabel.h"
#include "widgets/Typography.h"

#include <QVBoxLayout>

RecentActivitySection::RecentActivitySection(ActivityLogManager& log, Prompter& prompter, QWidget* parent)
    : FoldingSection(QStringLiteral("recentActivitySection"), QStringLiteral("Recent Activity"), &AppTheme::accentPink,
                     QMargins(20, 4, 20, 4), 0, parent),
      m_log(log), m_prompter(prompter)
{
    m_count = new ThemedLabel(QString(), Typography::sidebarCaption2(), &AppTheme::textTertiary, header());
    m_count->setContentsMargins(0, 0, 4, 0);
    m_count->setAttribute(Qt::WA_TransparentForMouseEvents);
    header()->addTrailingWidget(m_count);

    auto* content = new QVBoxLayout(body());
    content->setContentsMargins(0, 0, 0, 8);

    connect(&m_log, &ActivityLogManager::entriesChanged, this, &RecentActivitySection::updateCount);
    updateCount();
}

void RecentActivitySection::foldChanging(bool expanded)
{
    if (expanded) {
        // A fresh view each time, so a half-answered clear question never survives a fold.
        m_logView = new ActivityLogView(m_log, m_prompter, body());
        m_logView->setMaximumHeight(kLogMaxHeight);
        body()->layout()->addWidget(m_logView);
        // Made after everything else: its Tab stops go where it shows, after the header.
        TabChain::placeAfter(header(), TabChain::stops(m_logView));
    } else if (m_logView) {
        m_logView->hide();
        m_logView->deleteLater();
        m_logView = nullptr;
    }
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
    header()->setAccessibleName(count > 0 ? QStringLiteral("Recent Activity, ") + m_count->text()
                                          : QStringLiteral("Recent Activity"));
}
