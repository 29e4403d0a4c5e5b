#pragma once

#include <QWidget>

class ActivityLogManager;
class ActivityLogRow;
class Prompter;
class QScrollArea;
class QVBoxLayout;
class RowButton;

/// The activity log, newest change first, with "Clear" behind a confirmation.
/// Rows are rebuilt when the log changes; the log holds at most 200 entries. The entries are
/// one Tab stop: the keyboard lands on the entry it was last on, Up and Down (Home, End, Page
/// Up and Page Down) move between them and the list scrolls along; each entry reads in full.
class ActivityLogView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActivityLogView)
public:
    ActivityLogView(ActivityLogManager& log, Prompter& prompter, QWidget* parent = nullptr);

    RowButton* clearButton() const { return m_clearButton; }
    QList<ActivityLogRow*> rows() const;
    bool isShowingEmptyState() const;
    /// Asks "Clear activity log?" and clears the log when confirmed; says so when the cleared
    /// log could not be saved.
    void requestClear();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild();
    /// Makes row `index` the entries' one Tab stop (and focuses it when `focus`).
    void reachRow(int index, bool focus);

    ActivityLogManager& m_log;
    Prompter& m_prompter;
    RowButton* m_clearButton = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_rowsHost = nullptr;
    QVBoxLayout* m_rowsLayout = nullptr;
    QWidget* m_emptyState = nullptr;
};
