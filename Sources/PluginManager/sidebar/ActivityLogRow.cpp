#include "sidebar/ActivityLogRow.h"

#include "sidebar/SidebarIcons.h"
#include "sidebar/SidebarTexts.h"
#include "widgets/AppTheme.h"
#include "widgets/ThemedLabel.h"
#include "widgets/Typography.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

ActivityLogRow::ActivityLogRow(const ActivityLogEntry& entry, const QDateTime& now, QWidget* parent)
    : QWidget(parent), m_entry(entry)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 6, 16, 6);
    row->setSpacing(10);
    m_symbol = SidebarIcons::symbolLabel(symbolFor(entry.action), colorFor(entry.action), 12, 16, this);
    row->addWidget(m_symbol);

    auto* left = new QVBoxLayout;
    left->setSpacing(1);
    // One line: long names are cut, the format line below is not limited.
    auto* name = new ThemedLabel(SidebarTexts::singleLine(entry.pluginName), Typography::sidebarCaption(),
                                 &AppTheme::textPrimary, this);
    name->setWordWrap(false);
    name->setElideMode(Qt::ElideRight);
    name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    name->setMinimumWidth(20);
    name->setToolTip(entry.pluginName);
    m_name = name;
    m_format = new ThemedLabel(entry.format, Typography::sidebarCaption2(), &AppTheme::textTertiary, this);
    left->addWidget(m_name);
    left->addWidget(m_format);
    row->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    right->setSpacing(1);
    const ActivityLogEntry::Action action = entry.action;
    // The action's colour, in a shade that reads on the sidebar.
    m_action = new ThemedLabel(
        ActivityLogEntry::actionRawValue(action), Typography::sidebarCaption2(),
        [action] { return AppTheme::legible(colorFor(action), AppTheme::readingBackground()); }, this);
    m_time = new ThemedLabel(entry.timeAgo(now), Typography::sidebarCaption2(), &AppTheme::textTertiary, this);
    m_action->setAlignment(Qt::AlignRight);
    m_time->setAlignment(Qt::AlignRight);
    right->addWidget(m_action);
    right->addWidget(m_time);
    row->addLayout(right);

    setAccessibleName(entry.pluginName + QStringLiteral(", ") + entry.format + QStringLiteral(", ") + m_action->text() +
                      QStringLiteral(", ") + m_time->text());
}

QString ActivityLogRow::nameText() const
{
    return m_name->text();
}
QString ActivityLogRow::formatText() const
{
    return m_format->text();
}
QString ActivityLogRow::actionText() const
{
    return m_action->text();
}
QString ActivityLogRow::timeText() const
{
    return m_time->text();
}
QString ActivityLogRow::symbolName() const
{
    return m_symbol->property("symbolName").toString();
}

QString ActivityLogRow::symbolFor(ActivityLogEntry::Action action)
{
    switch (action) {
    case ActivityLogEntry::Action::enabled:
        return QStringLiteral("checkmark.circle.fill");
    case ActivityLogEntry::Action::disabled:
        return QStringLiteral("xmark.circle.fill");
    case ActivityLogEntry::Action::deleted:
        return QStringLiteral("trash.fill");
    }
    return QStringLiteral("trash.fill");
}

QColor ActivityLogRow::colorFor(ActivityLogEntry::Action action)
{
    switch (action) {
    case ActivityLogEntry::Action::enabled:
        return AppTheme::systemGreen();
    case ActivityLogEntry::Action::disabled:
        return AppTheme::withAlpha(AppTheme::systemRed(), 0.8);
    case ActivityLogEntry::Action::deleted:
        return AppTheme::textTertiary();
    }
    return AppTheme::textTertiary();
}

void ActivityLogRow::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(2, 1, -2, -1), 5, 5);
}

void ActivityLogRow::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void ActivityLogRow::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}
