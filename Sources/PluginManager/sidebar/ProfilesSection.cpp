#include "sidebar/ProfilesSection.h"

#include "catalogue/ProfileManager.h"
#include "operations/PluginManagerViewModel.h"
#include "sidebar/ProfileRow.h"
#include "sidebar/RowButton.h"
#include "sidebar/SidebarIcons.h"
#include "widgets/AppTheme.h"
#include "widgets/GlassStyle.h"
#include "widgets/SectionHeaderButton.h"
#include "widgets/ThemedLabel.h"
#include "widgets/Typography.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

RowButton* commandButton(const QString& caption, const QString& symbol, const QColor& tint, QWidget* parent)
{
    auto* button = new RowButton(caption, parent);
    button->row()->addWidget(SidebarIcons::symbolLabel(symbol, tint, 14, 18, button));
    auto* label = new ThemedLabel(caption, Typography::sidebarCallout(), &AppTheme::textPrimary, button);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    button->row()->addWidget(label);
    button->row()->addStretch(1);
    return button;
}

} // namespace

ProfilesSection::ProfilesSection(PluginManagerViewModel& viewModel, ProfileManager& profileManager, Prompter& prompter,
                                 QWidget* parent)
    : FoldingSection(QStringLiteral("profilesSection"), QStringLiteral("Profiles"), &AppTheme::accentBlue,
                     QMargins(12, 0, 12, 0), 12, parent),
      m_viewModel(viewModel), m_profileManager(profileManager), m_dialogs(viewModel, profileManager, prompter, this)
{
    m_count = new ThemedLabel(QStringLiteral("0"), Typography::sidebarCaption2(), &AppTheme::textTertiary, header());
    m_count->setMinimumWidth(14);
    m_count->setAlignment(Qt::AlignCenter);
    m_count->setAttribute(Qt::WA_TransparentForMouseEvents);
    header()->addTrailingWidget(m_count);

    auto* content = new QVBoxLayout(body());
    content->setContentsMargins(0, 0, 0, 0);
    content->setSpacing(6);
    auto addCommand = [&](RowButton* button, const QColor& tint) {
        auto* holder = new QWidget(body());
        auto* holderLayout = new QHBoxLayout(holder);
        holderLayout->setContentsMargins(8, 0, 8, 0);
        holderLayout->addWidget(liquidGlassTinted(button, tint, 8));
        content->addWidget(holder);
        return holder;
    };
    m_saveButton = commandButton(QStringLiteral("Save Current State"), QStringLiteral("plus.circle"),
                                 AppTheme::accentBlue(), body());
    addCommand(m_saveButton, AppTheme::accentBlue());
    const QColor green(52, 199, 89);
    m_selectionButton =
        commandButton(QStringLiteral("Create from Selection"), QStringLiteral("checklist"), green, body());
    m_selectionCount =
        new ThemedLabel(QStringLiteral("0"), Typography::sidebarCaption2(), &AppTheme::textTertiary, m_selectionButton);
    m_selectionCount->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_selectionButton->row()->addWidget(m_selectionCount);
    m_selectionSurface = addCommand(m_selectionButton, green);
    const QColor orange(255, 149, 0);
    m_importButton =
        commandButton(QStringLiteral("Import Profile"), QStringLiteral("square.and.arrow.down"), orange, body());
    addCommand(m_importButton, orange);

    m_rowsLayout = new QVBoxLayout;
    m_rowsLayout->setContentsMargins(8, 0, 8, 0);
    m_rowsLayout->setSpacing(6);
    content->addLayout(m_rowsLayout);
    m_emptyText = new ThemedLabel(QStringLiteral("No saved profiles"), Typography::sidebarCaption(),
                                  &AppTheme::textTertiary, body());
    m_emptyText->setContentsMargins(12, 4, 12, 4);
    content->addWidget(m_emptyText);

    connect(m_saveButton, &QAbstractButton::clicked, this, [this] { m_dialogs.saveCurrentState(); });
    connect(m_selectionButton, &QAbstractButton::clicked, this, [this] { m_dialogs.createFromSelection(); });
    connect(m_importButton, &QAbstractButton::clicked, this, [this] { m_dialogs.importProfile(); });

    connect(&m_profileManager, &ProfileManager::profilesChanged, this, &ProfilesSection::rebuildRows);
    connect(&m_viewModel, &PluginManagerViewModel::pluginsChanged, this, &ProfilesSection::updateRowStates);
    connect(&m_viewModel, &PluginManagerViewModel::activeProfileChanged, this, &ProfilesSection::updateRowStates);
    connect(&m_viewModel, &PluginManagerViewModel::operationRunningChanged, this, &ProfilesSection::updateRowStates);
    connect(&m_viewModel, &PluginManagerViewModel::persistedSelectionsChanged, this,
            &ProfilesSection::updateSelectionButton);
    connect(&m_viewModel, &PluginManagerViewModel::selectedPluginsChanged, this,
            &ProfilesSection::updateSelectionButton);
    rebuildRows();
    updateSelectionButton();
}

QString ProfilesSection::countText() const
{
    return m_count->text();
}

bool ProfilesSection::isShowingEmptyText() const
{
    return !m_emptyText->isHidden();
}

void ProfilesSection::togglePreview(const PluginProfile& profile)
{
    const std::optional<PluginProfile>& active = m_viewModel.activeProfile();
    if (active && active->id == profile.id) {
        m_viewModel.setActiveProfile(std::nullopt);
        m_viewModel.setShowAllPlugins(false);
        return;
    }
    m_viewModel.setActiveProfile(profile);
    m_viewModel.setProfileViewFilter(QStringLiteral("changes"));
    m_viewModel.clearSelection();
    m_viewModel.setSelectedFormats({});       // reloads
    m_viewModel.setSelectedManufacturers({}); // reloads
    m_viewModel.setShowAllPlugins(true);
    m_viewModel.refreshProfileChanges();
}

void ProfilesSection::rebuildRows()
{
    for (ProfileRow* row : std::as_const(m_rows)) {
        m_rowsLayout->removeWidget(row);
        row->hide();
        row->deleteLater();
    }
    m_rows.clear();
    const QList<PluginProfile>& profiles = m_profileManager.profiles();
    for (const PluginProfile& profile : profiles) {
        auto* row = new ProfileRow(profile, body());
        connect(row, &ProfileRow::previewRequested, this, &ProfilesSection::togglePreview);
        connect(row, &ProfileRow::applyRequested, this, [this](const PluginProfile& p) { m_dialogs.apply(p); });
        connect(row, &ProfileRow::updateRequested, this, [this](const PluginProfile& p) { m_dialogs.update(p); });
        connect(row, &ProfileRow::exportRequested, this,
                [this](const PluginProfile& p) { m_dialogs.exportProfile(p); });
        connect(row, &ProfileRow::deleteRequested, this, [this](const PluginProfile& p) { m_dialogs.remove(p); });
        m_rowsLayout->addWidget(row);
        m_rows << row;
    }
    m_count->setText(QString::number(profiles.size()));
    m_emptyText->setVisible(profiles.isEmpty());
    updateRowStates();
}

void ProfilesSection::updateRowStates()
{
    const std::optional<PluginProfile>& active = m_viewModel.activeProfile();
    const QList<AudioPlugin>& plugins = m_viewModel.plugins();
    const bool idle = !m_viewModel.isOperationRunning();
    for (ProfileRow* row : std::as_const(m_rows)) {
        const ProfileManager::Changes changes = ProfileManager::computeChanges(row->profile(), plugins);
        row->setChangeCount(changes.toEnable.size() + changes.toDisable.size());
        row->setPreviewed(active && active->id == row->profile().id);
        row->setOperationsEnabled(idle);
    }
}

void ProfilesSection::updateSelectionButton()
{
    const qsizetype count = m_viewModel.persistedSelections().size();
    m_selectionCount->setText(QString::number(count));
    m_selectionSurface->setVisible(count > 0);
}
