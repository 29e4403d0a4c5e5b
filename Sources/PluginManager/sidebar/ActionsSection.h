#pragma once

#include "BulkAction.h"
#include "PluginModels.h"
#include "SidebarTexts.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class PluginManagerViewModel;
class RowButton;
class SectionHeaderButton;
class ThemedLabel;

/// "Actions": enable, disable or delete every plug-in that matches the current
/// filters, each after a confirmation that names how many plug-ins it touches.
class ActionsSection final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActionsSection)
public:
    using FormatCallback = std::function<void(std::optional<PluginFormat>)>;

    ActionsSection(PluginManagerViewModel& viewModel, FormatCallback enableAllForFormat,
                   FormatCallback disableAllForFormat, QWidget* parent = nullptr);

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    SectionHeaderButton* header() const { return m_header; }
    RowButton* button(BulkAction action) const { return m_buttons[index(action)]; }
    QString buttonLabel(BulkAction action) const;
    SidebarTexts::ActionScope currentScope() const;

    /// A button press: counts the plug-ins, asks, and on confirmation runs the action.
    void requestAction(BulkAction action);

Q_SIGNALS:
    void expandedChanged(bool expanded);

private:
    static int index(BulkAction action) { return static_cast<int>(action); }
    void updateLabels();
    void updateEnabled();

    PluginManagerViewModel& m_viewModel;
    FormatCallback m_enableAllForFormat;
    FormatCallback m_disableAllForFormat;
    SectionHeaderButton* m_header = nullptr;
    QWidget* m_body = nullptr;
    std::array<RowButton*, 3> m_buttons{};
    std::array<ThemedLabel*, 3> m_labels{};
    bool m_expanded = false;
};
