#include "sidebar/ProfileRow.h"

#include "sidebar/RowButton.h"
#include "sidebar/SidebarIcons.h"
#include "sidebar/SidebarTexts.h"
#include "widgets/AppTheme.h"
#include "widgets/ThemedLabel.h"
#include "widgets/Typography.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

ProfileRow::ProfileRow(const PluginProfile& profile, QWidget* parent) : QWidget(parent), m_profile(profile)
{
    // The narrowest column (250 px) must hold the whole row. The preview button spans
    // the row; the four round buttons lie over its first line, beside the name (which
    // elides), and the change summary has the second line to itself at nearly the whole
    // row width, so "1234 changes to apply" is never cut.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setSpacing(0);

    m_preview = new RowButton(QString(), this);
    m_preview->row()->setContentsMargins(0, 0, 0, 0);
    m_preview->row()->setSpacing(6);
    m_symbol = SidebarIcons::symbolLabel(QStringLiteral("square.stack.3d.up"), AppTheme::accentPurple(), 14, 18);
    m_preview->row()->addWidget(m_symbol);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    m_name = new ThemedLabel(QString(), Typography::sidebarCallout(), &AppTheme::textPrimary, m_preview);
    m_summary = new ThemedLabel(QString(), Typography::sidebarCaption2(), {}, m_preview);
    for (ThemedLabel* label : {m_name, m_summary}) {
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        label->setMinimumWidth(kMinimumTextWidth);
        label->setElideMode(Qt::ElideRight);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    auto* nameLine = new QHBoxLayout;
    nameLine->setSpacing(0);
    nameLine->addWidget(m_name, 1);
    // Keeps the name out from under the buttons.
    nameLine->addSpacing(kButtonsWidth + 6);
    nameLine->addStrut(kButtonSize);
    texts->addLayout(nameLine);
    texts->addWidget(m_summary);
    m_preview->row()->addLayout(texts, 1);
    grid->addWidget(m_preview, 0, 0);
    connect(m_preview, &QAbstractButton::clicked, this, [this] { Q_EMIT previewRequested(m_profile); });

    m_apply = makeIconButton(QStringLiteral("Apply profile"));
    m_update = makeIconButton(QStringLiteral("Update profile with current state"));
    m_export = makeIconButton(QStringLiteral("Export profile"));
    m_delete = makeIconButton(QStringLiteral("Delete profile"));
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(kButtonSpacing);
    for (QToolButton* button : {m_apply, m_update, m_export, m_delete}) {
        buttons->addWidget(button);
        button->raise(); // above the preview button they overlap
    }
    grid->addLayout(buttons, 0, 0, Qt::AlignRight | Qt::AlignTop);
    // Each of these opens a dialog: after the click (or an assistive activation) has returned,
    // never inside it.
    const auto later = [this](void (ProfileRow::*request)(const PluginProfile&)) {
        return [this, request] {
            QTimer::singleShot(0, this, [this, request, profile = m_profile] { Q_EMIT(this->*request)(profile); });
        };
    };
    connect(m_apply, &QToolButton::clicked, this, later(&ProfileRow::applyRequested));
    connect(m_update, &QToolButton::clicked, this, later(&ProfileRow::updateRequested));
    connect(m_export, &QToolButton::clicked, this, later(&ProfileRow::exportRequested));
    connect(m_delete, &QToolButton::clicked, this, later(&ProfileRow::deleteRequested));

    setProfile(profile);
}

QToolButton* ProfileRow::makeIconButton(const QString& helpText)
{
    auto* button = new QToolButton(this);
    button->setAutoRaise(true);
    button->setToolTip(helpText);
    button->setAccessibleName(helpText);
    button->setCursor(Qt::PointingHandCursor);
    button->setIconSize(QSize(kIconSize, kIconSize));
    button->setFixedSize(kButtonSize, kButtonSize);
    return button;
}

void ProfileRow::setProfile(const PluginProfile& profile)
{
    m_profile = profile;
    // Names may hold line breaks; the row shows them on one line.
    m_name->setText(SidebarTexts::singleLine(profile.name));
    // The labels let the mouse through, so the whole (possibly elided) name is the button's tooltip.
    m_preview->setToolTip(profile.name);
    restyle();
}

void ProfileRow::setPreviewed(bool previewed)
{
    if (m_previewed == previewed)
        return;
    m_previewed = previewed;
    restyle();
}

void ProfileRow::setChangeCount(qint64 changes)
{
    m_changes = changes;
    restyle();
}

void ProfileRow::setOperationsEnabled(bool enabled)
{
    m_apply->setEnabled(enabled);
    m_update->setEnabled(enabled);
}

QString ProfileRow::nameText() const
{
    return m_name->text();
}
QString ProfileRow::summaryText() const
{
    return m_summary->text();
}
QString ProfileRow::shownSummaryText() const
{
    return m_summary->shownText();
}

void ProfileRow::restyle()
{
    const bool on = m_previewed;
    SidebarIcons::setSymbol(m_symbol,
                            on ? QStringLiteral("square.stack.3d.up.fill") : QStringLiteral("square.stack.3d.up"),
                            on ? QColor(Qt::white) : AppTheme::accentPurple(), 14);
    QFont nameFont = Typography::sidebarCallout();
    nameFont.setBold(on);
    m_name->setFont(nameFont);
    m_name->setColorSource(on ? ThemedLabel::ColorSource([] { return QColor(Qt::white); })
                              : ThemedLabel::ColorSource(&AppTheme::textPrimary));
    m_summary->setText(SidebarTexts::changeSummary(m_changes));
    // Green or orange in a shade that reads on the sidebar; plain white on the previewed row's band.
    const QColor summaryHue =
        m_changes < 1 ? AppTheme::withAlpha(AppTheme::systemGreen(), 0.7) : AppTheme::systemOrange();
    m_summary->setColorSource(on ? ThemedLabel::ColorSource([] { return QColor(Qt::white); })
                                 : ThemedLabel::ColorSource([summaryHue] {
                                       return AppTheme::legible(summaryHue, AppTheme::readingBackground());
                                   }));
    m_preview->setAccessibleName(m_profile.name + QStringLiteral(", ") + m_summary->text());

    const QColor white = AppTheme::withAlpha(Qt::white, 0.9);
    m_apply->setIcon(
        SidebarIcons::tintedIcon(QStringLiteral("play.circle.fill"), on ? white : AppTheme::accentBlue(), kIconSize));
    m_update->setIcon(SidebarIcons::tintedIcon(QStringLiteral("arrow.triangle.2.circlepath.circle.fill"),
                                               on ? white : AppTheme::withAlpha(AppTheme::systemOrange(), 0.7),
                                               kIconSize));
    m_export->setIcon(SidebarIcons::tintedIcon(QStringLiteral("square.and.arrow.up.circle.fill"),
                                               on ? white : AppTheme::withAlpha(AppTheme::systemGreen(), 0.7),
                                               kIconSize));
    m_delete->setIcon(SidebarIcons::tintedIcon(
        QStringLiteral("trash.circle.fill"), on ? white : AppTheme::withAlpha(AppTheme::systemRed(), 0.7), kIconSize));
    update();
}

void ProfileRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF box = QRectF(rect());
    if (m_previewed) {
        QLinearGradient gradient(box.topLeft(), box.topRight());
        // The band's two hues, in shades dark enough for its white texts.
        gradient.setColorAt(0, AppTheme::groundFor(AppTheme::brandPink()));
        gradient.setColorAt(1, AppTheme::groundFor(AppTheme::accentPurple()));
        painter.setBrush(gradient);
    } else {
        painter.setBrush(AppTheme::withAlpha(palette().color(QPalette::Button), 0.5));
    }
    painter.drawRoundedRect(box, 6, 6);
}
