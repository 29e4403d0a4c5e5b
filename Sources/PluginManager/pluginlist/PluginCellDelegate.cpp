#include "pluginlist/PluginCellDelegate.h"

#include "pluginlist/PluginTableModel.h"
#include "widgets/AppTheme.h"
#include "widgets/SymbolIcons.h"
#include "widgets/Typography.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

constexpr int kSwitchWidth = 36;
constexpr int kSwitchHeight = 20;
constexpr int kArrowSize = 9;
constexpr int kCellPadding = 6;

bool isPreview(const QModelIndex& index)
{
    const auto* model = qobject_cast<const PluginTableModel*>(index.model());
    return model && model->isPreviewMode();
}

// Background, selection and focus of the row, without the text.
void paintCellBackground(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    QStyleOptionViewItem opt = option;
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~QStyleOptionViewItem::HasDisplay;
    const QVariant background = index.data(Qt::BackgroundRole);
    if (background.canConvert<QBrush>())
        opt.backgroundBrush = background.value<QBrush>();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}

} // namespace

PluginCellDelegate::PluginCellDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

int PluginCellDelegate::contentWidth(int column, bool preview)
{
    const QFont caption = Typography::listCaption();
    const QFontMetrics metrics(caption);
    switch (column) {
    case PluginTableModel::statusColumn: {
        if (!preview)
            return kSwitchWidth + 24;
        QFont bold = caption;
        bold.setWeight(QFont::DemiBold);
        const QFontMetrics boldMetrics(bold);
        int widest = 0;
        using Status = PluginTableModel::PreviewStatus;
        for (Status status : {Status::willEnable, Status::willDisable, Status::enabled, Status::disabled})
            widest = qMax(widest, boldMetrics.horizontalAdvance(PluginTableModel::previewStatusText(status)));
        // The badge as paintPreviewStatus draws it, with the cell padding on both sides.
        return 2 * kCellPadding + 6 + boldMetrics.height() + 4 + widest + 6;
    }
    case PluginTableModel::formatColumn: {
        int widest = 0;
        for (PluginFormat format : PluginFormats::allCases)
            widest = qMax(widest, metrics.horizontalAdvance(PluginFormats::rawValue(format)));
        // The chip as paintFormatChip draws it.
        return 2 * kCellPadding + 8 + (metrics.height() - 2) + 4 + widest + 8;
    }
    case PluginTableModel::versionColumn:
        return 2 * kCellPadding + metrics.horizontalAdvance(QStringLiteral("Unknown"));
    case PluginTableModel::lastUsedColumn:
        return 2 * kCellPadding + metrics.horizontalAdvance(QStringLiteral("11 months ago"));
    default:
        return 0;
    }
}

QRect PluginCellDelegate::switchRect(const QRect& cell)
{
    return QRect(cell.center().x() - kSwitchWidth / 2 + 1, cell.center().y() - kSwitchHeight / 2 + 1, kSwitchWidth,
                 kSwitchHeight);
}

QRect PluginCellDelegate::linkRect(const QRect& cell, const QString& manufacturer, const QFont& font)
{
    const QFontMetricsF metrics(font);
    const int available = cell.width() - 2 * kCellPadding - 3 - kArrowSize;
    // Rounded up with a little slack, so a name that fits is never elided.
    const int textWidth = qMin(int(std::ceil(metrics.horizontalAdvance(manufacturer))) + 2, qMax(0, available));
    const int width = textWidth + 3 + kArrowSize;
    const int height = int(std::ceil(metrics.height()));
    return QRect(cell.left() + kCellPadding, cell.center().y() - height / 2, width, height);
}

QSize PluginCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(qMax(size.height(), 28));
    if (index.column() == PluginTableModel::statusColumn)
        size.setWidth(qMax(size.width(), isPreview(index) ? 120 : kSwitchWidth + 24));
    return size;
}

void PluginCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool preview = isPreview(index);
    const int column = index.column();
    if (column == PluginTableModel::statusColumn) {
        paintCellBackground(painter, option, index);
        if (preview)
            paintPreviewStatus(painter, option.rect, index);
        else
            paintSwitch(painter, option.rect, index.data(PluginTableModel::enabledRole).toBool());
        return;
    }
    if (column == PluginTableModel::formatColumn) {
        paintCellBackground(painter, option, index);
        paintFormatChip(painter, option, index);
        return;
    }
    if (column == PluginTableModel::manufacturerColumn && !preview &&
        index.data(PluginTableModel::hasManufacturerRole).toBool()) {
        paintCellBackground(painter, option, index);
        paintLink(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    if (column == PluginTableModel::manufacturerColumn && !preview)
        opt.palette.setColor(QPalette::Text, AppTheme::textSecondary()); // "Unknown"
    QStyledItemDelegate::paint(painter, opt, index);
}

void PluginCellDelegate::paintSwitch(QPainter* painter, const QRect& cell, bool enabled) const
{
    const QRect capsule = switchRect(cell);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (!m_interactive)
        painter->setOpacity(0.45);
    QColor track = enabled ? AppTheme::systemGreen() : AppTheme::withAlpha(AppTheme::systemGray(), 0.3);
    painter->setPen(Qt::NoPen);
    painter->setBrush(track);
    painter->drawRoundedRect(QRectF(capsule), kSwitchHeight / 2.0, kSwitchHeight / 2.0);
    const QPointF knobCentre(capsule.center().x() + 0.5 + (enabled ? 8 : -8), capsule.center().y() + 0.5);
    painter->setBrush(QColor(0, 0, 0, 40));
    painter->drawEllipse(knobCentre + QPointF(0, 0.7), 8.3, 8.3);
    painter->setBrush(Qt::white);
    painter->drawEllipse(knobCentre, 8, 8);
    painter->restore();
}

void PluginCellDelegate::paintLink(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const
{
    const QString manufacturer = index.data(Qt::DisplayRole).toString();
    const QFont font = Typography::body();
    const QRect link = linkRect(option.rect, manufacturer, font);
    const QRect textRect(link.left(), link.top(), link.width() - 3 - kArrowSize, link.height());
    painter->save();
    painter->setFont(font);
    const QFontMetrics metrics = painter->fontMetrics();
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(selected ? option.palette.color(QPalette::HighlightedText) : AppTheme::textPrimary());
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                      metrics.elidedText(manufacturer, Qt::ElideRight, textRect.width()));
    const int drawn = qMin(textRect.width(), metrics.horizontalAdvance(manufacturer));
    const QRect arrow(textRect.left() + drawn + 3, link.center().y() - kArrowSize / 2, kArrowSize, kArrowSize);
    // In a selected row the arrow takes the selection's text colour, or it would vanish into it.
    const QColor arrowColour = selected ? option.palette.color(QPalette::HighlightedText) : AppTheme::textTertiary();
    painter->drawPixmap(arrow, SymbolIcons::pixmap(QStringLiteral("arrow.up.right"), kArrowSize, arrowColour,
                                                   painter->device()->devicePixelRatioF()));
    painter->restore();
}

void PluginCellDelegate::paintFormatChip(QPainter* painter, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const
{
    const QRect cell = option.rect;
    const auto format = PluginFormat(index.data(PluginTableModel::formatRole).toInt());
    const bool willChange = index.data(PluginTableModel::willChangeRole).toBool();
    const bool selected = option.state & QStyle::State_Selected;
    // In a selected row the icon takes the selection's text colour, or it would vanish into it.
    const QColor accent = selected ? option.palette.color(QPalette::HighlightedText)
                                   : AppTheme::legible(willChange ? AppTheme::systemOrange() : AppTheme::accentBlue(),
                                                       AppTheme::readingBackground(), 3.0);
    // On the selection the chip is an outline: a tint would lighten the ground under its text.
    const QColor fill = selected     ? QColor(Qt::transparent)
                        : willChange ? AppTheme::withAlpha(AppTheme::systemOrange(), 0.15)
                                     : AppTheme::withAlpha(AppTheme::accentBlue(), 0.10);
    const QString text = PluginFormats::rawValue(format);
    const QFont font = Typography::listCaption();
    const QFontMetrics metrics(font);
    const int iconSize = metrics.height() - 2;
    const QRect chip(cell.left() + kCellPadding, cell.center().y() - (metrics.height() + 8) / 2,
                     8 + iconSize + 4 + metrics.horizontalAdvance(text) + 8, metrics.height() + 8);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(selected ? QPen(AppTheme::withAlpha(accent, 0.5), 1) : QPen(Qt::NoPen));
    painter->setBrush(fill);
    painter->drawRoundedRect(QRectF(chip).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    const QRect icon(chip.left() + 8, chip.center().y() - iconSize / 2, iconSize, iconSize);
    painter->drawPixmap(icon, SymbolIcons::pixmap(PluginFormats::symbolName(format), iconSize, accent,
                                                  painter->device()->devicePixelRatioF()));
    painter->setFont(font);
    painter->setPen(selected ? option.palette.color(QPalette::HighlightedText) : AppTheme::textPrimary());
    painter->drawText(QRect(icon.right() + 5, chip.top(), chip.right() - icon.right() - 5, chip.height()),
                      Qt::AlignLeft | Qt::AlignVCenter, text);
    painter->restore();
}

void PluginCellDelegate::paintPreviewStatus(QPainter* painter, const QRect& cell, const QModelIndex& index) const
{
    using Status = PluginTableModel::PreviewStatus;
    const auto status = Status(index.data(PluginTableModel::previewStatusRole).toInt());
    if (status == Status::none)
        return;
    QString symbol;
    QColor color;
    QColor fill;
    bool semibold = false;
    switch (status) {
    case Status::willEnable:
        symbol = QStringLiteral("arrow.up.circle.fill");
        color = AppTheme::systemOrange();
        fill = AppTheme::withAlpha(color, 0.15);
        semibold = true;
        break;
    case Status::willDisable:
        symbol = QStringLiteral("arrow.down.circle.fill");
        color = AppTheme::systemOrange();
        fill = AppTheme::withAlpha(color, 0.15);
        semibold = true;
        break;
    case Status::enabled:
        symbol = QStringLiteral("checkmark.circle.fill");
        color = AppTheme::systemGreen();
        fill = AppTheme::withAlpha(color, 0.08);
        break;
    case Status::disabled:
    case Status::none:
        symbol = QStringLiteral("xmark.circle.fill");
        color = AppTheme::withAlpha(AppTheme::systemRed(), 0.7);
        fill = AppTheme::withAlpha(AppTheme::systemRed(), 0.06);
        break;
    }
    // The badge's hue, in a shade that reads on its own wash over the row.
    color = AppTheme::legible(color, AppTheme::over(fill, AppTheme::rowBackground()));
    const QString text = PluginTableModel::previewStatusText(status);
    QFont font = Typography::listCaption();
    if (semibold)
        font.setWeight(QFont::DemiBold);
    const QFontMetrics metrics(font);
    const int iconSize = metrics.height();
    const int width = 6 + iconSize + 4 + metrics.horizontalAdvance(text) + 6;
    const QRect badge(cell.left() + kCellPadding, cell.center().y() - (metrics.height() + 6) / 2, width,
                      metrics.height() + 6);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(fill);
    painter->drawRoundedRect(QRectF(badge), 4, 4);
    const QRect icon(badge.left() + 6, badge.center().y() - iconSize / 2, iconSize, iconSize);
    painter->drawPixmap(icon, SymbolIcons::pixmap(symbol, iconSize, color, painter->device()->devicePixelRatioF()));
    painter->setFont(font);
    painter->setPen(color);
    painter->drawText(QRect(icon.right() + 5, badge.top(), badge.right() - icon.right() - 5, badge.height()),
                      Qt::AlignLeft | Qt::AlignVCenter, text);
    painter->restore();
}

bool PluginCellDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                     const QModelIndex& index)
{
    if (event->type() != QEvent::MouseButtonRelease || isPreview(index))
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const QPoint pos = mouse->position().toPoint();
    if (index.column() == PluginTableModel::statusColumn && switchRect(option.rect).contains(pos)) {
        if (m_interactive)
            Q_EMIT toggleRequested(index);
        return true;
    }
    if (index.column() == PluginTableModel::manufacturerColumn &&
        index.data(PluginTableModel::hasManufacturerRole).toBool() &&
        linkRect(option.rect, index.data().toString(), Typography::body()).contains(pos)) {
        Q_EMIT linkActivated(index);
        return true;
    }
    return false;
}
