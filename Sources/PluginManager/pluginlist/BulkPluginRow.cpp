#include "pluginlist/BulkPluginRow.h"

#include "operations/PluginManagerViewModel.h"
#include "pluginlist/BulkListModel.h"
#include "widgets/AppTheme.h"
#include "widgets/GlassStyle.h"
#include "widgets/Typography.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace {
constexpr int kPadX = 10;
constexpr int kPadY = 4;
constexpr int kBadgePadX = 6;
constexpr int kBadgePadY = 2;
constexpr int kDot = 6;
constexpr int kSpacing = 8;
constexpr int kMinimumNameWidth = 60;
} // namespace

BulkPluginRow::BulkPluginRow(BulkListModel& model, QObject* parent) : QStyledItemDelegate(parent), m_model(model) {}

QFont BulkPluginRow::badgeFont()
{
    return Typography::listCaption2();
}

QList<QRect> BulkPluginRow::badgeRects(const QRect& row, const QList<ConsolidatedPlugin::FormatVariant>& variants)
{
    const QFontMetrics metrics(badgeFont());
    const int height = metrics.height() + 2 * kBadgePadY;
    const int frame = kBadgePadX + 3 + kDot + kBadgePadX;
    QList<int> labels;
    int natural = 0;
    for (const auto& variant : variants) {
        labels.append(metrics.horizontalAdvance(variant.badgeLabel()));
        natural += frame + labels.last() + kSpacing;
    }
    // A narrow row keeps some of the name and cuts the longest badge labels first (they
    // elide), so the badges stay inside the row instead of widening the panel.
    const int room = row.width() - 2 * kPadX - kMinimumNameWidth;
    if (natural > room && !labels.isEmpty()) {
        const int floor = metrics.horizontalAdvance(QChar(0x2026));
        int cap = *std::max_element(labels.cbegin(), labels.cend());
        auto total = [&](int limit) {
            int sum = 0;
            for (int label : labels)
                sum += frame + qMin(label, limit) + kSpacing;
            return sum;
        };
        while (cap > floor && total(cap) > room)
            --cap;
        for (int& label : labels)
            label = qMin(label, cap);
    }
    QList<QRect> rects;
    int right = row.right() - kPadX;
    for (qsizetype i = variants.size() - 1; i >= 0; --i) {
        const int width = frame + labels.at(i);
        rects.prepend(QRect(right - width + 1, row.center().y() - height / 2 + 1, width, height));
        right -= width + kSpacing;
    }
    return rects;
}

QSize BulkPluginRow::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    const QFontMetrics name(Typography::listCallout());
    const QFontMetrics badge(badgeFont());
    return {200, qMax(name.height(), badge.height() + 2 * kBadgePadY + 2) + 2 * kPadY + 2};
}

void BulkPluginRow::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const ConsolidatedPlugin* plugin = m_model.entry(index.row());
    if (!plugin)
        return;
    const QRect row = option.rect.adjusted(0, 1, 0, -1);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    if (m_model.isMarked(plugin->name))
        paintGlassSurface(*painter, QRectF(row), GlassSurface::Kind::tinted, option.palette.color(QPalette::Highlight),
                          true, 5);
    // The flash grows the row about its centre; the mark's glass around it keeps its size.
    const qreal scale = m_model.flashScale(plugin->name);
    if (scale != 1.0) {
        const QPointF centre = QRectF(row).center();
        painter->translate(centre);
        painter->scale(scale, scale);
        painter->translate(-centre);
    }
    // Badges that still do not fit are cut at the row's edge, never drawn beside it.
    painter->setClipRect(row);
    const qreal flash = m_model.flashLevel(plugin->name);
    if (flash > 0) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(AppTheme::withAlpha(AppTheme::accentPink(), flash));
        painter->drawRoundedRect(QRectF(row), 5, 5);
    }

    const QList<QRect> badges = badgeRects(row, plugin->variants);
    const int nameRight = badges.isEmpty() ? row.right() - kPadX : badges.first().left() - kSpacing;
    const QRect nameRect(row.left() + kPadX, row.top(), qMax(0, nameRight - row.left() - kPadX), row.height());
    painter->setFont(Typography::listCallout());
    painter->setPen(AppTheme::textPrimary());
    painter->drawText(
        nameRect, Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(Typography::listCallout()).elidedText(plugin->name, Qt::ElideRight, nameRect.width()));

    const QSet<QUuid>& active = m_model.viewModel().bulkActiveVariants();
    painter->setFont(badgeFont());
    for (qsizetype i = 0; i < badges.size(); ++i) {
        const auto& variant = plugin->variants.at(i);
        const bool on = active.contains(variant.id);
        const QRect badge = badges.at(i);
        paintGlassSurface(*painter, QRectF(badge), GlassSurface::Kind::card, QColor(), false, 4);
        // Small text on the badge's wash: both states stay readable; the dot tells them apart.
        const QColor ground = AppTheme::over(AppTheme::glassBg(), AppTheme::readingBackground());
        const QColor text = on ? AppTheme::legible(AppTheme::textSecondary(), ground)
                               : AppTheme::legible(AppTheme::withAlpha(AppTheme::textSecondary(), 0.5), ground);
        painter->setPen(text);
        const QRect label(badge.left() + kBadgePadX, badge.top(), badge.width() - 2 * kBadgePadX - 3 - kDot,
                          badge.height());
        painter->drawText(label, Qt::AlignLeft | Qt::AlignVCenter,
                          painter->fontMetrics().elidedText(variant.badgeLabel(), Qt::ElideRight, label.width() + 1));
        painter->setPen(Qt::NoPen);
        painter->setBrush(on ? AppTheme::systemGreen() : AppTheme::withAlpha(AppTheme::systemGray(), 0.35));
        painter->drawEllipse(QRectF(label.right() + 4, badge.center().y() - kDot / 2.0 + 0.5, kDot, kDot));
    }
    // Where the keyboard is: a ring around the row's name or around one of its badges.
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(option.palette.color(QPalette::Highlight), 1.5));
        painter->setBrush(Qt::NoBrush);
        const bool onBadge = m_focusedBadge >= 0 && m_focusedBadge < badges.size();
        painter->drawRoundedRect(QRectF(onBadge ? badges.at(m_focusedBadge) : row).adjusted(1, 1, -1, -1), 4, 4);
    }
    painter->restore();
}

bool BulkPluginRow::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                              const QModelIndex& index)
{
    const ConsolidatedPlugin* plugin = m_model.entry(index.row());
    if (event && event->type() == QEvent::ToolTip && plugin) {
        const QList<QRect> badges = badgeRects(option.rect.adjusted(0, 1, 0, -1), plugin->variants);
        for (qsizetype i = 0; i < badges.size(); ++i) {
            if (badges.at(i).contains(event->pos())) {
                QToolTip::showText(event->globalPos(), m_model.variantPath(plugin->variants.at(i).id), view->viewport(),
                                   badges.at(i));
                return true;
            }
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

bool BulkPluginRow::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                const QModelIndex& index)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const ConsolidatedPlugin* plugin = m_model.entry(index.row());
    if (mouse->button() != Qt::LeftButton || !plugin)
        return false;
    const QPoint pos = mouse->position().toPoint();
    const QList<QRect> badges = badgeRects(option.rect.adjusted(0, 1, 0, -1), plugin->variants);
    for (qsizetype i = 0; i < badges.size(); ++i) {
        if (badges.at(i).contains(pos)) {
            // A badge click never reaches the row's own action.
            m_model.viewModel().toggleBulkVariant(plugin->variants.at(i).id);
            return true;
        }
    }
    m_model.toggleMarked(plugin->name);
    return true;
}
