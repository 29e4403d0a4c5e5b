#include "pluginlist/MainContentView.h"

#include "Platform/PlatformServices.h"
#include "Platform/Workspace.h"
#include "operations/PluginManagerViewModel.h"
#include "pluginlist/BulkActionsView.h"
#include "pluginlist/BulkPaneHandle.h"
#include "pluginlist/ExportSheet.h"
#include "pluginlist/PluginListView.h"
#include "pluginlist/PromptSavePanel.h"
#include "pluginlist/SearchBar.h"
#include "widgets/AppTheme.h"
#include "widgets/GlassStyle.h"
#include "widgets/Prompter.h"
#include "widgets/Styles.h"
#include "widgets/SymbolIcons.h"
#include "widgets/Typography.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

struct ChipInfo {
    const char* key;
    const char* label;
    const char* symbol;
    QColor (*color)();
};

QColor chipBlue()
{
    return AppTheme::accentBlue();
}

const ChipInfo kChips[] = {
    {"changes", "Changes", "arrow.triangle.2.circlepath", &AppTheme::systemOrange},
    {"enabled", "Enabled", "checkmark.circle", &AppTheme::systemGreen},
    {"disabled", "Disabled", "xmark.circle", &AppTheme::systemRed},
    {"all", "All", "list.bullet", &chipBlue},
};

// A preview filter chip: tinted fill and stroke in the chip colour while selected.
class FilterChip final : public QAbstractButton {
public:
    FilterChip(const ChipInfo& info, QWidget* parent) : QAbstractButton(parent), m_info(info)
    {
        setText(QString::fromLatin1(info.label));
        setAccessibleName(text());
        setObjectName(QStringLiteral("previewFilter:") + QLatin1String(info.key));
        setCheckable(true);
        setCursor(Qt::PointingHandCursor);
    }

    /// The tick follows the view model's filter only.
    void setSelected(bool selected)
    {
        const QScopedValueRollback syncing(m_syncing, true);
        setChecked(selected);
    }

    QSize sizeHint() const override
    {
        QFont bold = Typography::withWeight(Typography::body(), QFont::DemiBold);
        const QFontMetrics metrics(bold);
        return {12 + 14 + 5 + metrics.horizontalAdvance(text()) + 12, metrics.height() + 10};
    }

protected:
    // A click does not flip the tick by itself: its handler sets the filter, which ticks the chip.
    void nextCheckState() override {}
    // An assistive toggle flips the tick directly; it becomes a click, so every way of
    // activating a chip goes through the same road (after the request has returned).
    void checkStateSet() override
    {
        if (m_syncing)
            return;
        QTimer::singleShot(0, this, [this] { click(); });
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool selected = isChecked();
        // The chip's hue, dark enough to read on its own tint over the banner's.
        const QColor banner =
            AppTheme::over(AppTheme::withAlpha(AppTheme::accentBlue(), 0.15), AppTheme::readingBackground());
        const QColor color =
            AppTheme::legible(m_info.color(), AppTheme::over(AppTheme::withAlpha(m_info.color(), 0.2), banner));
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        if (selected) {
            painter.setBrush(AppTheme::withAlpha(m_info.color(), 0.2));
            painter.setPen(QPen(AppTheme::withAlpha(m_info.color(), 0.4), 1));
            painter.drawRoundedRect(box, 6, 6);
        }
        if (hasFocus()) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
            painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        }
        const QColor content = selected ? color : AppTheme::textTertiary();
        const QRect icon(12, height() / 2 - 7, 14, 14);
        painter.drawPixmap(icon,
                           SymbolIcons::pixmap(QString::fromLatin1(m_info.symbol), 14, content, devicePixelRatioF()));
        painter.setFont(Typography::withWeight(Typography::body(), selected ? QFont::DemiBold : QFont::Normal));
        painter.setPen(content);
        painter.drawText(rect().adjusted(12 + 14 + 5, 0, -12, 0), Qt::AlignLeft | Qt::AlignVCenter, text());
    }

private:
    ChipInfo m_info;
    bool m_syncing = false;
};

QPushButton* plainButton(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setAccessibleName(text);
    return button;
}

} // namespace

MainContentView::MainContentView(PluginManagerViewModel& viewModel, ProfileManager& profiles, Prompter& prompter,
                                 QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel), m_profiles(profiles), m_prompter(prompter)
{
    setObjectName(QStringLiteral("mainContentView"));
    qRegisterMetaType<QList<AudioPlugin>>();
    qRegisterMetaType<BulkAction>();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    layout->addWidget(buildBanner());

    m_stack = new QStackedWidget(this);
    m_placeholder = buildPlaceholder();
    m_stack->addWidget(m_placeholder);

    m_tableArea = new QWidget(m_stack);
    auto* area = new QVBoxLayout(m_tableArea);
    area->setContentsMargins(0, 0, 0, 0);
    area->setSpacing(0);
    m_list = new PluginListView(m_viewModel, m_tableArea);
    m_handle = new BulkPaneHandle(m_tableArea);
    m_bulk = new BulkActionsView(m_viewModel, m_tableArea);
    m_bulk->setPaneHeight(m_handle->paneHeight());
    area->addWidget(m_list, 1);
    area->addWidget(m_handle);
    area->addWidget(m_bulk);
    m_stack->addWidget(m_tableArea);
    layout->addWidget(m_stack, 1);

    connect(m_handle, &BulkPaneHandle::paneHeightChanged, m_bulk, &BulkActionsView::setPaneHeight);
    connect(m_bulk, &BulkActionsView::bulkConfirmationRequested, this, &MainContentView::bulkConfirmationRequested);

    connect(m_searchBar, &SearchBar::textEdited, this,
            [this](const QString& text) { m_viewModel.setSearchText(text); });
    connect(&m_viewModel, &PluginManagerViewModel::searchTextChanged, this,
            [this] { m_searchBar->setText(m_viewModel.searchText()); });

    connect(&m_viewModel, &PluginManagerViewModel::isLoadingChanged, this, &MainContentView::updateHeader);
    connect(&m_viewModel, &PluginManagerViewModel::operationRunningChanged, this, &MainContentView::updateHeader);
    connect(&m_viewModel, &PluginManagerViewModel::pluginsChanged, this, &MainContentView::updateHeader);
    connect(&m_viewModel, &PluginManagerViewModel::activeProfileChanged, this, &MainContentView::updateBanner);
    connect(&m_viewModel, &PluginManagerViewModel::profileViewFilterChanged, this, &MainContentView::updateBanner);
    for (auto signal :
         {&PluginManagerViewModel::activeProfileChanged, &PluginManagerViewModel::showAllPluginsChanged,
          &PluginManagerViewModel::persistedSelectionsChanged, &PluginManagerViewModel::selectedPluginsChanged,
          &PluginManagerViewModel::consolidatedBulkPluginsChanged})
        connect(&m_viewModel, signal, this, &MainContentView::updateContent);

    m_searchBar->setText(m_viewModel.searchText());
    updateHeader();
    updateBanner();
    updateContent();
}

MainContentView::~MainContentView() = default;

QWidget* MainContentView::buildHeader()
{
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("contentHeader"));
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 20, 0);
    row->setSpacing(10);

    m_searchBar = new SearchBar(header);
    row->addWidget(m_searchBar, 1);

    auto* divider = new QFrame(header);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setFixedHeight(16);
    divider->setStyleSheet(Styles::divider(90));
    row->addWidget(divider);

    m_reset = plainButton(QStringLiteral("Reset"), header);
    m_reset->setObjectName(QStringLiteral("resetButton"));
    m_reset->setIcon(SymbolIcons::tinted(QStringLiteral("arrow.counterclockwise"), AppTheme::textSecondary()));
    m_reset->setIconSize(QSize(10, 10));
    m_reset->setStyleSheet(Styles::ringedTextButton(AppTheme::textSecondary()));
    connect(m_reset, &QPushButton::clicked, this, [this] {
        // One reset per click; the root view adds only its own reaction.
        m_viewModel.resetView();
        Q_EMIT resetTapped();
    });
    row->addWidget(m_reset);

    const QColor brand = AppTheme::legible(AppTheme::brandPink(), AppTheme::readingBackground());
    const QString brandStyle = Styles::tintedTextButton(brand, QStringLiteral("4px 6px"), true);
    m_scan = plainButton(QStringLiteral("Scan"), header);
    m_scan->setObjectName(QStringLiteral("scanButton"));
    m_scan->setStyleSheet(brandStyle);
    connect(m_scan, &QPushButton::clicked, this, [this] {
        // Starts the scan after the click returns.
        QTimer::singleShot(0, &m_viewModel, [this] {
            if (!m_viewModel.isLoading() && !m_viewModel.isOperationRunning())
                m_viewModel.scanForPlugins();
        });
    });
    row->addWidget(m_scan);

    m_export = plainButton(QStringLiteral("Export"), header);
    m_export->setObjectName(QStringLiteral("exportButton"));
    m_export->setStyleSheet(brandStyle);
    connect(m_export, &QPushButton::clicked, this, &MainContentView::openExportSheet);
    row->addWidget(m_export);
    return header;
}

QWidget* MainContentView::buildBanner()
{
    auto* banner = new GlassSurface(this);
    banner->setObjectName(QStringLiteral("previewBanner"));
    banner->setKind(GlassSurface::Kind::tinted);
    banner->setTint(AppTheme::accentBlue());
    banner->setCornerRadius(0);
    m_banner = banner;
    auto* column = new QVBoxLayout(banner);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* first = new QHBoxLayout;
    first->setContentsMargins(16, 8, 16, 4);
    first->setSpacing(8);
    auto* eye = new QLabel(banner);
    eye->setPixmap(SymbolIcons::pixmap(QStringLiteral("eye.fill"), 14, AppTheme::accentBlue(), devicePixelRatioF()));
    first->addWidget(eye);
    m_bannerTitle = new QLabel(banner);
    m_bannerTitle->setObjectName(QStringLiteral("previewTitle"));
    m_bannerTitle->setFont(Typography::listCaption());
    Styles::setTextColor(m_bannerTitle, AppTheme::textPrimary());
    first->addWidget(m_bannerTitle);
    first->addStretch(1);
    m_closePreview = plainButton(QStringLiteral("Close Preview"), banner);
    m_closePreview->setObjectName(QStringLiteral("closePreviewButton"));
    m_closePreview->setFont(Typography::listCaption());
    // Grey on the banner's blue wash, dark enough to read there.
    const QColor closeColour =
        AppTheme::legible(AppTheme::textSecondary(), AppTheme::over(AppTheme::withAlpha(AppTheme::accentBlue(), 0.15),
                                                                    AppTheme::readingBackground()));
    m_closePreview->setIcon(SymbolIcons::tinted(QStringLiteral("xmark.circle.fill"), closeColour));
    Styles::setTextColor(m_closePreview, closeColour);
    connect(m_closePreview, &QPushButton::clicked, this, [this] {
        m_viewModel.setActiveProfile(std::nullopt);
        m_viewModel.setShowAllPlugins(false);
    });
    first->addWidget(m_closePreview);
    column->addLayout(first);

    auto* second = new QHBoxLayout;
    second->setContentsMargins(16, 0, 16, 8);
    second->setSpacing(8);
    for (const ChipInfo& info : kChips) {
        auto* chip = new FilterChip(info, banner);
        const QString key = QString::fromLatin1(info.key);
        // A press on the selected chip sets the same value again ("changes" recomputes).
        connect(chip, &QAbstractButton::clicked, this, [this, key] {
            m_viewModel.setProfileViewFilter(key);
            updateBanner();
        });
        m_chips.insert(key, chip);
        second->addWidget(chip);
    }
    second->addStretch(1);
    column->addLayout(second);
    return banner;
}

QWidget* MainContentView::buildPlaceholder()
{
    auto* placeholder = new QWidget(this);
    placeholder->setObjectName(QStringLiteral("contentPlaceholder"));
    auto* column = new QVBoxLayout(placeholder);
    column->addStretch(1);
    auto* icon = new QLabel(placeholder);
    icon->setAlignment(Qt::AlignCenter);
    icon->setPixmap(
        SymbolIcons::pixmap(QStringLiteral("music.note.list"), 40, AppTheme::textTertiary(), devicePixelRatioF()));
    auto* title = new QLabel(QStringLiteral("Select a category from the sidebar"), placeholder);
    title->setAlignment(Qt::AlignCenter);
    title->setFont(Typography::listHeadline());
    Styles::setTextColor(title, AppTheme::textSecondary());
    auto* hint =
        new QLabel(QStringLiteral("Choose \"All Plugins\" or a specific format to view plugins."), placeholder);
    hint->setAlignment(Qt::AlignCenter);
    hint->setFont(Typography::listCaption());
    Styles::setTextColor(hint, AppTheme::textTertiary());
    column->setSpacing(12);
    column->addWidget(icon);
    column->addWidget(title);
    column->addWidget(hint);
    column->addStretch(1);
    return placeholder;
}

void MainContentView::updateHeader()
{
    m_scan->setEnabled(!m_viewModel.isLoading() && !m_viewModel.isOperationRunning());
    m_export->setEnabled(!m_viewModel.plugins().isEmpty());
}

void MainContentView::updateBanner()
{
    const auto& profile = m_viewModel.activeProfile();
    m_banner->setVisible(profile.has_value());
    if (profile)
        m_bannerTitle->setText(QStringLiteral("Previewing profile: \"") + profile->name + QLatin1Char('"'));
    const QString& filter = m_viewModel.profileViewFilter();
    for (auto it = m_chips.cbegin(); it != m_chips.cend(); ++it)
        static_cast<FilterChip*>(it.value())->setSelected(it.key() == filter);
}

void MainContentView::updateContent()
{
    ContentMode mode = ContentMode::placeholder;
    if (!m_viewModel.activeProfile() && !m_viewModel.persistedSelections().isEmpty())
        mode = ContentMode::tableWithBulkPanel;
    else if (m_viewModel.showAllPlugins())
        mode = ContentMode::table;
    m_mode = mode;
    // The keyboard on the bulk panel (Clear All, an action) stays in the content when the panel
    // goes: on the table, not wherever the window would send it next.
    const QWidget* focus = QApplication::focusWidget();
    const bool onPanel = focus && (focus == m_bulk || m_bulk->isAncestorOf(focus) || focus == m_handle);
    m_stack->setCurrentWidget(mode == ContentMode::placeholder ? m_placeholder : m_tableArea);
    m_handle->setVisible(mode == ContentMode::tableWithBulkPanel);
    m_bulk->setVisible(mode == ContentMode::tableWithBulkPanel);
    if (onPanel && mode == ContentMode::table)
        m_list->table()->setFocus(Qt::OtherFocusReason);
}

int MainContentView::bulkPaneHeight() const
{
    return m_handle->paneHeight();
}

void MainContentView::setBulkPaneHeight(int height)
{
    m_handle->setPaneHeight(height);
}

ExportSheet* MainContentView::exportSheet() const
{
    return m_exportSheet.data();
}

void MainContentView::openExportSheet()
{
    if (m_exportSheet || m_viewModel.plugins().isEmpty())
        return;
    auto* sheet = new ExportSheet(m_exportFormat, m_exportSortOption, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_exportSheet = sheet;
    connect(sheet, &ExportSheet::formatChanged, this, [this](ExportFormat format) { m_exportFormat = format; });
    connect(sheet, &ExportSheet::sortOptionChanged, this,
            [this](ExportSortOption option) { m_exportSortOption = option; });
    connect(sheet, &QDialog::finished, this, [this](int result) {
        m_exportSheet = nullptr;
        if (result == QDialog::Accepted)
            runExport();
    });
    sheet->open();
}

void MainContentView::runExport()
{
    // The sheet is closed before the exporter asks for the destination.
    const QList<AudioPlugin> plugins = m_viewModel.plugins();
    PromptSavePanel panel(m_prompter, this);
    std::shared_ptr<Workspace> workspace = m_viewModel.services().workspace;
    if (!workspace)
        return;
    const PDFExporter::Outcome outcome =
        m_exportFormat == ExportFormat::csv
            ? PDFExporter::exportPluginsAsCSV(plugins, m_exportSortOption, panel, *workspace)
            : PDFExporter::exportPlugins(plugins, m_exportSortOption, panel, *workspace);
    // The exporter prints its failure; the window must say so too.
    if (outcome.kind == PDFExporter::Outcome::Kind::failed)
        m_prompter.inform(this, QStringLiteral("Export Failed"), outcome.error);
}
