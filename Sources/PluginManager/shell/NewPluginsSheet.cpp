#include "shell/NewPluginsSheet.h"

#include "catalogue/ProfileManager.h"
#include "shell/ElidedLabel.h"
#include "shell/NewPluginsOffer.h"
#include "widgets/AppTheme.h"
#include "widgets/GlassStyle.h"
#include "widgets/Styles.h"
#include "widgets/SymbolIcons.h"
#include "widgets/Typography.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

// A chip that puts a format's new plug-ins into the offer or takes them out: caption text on a
// conditional glass surface, accent blue while on. A Tab stop that Space switches, read as a
// check box that is ticked while on; ringed while focused.
class OfferedFormatChip final : public QPushButton {
public:
    explicit OfferedFormatChip(const QString& text, QWidget* parent = nullptr) : QPushButton(text, parent)
    {
        setFocusPolicy(Qt::StrongFocus);
        setAutoDefault(false);
        // Checkable for the state it reads as; what it shows comes from the offer (setActive).
        setCheckable(true);
        setAccessibleName(text);
        setFont(Typography::scaled(0.85));
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    void setActive(bool active)
    {
        m_active = active;
        setChecked(active);
        update();
    }
    bool isActive() const { return m_active; }
    QSize sizeHint() const override
    {
        const QFontMetrics fm(font());
        return {fm.horizontalAdvance(text()) + 16 + 6, fm.height() + 8 + 6};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintGlassSurface(painter, QRectF(rect()), GlassSurface::Kind::conditional, AppTheme::accentBlue(), m_active,
                          6);
        // The accent in a shade that reads on the chip's own blue wash.
        const QColor ground =
            AppTheme::over(AppTheme::withAlpha(AppTheme::accentBlue(), 0.15), palette().color(QPalette::Window));
        painter.setPen(m_active ? AppTheme::legible(AppTheme::accentBlue(), ground) : AppTheme::textSecondary());
        painter.setFont(font());
        painter.drawText(rect().adjusted(3, 1, -3, -4), Qt::AlignCenter, text());
        if (hasFocus()) {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
        }
    }

private:
    bool m_active = false;
};

QPushButton* plainRowButton()
{
    auto* button = new QPushButton;
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(Styles::rowButton());
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

QLabel* passiveLabel(const QString& text = {})
{
    auto* label = new QLabel(text);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A name in a row of the fixed-width sheet: a long one ends in an ellipsis rather than being cut.
QLabel* elidedName(const QString& text)
{
    auto* label = new ElidedLabel;
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setFont(Typography::scaled(0.95));
    label->setFullText(text);
    return label;
}

// A rounded well in the control background colour holding a scrolling list.
QScrollArea* listWell(QWidget* content, int maxHeight, const QString& name)
{
    auto* area = new QScrollArea;
    // Its rows are the Tab stops; the well itself is none.
    area->setFocusPolicy(Qt::NoFocus);
    area->setAccessibleName(name);
    area->setWidget(content);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setMaximumHeight(maxHeight);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setObjectName(QStringLiteral("listWell"));
    area->setStyleSheet(Styles::wellPanel(QStringLiteral("QScrollArea"), area->objectName(), true));
    content->setObjectName(QStringLiteral("listWellContent"));
    content->setStyleSheet(Styles::wellPanel(QStringLiteral("QWidget"), content->objectName(), false));
    return area;
}

QPixmap tick(bool on, const QWidget* w)
{
    const int size = QFontMetrics(Typography::scaled(0.85)).height();
    return on ? SymbolIcons::pixmap(QStringLiteral("checkmark.square.fill"), size, AppTheme::accentBlue(),
                                    w->devicePixelRatioF())
              : SymbolIcons::pixmap(QStringLiteral("square"), size, AppTheme::textSecondary(), w->devicePixelRatioF());
}

} // namespace

NewPluginsSheet::NewPluginsSheet(NewPluginsOffer& offer, const ProfileManager& profiles, QWidget* parent)
    : QDialog(parent), m_offer(offer)
{
    setWindowTitle(QStringLiteral("Add New Plugins to Profiles"));
    setFixedWidth(480);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(16);

    // The sheet reads top to bottom: what arrived, which formats, which plug-ins, then where to add them.
    buildHeader(layout);
    buildFormatChips(layout);
    buildPluginList(layout);
    buildProfileList(layout, profiles);
    buildNote(layout);
    buildButtons(layout);

    connect(m_skip, &QPushButton::clicked, &m_offer, &NewPluginsOffer::skip);
    connect(m_add, &QPushButton::clicked, &m_offer, &NewPluginsOffer::add);
    connect(&m_offer, &NewPluginsOffer::selectionChanged, this, &NewPluginsSheet::refresh);
    refresh();
}

void NewPluginsSheet::buildHeader(QVBoxLayout* layout)
{
    auto* header = new QHBoxLayout;
    auto* sparkles = new QLabel;
    sparkles->setPixmap(SymbolIcons::pixmap(QStringLiteral("sparkles"), QFontMetrics(Typography::scaled(1.3)).height(),
                                            AppTheme::systemOrange(), devicePixelRatioF()));
    sparkles->setAccessibleName(QStringLiteral("New plugins"));
    header->addWidget(sparkles);
    auto* title = new QLabel(QStringLiteral("Add New Plugins to Profiles"));
    title->setFont(Typography::scaled(1.05, QFont::DemiBold));
    header->addWidget(title);
    header->addStretch(1);
    layout->addLayout(header);

    m_description = new QLabel;
    m_description->setWordWrap(true);
    m_description->setFont(Typography::scaled(0.95));
    m_description->setStyleSheet(Styles::textColor(AppTheme::textSecondary()));
    layout->addWidget(m_description);
}

void NewPluginsSheet::buildFormatChips(QVBoxLayout* layout)
{
    // One chip per format among the new plug-ins.
    auto* formats = new QHBoxLayout;
    formats->setSpacing(8);
    auto* formatsLabel = new QLabel(QStringLiteral("Formats:"));
    formatsLabel->setFont(Typography::scaled(0.85));
    formatsLabel->setStyleSheet(Styles::textColor(AppTheme::textSecondary()));
    formats->addWidget(formatsLabel);
    for (const PluginFormat format : m_offer.detectedFormats()) {
        auto* chip = new OfferedFormatChip(NewPluginsOffer::chipText(format, m_offer.detectedCount(format)));
        connect(chip, &QPushButton::clicked, this, [this, format] { m_offer.toggleFormat(format); });
        m_chips.insert(format, chip);
        formats->addWidget(chip);
    }
    formats->addStretch(1);
    layout->addLayout(formats);
}

void NewPluginsSheet::buildPluginList(QVBoxLayout* layout)
{
    auto* pluginList = new QWidget;
    auto* pluginColumn = new QVBoxLayout(pluginList);
    pluginColumn->setContentsMargins(0, 4, 0, 4);
    pluginColumn->setSpacing(2);
    for (const AudioPlugin& plugin : m_offer.detectedNewPlugins()) {
        if (m_pluginRows.contains(plugin.id))
            continue;
        QPushButton* row = plainRowButton();
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(8, 4, 8, 4);
        rowLayout->setSpacing(8);
        QLabel* tickLabel = passiveLabel();
        QLabel* name = elidedName(plugin.name);
        QLabel* badge = passiveLabel(PluginFormats::rawValue(plugin.format));
        badge->setFont(Typography::scaled(0.85));
        QColor badgeFill = AppTheme::textSecondary();
        badgeFill.setAlphaF(0.1f);
        badge->setStyleSheet(Styles::badge(AppTheme::textSecondary(), badgeFill));
        QLabel* state = passiveLabel(plugin.isEnabled ? QStringLiteral("Enabled") : QStringLiteral("Disabled"));
        state->setFont(Typography::scaled(0.78));
        state->setStyleSheet(Styles::textColor(AppTheme::legible(
            plugin.isEnabled ? AppTheme::systemGreen() : AppTheme::systemRed(), AppTheme::rowBackground())));
        rowLayout->addWidget(tickLabel);
        rowLayout->addWidget(name, 1);
        rowLayout->addWidget(badge);
        rowLayout->addWidget(state);
        row->setMinimumHeight(rowLayout->sizeHint().height());
        row->setAccessibleName(plugin.name);
        row->setToolTip(plugin.name);
        const QUuid id = plugin.id;
        connect(row, &QPushButton::clicked, this, [this, id] { m_offer.togglePlugin(id); });
        m_pluginRows.insert(id, row);
        m_pluginTicks.insert(id, tickLabel);
        m_pluginNames.insert(id, name);
        pluginColumn->addWidget(row);
    }
    pluginColumn->addStretch(1);
    layout->addWidget(listWell(pluginList, 200, QStringLiteral("New plugins")));

    m_counter = new QLabel;
    m_counter->setFont(Typography::scaled(0.85));
    m_counter->setStyleSheet(Styles::textColor(AppTheme::textSecondary()));
    layout->addWidget(m_counter);
}

void NewPluginsSheet::buildProfileList(QVBoxLayout* layout, const ProfileManager& profiles)
{
    // Below the line: the profiles the chosen plug-ins go into.
    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    auto* profileHeader = new QHBoxLayout;
    auto* addTo = new QLabel(QStringLiteral("Add to profiles:"));
    addTo->setFont(Typography::scaled(0.95, QFont::DemiBold));
    profileHeader->addWidget(addTo);
    profileHeader->addStretch(1);
    m_profileToggle = new QPushButton;
    m_profileToggle->setFlat(true);
    m_profileToggle->setFont(Typography::scaled(0.85));
    m_profileToggle->setCursor(Qt::PointingHandCursor);
    m_profileToggle->setStyleSheet(Styles::linkButton(AppTheme::accentBlue()));
    connect(m_profileToggle, &QPushButton::clicked, &m_offer, &NewPluginsOffer::toggleAllProfiles);
    profileHeader->addWidget(m_profileToggle);
    layout->addLayout(profileHeader);

    auto* profileList = new QWidget;
    auto* profileColumn = new QVBoxLayout(profileList);
    profileColumn->setContentsMargins(0, 4, 0, 4);
    profileColumn->setSpacing(4);
    for (const PluginProfile& profile : profiles.profiles()) {
        QPushButton* row = plainRowButton();
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(8, 4, 8, 4);
        rowLayout->setSpacing(8);
        QLabel* tickLabel = passiveLabel();
        QLabel* name = elidedName(profile.name);
        rowLayout->addWidget(tickLabel);
        rowLayout->addWidget(name, 1);
        row->setMinimumHeight(rowLayout->sizeHint().height());
        row->setAccessibleName(profile.name);
        row->setToolTip(profile.name);
        const QUuid id = profile.id;
        connect(row, &QPushButton::clicked, this, [this, id] { m_offer.toggleProfile(id); });
        m_profileRows.insert(id, row);
        m_profileTicks.insert(id, tickLabel);
        profileColumn->addWidget(row);
    }
    profileColumn->addStretch(1);
    layout->addWidget(listWell(profileList, 120, QStringLiteral("Profiles")));
}

void NewPluginsSheet::buildNote(QVBoxLayout* layout)
{
    auto* note = new QHBoxLayout;
    note->setContentsMargins(8, 0, 8, 0);
    note->setSpacing(6);
    auto* info = new QLabel;
    info->setPixmap(SymbolIcons::pixmap(QStringLiteral("info.circle"), QFontMetrics(Typography::scaled(0.85)).height(),
                                        AppTheme::accentBlue(), devicePixelRatioF()));
    info->setAccessibleName(QStringLiteral("Note"));
    note->addWidget(info, 0, Qt::AlignTop);
    auto* noteText = new QLabel(QString::fromUtf8(kNote));
    noteText->setWordWrap(true);
    noteText->setFont(Typography::scaled(0.85));
    noteText->setStyleSheet(Styles::textColor(AppTheme::textSecondary()));
    note->addWidget(noteText, 1);
    layout->addLayout(note);
}

void NewPluginsSheet::buildButtons(QVBoxLayout* layout)
{
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    m_skip = new QPushButton(QStringLiteral("Skip"));
    m_skip->setAutoDefault(false);
    m_add = new QPushButton;
    m_add->setDefault(true);
    m_add->setStyleSheet(Styles::filledButtonGreyWhenDisabled(AppTheme::accentBlue(), 5, QStringLiteral("4px 14px")));
    buttons->addWidget(m_skip);
    buttons->addWidget(m_add);
    layout->addLayout(buttons);
}

QString NewPluginsSheet::descriptionText() const
{
    return m_description->text();
}
QString NewPluginsSheet::counterText() const
{
    return m_counter->text();
}

void NewPluginsSheet::refresh()
{
    m_description->setText(NewPluginsOffer::sheetDescription(m_offer.detectedNewPlugins().size()));
    for (auto it = m_chips.begin(); it != m_chips.end(); ++it)
        static_cast<OfferedFormatChip*>(it.value())->setActive(m_offer.selectedFormats().contains(it.key()));
    for (auto it = m_pluginTicks.begin(); it != m_pluginTicks.end(); ++it) {
        const bool on = m_offer.isTicked(it.key());
        it.value()->setPixmap(tick(on, this));
        QLabel* name = m_pluginNames.value(it.key());
        name->setStyleSheet(Styles::textColor(on ? AppTheme::textPrimary() : AppTheme::textSecondary()));
        m_pluginRows.value(it.key())->setAccessibleDescription(on ? QStringLiteral("selected")
                                                                  : QStringLiteral("not selected"));
    }
    for (auto it = m_profileTicks.begin(); it != m_profileTicks.end(); ++it) {
        const bool on = m_offer.selectedProfiles().contains(it.key());
        it.value()->setPixmap(tick(on, this));
        m_profileRows.value(it.key())->setAccessibleDescription(on ? QStringLiteral("selected")
                                                                   : QStringLiteral("not selected"));
    }
    m_counter->setText(m_offer.counterText());
    m_profileToggle->setText(m_offer.profileToggleText());
    m_add->setText(m_offer.addButtonText());
    m_add->setEnabled(m_offer.canAdd());
}
