#pragma once

#include "uadcleanup/UADPluginAuth.h"

#include <QHash>
#include <QList>
#include <QUuid>
#include <QWidget>

#include <utility>

class PluginManagerViewModel;
class QAbstractButton;
class QLabel;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;
class UADCleanupManager;

/// The content of the UAD clean-up sheet: a view over the clean-up manager's state
/// (loading, complete, error, empty, or the list of demo plug-ins to choose from) whose
/// disable button hands the chosen ones to the window's view model. Keeps no state of
/// its own beyond its widgets.
class UADCleanupSheet final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UADCleanupSheet)
public:
    enum class State { loading, complete, error, empty, list };

    UADCleanupSheet(UADCleanupManager& manager, PluginManagerViewModel& viewModel, QWidget* parent = nullptr);

    /// The state the manager's properties call for, in precedence order.
    static State stateFor(const UADCleanupManager& manager);
    static QString completionText(int disabledCount);
    static QString selectionText(int selectedCount);
    static QString footerText(int authorizedCount, int alreadyDisabledCount);
    static QString disableTitle(int selectedCount);

    State state() const { return m_state; }
    QToolButton* closeButton() const { return m_close; }
    QLabel* messageLabel() const { return m_message; }
    QLabel* completionLabel() const { return m_completion; }
    QPushButton* doneButton() const { return m_done; }
    QPushButton* tryAgainButton() const { return m_tryAgain; }
    QPushButton* errorCancelButton() const { return m_errorCancel; }
    QPushButton* expiredOnlyButton() const { return m_expiredOnly; }
    QPushButton* allDemosButton() const { return m_allDemos; }
    QPushButton* noneButton() const { return m_none; }
    QLabel* selectionLabel() const { return m_selection; }
    QLabel* footerLabel() const { return m_footer; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* disableButton() const { return m_disable; }
    /// The headers of the list sections shown, in order.
    QStringList sectionTitles() const;
    /// The tappable row of an entry in the first three sections; null for others.
    QAbstractButton* row(const QUuid& id) const { return m_rows.value(id); }
    /// The passive row of an already-disabled entry; null for others.
    QWidget* disabledRow(const QUuid& id) const { return m_disabledRows.value(id); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Section {
        QString title;
        QString symbol;
        QColor colour;
        QList<UADPluginAuth> rows;
        bool interactive = true;
    };

    QWidget* buildHeader();
    QWidget* buildLoadingPage();
    QWidget* buildCompletePage();
    QWidget* buildErrorPage();
    QWidget* buildEmptyPage();
    QWidget* buildListPage();
    QWidget* buildToolbar();
    QWidget* buildFooter();
    QList<Section> sections() const;
    void refresh();
    void refreshList();
    void rebuildRows(const QList<Section>& sections);
    QAbstractButton* makeRow(const UADPluginAuth& entry);
    QWidget* makeDisabledRow(const UADPluginAuth& entry);
    void updateRow(const UADPluginAuth& entry);
    void close();

    UADCleanupManager& m_manager;
    PluginManagerViewModel& m_viewModel;
    State m_state = State::loading;

    QStackedWidget* m_pages = nullptr;
    QToolButton* m_close = nullptr;
    QLabel* m_message = nullptr;
    QScrollArea* m_messageScroll = nullptr;
    QLabel* m_completion = nullptr;
    QPushButton* m_done = nullptr;
    QPushButton* m_tryAgain = nullptr;
    QPushButton* m_errorCancel = nullptr;
    QPushButton* m_expiredOnly = nullptr;
    QPushButton* m_allDemos = nullptr;
    QPushButton* m_none = nullptr;
    QLabel* m_selection = nullptr;
    QLabel* m_footer = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_disable = nullptr;
    QWidget* m_listContent = nullptr;
    QVBoxLayout* m_listLayout = nullptr;
    QStringList m_sectionTitles;
    /// What the shown rows were built from: rebuilt only when it changes, so a toggled
    /// row keeps its keyboard focus.
    QList<std::pair<QUuid, int>> m_rowShape;
    QHash<QUuid, QAbstractButton*> m_rows;
    QHash<QUuid, QWidget*> m_disabledRows;
};
