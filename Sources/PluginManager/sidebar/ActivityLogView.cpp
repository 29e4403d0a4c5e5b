#include "sidebar/ActivityLogView.h"

#include "catalogue/ActivityLogManager.h"
#include "sidebar/ActivityLogRow.h"
#include "sidebar/RowButton.h"
#include "sidebar/SidebarIcons.h"
#include "widgets/AppTheme.h"
#include "widgets/Prompter.h"
#include "widgets/TabChain.h"
#include "widgets/ThemedLabel.h"
#include "widgets/Typography.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

QFrame* divider(QWidget* parent, qreal opacity)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFixedHeight(1);
    QColor color = AppTheme::textTertiary();
    color.setAlphaF(color.alphaF() * 0.5 * opacity);
    QPalette pal = line->palette();
    pal.setColor(QPalette::WindowText, color);
    line->setPalette(pal);
    return line;
}

} // namespace

ActivityLogView::ActivityLogView(ActivityLogManager& log, Prompter& prompter, QWidget* parent)
    : QWidget(parent), m_log(log), m_prompter(prompter)
{
    setObjectName(QStringLiteral("activityLogView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(16, 10, 16, 10);
    header->addWidget(
        new ThemedLabel(QStringLiteral("Recent Activity"), Typography::sidebarHeadline(), &AppTheme::textPrimary));
    header->addStretch(1);
    m_clearButton = new RowButton(QStringLiteral("Clear"), this);
    m_clearButton->row()->setContentsMargins(4, 2, 4, 2);
    m_clearButton->row()->addWidget(
        new ThemedLabel(QStringLiteral("Clear"), Typography::sidebarCaption(), &AppTheme::textTertiary, m_clearButton));
    m_clearButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_clearButton, &QAbstractButton::clicked, this, &ActivityLogView::requestClear);
    header->addWidget(m_clearButton);
    layout->addLayout(header);
    layout->addWidget(divider(this, 1.0));

    m_scroll = new QScrollArea(this);
    // The entries are the Tab stop (and the arrows move between them); the area around them is none.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setAccessibleName(QStringLiteral("Recent Activity"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_rowsHost = new QWidget;
    m_rowsHost->setAutoFillBackground(false);
    m_rowsLayout = new QVBoxLayout(m_rowsHost);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(0);
    m_scroll->setWidget(m_rowsHost);
    layout->addWidget(m_scroll, 1);

    m_emptyState = new QWidget(this);
    auto* empty = new QVBoxLayout(m_emptyState);
    empty->setContentsMargins(0, 40, 0, 40);
    empty->setSpacing(8);
    auto* clock = SidebarIcons::symbolLabel(QStringLiteral("clock"), AppTheme::textTertiary(), 22, 28);
    empty->addWidget(clock, 0, Qt::AlignHCenter);
    auto* emptyText =
        new ThemedLabel(QStringLiteral("No activity yet"), Typography::sidebarCaption(), &AppTheme::textTertiary);
    empty->addWidget(emptyText, 0, Qt::AlignHCenter);
    layout->addWidget(m_emptyState, 1);

    connect(&m_log, &ActivityLogManager::entriesChanged, this, &ActivityLogView::rebuild);
    rebuild();
}

QList<ActivityLogRow*> ActivityLogView::rows() const
{
    return m_rowsHost->findChildren<ActivityLogRow*>(Qt::FindDirectChildrenOnly);
}

bool ActivityLogView::isShowingEmptyState() const
{
    return !m_emptyState->isHidden();
}

void ActivityLogView::requestClear()
{
    if (!m_prompter.confirm(this, QStringLiteral("Clear activity log?"), QString(), QStringLiteral("Clear Log"),
                            Prompter::Role::destructive))
        return;
    // The entries go from the list either way; said when the file still holds them.
    if (const QString reason = m_log.clearLog(); !reason.isEmpty())
        m_prompter.inform(this, QStringLiteral("Couldn't Clear the Activity Log"),
                          QStringLiteral("The cleared log could not be saved (%1), so its entries come back the next "
                                         "time Rackhand starts.")
                              .arg(reason));
}

void ActivityLogView::rebuild()
{
    const QList<ActivityLogRow*> before = rows();
    int reached = -1;
    for (int i = 0; i < before.size(); ++i) {
        if (before.at(i)->hasFocus())
            reached = i;
    }
    // Drop the old rows at once so that rows() and the layout agree immediately.
    while (QLayoutItem* item = m_rowsLayout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->setParent(nullptr);
            widget->deleteLater();
        }
        delete item;
    }
    const QList<ActivityLogEntry>& entries = m_log.entries();
    const QDateTime now = m_log.now();
    QList<QWidget*> made;
    for (const ActivityLogEntry& entry : entries) {
        auto* row = new ActivityLogRow(entry, now, m_rowsHost);
        row->installEventFilter(this);
        m_rowsLayout->addWidget(row);
        m_rowsLayout->addWidget(divider(m_rowsHost, 0.4));
        made.append(row);
    }
    m_rowsLayout->addStretch(1);
    // Rows made later than the rest keep their place in the Tab chain: after "Clear".
    TabChain::placeAfter(m_clearButton, made);
    if (!made.isEmpty())
        reachRow(reached < 0 ? 0 : std::min<int>(reached, int(made.size()) - 1), reached >= 0);
    const bool empty = entries.isEmpty();
    m_clearButton->setVisible(!empty);
    m_scroll->setVisible(!empty);
    m_emptyState->setVisible(empty);
}

void ActivityLogView::reachRow(int index, bool focus)
{
    const QList<ActivityLogRow*> all = rows();
    if (index < 0 || index >= all.size())
        return;
    for (int i = 0; i < all.size(); ++i)
        all.at(i)->setFocusPolicy(i == index ? Qt::StrongFocus : Qt::ClickFocus);
    if (focus) {
        all.at(index)->setFocus(Qt::OtherFocusReason);
        m_scroll->ensureWidgetVisible(all.at(index), 0, 0);
    }
}

bool ActivityLogView::eventFilter(QObject* watched, QEvent* event)
{
    auto* row = qobject_cast<ActivityLogRow*>(watched);
    if (!row)
        return QWidget::eventFilter(watched, event);
    const QList<ActivityLogRow*> all = rows();
    const int index = int(all.indexOf(row));
    if (event->type() == QEvent::FocusIn) {
        // Wherever the keyboard came back from, it returns to the entry it was on.
        reachRow(index, false);
        m_scroll->ensureWidgetVisible(row, 0, 0);
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int page = std::max(1, m_scroll->viewport()->height() / std::max(1, row->height()));
        int target = -1;
        switch (key->key()) {
        case Qt::Key_Up:
            target = index - 1;
            break;
        case Qt::Key_Down:
            target = index + 1;
            break;
        case Qt::Key_PageUp:
            target = std::max(0, index - page);
            break;
        case Qt::Key_PageDown:
            target = std::min(int(all.size()) - 1, index + page);
            break;
        case Qt::Key_Home:
            target = 0;
            break;
        case Qt::Key_End:
            target = int(all.size()) - 1;
            break;
        default:
            break;
        }
        if (target >= 0 && target < all.size()) {
            reachRow(target, true);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
