#pragma once

#include "catalogue/PluginModels.h"
#include "operations/BulkAction.h"
#include "sidebar/SidebarTexts.h"
#include "widgets/FoldingSection.h"

#include <array>
#include <functional>
#include <optional>

class PluginManagerViewModel;
class Prompter;
class RowButton;
class ThemedLabel;

/// "Actions": enable, disable or delete every plug-in that matches the current
/// filters, each after a confirmation that names how many plug-ins it touches.
class ActionsSection final : public FoldingSection {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActionsSection)
public:
    using FormatCallback = std::function<void(std::optional<PluginFormat>)>;

    ActionsSection(PluginManagerViewModel& viewModel, Prompter& prompter, FormatCallback enableAllForFormat,
                   FormatCallback disableAllForFormat, QWidget* parent = nullptr);

    RowButton* button(BulkAction action) const { return m_buttons[index(action)]; }
    QString buttonLabel(BulkAction action) const;
    SidebarTexts::ActionScope currentScope() const;

    /// A button press: counts the plug-ins, asks, and on confirmation runs the action.
    void requestAction(BulkAction action);

private:
    static int index(BulkAction action) { return static_cast<int>(action); }
    void updateLabels();
    void updateEnabled();

    PluginManagerViewModel& m_viewModel;
    Prompter& m_prompter;
    FormatCallback m_enableAllForFormat;
    FormatCallback m_disableAllForFormat;
    std::array<RowButton*, 3> m_buttons{};
    std::array<ThemedLabel*, 3> m_labels{};
};
