#pragma once

#include "catalogue/PluginModels.h"
#include "operations/BulkAction.h"

#include <QHash>
#include <QList>
#include <QWidget>

#include <memory>

class BulkListModel;
class ItemViewActions;
class QKeyEvent;
class BulkPluginRow;
class FlowLayout;
class GlassSurface;
class PluginManagerViewModel;
class QAbstractButton;
class QLabel;
class QListView;
class QPushButton;

/// The bulk panel below the table: the collected plug-ins grouped by name, the format
/// chips that narrow what an action touches, and Enable / Disable / Delete Selected.
/// Ten plug-ins or fewer are switched at once; more than ten, and every delete, go to
/// the root view's confirmation through bulkConfirmationRequested.
class BulkActionsView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BulkActionsView)
public:
    static constexpr int kImmediateLimit = 10;
    /// The list keeps at least this height when notices take the pane's room.
    static constexpr int kMinimumListHeight = 40;

    explicit BulkActionsView(PluginManagerViewModel& viewModel, QWidget* parent = nullptr);
    ~BulkActionsView() override;

    /// Height of the notices and the list together (the list gives the notices their
    /// room, down to kMinimumListHeight); the header and action bar keep their own heights.
    void setPaneHeight(int height);
    int paneHeight() const { return m_paneHeight; }
    /// When true the list may grow without the pane-height cap.
    void setExpandFull(bool expand);
    bool expandFull() const { return m_expandFull; }

    QPushButton* enableButton() const { return m_enable; }
    QPushButton* disableButton() const { return m_disable; }
    QPushButton* deleteButton() const { return m_delete; }
    QPushButton* clearAllButton() const { return m_clearAll; }
    QPushButton* removeMarkedButton() const { return m_removeMarked; }
    QLabel* countLabel() const { return m_count; }
    QLabel* uniqueLabel() const { return m_unique; }
    QWidget* waveShellWarning() const { return m_waveShellWarning; }
    QWidget* wavesNotice() const { return m_wavesNotice; }
    /// The chip of a format, or null when the format is not in the panel.
    QAbstractButton* formatChip(PluginFormat format) const { return m_chips.value(format); }
    QListView* list() const { return m_list; }
    BulkListModel* listModel() const { return m_model; }
    int previousBulkCount() const { return m_previousBulkCount; }

    void enableSelected();
    void disableSelected();
    void deleteSelected();

Q_SIGNALS:
    void bulkConfirmationRequested(BulkAction action, const QList<AudioPlugin>& plugins);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int noticesHeight() const;
    void buildHeader(QWidget* parent);
    void buildActionBar(QWidget* parent);
    void buildNotices(QWidget* parent);
    void refresh();
    void refreshChips();
    void onEntryCountChanged();
    void switchPlugins(bool enable);
    void removeMarked();
    void applyListHeight();
    /// Left and Right move between the current row's name and its badges; Space and Return
    /// act on the one reached, as a click on it does.
    bool handleListKey(QKeyEvent* event);

    PluginManagerViewModel& m_viewModel;
    BulkListModel* m_model = nullptr;
    BulkPluginRow* m_rowDelegate = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_unique = nullptr;
    QPushButton* m_removeMarked = nullptr;
    QPushButton* m_clearAll = nullptr;
    QPushButton* m_enable = nullptr;
    QPushButton* m_disable = nullptr;
    QPushButton* m_delete = nullptr;
    QWidget* m_formatsBox = nullptr;
    FlowLayout* m_formatsLayout = nullptr;
    QHash<PluginFormat, QAbstractButton*> m_chips;
    QList<PluginFormat> m_chipFormats;
    QWidget* m_waveShellWarning = nullptr;
    QWidget* m_wavesNotice = nullptr;
    QListView* m_list = nullptr;
    std::unique_ptr<ItemViewActions> m_rowActions;
    int m_paneHeight = 200;
    bool m_expandFull = false;
    int m_previousBulkCount = 0;
    int m_lastEntryCount = -1;
};
