#include "sidebar/ActivityLogView.h"

#include "catalogue/ActivityLogManager.h"
#include "sidebar/ActivityLogRow.h"
#include "sidebar/RowButton.h"
#include "sidebar/SidebarIcons.h"
#include "widgets/AppTheme.h"
#include "widgets/Prompter.h"
#include "widgets/ThemedLabel.h"
#include "widgets/Typography.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

QFrame* divider(QWidget* parent, qreal opacity)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFixedHeight(1);
    QColor color = AppTheme::textTertiary();
    color.setAlphaF(color.alphaF() * 0.5 * opacity);
    QPalette pal = line->palette();
    pal.setColor(QPalette::WindowText, color);
    line->setPalette(pal);
    return line;
}

} // namespace

ActivityLogView::ActivityLogView(ActivityLogManager& log, QWidget* parent) : QWidget(parent), m_log(log)
{
    setObjectName(QStringLiteral("activityLogView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(16, 10, 16, 10);
    header->addWidget(
        new ThemedLabel(QStringLiteral("Recent Activity"), Typography::sidebarHeadline(), &AppTheme::textPrimary));
    header->addStretch(1);
    m_clearButton = new RowButton(QStringLiteral("Clear"), this);
    m_clearButton->row()->setContentsMargins(4, 2, 4, 2);
    m_clearButton->row()->addWidget(
        new ThemedLabel(QStringLiteral("Clear"), Typography::sidebarCaption(), &AppTheme::textTertiary, m_clearButton));
    m_clearButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_clearButton, &QAbstractButton::clicked, this, &ActivityLogView::requestClear);
    header->addWidget(m_clearButton);
    layout->addLayout(header);
    layout->addWidget(divider(this, 1.0));

    m_scroll = new QScrollArea(this);
    // A Tab stop of its own, so the arrows scroll the entries.
    m_scroll->setAccessibleName(QStringLiteral("Recent Activity"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_rowsHost = new QWidget;
    m_rowsHost->setAutoFillBackground(false);
    m_rowsLayout = new QVBoxLayout(m_rowsHost);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(0);
    m_scroll->setWidget(m_rowsHost);
    layout->addWidget(m_scroll, 1);

    m_emptyState = new QWidget(this);
    auto* empty = new QVBoxLayout(m_emptyState);
    empty->setContentsMargins(0, 40, 0, 40);
    empty->setSpacing(8);
    auto* clock = SidebarIcons::symbolLabel(QStringLiteral("clock"), AppTheme::textTertiary(), 22, 28);
    empty->addWidget(clock, 0, Qt::AlignHCenter);
    auto* emptyText =
        new ThemedLabel(QStringLiteral("No activity yet"), Typography::sidebarCaption(), &AppTheme::textTertiary);
    empty->addWidget(emptyText, 0, Qt::AlignHCenter);
    layout->addWidget(m_emptyState, 1);

    connect(&m_log, &ActivityLogManager::entriesChanged, this, &ActivityLogView::rebuild);
    rebuild();
}

QList<ActivityLogRow*> ActivityLogView::rows() const
{
    return m_rowsHost->findChildren<ActivityLogRow*>(Qt::FindDirectChildrenOnly);
}

bool ActivityLogView::isShowingEmptyState() const
{
    return !m_emptyState->isHidden();
}

void ActivityLogView::requestClear()
{
    if (Prompts::confirm(this, QStringLiteral("Clear activity log?"), QString(), QStringLiteral("Clear Log"),
                         Prompter::Role::destructive))
        m_log.clearLog();
}

void ActivityLogView::rebuild()
{
    // Drop the old rows at once so that rows() and the layout agree immediately.
    while (QLayoutItem* item = m_rowsLayout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->setParent(nullptr);
            widget->deleteLater();
        }
        delete item;
    }
    const QList<ActivityLogEntry>& entries = m_log.entries();
    const QDateTime now = m_log.now();
    for (const ActivityLogEntry& entry : entries) {
        m_rowsLayout->addWidget(new ActivityLogRow(entry, now, m_rowsHost));
        m_rowsLayout->addWidget(divider(m_rowsHost, 0.4));
    }
    m_rowsLayout->addStretch(1);
    const bool empty = entries.isEmpty();
    m_clearButton->setVisible(!empty);
    m_scroll->setVisible(!empty);
    m_emptyState->setVisible(empty);
}
