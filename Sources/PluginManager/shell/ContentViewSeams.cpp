#include "ContentViewSeams.h"

#include "MainContentView.h"
#include "SidebarView.h"

#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>


namespace ContentViewSeams {

namespace {

Factories defaults()
{
    Factories f;
    f.sidebar = makeSidebarColumn;
    f.mainContent = makeMainContentArea;
    f.onboardingSheet = makeOnboardingSheet;
    f.uadCleanupSheet = makeUADCleanupSheetContent;
    return f;
}

} // namespace

Factories& factories()
{
    static Factories current = defaults();
    return current;
}

void resetFactories() { factories() = defaults(); }

QWidget* makeSidebarColumn(PluginManagerViewModel& viewModel, ProfileManager& profiles, FormatCallback enableAll,
                           FormatCallback disableAll, QWidget* parent)
{
    return new SidebarView(viewModel, profiles, std::move(enableAll), std::move(disableAll), parent);
}

QWidget* makeMainContentArea(PluginManagerViewModel& viewModel, ProfileManager& profiles, BulkRequest onBulkRequest,
                             std::function<void()> onReset, QWidget* parent)
{
    auto* view = new MainContentView(viewModel, profiles, parent);
    QObject::connect(view, &MainContentView::bulkConfirmationRequested, view,
                     [onBulkRequest = std::move(onBulkRequest)](BulkAction action, const QList<AudioPlugin>& plugins) {
                         if (onBulkRequest)
                             onBulkRequest(action, plugins);
                     });
    QObject::connect(view, &MainContentView::resetTapped, view, [onReset = std::move(onReset)] {
        if (onReset)
            onReset();
    });
    return view;
}

QDialog* makeOnboardingSheet(QWidget* parent)
{
    // The first-run walk-through is its own piece; until it exists there is nothing to show.
    Q_UNUSED(parent);
    return nullptr;
}

QWidget* makeUADCleanupSheetContent(UADCleanupManager& manager, QWidget* parent)
{
    // The clean-up's own sheet comes later; say what the sequence opened meanwhile.
    Q_UNUSED(manager);
    auto* widget = new QWidget(parent);
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(24, 24, 24, 24);
    auto* title = new QLabel(QStringLiteral("UAD Demo Cleanup"));
    QFont f = title->font();
    f.setWeight(QFont::DemiBold);
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * 1.2);
    title->setFont(f);
    auto* text = new QLabel(QStringLiteral("The UAD demo clean-up is not available in this build."));
    text->setWordWrap(true);
    layout->addStretch(1);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    layout->addWidget(text, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return widget;
}

} // namespace ContentViewSeams
