#include "pluginlist/BulkActionsView.h"

#include "operations/PluginManagerViewModel.h"
#include "pluginlist/BulkListModel.h"
#include "pluginlist/BulkPluginRow.h"
#include "pluginlist/FlowLayout.h"
#include "widgets/AppTheme.h"
#include "widgets/GlassStyle.h"
#include "widgets/ItemViewAccessible.h"
#include "widgets/Styles.h"
#include "widgets/SymbolIcons.h"
#include "widgets/TabChain.h"
#include "widgets/Typography.h"

#include <QAbstractButton>
#include <QAccessibleActionInterface>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

namespace {

// A format chip of the bulk pane: the format's name and a dot (green: all its variants take part,
// orange: some, grey: none).
class FormatVariantsChip final : public QAbstractButton {
public:
    enum class State { full, partial, none };

    FormatVariantsChip(PluginFormat format, QWidget* parent) : QAbstractButton(parent)
    {
        setText(PluginFormats::rawValue(format));
        setAccessibleName(text());
        setObjectName(QStringLiteral("formatChip:") + text());
        setCursor(Qt::PointingHandCursor);
        setFont(Typography::withWeight(Typography::listCaption(), QFont::Medium));
    }

    void setState(State state)
    {
        m_state = state;
        setAccessibleDescription(state == State::full      ? QStringLiteral("all active")
                                 : state == State::partial ? QStringLiteral("partly active")
                                                           : QStringLiteral("inactive"));
        update();
    }
    State state() const { return m_state; }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(font());
        return {8 + metrics.horizontalAdvance(text()) + 4 + 7 + 8, metrics.height() + 8};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        paintGlassSurface(painter, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), GlassSurface::Kind::card, QColor(),
                          false, 5);
        const QColor dot = m_state == State::full      ? AppTheme::systemGreen()
                           : m_state == State::partial ? AppTheme::systemOrange()
                                                       : AppTheme::withAlpha(AppTheme::systemGray(), 0.35);
        const QColor ground = AppTheme::over(AppTheme::glassBg(), AppTheme::readingBackground());
        const QColor textColor = m_state == State::none
                                     ? AppTheme::legible(AppTheme::withAlpha(AppTheme::textSecondary(), 0.6), ground)
                                     : AppTheme::textPrimary();
        painter.setFont(font());
        painter.setPen(textColor);
        const QRect label = rect().adjusted(8, 0, -(8 + 4 + 7), 0);
        painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, text());
        painter.setPen(Qt::NoPen);
        painter.setBrush(dot);
        painter.drawEllipse(QRectF(label.right() + 5, height() / 2.0 - 3.5, 7, 7));
        if (hasFocus()) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
            painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 5, 5);
        }
    }

private:
    State m_state = State::none;
};

// Lets a glass notice act as one button.
class ClickFilter final : public QObject {
public:
    ClickFilter(QObject* parent, std::function<void()> onClick) : QObject(parent), m_onClick(std::move(onClick)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            auto* widget = qobject_cast<QWidget*>(watched);
            if (mouse->button() == Qt::LeftButton && widget && widget->rect().contains(mouse->position().toPoint()))
                m_onClick();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onClick;
};

// For assistive technology a row marks its name (as a click on it does) and holds one
// checkable part per format badge (as a click on the badge does).
class BulkRowActions final : public ItemViewActions {
public:
    BulkRowActions(BulkListModel& model, QListView& list, const BulkPluginRow& rows)
        : m_model(model), m_list(list), m_rows(rows)
    {
    }

    QStringList actionNames(const QModelIndex& index) const override
    {
        return m_model.entry(index.row()) ? QStringList{QAccessibleActionInterface::pressAction()} : QStringList();
    }
    void doAction(const QModelIndex& index, const QString& action) override
    {
        if (const ConsolidatedPlugin* plugin = m_model.entry(index.row());
            plugin && action == QAccessibleActionInterface::pressAction())
            m_model.toggleMarked(plugin->name);
    }
    std::optional<bool> checkedState(const QModelIndex& index) const override
    {
        const ConsolidatedPlugin* plugin = m_model.entry(index.row());
        return plugin ? std::optional<bool>(m_model.isMarked(plugin->name)) : std::nullopt;
    }
    QList<Part> parts(const QModelIndex& index) const override
    {
        const ConsolidatedPlugin* plugin = m_model.entry(index.row());
        if (!plugin)
            return {};
        const QList<QRect> rects =
            BulkPluginRow::badgeRects(m_list.visualRect(index).adjusted(0, 1, 0, -1), plugin->variants);
        const QSet<QUuid>& active = m_model.viewModel().bulkActiveVariants();
        const bool current = m_list.currentIndex() == index;
        QList<Part> parts;
        for (qsizetype i = 0; i < plugin->variants.size(); ++i) {
            const auto& variant = plugin->variants.at(i);
            parts.append({variant.badgeLabel(), rects.value(i), active.contains(variant.id),
                          current && m_rows.focusedBadge() == i, m_model.variantPath(variant.id)});
        }
        return parts;
    }
    void doPartAction(const QModelIndex& index, int part) override
    {
        const ConsolidatedPlugin* plugin = m_model.entry(index.row());
        if (plugin && part >= 0 && part < plugin->variants.size())
            m_model.viewModel().toggleBulkVariant(plugin->variants.at(part).id);
    }

private:
    BulkListModel& m_model;
    QListView& m_list;
    const BulkPluginRow& m_rows;
};

QPushButton* actionButton(const QString& text, const QString& symbol, const QColor& hue, QWidget* parent)
{
    // The action's hue, dark enough to read on the button.
    const QColor tint =
        AppTheme::legible(hue, AppTheme::over(AppTheme::glassBg(), parent->palette().color(QPalette::Button)));
    auto* button = new QPushButton(SymbolIcons::tinted(symbol, tint), text, parent);
    button->setAccessibleName(text);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(Styles::tintedTextButton(tint, QStringLiteral("4px 10px"), false));
    return button;
}

QLabel* symbolLabel(const QString& symbol, const QColor& color, int size, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setPixmap(SymbolIcons::pixmap(symbol, size, color, parent->devicePixelRatioF()));
    label->setFixedSize(size, size);
    return label;
}

} // namespace

BulkActionsView::BulkActionsView(PluginManagerViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("bulkActionsView"));
    qRegisterMetaType<QList<AudioPlugin>>();
    qRegisterMetaType<BulkAction>();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    buildHeader(this);
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setStyleSheet(Styles::divider(60));
    layout->addWidget(divider);
    buildActionBar(this);
    buildNotices(this);
    auto* divider2 = new QFrame(this);
    divider2->setFrameShape(QFrame::HLine);
    divider2->setFrameShadow(QFrame::Plain);
    divider2->setStyleSheet(Styles::divider(60));
    layout->addWidget(divider2);

    m_model = new BulkListModel(m_viewModel, this);
    m_rowDelegate = new BulkPluginRow(*m_model, this);
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("bulkList"));
    m_list->setAccessibleName(QStringLiteral("Collected plugins"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(m_rowDelegate);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setUniformItemSizes(true);
    m_list->setSpacing(1);
    // Whole rows: the top row is never half cut off, wherever the list is scrolled to.
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setStyleSheet(Styles::transparentList());
    m_list->viewport()->setAutoFillBackground(false);
    m_list->installEventFilter(this);
    m_rowActions = std::make_unique<BulkRowActions>(*m_model, *m_list, *m_rowDelegate);
    ItemViewAccessible::install(m_list, m_rowActions.get());
    layout->addWidget(m_list);
    applyListHeight();

    connect(m_model, &BulkListModel::flashChanged, m_list->viewport(), qOverload<>(&QWidget::update));
    connect(m_model, &BulkListModel::markedNamesChanged, this, &BulkActionsView::refresh);
    connect(m_model, &BulkListModel::modelReset, this, &BulkActionsView::onEntryCountChanged);

    connect(&m_viewModel, &PluginManagerViewModel::consolidatedBulkPluginsChanged, this, &BulkActionsView::refresh);
    connect(&m_viewModel, &PluginManagerViewModel::bulkActiveVariantsChanged, this, &BulkActionsView::refresh);
    connect(&m_viewModel, &PluginManagerViewModel::persistedSelectionsChanged, this, &BulkActionsView::refresh);
    connect(&m_viewModel, &PluginManagerViewModel::selectedPluginsChanged, this, &BulkActionsView::refresh);
    connect(&m_viewModel, &PluginManagerViewModel::operationRunningChanged, this, &BulkActionsView::refresh);
    refresh();
    m_lastEntryCount = m_model->rowCount();
}

BulkActionsView::~BulkActionsView() = default;

bool BulkActionsView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress && handleListKey(static_cast<QKeyEvent*>(event)))
        return true;
    if (watched == m_list && event->type() == QEvent::FocusOut)
        m_rowDelegate->setFocusedBadge(-1);
    return QWidget::eventFilter(watched, event);
}

bool BulkActionsView::handleListKey(QKeyEvent* event)
{
    const QModelIndex current = m_list->currentIndex();
    const ConsolidatedPlugin* plugin = current.isValid() ? m_model->entry(current.row()) : nullptr;
    if (!plugin || event->modifiers() != Qt::NoModifier)
        return false;
    const int badges = int(plugin->variants.size());
    const int focused = qMin(m_rowDelegate->focusedBadge(), badges - 1);
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const int reached = qBound(-1, focused + (event->key() == Qt::Key_Right ? 1 : -1), badges - 1);
        m_rowDelegate->setFocusedBadge(reached);
        m_list->viewport()->update();
        // Moving onto a badge (or back to the name) is a move of focus, as between controls.
        if (reached != focused)
            ItemViewAccessible::announcePartFocus(m_list, current, reached);
        return true;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
        m_rowDelegate->setFocusedBadge(-1);
        return false;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (focused >= 0)
            m_rowActions->doPartAction(current, focused);
        else
            m_model->toggleMarked(plugin->name);
        return true;
    default:
        return false;
    }
}

void BulkActionsView::buildHeader(QWidget* parent)
{
    auto* card = new GlassSurface(parent);
    card->setKind(GlassSurface::Kind::card);
    card->setCornerRadius(0);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(12, 8, 12, 8);

    auto* title = new QHBoxLayout;
    title->setSpacing(6);
    title->addWidget(symbolLabel(QStringLiteral("bolt.circle.fill"), AppTheme::accentPink(), 14, card));
    auto* name = new QLabel(QStringLiteral("Bulk Actions"), card);
    name->setFont(Typography::withWeight(Typography::listCaption(), QFont::DemiBold));
    Styles::setTextColor(name, AppTheme::textSecondary());
    auto* dot = new QLabel(QStringLiteral("·"), card);
    Styles::setTextColor(dot, AppTheme::textTertiary());
    m_count = new QLabel(card);
    m_count->setObjectName(QStringLiteral("bulkCountLabel"));
    m_count->setFont(Typography::listCaption());
    Styles::setTextColor(m_count, AppTheme::textSecondary());
    m_unique = new QLabel(card);
    m_unique->setObjectName(QStringLiteral("bulkUniqueLabel"));
    m_unique->setFont(Typography::listCaption2());
    Styles::setTextColor(
        m_unique, AppTheme::legible(AppTheme::withAlpha(AppTheme::textSecondary(), 0.7), AppTheme::deepBackground()));
    title->addWidget(name);
    title->addWidget(dot);
    title->addWidget(m_count);
    title->addWidget(m_unique);
    row->addLayout(title);
    row->addStretch(1);

    m_removeMarked = new QPushButton(card);
    m_removeMarked->setObjectName(QStringLiteral("removeMarkedButton"));
    m_removeMarked->setStyleSheet(
        Styles::textButton(AppTheme::legible(AppTheme::systemOrange(),
                                             AppTheme::over(AppTheme::glassBg(), palette().color(QPalette::Button))),
                           QStringLiteral("3px 10px")));
    connect(m_removeMarked, &QPushButton::clicked, this, &BulkActionsView::removeMarked);
    m_clearAll = new QPushButton(QStringLiteral("Clear All"), card);
    m_clearAll->setObjectName(QStringLiteral("clearAllButton"));
    m_clearAll->setAccessibleName(QStringLiteral("Clear All"));
    connect(m_clearAll, &QPushButton::clicked, this, [this] {
        m_viewModel.clearSelection();
        m_model->clearMarked();
    });
    row->addWidget(m_removeMarked);
    row->addWidget(m_clearAll);
    parent->layout()->addWidget(card);
}

void BulkActionsView::buildActionBar(QWidget* parent)
{
    // One flowing row: in a narrow column the format chips (and then the buttons) wrap
    // onto further lines instead of making the window wider.
    auto* bar = new QWidget(parent);
    bar->setObjectName(QStringLiteral("bulkActionBar"));
    m_formatsLayout = new FlowLayout(bar, 8, 6);
    m_formatsLayout->setContentsMargins(12, 8, 12, 8);
    m_enable = actionButton(QStringLiteral("Enable Selected"), QStringLiteral("checkmark.circle"),
                            AppTheme::systemGreen(), bar);
    m_enable->setObjectName(QStringLiteral("enableSelectedButton"));
    m_disable =
        actionButton(QStringLiteral("Disable Selected"), QStringLiteral("xmark.circle"), AppTheme::systemOrange(), bar);
    m_disable->setObjectName(QStringLiteral("disableSelectedButton"));
    m_delete = actionButton(QStringLiteral("Delete Selected"), QStringLiteral("trash"), AppTheme::systemRed(), bar);
    m_delete->setObjectName(QStringLiteral("deleteSelectedButton"));
    connect(m_enable, &QPushButton::clicked, this, &BulkActionsView::enableSelected);
    connect(m_disable, &QPushButton::clicked, this, &BulkActionsView::disableSelected);
    connect(m_delete, &QPushButton::clicked, this, &BulkActionsView::deleteSelected);
    m_formatsLayout->addWidget(m_enable);
    m_formatsLayout->addWidget(m_disable);
    m_formatsLayout->addWidget(m_delete);

    auto* formats = new QLabel(QStringLiteral("Formats:"), bar);
    formats->setFont(Typography::listCaption());
    Styles::setTextColor(formats, AppTheme::textSecondary());
    m_formatsBox = formats;
    m_formatsLayout->addWidget(formats);
    m_formatsLayout->setTrailingStart(3);
    parent->layout()->addWidget(bar);
}

void BulkActionsView::buildNotices(QWidget* parent)
{
    auto* warningHolder = new QWidget(parent);
    auto* warningMargins = new QHBoxLayout(warningHolder);
    warningMargins->setContentsMargins(12, 4, 12, 0);
    auto* warning = new GlassSurface(warningHolder);
    warning->setObjectName(QStringLiteral("waveShellWarning"));
    warning->setAccessibleName(QStringLiteral("Remove Waves"));
    warning->setCursor(Qt::PointingHandCursor);
    warning->setKind(GlassSurface::Kind::tinted);
    warning->setTint(AppTheme::systemOrange());
    warning->setCornerRadius(6);
    warning->installEventFilter(new ClickFilter(warning, [this] { m_viewModel.removeWavesPluginsFromSelection(); }));
    auto* warningRow = new QHBoxLayout(warning);
    warningRow->setContentsMargins(12, 8, 12, 8);
    warningRow->setSpacing(8);
    warningRow->addWidget(
        symbolLabel(QStringLiteral("exclamationmark.triangle.fill"), AppTheme::systemOrange(), 14, warning));
    auto* warningText = new QLabel(QStringLiteral("WaveShell plugins are containers for all Waves plugins. Disabling a "
                                                  "WaveShell will disable ALL Waves plugins for that format."),
                                   warning);
    warningText->setWordWrap(true);
    warningText->setFont(Typography::listCaption());
    Styles::setTextColor(warningText, AppTheme::textPrimary());
    warningRow->addWidget(warningText, 1);
    // The whole notice answers a click; its link is the keyboard's and the screen reader's way in.
    auto* removeWaves = new QPushButton(QStringLiteral("Remove Waves"), warning);
    removeWaves->setObjectName(QStringLiteral("removeWavesButton"));
    removeWaves->setAccessibleName(removeWaves->text());
    removeWaves->setFlat(true);
    removeWaves->setCursor(Qt::PointingHandCursor);
    removeWaves->setFont(Typography::withWeight(Typography::listCaption(), QFont::DemiBold));
    const QColor orangeGround =
        AppTheme::over(AppTheme::withAlpha(AppTheme::systemOrange(), 0.15), AppTheme::readingBackground());
    removeWaves->setStyleSheet(Styles::tintedTextButton(AppTheme::legible(AppTheme::systemOrange(), orangeGround),
                                                        QStringLiteral("0px"), true));
    connect(removeWaves, &QPushButton::clicked, this, [this] { m_viewModel.removeWavesPluginsFromSelection(); });
    warningRow->addWidget(removeWaves);
    for (QLabel* label : warning->findChildren<QLabel*>())
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    warningMargins->addWidget(warning);
    m_waveShellWarning = warningHolder;
    parent->layout()->addWidget(warningHolder);

    auto* noticeHolder = new QWidget(parent);
    auto* noticeMargins = new QHBoxLayout(noticeHolder);
    noticeMargins->setContentsMargins(12, 4, 12, 4);
    auto* notice = new GlassSurface(noticeHolder);
    notice->setObjectName(QStringLiteral("wavesNotice"));
    notice->setKind(GlassSurface::Kind::tinted);
    notice->setTint(AppTheme::systemBlue());
    notice->setCornerRadius(6);
    auto* noticeRow = new QHBoxLayout(notice);
    noticeRow->setContentsMargins(12, 8, 12, 8);
    noticeRow->setSpacing(8);
    noticeRow->addWidget(symbolLabel(QStringLiteral("info.circle.fill"), AppTheme::systemBlue(), 14, notice));
    auto* noticeText = new QLabel(notice);
    noticeText->setObjectName(QStringLiteral("wavesNoticeText"));
    noticeText->setTextFormat(Qt::RichText);
    noticeText->setText(QStringLiteral("Disabling a Waves plugin moves its .bundle file, which disables it across "
                                       "<b>all formats</b> (AAX, AU, VST, VST3) and all installed versions "
                                       "simultaneously."));
    noticeText->setWordWrap(true);
    noticeText->setFont(Typography::listCaption());
    Styles::setTextColor(noticeText, AppTheme::textPrimary());
    noticeRow->addWidget(noticeText, 1);
    noticeMargins->addWidget(notice);
    m_wavesNotice = noticeHolder;
    parent->layout()->addWidget(noticeHolder);
}

void BulkActionsView::setPaneHeight(int height)
{
    m_paneHeight = height;
    applyListHeight();
}

void BulkActionsView::setExpandFull(bool expand)
{
    m_expandFull = expand;
    applyListHeight();
}

int BulkActionsView::noticesHeight() const
{
    int height = 0;
    for (const QWidget* notice : {m_waveShellWarning, m_wavesNotice}) {
        if (notice->isHidden())
            continue;
        height += notice->hasHeightForWidth() ? notice->heightForWidth(width()) : notice->sizeHint().height();
    }
    return height;
}

void BulkActionsView::applyListHeight()
{
    if (m_expandFull) {
        m_list->setMinimumHeight(0);
        m_list->setMaximumHeight(QWIDGETSIZE_MAX);
        return;
    }
    // The notices take their room from the list, so the panel keeps its height and its
    // header and action buttons stay where the pointer expects them.
    m_list->setFixedHeight(qMax(kMinimumListHeight, m_paneHeight - noticesHeight()));
}

void BulkActionsView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Wrapped notice texts take more lines in a narrower panel.
    applyListHeight();
}

void BulkActionsView::refresh()
{
    const qsizetype collected = m_viewModel.persistedSelections().size();
    m_count->setText(QStringLiteral("%1 plugin(s)").arg(collected));
    m_unique->setText(QStringLiteral("(%1 unique)").arg(m_viewModel.consolidatedBulkPlugins().size()));

    const qsizetype marked = m_model->markedNames().size();
    m_removeMarked->setVisible(marked > 0);
    m_removeMarked->setText(QStringLiteral("Remove %1 from list").arg(marked));
    m_removeMarked->setAccessibleName(m_removeMarked->text());

    // Nothing collected, or an operation already running: no action can start.
    const bool canAct = collected > 0 && !m_viewModel.isOperationRunning();
    m_enable->setEnabled(canAct);
    m_disable->setEnabled(canAct);
    m_delete->setEnabled(canAct);

    refreshChips();

    bool waveShell = false;
    for (const ConsolidatedPlugin& plugin : m_viewModel.consolidatedBulkPlugins()) {
        if (plugin.name.toLower().contains(QLatin1String("waveshell"))) {
            waveShell = true;
            break;
        }
    }
    m_waveShellWarning->setVisible(waveShell);
    m_wavesNotice->setVisible(collected > 0 && m_viewModel.selectionContainsWavesBundleToDisable());
    applyListHeight();
}

void BulkActionsView::refreshChips()
{
    const QList<PluginFormat> formats = m_viewModel.selectedFormatsInBulk();
    if (formats != m_chipFormats) {
        for (QAbstractButton* chip : std::as_const(m_chips))
            delete chip;
        m_chips.clear();
        m_chipFormats = formats;
        QList<QWidget*> chips;
        for (PluginFormat format : formats) {
            auto* chip = new FormatVariantsChip(format, m_formatsBox->parentWidget());
            connect(chip, &QAbstractButton::clicked, this, [this, format] { m_viewModel.toggleBulkFormat(format); });
            m_formatsLayout->addWidget(chip);
            m_chips.insert(format, chip);
            chips.append(chip);
        }
        // Made after the rest of the panel: in the Tab chain they follow the action buttons they sit beside.
        TabChain::placeAfter(m_delete, chips);
    }
    m_formatsBox->setVisible(!formats.isEmpty());
    for (auto it = m_chips.cbegin(); it != m_chips.cend(); ++it) {
        auto* chip = static_cast<FormatVariantsChip*>(it.value());
        chip->setState(m_viewModel.isFormatFullyActive(it.key())       ? FormatVariantsChip::State::full
                       : m_viewModel.isFormatPartiallyActive(it.key()) ? FormatVariantsChip::State::partial
                                                                       : FormatVariantsChip::State::none);
    }
}

void BulkActionsView::onEntryCountChanged()
{
    const int count = m_model->rowCount();
    if (count == m_lastEntryCount)
        return;
    m_lastEntryCount = count;
    // Growing lists scroll to their newest (last) entry.
    if (m_previousBulkCount < count && count > 0) {
        QTimer::singleShot(0, m_list, [this] {
            // Lay the new rows out first, so the bottom is the new last entry's. The list
            // scrolls by whole rows: its end shows the last row whole under a whole top row.
            m_list->doItemsLayout();
            QScrollBar* bar = m_list->verticalScrollBar();
            auto* animation = new QPropertyAnimation(bar, "value", bar);
            animation->setDuration(350);
            animation->setEasingCurve(QEasingCurve::OutCubic);
            animation->setStartValue(bar->value());
            animation->setEndValue(bar->maximum());
            animation->start(QAbstractAnimation::DeleteWhenStopped);
        });
    }
    m_previousBulkCount = count;
}

void BulkActionsView::switchPlugins(bool enable)
{
    if (m_viewModel.isOperationRunning())
        return;
    QList<AudioPlugin> changing;
    for (const AudioPlugin& plugin : m_viewModel.bulkActionPlugins()) {
        if (plugin.isEnabled != enable)
            changing.append(plugin);
    }
    // Nothing would change: no dialog, no operation.
    if (changing.isEmpty())
        return;
    if (changing.size() > kImmediateLimit) {
        Q_EMIT bulkConfirmationRequested(enable ? BulkAction::enable : BulkAction::disable, changing);
        return;
    }
    QTimer::singleShot(0, &m_viewModel, [this, changing] {
        if (!m_viewModel.isOperationRunning())
            m_viewModel.toggleMultiplePlugins(changing);
    });
}

void BulkActionsView::enableSelected()
{
    switchPlugins(true);
}

void BulkActionsView::disableSelected()
{
    switchPlugins(false);
}

void BulkActionsView::deleteSelected()
{
    if (m_viewModel.isOperationRunning())
        return;
    const QList<AudioPlugin> plugins = m_viewModel.bulkActionPlugins();
    if (plugins.isEmpty())
        return;
    Q_EMIT bulkConfirmationRequested(BulkAction::delete_, plugins);
}

void BulkActionsView::removeMarked()
{
    const QSet<QString> names = m_model->markedNames();
    for (const QString& name : names)
        m_viewModel.deselectPluginsByName(name);
    m_model->clearMarked();
}
