#include "shell/NewPluginsBanner.h"

#include "shell/ElidedLabel.h"
#include "shell/NewPluginsOffer.h"
#include "widgets/AppTheme.h"
#include "widgets/GlassStyle.h"
#include "widgets/Styles.h"
#include "widgets/SymbolIcons.h"
#include "widgets/Typography.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

NewPluginsBanner::NewPluginsBanner(NewPluginsOffer& offer, QWidget* parent) : QWidget(parent), m_offer(offer)
{
    setObjectName(QStringLiteral("newPluginsBanner"));
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(16, 10, 16, 10);
    layout->setSpacing(10);

    auto* icon = new QLabel;
    const int size = fontMetrics().height();
    icon->setPixmap(
        SymbolIcons::pixmap(QStringLiteral("sparkles"), size, AppTheme::systemOrange(), devicePixelRatioF()));
    icon->setAccessibleName(QStringLiteral("New plugins"));
    layout->addWidget(icon, 0, Qt::AlignVCenter);

    m_text = new ElidedLabel;
    m_text->setFont(Typography::scaled(0.95));
    layout->addWidget(m_text, 1, Qt::AlignVCenter);

    m_add = new QPushButton(QStringLiteral("Add to Profiles"));
    m_add->setDefault(false);
    m_add->setAutoDefault(false);
    m_add->setFont(Typography::scaled(0.9));
    m_add->setStyleSheet(
        Styles::filledButton(AppTheme::systemOrange(), Qt::white, 5, QStringLiteral("3px 10px"), QColor(230, 128, 0)));
    layout->addWidget(m_add, 0, Qt::AlignVCenter);

    m_dismiss = new QPushButton;
    m_dismiss->setFlat(true);
    m_dismiss->setIcon(SymbolIcons::tinted(QStringLiteral("xmark"), AppTheme::textSecondary()));
    m_dismiss->setIconSize(QSize(11, 11));
    m_dismiss->setToolTip(QString::fromUtf8(kDismissHelp));
    m_dismiss->setAccessibleName(QStringLiteral("Dismiss"));
    m_dismiss->setAccessibleDescription(QString::fromUtf8(kDismissHelp));
    m_dismiss->setStyleSheet(Styles::iconButton());
    layout->addWidget(m_dismiss, 0, Qt::AlignVCenter);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(liquidGlassTinted(row, AppTheme::systemOrange(), 0));

    connect(m_add, &QPushButton::clicked, &m_offer, &NewPluginsOffer::openSheet);
    connect(m_dismiss, &QPushButton::clicked, &m_offer, &NewPluginsOffer::dismissBanner);
    connect(&m_offer, &NewPluginsOffer::selectionChanged, this, &NewPluginsBanner::refresh);
    connect(&m_offer, &NewPluginsOffer::showBannerChanged, this, &NewPluginsBanner::refresh);
    refresh();
}

QString NewPluginsBanner::text() const
{
    return m_text->fullText();
}

void NewPluginsBanner::refresh()
{
    // The names give way to the width; the count of the others stays readable.
    m_text->setFullText(NewPluginsOffer::bannerText(m_offer.detectedNewPlugins()),
                        NewPluginsOffer::bannerMoreSuffix(m_offer.detectedNewPlugins().size()));
}
