#pragma once

#include "catalogue/PluginModels.h"
#include "widgets/FoldingSection.h"

#include <array>
#include <functional>

class PluginManagerViewModel;
class QLabel;
class SidebarItemButton;

/// "Plugin Formats": one row per format with its catalogue count; a click adds the
/// format to the table's format filter or takes it out.
class FormatFilterSection final : public FoldingSection {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormatFilterSection)
public:
    FormatFilterSection(PluginManagerViewModel& viewModel, std::function<void()> expandActions,
                        QWidget* parent = nullptr);

    SidebarItemButton* row(PluginFormat format) const { return m_rows[index(format)].button; }
    /// The count text of a row, e.g. "12".
    QString countText(PluginFormat format) const;
    /// The symbol a row shows now ("checkmark.circle.fill" while selected).
    QString symbolName(PluginFormat format) const;

    void toggleFormat(PluginFormat format);

private:
    struct Row {
        SidebarItemButton* button = nullptr;
        QLabel* symbol = nullptr;
        QLabel* count = nullptr;
    };
    static int index(PluginFormat format) { return static_cast<int>(format); }
    void updateSelection();
    void updateCounts();

    PluginManagerViewModel& m_viewModel;
    std::function<void()> m_expandActions;
    std::array<Row, 6> m_rows{};
};
