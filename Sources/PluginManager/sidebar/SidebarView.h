#pragma once

#include "catalogue/PluginModels.h"

#include <QWidget>

#include <functional>
#include <optional>

class ActionsSection;
class ActivityLogManager;
class FormatFilterSection;
class GradientTitle;
class HoverScale;
class ManufacturerFilterSection;
class MenuBarSection;
class PluginManagerViewModel;
class ProfileManager;
class ProfilesSection;
class Prompter;
class QLabel;
class QScrollArea;
class QToolButton;
class RecentActivitySection;
class SidebarItemButton;
class StatisticsSection;
class ThemedLabel;
class PurplePressButton;

/// The left column of the main window: title, "All Plugins", the active-filter line,
/// Profiles, Actions, format and manufacturer filters, statistics, the menu-bar helper
/// switch and the recent activity. It owns only view state; everything it shows comes
/// from the view model, the profile store and the activity log the view model was built
/// on, and it asks through the window's prompter.
class SidebarView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SidebarView)
public:
    using FormatCallback = std::function<void(std::optional<PluginFormat>)>;

    static constexpr int kScrollDelayMs = 50;
    static constexpr int kScrollMs = 300;
    /// "All Plugins" grows to this under the pointer.
    static constexpr double kAllPluginsHoverScale = 1.02;
    static constexpr int kAllPluginsHoverMs = 200;
    /// The scroll content's own minimum width; at or below the window's narrowest
    /// sidebar column (250 px), so the column's width always decides.
    static constexpr int kMinimumContentWidth = 200;
    /// Room kept above and below a control that the focus scrolls into view.
    static constexpr int kFocusMargin = 8;

    SidebarView(PluginManagerViewModel& viewModel, ProfileManager& profileManager, Prompter& prompter,
                FormatCallback enableAllForFormat, FormatCallback disableAllForFormat, QWidget* parent = nullptr);

    /// Opens Actions, closes Statistics and Recent Activity, and scrolls Actions to the
    /// top 0.05 s later (once it is laid out).
    void expandActions();

    /// The object names of the parts now shown, top to bottom.
    QStringList visibleParts() const;
    /// The filter line's text: the summary, or "No active filters".
    QString filterLineText() const;

    GradientTitle* title() const { return m_title; }
    SidebarItemButton* allPluginsRow() const { return m_allPluginsRow; }
    HoverScale& allPluginsHover() const { return *m_allPluginsHover; }
    QString allPluginsCountText() const;
    QToolButton* clearFiltersButton() const { return m_clearFilters; }
    ProfilesSection* profilesSection() const { return m_profiles; }
    ActionsSection* actionsSection() const { return m_actions; }
    FormatFilterSection* formatsSection() const { return m_formats; }
    ManufacturerFilterSection* manufacturersSection() const { return m_manufacturers; }
    PurplePressButton* invertSelectionButton() const { return m_invertButton; }
    StatisticsSection* statisticsSection() const { return m_statistics; }
    MenuBarSection* menuBarSection() const { return m_menuBar; }
    RecentActivitySection* recentActivitySection() const { return m_recent; }
    QScrollArea* scrollArea() const { return m_scroll; }
    QWidget* actionsBlock() const { return m_actionsBlock; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build(FormatCallback enableAllForFormat, FormatCallback disableAllForFormat);
    QWidget* buildHeader();
    QWidget* buildAllPluginsRow();
    QWidget* buildFilterLine();
    QWidget* buildScanningIndicator();
    QWidget* buildProfilesAndActions(FormatCallback enableAllForFormat, FormatCallback disableAllForFormat);
    QWidget* buildInvertButton();
    QWidget* buildDivider();
    void connectViewModel();
    void allPluginsClicked();
    void clearAllFilters();
    void scrollToActions();
    void collapseAll();
    void updateAllPlugins();
    void updateFilterLine();
    void updateVisibility();

    PluginManagerViewModel& m_viewModel;
    ProfileManager& m_profileManager;
    ActivityLogManager& m_activityLog;
    Prompter& m_prompter;

    GradientTitle* m_title = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_scrollContent = nullptr;
    QWidget* m_allPluginsHolder = nullptr;
    SidebarItemButton* m_allPluginsRow = nullptr;
    HoverScale* m_allPluginsHover = nullptr;
    QLabel* m_allPluginsCount = nullptr;
    class FilterLine;
    FilterLine* m_filterLine = nullptr;
    ThemedLabel* m_filterText = nullptr;
    QToolButton* m_clearFilters = nullptr;
    ProfilesSection* m_profiles = nullptr;
    QWidget* m_actionsBlock = nullptr;
    ActionsSection* m_actions = nullptr;
    FormatFilterSection* m_formats = nullptr;
    ManufacturerFilterSection* m_manufacturers = nullptr;
    QWidget* m_invertHolder = nullptr;
    PurplePressButton* m_invertButton = nullptr;
    QWidget* m_divider = nullptr;
    StatisticsSection* m_statistics = nullptr;
    MenuBarSection* m_menuBar = nullptr;
    RecentActivitySection* m_recent = nullptr;
    QWidget* m_scanning = nullptr;
};
