#pragma once

#include "widgets/FoldingSection.h"

class ActivityLogManager;
class ActivityLogView;
class Prompter;
class QLabel;

/// "Recent Activity": a folding header with the number of log entries (at most 99
/// shown) over the activity log view, which exists only while the section is open.
class RecentActivitySection final : public FoldingSection {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecentActivitySection)
public:
    static constexpr int kShownCountCap = 99;
    static constexpr int kLogMaxHeight = 280;

    RecentActivitySection(ActivityLogManager& log, Prompter& prompter, QWidget* parent = nullptr);

    /// Empty while the log is empty.
    QString countText() const;
    ActivityLogView* logView() const { return m_logView; }

private:
    void foldChanging(bool expanded) override;
    void updateCount();

    ActivityLogManager& m_log;
    Prompter& m_prompter;
    QLabel* m_count = nullptr;
    ActivityLogView* m_logView = nullptr;
};
