#include "shell/UpdateBanner.h"

#include "Platform/Workspace.h"
#include "shell/ElidedLabel.h"
#include "shell/UpdateChecker.h"
#include "widgets/AppTheme.h"
#include "widgets/GlassStyle.h"
#include "widgets/Styles.h"
#include "widgets/SymbolIcons.h"
#include "widgets/Typography.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {
// The release notes: white, a little softened (the title is plain white).
const QColor kNotesInk(255, 255, 255, 204);
} // namespace

UpdateBanner::UpdateBanner(UpdateChecker& checker, std::shared_ptr<Workspace> workspace, QWidget* parent)
    : QWidget(parent), m_checker(checker), m_workspace(std::move(workspace)),
      m_terminate([] { QCoreApplication::quit(); })
{
    setObjectName(QStringLiteral("updateBanner"));
    setAccessibleName(QStringLiteral("Update available"));

    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(16, 10, 16, 10);
    layout->setSpacing(10);

    auto* icon = new QLabel;
    const int iconSize = QFontMetrics(Typography::scaled(1.3)).height();
    icon->setPixmap(
        SymbolIcons::pixmap(QStringLiteral("arrow.down.circle.fill"), iconSize, Qt::white, devicePixelRatioF()));
    icon->setAccessibleName(QStringLiteral("Update"));
    layout->addWidget(icon, 0, Qt::AlignVCenter);

    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    column->setContentsMargins(0, 0, 0, 0);
    m_title = new QLabel;
    m_title->setFont(Typography::scaled(0.95, QFont::DemiBold));
    m_title->setStyleSheet(Styles::textColor(Qt::white));
    m_title->setTextFormat(Qt::PlainText);
    m_notes = new ElidedLabel;
    m_notes->setFont(Typography::scaled(0.85));
    m_notes->setStyleSheet(Styles::textColor(kNotesInk));
    column->addWidget(m_title);
    column->addWidget(m_notes);
    layout->addLayout(column, 1);

    m_download = new QPushButton(QStringLiteral("Download"));
    m_download->setFont(Typography::scaled(0.85, QFont::DemiBold));
    m_download->setCursor(Qt::PointingHandCursor);
    const int capsule = (QFontMetrics(m_download->font()).height() + 10) / 2;
    m_download->setStyleSheet(Styles::filledButton(Qt::white, AppTheme::brandPink(), capsule,
                                                   QStringLiteral("5px 12px"), QColor(255, 255, 255, 200)));
    layout->addWidget(m_download, 0, Qt::AlignVCenter);

    m_dismiss = new QPushButton;
    m_dismiss->setFlat(true);
    m_dismiss->setCursor(Qt::PointingHandCursor);
    QColor faded(Qt::white);
    faded.setAlphaF(0.7f);
    m_dismiss->setIcon(SymbolIcons::tinted(QStringLiteral("xmark"), faded));
    m_dismiss->setIconSize(QSize(12, 12));
    m_dismiss->setAccessibleName(QStringLiteral("Dismiss"));
    m_dismiss->setToolTip(QStringLiteral("Dismiss"));
    m_dismiss->setStyleSheet(Styles::iconButton());
    layout->addWidget(m_dismiss, 0, Qt::AlignVCenter);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(liquidGlassTinted(row, AppTheme::accentPink(), 0));

    connect(m_download, &QPushButton::clicked, this, &UpdateBanner::download);
    connect(m_dismiss, &QPushButton::clicked, this, &UpdateBanner::dismiss);
    connect(&m_checker, &UpdateChecker::updateAvailableChanged, this, &UpdateBanner::refresh);
    connect(&m_checker, &UpdateChecker::latestVersionChanged, this, &UpdateBanner::refresh);
    connect(&m_checker, &UpdateChecker::updateReleaseNotesChanged, this, &UpdateBanner::refresh);
    refresh();
}

QString UpdateBanner::titleText(const QString& latestVersion)
{
    return QStringLiteral("Update Available — v") + latestVersion;
}

QString UpdateBanner::title() const
{
    return m_title->text();
}
QString UpdateBanner::releaseNotes() const
{
    return m_notes->fullText();
}
bool UpdateBanner::releaseNotesShown() const
{
    return !m_notes->isHidden();
}

void UpdateBanner::refresh()
{
    m_title->setText(titleText(m_checker.latestVersion()));
    m_notes->setFullText(m_checker.updateReleaseNotes());
    m_notes->setHidden(m_checker.updateReleaseNotes().isEmpty());
    // Without a parent, showing would open a window of its own.
    if (parentWidget() || !m_checker.updateAvailable())
        setVisible(m_checker.updateAvailable());
}

void UpdateBanner::download()
{
    const QUrl url(m_checker.updateDownloadURL(), QUrl::StrictMode);
    if (m_checker.updateDownloadURL().isEmpty() || !url.isValid())
        return;
    if (m_workspace)
        m_workspace->openUrl(url);
    // The program quits whether or not the address could be opened.
    QTimer::singleShot(kQuitDelayMs, this, [this] {
        if (m_terminate)
            m_terminate();
    });
}

void UpdateBanner::dismiss()
{
    m_checker.setUpdateAvailable(false);
}

void UpdateBanner::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    // White text needs a saturated band under the pink glass to stay readable: each pink of the
    // band in a shade dark enough for the release notes (white at 0.8) as the glass tints it.
    QPainter painter(this);
    const QColor window = palette().color(QPalette::Window);
    const QColor veil = AppTheme::withAlpha(AppTheme::accentPink(), 0.1);
    const auto band = [&](const QColor& pink) {
        return AppTheme::groundFor(AppTheme::over(AppTheme::withAlpha(pink, 0.92), window), kNotesInk, 4.5, veil);
    };
    QLinearGradient gradient(rect().topLeft(), rect().bottomRight());
    gradient.setColorAt(0, band(AppTheme::accentPink()));
    gradient.setColorAt(1, band(AppTheme::brandPink()));
    painter.fillRect(rect(), gradient);
}
