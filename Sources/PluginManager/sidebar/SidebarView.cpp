#include "sidebar/SidebarView.h"

#include "catalogue/ActivityLogManager.h"
#include "catalogue/ProfileManager.h"
#include "operations/PluginManagerViewModel.h"
#include "sidebar/ActionsSection.h"
#include "sidebar/FormatFilterSection.h"
#include "sidebar/GradientTitle.h"
#include "sidebar/ManufacturerFilterSection.h"
#include "sidebar/MenuBarSection.h"
#include "sidebar/ProfilesSection.h"
#include "sidebar/RecentActivitySection.h"
#include "sidebar/SidebarIcons.h"
#include "sidebar/SidebarTexts.h"
#include "sidebar/StatisticsSection.h"
#include "widgets/AppTheme.h"
#include "widgets/BusySpinner.h"
#include "widgets/GlassStyle.h"
#include "widgets/HoverScale.h"
#include "widgets/Motion.h"
#include "widgets/ThemedLabel.h"
#include "widgets/Typography.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <algorithm>

/// The active-filter row; tinted blue glass while filters are active.
class SidebarView::FilterLine final : public QWidget {
public:
    using QWidget::QWidget;
    void setActive(bool active)
    {
        m_active = active;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!m_active)
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = AppTheme::accentBlue();
        fill.setAlphaF(0.1);
        QColor stroke = AppTheme::accentBlue();
        stroke.setAlphaF(0.25);
        painter.setPen(QPen(stroke, 1));
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }

private:
    bool m_active = false;
};

namespace {

QWidget* padded(QWidget* content, int horizontal, QWidget* parent, const QString& objectName)
{
    auto* holder = new QWidget(parent);
    holder->setObjectName(objectName);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(horizontal, 0, horizontal, 0);
    layout->addWidget(content);
    return holder;
}

} // namespace

SidebarView::SidebarView(PluginManagerViewModel& viewModel, ProfileManager& profileManager, Prompter& prompter,
                         FormatCallback enableAllForFormat, FormatCallback disableAllForFormat, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel), m_profileManager(profileManager), m_activityLog(viewModel.activityLog()),
      m_prompter(prompter)
{
    build(std::move(enableAllForFormat), std::move(disableAllForFormat));
}

void SidebarView::build(FormatCallback enableAllForFormat, FormatCallback disableAllForFormat)
{
    setObjectName(QStringLiteral("sidebar"));
    setAccessibleName(QStringLiteral("Sidebar"));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(16);
    root->addWidget(buildHeader());

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("sidebarScroll"));
    // The sections' controls are the Tab stops; the scroll area follows the focus.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setAccessibleName(QStringLiteral("Sidebar sections"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // On a short window the open sections reach below the fold: the bar says so.
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scrollContent = new QWidget;
    m_scrollContent->setObjectName(QStringLiteral("sidebarContent"));
    m_scrollContent->setAutoFillBackground(false);
    // The content always takes the column's width (never a hidden overflow to the right);
    // its rows are built to fit the narrowest column.
    m_scrollContent->setMinimumWidth(kMinimumContentWidth);
    auto* content = new QVBoxLayout(m_scrollContent);
    content->setContentsMargins(0, 0, 0, 8);
    content->setSpacing(12);
    content->addWidget(buildAllPluginsRow());
    content->addWidget(buildFilterLine());

    content->addWidget(buildProfilesAndActions(std::move(enableAllForFormat), std::move(disableAllForFormat)));

    m_formats = new FormatFilterSection(
        m_viewModel, [this] { expandActions(); }, m_scrollContent);
    content->addWidget(m_formats);
    m_manufacturers = new ManufacturerFilterSection(
        m_viewModel, [this] { expandActions(); }, m_scrollContent);
    content->addWidget(m_manufacturers);

    m_invertHolder = buildInvertButton();
    content->addWidget(m_invertHolder);

    m_divider = buildDivider();
    content->addWidget(m_divider);
    content->addStretch(1);
    m_scroll->setWidget(m_scrollContent);
    root->addWidget(m_scroll, 1);
    // However the focus moves in (Tab from outside, a click, a shortcut), a control cut off by
    // the fold is scrolled into view; the scroll area alone follows only Tab among its children.
    qApp->installEventFilter(this);

    m_statistics = new StatisticsSection(m_viewModel, this);
    root->addWidget(m_statistics);
    m_menuBar = new MenuBarSection(m_viewModel.services().loginItem, this);
    root->addWidget(m_menuBar);
    m_recent = new RecentActivitySection(m_activityLog, m_prompter, this);
    root->addWidget(m_recent);
    m_scanning = buildScanningIndicator();
    root->addWidget(m_scanning);

    connectViewModel();
    updateAllPlugins();
    updateFilterLine();
    updateVisibility();
}

// Profiles with Actions directly below, as one block.
QWidget* SidebarView::buildProfilesAndActions(FormatCallback enableAllForFormat, FormatCallback disableAllForFormat)
{
    auto* profilesAndActions = new QWidget(m_scrollContent);
    profilesAndActions->setObjectName(QStringLiteral("profilesAndActions"));
    auto* block = new QVBoxLayout(profilesAndActions);
    block->setContentsMargins(0, 0, 0, 0);
    block->setSpacing(0);
    m_profiles = new ProfilesSection(m_viewModel, m_profileManager, m_prompter, profilesAndActions);
    block->addWidget(m_profiles);
    m_actions = new ActionsSection(m_viewModel, m_prompter, std::move(enableAllForFormat),
                                   std::move(disableAllForFormat), profilesAndActions);
    m_actionsBlock = m_actions;
    block->addWidget(m_actions);
    return profilesAndActions;
}

QWidget* SidebarView::buildInvertButton()
{
    m_invertButton = new PurplePressButton(QString());
    m_invertButton->setAccessibleName(QStringLiteral("Invert Selection"));
    m_invertButton->setCursor(Qt::PointingHandCursor);
    auto* invertRow = new QHBoxLayout(m_invertButton);
    invertRow->setContentsMargins(10, 6, 10, 6);
    invertRow->addWidget(SidebarIcons::symbolLabel(QStringLiteral("arrow.triangle.2.circlepath"),
                                                   AppTheme::accentPurple(), 14, 18, m_invertButton));
    auto* invertText = new ThemedLabel(QStringLiteral("Invert Selection"), Typography::sidebarCallout(),
                                       &AppTheme::textPrimary, m_invertButton);
    invertText->setAttribute(Qt::WA_TransparentForMouseEvents);
    invertRow->addWidget(invertText);
    invertRow->addStretch(1);
    m_invertButton->setMinimumHeight(invertRow->minimumSize().height());
    connect(m_invertButton, &QAbstractButton::clicked, this, [this] { m_viewModel.invertSelection(); });
    return padded(m_invertButton, 8, m_scrollContent, QStringLiteral("invertSelection"));
}

QWidget* SidebarView::buildDivider()
{
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFixedHeight(1);
    {
        QColor color = AppTheme::textTertiary();
        color.setAlphaF(color.alphaF() * 0.3);
        QPalette pal = line->palette();
        pal.setColor(QPalette::WindowText, color);
        line->setPalette(pal);
    }
    return padded(line, 16, m_scrollContent, QStringLiteral("divider"));
}

void SidebarView::connectViewModel()
{
    connect(&m_viewModel, &PluginManagerViewModel::pluginsChanged, this, &SidebarView::updateAllPlugins);
    connect(&m_viewModel, &PluginManagerViewModel::countsChanged, this, &SidebarView::updateAllPlugins);
    connect(&m_viewModel, &PluginManagerViewModel::selectedFormatsChanged, this, &SidebarView::updateAllPlugins);
    connect(&m_viewModel, &PluginManagerViewModel::showAllPluginsChanged, this, &SidebarView::updateAllPlugins);
    connect(&m_viewModel, &PluginManagerViewModel::activeProfileChanged, this, &SidebarView::updateAllPlugins);
    connect(&m_viewModel, &PluginManagerViewModel::selectedFormatsChanged, this, &SidebarView::updateFilterLine);
    connect(&m_viewModel, &PluginManagerViewModel::selectedManufacturersChanged, this, &SidebarView::updateFilterLine);
    for (auto signal :
         {&PluginManagerViewModel::showAllPluginsChanged, &PluginManagerViewModel::activeProfileChanged,
          &PluginManagerViewModel::persistedSelectionsChanged, &PluginManagerViewModel::selectedPluginsChanged,
          &PluginManagerViewModel::allManufacturersChanged, &PluginManagerViewModel::selectedManufacturersChanged,
          &PluginManagerViewModel::isLoadingChanged})
        connect(&m_viewModel, signal, this, &SidebarView::updateVisibility);
    // The main window's reset folds every section, Statistics included.
    connect(&m_viewModel, &PluginManagerViewModel::resetViewTriggerChanged, this, &SidebarView::collapseAll);
}

QWidget* SidebarView::buildHeader()
{
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("header"));
    auto* layout = new QVBoxLayout(header);
    layout->setContentsMargins(20, 20, 20, 0);
    layout->setSpacing(8);
    m_title = new GradientTitle(QStringLiteral("Rackhand"), header);
    layout->addWidget(m_title);
    layout->addWidget(new ThemedLabel(QStringLiteral("Audio Plugin Management"), Typography::sidebarCaption(),
                                      &AppTheme::textTertiary, header));
    return header;
}

QWidget* SidebarView::buildAllPluginsRow()
{
    m_allPluginsRow = new SidebarItemButton(QString());
    m_allPluginsRow->setAccessibleName(QStringLiteral("All Plugins"));
    m_allPluginsRow->setCursor(Qt::PointingHandCursor);
    auto* row = new QHBoxLayout(m_allPluginsRow);
    row->setContentsMargins(10, 8, 10, 8);
    row->addWidget(
        SidebarIcons::symbolLabel(QStringLiteral("music.note.list"), AppTheme::textPrimary(), 14, 20, m_allPluginsRow));
    auto* text = new ThemedLabel(QStringLiteral("All Plugins"), Typography::sidebarHeadline(), &AppTheme::textPrimary,
                                 m_allPluginsRow);
    text->setAttribute(Qt::WA_TransparentForMouseEvents);
    row->addWidget(text);
    row->addStretch(1);
    m_allPluginsCount =
        new ThemedLabel(QStringLiteral("0"), Typography::sidebarCaption(), &AppTheme::textSecondary, m_allPluginsRow);
    m_allPluginsCount->setAttribute(Qt::WA_TransparentForMouseEvents);
    row->addWidget(m_allPluginsCount);
    m_allPluginsRow->setMinimumHeight(row->minimumSize().height());
    m_allPluginsHover = new HoverScale(m_allPluginsRow, kAllPluginsHoverScale, kAllPluginsHoverMs);
    connect(m_allPluginsRow, &QAbstractButton::clicked, this, &SidebarView::allPluginsClicked);
    m_allPluginsHolder = padded(m_allPluginsRow, 8, m_scrollContent, QStringLiteral("allPluginsRow"));
    return m_allPluginsHolder;
}

QWidget* SidebarView::buildFilterLine()
{
    m_filterLine = new FilterLine;
    auto* row = new QHBoxLayout(m_filterLine);
    row->setContentsMargins(12, 6, 12, 6);
    row->setSpacing(6);
    row->addWidget(SidebarIcons::symbolLabel(QStringLiteral("line.3.horizontal.decrease.circle.fill"),
                                             AppTheme::accentBlue(), 12, 14, m_filterLine));
    m_filterText = new ThemedLabel(QString(), Typography::sidebarCaption(), &AppTheme::textTertiary, m_filterLine);
    m_filterText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_filterText->setMinimumWidth(40);
    m_filterText->setElideMode(Qt::ElideRight);
    row->addWidget(m_filterText, 1);
    m_clearFilters = new QToolButton(m_filterLine);
    m_clearFilters->setAutoRaise(true);
    QColor clearColor = AppTheme::textPrimary();
    clearColor.setAlphaF(0.6);
    m_clearFilters->setIcon(SidebarIcons::tintedIcon(QStringLiteral("xmark.circle.fill"), clearColor, 12));
    m_clearFilters->setToolTip(QStringLiteral("Clear all filters"));
    m_clearFilters->setAccessibleName(QStringLiteral("Clear all filters"));
    m_clearFilters->setCursor(Qt::PointingHandCursor);
    row->addWidget(m_clearFilters);
    connect(m_clearFilters, &QToolButton::clicked, this, &SidebarView::clearAllFilters);
    return padded(m_filterLine, 8, m_scrollContent, QStringLiteral("activeFilterLine"));
}

QWidget* SidebarView::buildScanningIndicator()
{
    auto* indicator = new QWidget(this);
    indicator->setObjectName(QStringLiteral("scanningIndicator"));
    auto* layout = new QVBoxLayout(indicator);
    layout->setContentsMargins(0, 0, 0, 20);
    layout->setSpacing(8);
    auto* spinner = new BusySpinner(20, tr("Busy"), indicator);
    spinner->setTint(AppTheme::accentPurple());
    auto* glow = new QGraphicsDropShadowEffect(spinner);
    glow->setColor(AppTheme::glassGlow());
    glow->setBlurRadius(8);
    glow->setOffset(0, 2);
    spinner->setGraphicsEffect(glow);
    layout->addWidget(spinner, 0, Qt::AlignHCenter);
    layout->addWidget(new ThemedLabel(QStringLiteral("Scanning..."), Typography::sidebarCaption(),
                                      &AppTheme::textTertiary, indicator),
                      0, Qt::AlignHCenter);
    return indicator;
}

bool SidebarView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        // Focus handed back when the window is activated again is no move of the user's: the
        // column stays where it was scrolled to.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        auto* widget = qobject_cast<QWidget*>(watched);
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && widget &&
            m_scrollContent->isAncestorOf(widget))
            m_scroll->ensureWidgetVisible(widget, 0, kFocusMargin);
    }
    return QWidget::eventFilter(watched, event);
}

void SidebarView::expandActions()
{
    m_actions->setExpanded(true);
    m_statistics->setExpanded(false);
    m_recent->setExpanded(false);
    // Deferred, so the opened section is laid out before it is scrolled to.
    QTimer::singleShot(kScrollDelayMs, this, &SidebarView::scrollToActions);
}

void SidebarView::scrollToActions()
{
    if (m_actionsBlock->isHidden())
        return;
    QScrollBar* bar = m_scroll->verticalScrollBar();
    // Where Actions' top is now; while sections still unfold the room to scroll grows, so
    // the target is taken again on every step.
    auto target = [this, bar] {
        m_scrollContent->layout()->activate();
        return std::clamp(m_actionsBlock->mapTo(m_scrollContent, QPoint(0, 0)).y(), bar->minimum(), bar->maximum());
    };
    if (!Motion::enabled(this)) {
        bar->setValue(target());
        return;
    }
    auto* animation = new QVariantAnimation(this);
    animation->setDuration(kScrollMs);
    animation->setEasingCurve(Motion::easeOut());
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    connect(animation, &QVariantAnimation::valueChanged, bar, [bar, target, from = bar->value()](const QVariant& p) {
        bar->setValue(from + qRound((target() - from) * p.toReal()));
    });
    connect(animation, &QAbstractAnimation::finished, animation, &QObject::deleteLater);
    MotionTimeline::current().start(*animation);
}

void SidebarView::allPluginsClicked()
{
    m_viewModel.setActiveProfile(std::nullopt);
    if (m_viewModel.selectedFormats().isEmpty() && m_viewModel.showAllPlugins()) {
        // A second click on the selected row turns the full list off.
        m_viewModel.setShowAllPlugins(false);
        return;
    }
    m_viewModel.setSelectedFormats({}); // reloads the first page
    m_viewModel.setShowAllPlugins(true);
    expandActions();
}

void SidebarView::clearAllFilters()
{
    m_viewModel.setActiveProfile(std::nullopt);
    m_viewModel.setSelectedFormats({});
    m_viewModel.setSelectedManufacturers({});
    m_viewModel.setShowAllPlugins(true);
}

void SidebarView::collapseAll()
{
    m_profiles->setExpanded(false);
    m_formats->setExpanded(false);
    m_manufacturers->setExpanded(false);
    m_actions->setExpanded(false);
    m_statistics->setExpanded(false);
    m_recent->setExpanded(false);
}

QStringList SidebarView::visibleParts() const
{
    QStringList names;
    const QList<QWidget*> parts{m_allPluginsHolder, m_filterLine->parentWidget(),
                                m_profiles,         m_actions,
                                m_formats,          m_manufacturers,
                                m_invertHolder,     m_divider,
                                m_statistics,       m_menuBar,
                                m_recent,           m_scanning};
    for (QWidget* part : parts) {
        if (part->isVisibleTo(const_cast<SidebarView*>(this)))
            names << part->objectName();
    }
    return names;
}

QString SidebarView::filterLineText() const
{
    return m_filterText->text();
}

QString SidebarView::allPluginsCountText() const
{
    return m_allPluginsCount->text();
}

void SidebarView::updateAllPlugins()
{
    // Until the first scan loads the whole list, the catalogue's own count stands for it: the
    // rows and statistics of the kept catalogue show from the start.
    const qint64 count = m_viewModel.plugins().isEmpty() ? m_viewModel.dbTotalCount() : m_viewModel.plugins().size();
    m_allPluginsCount->setText(QString::number(count));
    m_allPluginsRow->setSelected(m_viewModel.selectedFormats().isEmpty() && m_viewModel.showAllPlugins() &&
                                 !m_viewModel.activeProfile());
}

void SidebarView::updateFilterLine()
{
    const bool active = !m_viewModel.selectedFormats().isEmpty() || !m_viewModel.selectedManufacturers().isEmpty();
    if (active) {
        m_filterText->setText(SidebarTexts::singleLine(
            SidebarTexts::filterSummary(m_viewModel.selectedFormats(), m_viewModel.selectedManufacturers())));
        m_filterText->setFont(Typography::withWeight(Typography::sidebarCaption(), QFont::Medium));
        m_filterText->setColorSource(&AppTheme::textPrimary);
    } else {
        m_filterText->setText(QStringLiteral("No active filters"));
        m_filterText->setFont(Typography::sidebarCaption());
        m_filterText->setColorSource(&AppTheme::textTertiary);
    }
    m_filterText->setToolTip(m_filterText->text());
    m_clearFilters->setVisible(active);
    m_filterLine->setActive(active);
}

void SidebarView::updateVisibility()
{
    const bool noProfile = !m_viewModel.activeProfile().has_value();
    const bool nothingSelected = m_viewModel.persistedSelections().isEmpty();
    m_actions->setVisible(m_viewModel.showAllPlugins() && noProfile && nothingSelected);
    m_manufacturers->setVisible(!m_viewModel.allManufacturers().isEmpty());
    m_invertHolder->setVisible(!m_viewModel.selectedManufacturers().isEmpty() && !nothingSelected);
    m_divider->setVisible(noProfile);
    m_scanning->setVisible(m_viewModel.isLoading());
}
