#include "sidebar/MenuBarSection.h"

#include "Platform/MenuBarLoginItem.h"
#include "sidebar/SidebarIcons.h"
#include "sidebar/ToggleSwitch.h"
#include "widgets/AppTheme.h"
#include "widgets/ThemedLabel.h"
#include "widgets/Typography.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <utility>

MenuBarSection::MenuBarSection(std::shared_ptr<LoginItem> loginItem, QWidget* parent)
    : QWidget(parent), m_loginItem(std::move(loginItem))
{
    setObjectName(QStringLiteral("menuBarSection"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(20, 0, 20, 0);
    header->setSpacing(6);
    header->addWidget(SidebarIcons::symbolLabel(QStringLiteral("menubar.rectangle"), AppTheme::accentBlue(), 12, 14));
    header->addWidget(
        new ThemedLabel(QStringLiteral("Menu Bar"), Typography::sidebarSubheadline(), &AppTheme::textPrimary));
    header->addStretch(1);
    layout->addLayout(header);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(20, 0, 20, 12);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(
        new ThemedLabel(QStringLiteral("Launch at Login"), Typography::sidebarCaption(), &AppTheme::textPrimary));
    texts->addWidget(new ThemedLabel(QStringLiteral("Monitors for new plugins"), Typography::sidebarCaption2(),
                                     &AppTheme::textTertiary));
    body->addLayout(texts, 1);
    m_switch = new ToggleSwitch(this);
    m_switch->setTint(AppTheme::accentBlue());
    m_switch->setAccessibleName(QStringLiteral("Launch at Login"));
    m_switch->setAccessibleDescription(QStringLiteral("Monitors for new plugins"));
    body->addWidget(m_switch);
    layout->addLayout(body);

    connect(m_switch, &QAbstractButton::toggled, this, [this](bool on) {
        MenuBarLoginItem::setEnabled(m_loginItem, on);
        // A failed registration leaves the old status; show what the system reports.
        refreshState();
    });
    refreshState();
}

void MenuBarSection::refreshState()
{
    const QSignalBlocker blocker(m_switch);
    m_switch->setChecked(MenuBarLoginItem::isEnabled(m_loginItem));
}

void MenuBarSection::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshState();
}
