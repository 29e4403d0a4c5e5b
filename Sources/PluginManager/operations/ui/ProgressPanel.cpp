#include "ProgressPanel.h"

#include "ProgressHUDView.h"
#include "ProgressWindowManager.h"

#include <QApplication>
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

ProgressPanel& ProgressPanel::install()
{
    static QPointer<ProgressPanel> panel;
    if (!panel)
        panel = new ProgressPanel(ProgressWindowManager::shared());
    return *panel;
}

void ProgressPanel::present()
{
    centreOverActiveWindow();
    show();
    raise();
}

void ProgressPanel::centreOverActiveWindow()
{
    QWidget* anchor = QApplication::activeWindow();
    if (!anchor || anchor == this) {
        // The main window: the first visible top-level window that is not this panel.
        anchor = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget != this && widget->isVisible() && !(widget->windowFlags() & Qt::Tool)) {
                anchor = widget;
                break;
            }
        }
    }
    if (!anchor)
        return;
    const QRect frame = anchor->frameGeometry();
    move(frame.center().x() - width() / 2, frame.center().y() - height() / 2);
}
