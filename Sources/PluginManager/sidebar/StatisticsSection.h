#pragma once

#include <QWidget>

class PluginManagerViewModel;
class QLabel;
class SectionHeaderButton;

/// "Statistics": the catalogue's total, enabled and disabled counts.
class StatisticsSection final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatisticsSection)
public:
    explicit StatisticsSection(PluginManagerViewModel& viewModel, QWidget* parent = nullptr);

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    SectionHeaderButton* header() const { return m_header; }
    QString totalText() const;
    QString enabledText() const;
    QString disabledText() const;

Q_SIGNALS:
    void expandedChanged(bool expanded);

private:
    void updateCounts();

    PluginManagerViewModel& m_viewModel;
    SectionHeaderButton* m_header = nullptr;
    QWidget* m_body = nullptr;
    QLabel* m_total = nullptr;
    QLabel* m_enabled = nullptr;
    QLabel* m_disabled = nullptr;
    bool m_expanded = false;
};
