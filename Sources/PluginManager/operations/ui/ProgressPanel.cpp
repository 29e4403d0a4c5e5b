#include "operations/ui/ProgressPanel.h"

#include "operations/ProgressWindowManager.h"
#include "operations/ui/ProgressHUDView.h"

#include <QApplication>
#include <QMainWindow>
#include <QVBoxLayout>

ProgressPanel::ProgressPanel(ProgressWindowManager& manager)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::WindowTransparentForInput)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new ProgressHUDView(this);
    layout->addWidget(m_view);
    setFixedSize(ProgressHUDView::kWidth, ProgressHUDView::kHeight);
    m_view->setModel(manager.hudModel());

    connect(&manager, &ProgressWindowManager::hudModelChanged, this,
            [this](ProgressHUDModel* model) { m_view->setModel(model); });
    connect(&manager, &ProgressWindowManager::panelShown, this, &ProgressPanel::present);
    connect(&manager, &ProgressWindowManager::panelClosed, this, &QWidget::hide);
}

void ProgressPanel::present()
{
    centreOverActiveWindow();
    show();
    raise();
}

QWidget* ProgressPanel::anchorWindow() const
{
    // Without a window manager there may be no active window at all; the main window is
    // then the first visible top-level QMainWindow, else any other visible top-level window.
    if (QWidget* active = QApplication::activeWindow(); active && active != this && active->isVisible())
        return active;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* widget : windows) {
        if (widget != this && widget->isVisible() && qobject_cast<QMainWindow*>(widget))
            return widget;
    }
    for (QWidget* widget : windows) {
        const Qt::WindowType type = widget->windowType();
        if (widget != this && widget->isVisible() && type != Qt::Popup && type != Qt::ToolTip &&
            type != Qt::SplashScreen)
            return widget;
    }
    return nullptr;
}

void ProgressPanel::centreOverActiveWindow()
{
    const QWidget* anchor = anchorWindow();
    if (!anchor)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(anchor->frameGeometry().center());
    move(frame.topLeft());
}
