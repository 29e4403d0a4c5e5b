#pragma once

#include "catalogue/PDFExporter.h"
#include "catalogue/PluginModels.h"
#include "operations/BulkAction.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

class BulkActionsView;
class BulkPaneHandle;
class ExportSheet;
class GlassSurface;
class PluginListView;
class PluginManagerViewModel;
class ProfileManager;
class QAbstractButton;
class QLabel;
class Prompter;
class QPushButton;
class QStackedWidget;
class SearchBar;

/// The detail column of the main window: the header (search, Reset, Scan, Export), the
/// profile-preview banner, and the content area (placeholder, table alone, or table
/// above the resizable bulk panel). It owns no catalogue data; it asks through the
/// window's prompter.
class MainContentView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainContentView)
public:
    enum class ContentMode { placeholder, table, tableWithBulkPanel };

    MainContentView(PluginManagerViewModel& viewModel, ProfileManager& profiles, Prompter& prompter,
                    QWidget* parent = nullptr);
    ~MainContentView() override;

    SearchBar* searchBar() const { return m_searchBar; }
    QPushButton* resetButton() const { return m_reset; }
    QPushButton* scanButton() const { return m_scan; }
    QPushButton* exportButton() const { return m_export; }
    QWidget* previewBanner() const { return m_banner; }
    QLabel* previewTitle() const { return m_bannerTitle; }
    QPushButton* closePreviewButton() const { return m_closePreview; }
    /// The banner chip of "changes", "enabled", "disabled" or "all".
    QAbstractButton* filterChip(const QString& key) const { return m_chips.value(key); }
    QWidget* placeholder() const { return m_placeholder; }
    PluginListView* listView() const { return m_list; }
    BulkActionsView* bulkActionsView() const { return m_bulk; }
    BulkPaneHandle* dragHandle() const { return m_handle; }
    ContentMode contentMode() const { return m_mode; }
    ProfileManager& profileManager() const { return m_profiles; }

    int bulkPaneHeight() const;
    void setBulkPaneHeight(int height);

    ExportFormat exportFormat() const { return m_exportFormat; }
    ExportSortOption exportSortOption() const { return m_exportSortOption; }
    /// The open export sheet, or null.
    ExportSheet* exportSheet() const;
    void openExportSheet();

Q_SIGNALS:
    void bulkConfirmationRequested(BulkAction action, const QList<AudioPlugin>& plugins);
    void resetTapped();

private:
    QWidget* buildHeader();
    QWidget* buildBanner();
    QWidget* buildPlaceholder();
    void updateHeader();
    void updateBanner();
    void updateContent();
    void runExport();

    PluginManagerViewModel& m_viewModel;
    ProfileManager& m_profiles;
    Prompter& m_prompter;
    SearchBar* m_searchBar = nullptr;
    QPushButton* m_reset = nullptr;
    QPushButton* m_scan = nullptr;
    QPushButton* m_export = nullptr;
    QWidget* m_banner = nullptr;
    QLabel* m_bannerTitle = nullptr;
    QPushButton* m_closePreview = nullptr;
    QHash<QString, QAbstractButton*> m_chips;
    QStackedWidget* m_stack = nullptr;
    QWidget* m_placeholder = nullptr;
    QWidget* m_tableArea = nullptr;
    PluginListView* m_list = nullptr;
    BulkPaneHandle* m_handle = nullptr;
    BulkActionsView* m_bulk = nullptr;
    ContentMode m_mode = ContentMode::placeholder;
    ExportFormat m_exportFormat = ExportFormat::pdf;
    ExportSortOption m_exportSortOption = ExportSortOption::name;
    QPointer<ExportSheet> m_exportSheet;
};
