#pragma once

#include <QWidget>

class ActivityLogManager;
class ActivityLogRow;
class QScrollArea;
class QVBoxLayout;
class RowButton;

/// The activity log, newest change first, with "Clear" behind a confirmation.
/// Rows are rebuilt when the log changes; the log holds at most 200 entries.
class ActivityLogView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActivityLogView)
public:
    explicit ActivityLogView(ActivityLogManager& log, QWidget* parent = nullptr);

    RowButton* clearButton() const { return m_clearButton; }
    QList<ActivityLogRow*> rows() const;
    bool isShowingEmptyState() const;
    /// Asks "Clear activity log?" and clears the log when confirmed.
    void requestClear();

private:
    void rebuild();

    ActivityLogManager& m_log;
    RowButton* m_clearButton = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_rowsHost = nullptr;
    QVBoxLayout* m_rowsLayout = nullptr;
    QWidget* m_emptyState = nullptr;
};
