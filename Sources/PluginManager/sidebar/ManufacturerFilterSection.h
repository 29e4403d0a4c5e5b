#pragma once

#include "widgets/FoldingSection.h"

#include <functional>

class ManufacturerListModel;
class ManufacturerListView;
class PluginManagerViewModel;
class QLineEdit;
class QToolButton;
class RowButton;

/// "Manufacturers": the catalogue's manufacturers with a check per name for the
/// table's manufacturer filter, a link to each web site, a narrowing text field and
/// a "Clear" button.
class ManufacturerFilterSection final : public FoldingSection {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ManufacturerFilterSection)
public:
    static constexpr int kListMaxHeight = 200;

    ManufacturerFilterSection(PluginManagerViewModel& viewModel, std::function<void()> expandActions,
                              QWidget* parent = nullptr);

    RowButton* clearButton() const { return m_clearButton; }
    QLineEdit* filterField() const { return m_filterField; }
    QToolButton* filterClearButton() const { return m_filterClear; }
    ManufacturerListView* listView() const { return m_list; }
    ManufacturerListModel* listModel() const { return m_model; }

    void toggleManufacturer(const QString& name);
    void clearManufacturers();
    /// Opens the manufacturer's web site in the browser; the filter does not change.
    void openWebsite(const QString& name);

private:
    void updateFromViewModel();

    PluginManagerViewModel& m_viewModel;
    std::function<void()> m_expandActions;
    RowButton* m_clearButton = nullptr;
    QLineEdit* m_filterField = nullptr;
    QToolButton* m_filterClear = nullptr;
    ManufacturerListModel* m_model = nullptr;
    ManufacturerListView* m_list = nullptr;
};
