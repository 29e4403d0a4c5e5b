#include "MenuBarHelper/InformationMenu.h"

#include "widgets/AppTheme.h"

#include <QAction>
#include <QStyleOptionMenuItem>

InformationMenu::InformationMenu(const QString& title, QWidget* parent) : QMenu(title, parent) {}

void InformationMenu::makeInformationLine(QAction* action)
{
    action->setEnabled(false);
    action->setProperty(kLineProperty, true);
}

void InformationMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const
{
    QMenu::initStyleOption(option, action);
    if (!action || !action->property(kLineProperty).toBool() || !isEnabled())
        return;
    // Drawn as text of the menu, a little softer than its commands, at 4.5:1 or more.
    option->state |= QStyle::State_Enabled;
    option->palette.setCurrentColorGroup(QPalette::Active);
    const QColor ground = option->palette.color(QPalette::Window);
    const QColor ink = AppTheme::legible(AppTheme::withAlpha(option->palette.color(QPalette::Text), 0.7), ground);
    option->palette.setColor(QPalette::Text, ink);
    option->palette.setColor(QPalette::WindowText, ink);
    option->palette.setColor(QPalette::ButtonText, ink);
}
