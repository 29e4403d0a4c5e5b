#pragma once

#include "widgets/FoldingSection.h"

class PluginManagerViewModel;
class QLabel;

/// "Statistics": the catalogue's total, enabled and disabled counts.
class StatisticsSection final : public FoldingSection {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatisticsSection)
public:
    explicit StatisticsSection(PluginManagerViewModel& viewModel, QWidget* parent = nullptr);

    QString totalText() const;
    QString enabledText() const;
    QString disabledText() const;

private:
    void updateCounts();

    PluginManagerViewModel& m_viewModel;
    QLabel* m_total = nullptr;
    QLabel* m_enabled = nullptr;
    QLabel* m_disabled = nullptr;
};
