#include "uadcleanup/ui/UADCleanupSheet.h"

#include "uadcleanup/UADCleanupManager.h"
#include "widgets/AppTheme.h"
#include "widgets/BusySpinner.h"
#include "widgets/Styles.h"
#include "widgets/SymbolIcons.h"
#include "widgets/Typography.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmapCache>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kPadding = 16;

QLabel* textLabel(const QString& text, double scale, const QColor& colour)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setFont(Typography::scaled(scale));
    // Through the palette: a style sheet per label makes a long list slow to build.
    Styles::setTextColor(label, AppTheme::legible(colour, AppTheme::readingBackground()));
    return label;
}

// Rendered once per look: a long list shows the same few symbols on every row.
QPixmap symbolPixmap(const QString& symbol, int size, const QColor& colour, qreal devicePixelRatio)
{
    const QString key =
        QStringLiteral("uadcleanup/%1/%2/%3/%4").arg(symbol).arg(size).arg(colour.rgba()).arg(devicePixelRatio);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = SymbolIcons::pixmap(symbol, size, colour, devicePixelRatio);
        QPixmapCache::insert(key, pixmap);
    }
    return pixmap;
}

QLabel* symbolLabel(const QString& symbol, int size, const QColor& colour, const QString& accessibleName)
{
    auto* label = new QLabel;
    label->setPixmap(symbolPixmap(symbol, size, colour, label->devicePixelRatioF()));
    label->setAccessibleName(accessibleName);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QFrame* divider()
{
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setStyleSheet(Styles::textColor(AppTheme::glassBorder()));
    return line;
}

// A filled button in the tint: the sheet's main actions.
QPushButton* prominentButton(const QString& text, const QColor& tint)
{
    auto* button = new QPushButton(text);
    button->setAutoDefault(false);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(Styles::prominentButton(tint));
    return button;
}

// An outlined button; a tint colours its text and border.
QPushButton* borderedButton(const QString& text, const QColor& tint = {}, const QString& symbol = {})
{
    auto* button = new QPushButton(text);
    button->setAutoDefault(false);
    button->setCursor(Qt::PointingHandCursor);
    const QColor ink = tint.isValid() ? tint : AppTheme::textPrimary();
    if (!symbol.isEmpty())
        button->setIcon(SymbolIcons::tinted(symbol, ink));
    button->setFont(Typography::scaled(0.85));
    button->setStyleSheet(Styles::outlinedButton(ink));
    return button;
}

QWidget* centredColumn(const QList<QWidget*>& widgets, int spacing)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    layout->setSpacing(spacing);
    layout->addStretch(1);
    for (QWidget* widget : widgets)
        layout->addWidget(widget, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return page;
}

// Grows with the text it holds up to the room its page has, then scrolls: a long failure
// report is never cut off.
class FittingScrollArea final : public QScrollArea {
public:
    explicit FittingScrollArea(QWidget* content, int contentWidth) : m_contentWidth(contentWidth)
    {
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setWidget(content);
        viewport()->setAutoFillBackground(false);
        content->setAutoFillBackground(false);
        setAccessibleName(QStringLiteral("Message"));
        // A Tab stop only while there is something to scroll with the keyboard.
        setFocusPolicy(Qt::NoFocus);
        connect(verticalScrollBar(), &QScrollBar::rangeChanged, this,
                [this](int, int maximum) { setFocusPolicy(maximum > 0 ? Qt::StrongFocus : Qt::NoFocus); });
    }

    QSize sizeHint() const override
    {
        const int frame = 2 * frameWidth();
        const int bar = verticalScrollBar()->sizeHint().width();
        return {m_contentWidth + bar + frame, widget()->heightForWidth(m_contentWidth) + frame};
    }
    QSize minimumSizeHint() const override { return {sizeHint().width(), 0}; }

private:
    int m_contentWidth;
};

// A flat checkable row of one entry: its selection mark, its name and its status, with
// rounded hover and focus washes. It paints all of it itself: child labels and a style
// sheet for each of hundreds of rows make a long list slow to show.
class SelectableRow final : public QPushButton {
public:
    SelectableRow(const QString& name, const QString& status, const QColor& statusColour)
        : m_name(name), m_status(status), m_statusColour(statusColour), m_nameFont(Typography::scaled(0.95)),
          m_statusFont(Typography::scaled(0.8))
    {
        setAttribute(Qt::WA_Hover);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    void setMark(const QPixmap& mark)
    {
        m_mark = mark;
        update();
    }

    QSize sizeHint() const override
    {
        const QFontMetrics name(m_nameFont);
        const QFontMetrics status(m_statusFont);
        const int text = std::max(name.horizontalAdvance(m_name), status.horizontalAdvance(m_status));
        const int markSize = QFontMetrics(font()).height();
        return {kMargin + markSize + kSpacing + text + kMargin,
                std::max(markSize, name.height() + kLineSpacing + status.height()) + 2 * kVerticalMargin};
    }
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        Q_UNUSED(event);
        QPainter painter(this);
        const int alpha = hasFocus() ? 40 : underMouse() ? 20 : 0;
        const QColor wash(127, 127, 127, alpha);
        if (alpha > 0) {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(wash);
            painter.drawRoundedRect(QRectF(rect()), 5, 5);
        }
        const QColor ground = AppTheme::over(wash, AppTheme::readingBackground());
        const QSizeF markSize = m_mark.deviceIndependentSize();
        painter.drawPixmap(QPointF(kMargin, (height() - markSize.height()) / 2), m_mark);

        const QFontMetrics name(m_nameFont);
        const QFontMetrics status(m_statusFont);
        const int left = kMargin + QFontMetrics(font()).height() + kSpacing;
        const int width = std::max(0, this->width() - left - kMargin);
        int top = (height() - (name.height() + kLineSpacing + status.height())) / 2;
        painter.setFont(m_nameFont);
        painter.setPen(AppTheme::legible(AppTheme::textPrimary(), ground));
        painter.drawText(QRect(left, top, width, name.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         name.elidedText(m_name, Qt::ElideRight, width));
        top += name.height() + kLineSpacing;
        painter.setFont(m_statusFont);
        painter.setPen(AppTheme::legible(m_statusColour, ground));
        painter.drawText(QRect(left, top, width, status.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         status.elidedText(m_status, Qt::ElideRight, width));
    }

private:
    static constexpr int kMargin = 6;
    static constexpr int kVerticalMargin = 4;
    static constexpr int kSpacing = 10;
    static constexpr int kLineSpacing = 2;
    QString m_name;
    QString m_status;
    QColor m_statusColour;
    QFont m_nameFont;
    QFont m_statusFont;
    QPixmap m_mark;
};

bool isVisibleRow(const UADPluginAuth& entry)
{
    return !entry.isAlreadyDisabled;
}

} // namespace

UADCleanupSheet::UADCleanupSheet(UADCleanupManager& manager, PluginManagerViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_manager(manager), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("uadCleanupSheet"));
    setAccessibleName(QStringLiteral("UAD Demo Plugin Cleanup"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    layout->addWidget(divider());
    m_pages = new QStackedWidget;
    m_pages->addWidget(buildLoadingPage());
    m_pages->addWidget(buildCompletePage());
    m_pages->addWidget(buildErrorPage());
    m_pages->addWidget(buildEmptyPage());
    m_pages->addWidget(buildListPage());
    layout->addWidget(m_pages, 1);

    for (auto signal : {&UADCleanupManager::isLoadingChanged, &UADCleanupManager::demoPluginsChanged,
                        &UADCleanupManager::authorizedPluginsChanged, &UADCleanupManager::errorMessageChanged,
                        &UADCleanupManager::cleanupCompleteChanged, &UADCleanupManager::disabledCountChanged})
        connect(&m_manager, signal, this, &UADCleanupSheet::refresh);
    refresh();
}

// Enter and Return press the focused button. The sheet's buttons are no dialog's default
// buttons (the sheet is content inside whatever window holds it), so no dialog does it for them.
void UADCleanupSheet::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
        if (button && isAncestorOf(button) && button->isEnabled() && button->isVisible()) {
            button->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

// --- Texts and state ---

UADCleanupSheet::State UADCleanupSheet::stateFor(const UADCleanupManager& manager)
{
    if (manager.isLoading())
        return State::loading;
    if (manager.cleanupComplete())
        return State::complete;
    if (manager.errorMessage())
        return State::error;
    const auto& demos = manager.demoPlugins();
    if (std::none_of(demos.cbegin(), demos.cend(), isVisibleRow))
        return State::empty;
    return State::list;
}

QString UADCleanupSheet::completionText(int disabledCount)
{
    return QStringLiteral("%1 demo plugin%2 disabled")
        .arg(disabledCount)
        .arg(disabledCount == 1 ? QString() : QStringLiteral("s"));
}

QString UADCleanupSheet::selectionText(int selectedCount)
{
    return QStringLiteral("%1 selected").arg(selectedCount);
}

QString UADCleanupSheet::footerText(int authorizedCount, int alreadyDisabledCount)
{
    return QStringLiteral("%1 authorized · %2 already off").arg(authorizedCount).arg(alreadyDisabledCount);
}

QString UADCleanupSheet::disableTitle(int selectedCount)
{
    return QStringLiteral("Disable %1 Plugins").arg(selectedCount);
}

QStringList UADCleanupSheet::sectionTitles() const
{
    return m_sectionTitles;
}

// --- Building ---

QWidget* UADCleanupSheet::buildHeader()
{
    auto* header = new QWidget;
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    const int iconSize = QFontMetrics(Typography::scaled(1.6)).height();
    layout->addWidget(symbolLabel(QStringLiteral("bolt.trianglebadge.exclamationmark.fill"), iconSize,
                                  AppTheme::systemOrange(), QStringLiteral("UAD demo warning")));
    auto* title = new QLabel(QStringLiteral("UAD Demo Plugin Cleanup"));
    title->setFont(Typography::scaled(1.0, QFont::DemiBold));
    layout->addWidget(title);
    layout->addStretch(1);
    m_close = new QToolButton;
    m_close->setAutoRaise(true);
    m_close->setIcon(SymbolIcons::tinted(QStringLiteral("xmark.circle.fill"), AppTheme::textSecondary()));
    m_close->setIconSize(QSize(iconSize, iconSize));
    m_close->setAccessibleName(QStringLiteral("Close"));
    m_close->setToolTip(QStringLiteral("Close"));
    m_close->setCursor(Qt::PointingHandCursor);
    connect(m_close, &QToolButton::clicked, this, &UADCleanupSheet::close);
    layout->addWidget(m_close);
    return header;
}

QWidget* UADCleanupSheet::buildLoadingPage()
{
    const QString text = QStringLiteral("Analyzing UAD plugin authorizations...");
    auto* spinner = new BusySpinner(QFontMetrics(font()).height() * 2, text);
    return centredColumn({spinner, textLabel(text, 0.95, AppTheme::textSecondary())}, 12);
}

QWidget* UADCleanupSheet::buildCompletePage()
{
    auto* title = new QLabel(QStringLiteral("Cleanup Complete!"));
    title->setFont(Typography::scaled(1.3, QFont::DemiBold));
    m_completion = textLabel(QString(), 0.95, AppTheme::textSecondary());
    m_done = prominentButton(QStringLiteral("Done"), palette().color(QPalette::Highlight));
    connect(m_done, &QPushButton::clicked, this, &UADCleanupSheet::close);
    return centredColumn(
        {symbolLabel(QStringLiteral("checkmark.circle.fill"), 48, AppTheme::systemGreen(), QStringLiteral("Complete")),
         title, m_completion, m_done},
        16);
}

QWidget* UADCleanupSheet::buildErrorPage()
{
    m_message = textLabel(QString(), 0.95, AppTheme::textSecondary());
    m_message->setWordWrap(true);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_messageScroll = new FittingScrollArea(m_message, 420);
    m_messageScroll->setObjectName(QStringLiteral("uadMessage"));
    m_tryAgain = prominentButton(QStringLiteral("Try Again"), palette().color(QPalette::Highlight));
    connect(m_tryAgain, &QPushButton::clicked, &m_manager, &UADCleanupManager::retryWithExistingProfile);
    m_errorCancel = borderedButton(QStringLiteral("Cancel"));
    m_errorCancel->setFont(font());
    connect(m_errorCancel, &QPushButton::clicked, this, &UADCleanupSheet::close);
    auto* buttons = new QWidget;
    auto* row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    row->addWidget(m_tryAgain);
    row->addWidget(m_errorCancel);
    return centredColumn({symbolLabel(QStringLiteral("exclamationmark.triangle.fill"), 36, AppTheme::systemOrange(),
                                      QStringLiteral("Warning")),
                          m_messageScroll, buttons},
                         16);
}

QWidget* UADCleanupSheet::buildEmptyPage()
{
    return centredColumn({textLabel(QStringLiteral("No demo plugins found"), 0.95, AppTheme::textSecondary())}, 12);
}

QWidget* UADCleanupSheet::buildToolbar()
{
    auto* toolbar = new QWidget;
    auto* layout = new QHBoxLayout(toolbar);
    layout->setContentsMargins(kPadding, 8, kPadding, 8);
    layout->setSpacing(8);
    m_expiredOnly =
        borderedButton(QStringLiteral("Expired Only"), AppTheme::systemRed(), QStringLiteral("clock.badge.xmark"));
    m_allDemos =
        borderedButton(QStringLiteral("All Demos"), AppTheme::systemOrange(), QStringLiteral("checkmark.circle"));
    m_none = borderedButton(QStringLiteral("None"));
    connect(m_expiredOnly, &QPushButton::clicked, &m_manager, &UADCleanupManager::selectExpiredOnly);
    connect(m_allDemos, &QPushButton::clicked, &m_manager, &UADCleanupManager::selectAll);
    connect(m_none, &QPushButton::clicked, &m_manager, &UADCleanupManager::deselectAll);
    m_selection = textLabel(QString(), 0.85, AppTheme::textSecondary());
    layout->addWidget(m_expiredOnly);
    layout->addWidget(m_allDemos);
    layout->addWidget(m_none);
    layout->addStretch(1);
    layout->addWidget(m_selection);
    return toolbar;
}

QWidget* UADCleanupSheet::buildFooter()
{
    auto* footer = new QWidget;
    auto* layout = new QHBoxLayout(footer);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    m_footer = textLabel(QString(), 0.85, AppTheme::textSecondary());
    m_cancel = borderedButton(QStringLiteral("Cancel"));
    m_cancel->setFont(font());
    connect(m_cancel, &QPushButton::clicked, this, &UADCleanupSheet::close);
    m_disable = prominentButton(QString(), AppTheme::systemRed());
    connect(m_disable, &QPushButton::clicked, this, [this] { m_manager.disableSelectedUADDemos(m_viewModel); });
    layout->addWidget(m_footer);
    layout->addStretch(1);
    layout->addWidget(m_cancel);
    layout->addWidget(m_disable);
    return footer;
}

QWidget* UADCleanupSheet::buildListPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildToolbar());
    layout->addWidget(divider());
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("uadList"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFocusPolicy(Qt::NoFocus);
    m_listContent = new QWidget;
    m_listLayout = new QVBoxLayout(m_listContent);
    m_listLayout->setContentsMargins(kPadding, 8, kPadding, 8);
    m_listLayout->setSpacing(2);
    m_listLayout->addStretch(1);
    scroll->setWidget(m_listContent);
    layout->addWidget(scroll, 1);
    layout->addWidget(divider());
    layout->addWidget(buildFooter());
    return page;
}

// --- Rows ---

QAbstractButton* UADCleanupSheet::makeRow(const UADPluginAuth& entry)
{
    const bool authorised = entry.status.kind() == UADAuthStatus::Kind::authorized;
    auto* row = new SelectableRow(entry.name, entry.status.displayString(),
                                  authorised ? AppTheme::systemGreen() : AppTheme::systemOrange());
    row->setCheckable(true);
    row->setAutoDefault(false);
    row->setCursor(Qt::PointingHandCursor);
    row->setAccessibleName(entry.name);
    row->setAccessibleDescription(entry.status.displayString());
    const QUuid id = entry.id;
    connect(row, &QPushButton::clicked, this, [this, id] {
        const auto& demos = m_manager.demoPlugins();
        const auto it = std::find_if(demos.cbegin(), demos.cend(), [&](const UADPluginAuth& e) { return e.id == id; });
        if (it != demos.cend())
            m_manager.toggleSelection(*it);
    });
    m_rows.insert(id, row);
    updateRow(entry);
    return row;
}

QWidget* UADCleanupSheet::makeDisabledRow(const UADPluginAuth& entry)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(10);
    const int size = QFontMetrics(font()).height();
    layout->addWidget(symbolLabel(QStringLiteral("checkmark.circle.fill"), size,
                                  AppTheme::withAlpha(AppTheme::textSecondary(), 0.4),
                                  QStringLiteral("Already disabled")));
    auto* text = new QVBoxLayout;
    text->setSpacing(2);
    text->addWidget(textLabel(entry.name, 0.95, AppTheme::textSecondary()));
    text->addWidget(
        textLabel(QStringLiteral("Already disabled"), 0.8, AppTheme::withAlpha(AppTheme::textSecondary(), 0.6)));
    layout->addLayout(text);
    layout->addStretch(1);
    row->setAccessibleName(entry.name);
    m_disabledRows.insert(entry.id, row);
    return row;
}

void UADCleanupSheet::updateRow(const UADPluginAuth& entry)
{
    auto* row = static_cast<SelectableRow*>(m_rows.value(entry.id));
    if (!row)
        return;
    row->setChecked(entry.isSelected);
    const int size = QFontMetrics(font()).height();
    const QColor colour =
        entry.isSelected ? palette().color(QPalette::Highlight) : AppTheme::withAlpha(AppTheme::textSecondary(), 0.5);
    row->setMark(symbolPixmap(entry.isSelected ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle"),
                              size, colour, devicePixelRatioF()));
}

QList<UADCleanupSheet::Section> UADCleanupSheet::sections() const
{
    auto open = [](const QList<UADPluginAuth>& entries) {
        QList<UADPluginAuth> rows;
        std::copy_if(entries.cbegin(), entries.cend(), std::back_inserter(rows), isVisibleRow);
        return rows;
    };
    QList<UADPluginAuth> off;
    const auto& demos = m_manager.demoPlugins();
    std::copy_if(demos.cbegin(), demos.cend(), std::back_inserter(off), [](const auto& e) { return !isVisibleRow(e); });
    const QList<Section> all{
        {QStringLiteral("Demo Expired — no longer usable"), QStringLiteral("clock.badge.xmark"), AppTheme::systemRed(),
         open(m_manager.expiredPlugins()), true},
        {QStringLiteral("Active Demo — still playable but not owned"), QStringLiteral("clock"),
         AppTheme::systemOrange(), open(m_manager.activeDemoPlugins()), true},
        {QStringLiteral("Demo Not Started — never owned or trialed"), QStringLiteral("xmark.circle"),
         AppTheme::textSecondary(), open(m_manager.notStartedPlugins()), true},
        {QStringLiteral("Already disabled"), QStringLiteral("eye.slash"), AppTheme::textSecondary(), off, false}};
    QList<Section> shown;
    std::copy_if(all.cbegin(), all.cend(), std::back_inserter(shown),
                 [](const Section& s) { return !s.rows.isEmpty(); });
    return shown;
}

void UADCleanupSheet::rebuildRows(const QList<Section>& shown)
{
    while (m_listLayout->count() > 1) {
        QLayoutItem* item = m_listLayout->takeAt(0);
        delete item->widget();
        delete item;
    }
    m_rows.clear();
    m_disabledRows.clear();
    m_sectionTitles.clear();
    int position = 0;
    for (const Section& section : shown) {
        auto* header = new QWidget;
        auto* headerLayout = new QHBoxLayout(header);
        headerLayout->setContentsMargins(0, position == 0 ? 0 : 10, 0, 2);
        headerLayout->setSpacing(6);
        const int size = QFontMetrics(Typography::scaled(0.85)).height();
        headerLayout->addWidget(symbolLabel(section.symbol, size, section.colour, section.title));
        headerLayout->addWidget(textLabel(section.title, 0.85, section.colour));
        headerLayout->addStretch(1);
        m_listLayout->insertWidget(position++, header);
        m_sectionTitles.append(section.title);
        for (const UADPluginAuth& entry : section.rows)
            m_listLayout->insertWidget(position++, section.interactive ? makeRow(entry) : makeDisabledRow(entry));
    }
    // Rows are made after the footer, so Tab would reach them last: put them where they stand.
    QWidget* previous = m_none;
    for (int i = 0; i < m_listLayout->count(); ++i) {
        auto* row = qobject_cast<QAbstractButton*>(m_listLayout->itemAt(i)->widget());
        if (!row)
            continue;
        setTabOrder(previous, row);
        previous = row;
    }
    setTabOrder(previous, m_cancel);
    setTabOrder(m_cancel, m_disable);
}

// --- Refreshing ---

void UADCleanupSheet::refreshList()
{
    const QList<Section> shown = sections();
    QList<std::pair<QUuid, int>> shape;
    for (qsizetype s = 0; s < shown.size(); ++s) {
        for (const UADPluginAuth& entry : shown[s].rows)
            shape.append({entry.id, static_cast<int>(s) * 2 + (shown[s].interactive ? 1 : 0)});
    }
    if (shape != m_rowShape) {
        m_rowShape = shape;
        rebuildRows(shown);
    } else {
        for (const UADPluginAuth& entry : m_manager.demoPlugins())
            updateRow(entry);
    }

    const auto expired = m_manager.expiredPlugins();
    m_expiredOnly->setVisible(std::any_of(expired.cbegin(), expired.cend(), isVisibleRow));
    const int selected = m_manager.selectedCount();
    m_selection->setText(selectionText(selected));
    m_footer->setText(
        footerText(static_cast<int>(m_manager.authorizedPlugins().size()), m_manager.alreadyDisabledCount()));
    m_disable->setText(disableTitle(selected));
    m_disable->setEnabled(selected > 0);
}

void UADCleanupSheet::refresh()
{
    m_state = stateFor(m_manager);
    m_pages->setCurrentIndex(static_cast<int>(m_state));
    m_completion->setText(completionText(m_manager.disabledCount()));
    m_message->setText(m_manager.errorMessage().value_or(QString()));
    m_messageScroll->updateGeometry();
    if (m_state == State::list)
        refreshList();
}

void UADCleanupSheet::close()
{
    m_manager.setShowCleanupSheet(false);
}
