#include "sidebar/ManufacturerFilterSection.h"

#include "Platform/PlatformServices.h"
#include "Platform/Workspace.h"
#include "catalogue/ManufacturerWebsites.h"
#include "operations/PluginManagerViewModel.h"
#include "sidebar/ManufacturerListModel.h"
#include "sidebar/ManufacturerListView.h"
#include "sidebar/RowButton.h"
#include "sidebar/SidebarIcons.h"
#include "widgets/AppTheme.h"
#include "widgets/GlassStyle.h"
#include "widgets/Styles.h"
#include "widgets/ThemedLabel.h"
#include "widgets/Typography.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

ManufacturerFilterSection::ManufacturerFilterSection(PluginManagerViewModel& viewModel,
                                                     std::function<void()> expandActions, QWidget* parent)
    : FoldingSection(QStringLiteral("manufacturersSection"), QStringLiteral("Manufacturers"), &AppTheme::accentBlue,
                     QMargins(12, 0, 12, 0), 12, parent),
      m_viewModel(viewModel), m_expandActions(std::move(expandActions))
{
    m_clearButton = new RowButton(QStringLiteral("Clear"), this);
    m_clearButton->row()->setContentsMargins(4, 2, 4, 2);
    m_clearButton->row()->addWidget(new ThemedLabel(QStringLiteral("Clear"), Typography::sidebarCaption2(),
                                                    &AppTheme::accentPurple, m_clearButton));
    m_clearButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_clearButton, &QAbstractButton::clicked, this, &ManufacturerFilterSection::clearManufacturers);
    headerRow()->addWidget(m_clearButton);

    auto* bodyLayout = new QVBoxLayout(body());
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(12);

    auto* field = new QWidget;
    auto* fieldRow = new QHBoxLayout(field);
    fieldRow->setContentsMargins(10, 5, 10, 5);
    fieldRow->setSpacing(6);
    fieldRow->addWidget(SidebarIcons::symbolLabel(QStringLiteral("magnifyingglass"), AppTheme::textTertiary(), 12, 14));
    m_filterField = new QLineEdit;
    m_filterField->setPlaceholderText(QStringLiteral("Filter manufacturers…"));
    m_filterField->setAccessibleName(QStringLiteral("Filter manufacturers"));
    m_filterField->setFrame(false);
    m_filterField->setFont(Typography::sidebarCaption());
    m_filterField->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_filterField->setStyleSheet(Styles::transparentField(false));
    fieldRow->addWidget(m_filterField, 1);
    m_filterClear = new QToolButton;
    m_filterClear->setAutoRaise(true);
    m_filterClear->setIcon(SidebarIcons::tintedIcon(QStringLiteral("xmark.circle.fill"), AppTheme::textTertiary(), 12));
    m_filterClear->setAccessibleName(QStringLiteral("Clear manufacturer filter text"));
    m_filterClear->setToolTip(QStringLiteral("Clear filter text"));
    m_filterClear->setCursor(Qt::PointingHandCursor);
    fieldRow->addWidget(m_filterClear);
    auto* fieldHolder = new QHBoxLayout;
    fieldHolder->setContentsMargins(12, 0, 12, 0);
    fieldHolder->addWidget(liquidGlassCard(field, 6));
    bodyLayout->addLayout(fieldHolder);

    m_model = new ManufacturerListModel(this);
    m_list = new ManufacturerListView(body());
    m_list->setModel(m_model);
    auto* listHolder = new QHBoxLayout;
    listHolder->setContentsMargins(8, 0, 8, 0);
    listHolder->addWidget(m_list);
    bodyLayout->addLayout(listHolder);

    connect(m_filterField, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_viewModel.setManufacturerSearchText(text); });
    connect(m_filterClear, &QToolButton::clicked, this, [this] { m_viewModel.setManufacturerSearchText(QString()); });
    connect(m_list, &ManufacturerListView::checkToggled, this, &ManufacturerFilterSection::toggleManufacturer);
    connect(m_list, &ManufacturerListView::linkActivated, this, &ManufacturerFilterSection::openWebsite);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { m_list->fitHeight(kListMaxHeight); });

    connect(&m_viewModel, &PluginManagerViewModel::allManufacturersChanged, this,
            &ManufacturerFilterSection::updateFromViewModel);
    connect(&m_viewModel, &PluginManagerViewModel::manufacturerSearchTextChanged, this,
            &ManufacturerFilterSection::updateFromViewModel);
    connect(&m_viewModel, &PluginManagerViewModel::selectedManufacturersChanged, this,
            &ManufacturerFilterSection::updateFromViewModel);
    updateFromViewModel();
    m_list->fitHeight(kListMaxHeight);
}

void ManufacturerFilterSection::toggleManufacturer(const QString& name)
{
    m_viewModel.setActiveProfile(std::nullopt);
    QSet<QString> names = m_viewModel.selectedManufacturers();
    if (names.contains(name)) {
        names.remove(name);
        m_viewModel.setSelectedManufacturers(names); // reloads the first page
        if (m_viewModel.selectedManufacturers().isEmpty())
            m_viewModel.setShowAllPlugins(false);
        return;
    }
    names.insert(name);
    m_viewModel.setSelectedManufacturers(names);
    m_viewModel.setShowAllPlugins(true);
    if (m_expandActions)
        m_expandActions();
}

void ManufacturerFilterSection::clearManufacturers()
{
    m_viewModel.setActiveProfile(std::nullopt);
    m_viewModel.setSelectedManufacturers({});
    m_viewModel.setShowAllPlugins(false);
}

void ManufacturerFilterSection::openWebsite(const QString& name)
{
    if (const auto& workspace = m_viewModel.services().workspace)
        workspace->openUrl(manufacturerWebsiteURL(name));
}

void ManufacturerFilterSection::updateFromViewModel()
{
    m_model->setNames(m_viewModel.allManufacturers());
    m_model->setFilterText(m_viewModel.manufacturerSearchText());
    m_model->setSelectedNames(m_viewModel.selectedManufacturers());
    if (m_filterField->text() != m_viewModel.manufacturerSearchText())
        m_filterField->setText(m_viewModel.manufacturerSearchText());
    m_filterClear->setVisible(!m_viewModel.manufacturerSearchText().isEmpty());
    m_clearButton->setVisible(!m_viewModel.selectedManufacturers().isEmpty());
}
