#pragma once

#include <QWidget>

class ActivityLogManager;
class ActivityLogView;
class QLabel;
class SectionHeaderButton;

/// "Recent Activity": a folding header with the number of log entries (at most 99
/// shown) over the activity log view, which exists only while the section is open.
class RecentActivitySection final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecentActivitySection)
public:
    static constexpr int kShownCountCap = 99;
    static constexpr int kLogMaxHeight = 280;

    explicit RecentActivitySection(ActivityLogManager& log, QWidget* parent = nullptr);

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    SectionHeaderButton* header() const { return m_header; }
    /// Empty while the log is empty.
    QString countText() const;
    ActivityLogView* logView() const { return m_logView; }

Q_SIGNALS:
    void expandedChanged(bool expanded);

private:
    void updateCount();

    ActivityLogManager& m_log;
    SectionHeaderButton* m_header = nullptr;
    QLabel* m_count = nullptr;
    QWidget* m_bodyHolder = nullptr;
    ActivityLogView* m_logView = nullptr;
    bool m_expanded = false;
};
