#include "sidebar/ManufacturerListView.h"

#include "sidebar/ManufacturerListModel.h"
#include "sidebar/SidebarIcons.h"
#include "sidebar/SidebarTexts.h"
#include "widgets/AppTheme.h"
#include "widgets/ItemViewAccessible.h"
#include "widgets/Typography.h"

#include <QAccessibleActionInterface>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

constexpr int kArrowWidth = 12;

QFont rowFont()
{
    return Typography::sidebarCallout();
}

int linkWidth(const QString& name, int available)
{
    const QFontMetrics metrics(rowFont());
    return std::min(available, metrics.horizontalAdvance(SidebarTexts::singleLine(name)) + 3 + kArrowWidth + 10);
}

class ManufacturerRowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return {120, QFontMetrics(rowFont()).height() + 10};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        const QRect r = option.rect;
        if (option.state & QStyle::State_HasFocus) {
            QColor focus = option.palette.color(QPalette::Highlight);
            focus.setAlphaF(0.15);
            painter->fillRect(r, focus);
        }
        const bool selected = index.data(ManufacturerListModel::SelectedRole).toBool();
        const QPixmap check =
            SidebarIcons::tinted(selected ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle"),
                                 selected ? AppTheme::accentPurple() : AppTheme::textTertiary(), 14);
        const QRect checkBox(r.left() + ManufacturerListView::kLeadingPadding, r.top(),
                             ManufacturerListView::kCheckWidth, r.height());
        if (!check.isNull()) {
            const QSize size = check.deviceIndependentSize().toSize();
            painter->drawPixmap(
                QRect(QPoint(0, 0), size).translated(checkBox.center() - QRect(QPoint(0, 0), size).center()), check);
        }
        const int textLeft = checkBox.right() + 1;
        const QString name = SidebarTexts::singleLine(index.data(Qt::DisplayRole).toString());
        const QFontMetrics metrics(rowFont());
        const int available = std::max(0, r.right() - textLeft - 10 - 3 - kArrowWidth);
        const QString shown = metrics.elidedText(name, Qt::ElideRight, available);
        painter->setFont(rowFont());
        painter->setPen(AppTheme::textPrimary());
        const QRect textRect(textLeft, r.top(), metrics.horizontalAdvance(shown), r.height());
        painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, shown);
        const QPixmap arrow = SidebarIcons::tinted(QStringLiteral("arrow.up.right"), AppTheme::textTertiary(), 9);
        if (!arrow.isNull())
            painter->drawPixmap(textRect.right() + 4, r.center().y() - 4, arrow);
        painter->restore();
    }
};

// For assistive technology a row is a tick (toggle, as Space) and a link (press, as Return).
class ManufacturerRowActions final : public ItemViewActions {
public:
    explicit ManufacturerRowActions(ManufacturerListView& view) : m_view(view) {}

    QStringList actionNames(const QModelIndex&) const override
    {
        return {QAccessibleActionInterface::toggleAction(), QAccessibleActionInterface::pressAction()};
    }
    void doAction(const QModelIndex& index, const QString& action) override
    {
        if (action == QAccessibleActionInterface::toggleAction())
            Q_EMIT m_view.checkToggled(index.data().toString());
        else if (action == QAccessibleActionInterface::pressAction())
            Q_EMIT m_view.linkActivated(index.data().toString());
    }
    QStringList keyBindings(const QModelIndex&, const QString& action) const override
    {
        return {action == QAccessibleActionInterface::toggleAction() ? QStringLiteral("Space")
                                                                     : QStringLiteral("Return")};
    }
    std::optional<bool> checkedState(const QModelIndex& index) const override
    {
        return index.data(ManufacturerListModel::SelectedRole).toBool();
    }
    QString description(const QModelIndex& index) const override
    {
        return QStringLiteral("Visit ") + index.data().toString() + QStringLiteral(" website");
    }

private:
    ManufacturerListView& m_view;
};

} // namespace

ManufacturerListView::~ManufacturerListView() = default;

ManufacturerListView::ManufacturerListView(QWidget* parent) : QListView(parent)
{
    setItemDelegate(new ManufacturerRowDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(tr("Manufacturers"));
    m_accessibleActions = std::make_unique<ManufacturerRowActions>(*this);
    ItemViewAccessible::install(this, m_accessibleActions.get());
}

QRect ManufacturerListView::checkRect(const QModelIndex& index) const
{
    const QRect r = visualRect(index);
    return {r.left() + kLeadingPadding, r.top(), kCheckWidth, r.height()};
}

QRect ManufacturerListView::linkRect(const QModelIndex& index) const
{
    const QRect r = visualRect(index);
    const int left = r.left() + kLeadingPadding + kCheckWidth;
    return {left, r.top(), linkWidth(index.data().toString(), std::max(0, r.right() - left)), r.height()};
}

void ManufacturerListView::fitHeight(int maxHeight)
{
    const int rows = model() ? model()->rowCount() : 0;
    const int rowHeight = sizeHintForRow(0) > 0 ? sizeHintForRow(0) : QFontMetrics(rowFont()).height() + 10;
    setFixedHeight(std::clamp(rows * (rowHeight + spacing()) + 2 * frameWidth(), 0, maxHeight));
}

void ManufacturerListView::mouseReleaseEvent(QMouseEvent* event)
{
    QListView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid())
        return;
    const QPoint pos = event->position().toPoint();
    if (checkRect(index).contains(pos))
        Q_EMIT checkToggled(index.data().toString());
    else if (linkRect(index).contains(pos))
        Q_EMIT linkActivated(index.data().toString());
}

void ManufacturerListView::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex index = currentIndex();
    if (index.isValid() && event->key() == Qt::Key_Space) {
        Q_EMIT checkToggled(index.data().toString());
        return;
    }
    if (index.isValid() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        Q_EMIT linkActivated(index.data().toString());
        return;
    }
    QListView::keyPressEvent(event);
}
