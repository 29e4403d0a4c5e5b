#include "sidebar/ProfileDialogs.h"

#include "Platform/AtomicFile.h"
#include "Platform/Diagnostics.h"
#include "catalogue/ProfileManager.h"
#include "operations/PluginManagerViewModel.h"
#include "sidebar/SidebarPrompts.h"
#include "sidebar/SidebarTexts.h"
#include "widgets/Prompter.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QString kJsonFilter = QStringLiteral("JSON files (*.json)");

QString quoted(const QString& name)
{
    return u'"' + name + u'"';
}

} // namespace

ProfileDialogs::ProfileDialogs(PluginManagerViewModel& viewModel, ProfileManager& profileManager, Prompter& prompter,
                               QWidget* parent)
    : m_viewModel(viewModel), m_profileManager(profileManager), m_prompter(prompter), m_parent(parent)
{
}

std::optional<QString> ProfileDialogs::askName(const QString& title, const QString& message, const QString& confirmText)
{
    const Prompter::TextRequest request{title, message, QStringLiteral("Profile name"), QString(), confirmText};
    while (true) {
        const std::optional<QString> answer = m_prompter.askText(m_parent, request);
        if (!answer)
            return std::nullopt;
        const QString name = SidebarTexts::trimmedName(*answer);
        if (!name.isEmpty())
            return name;
        // An empty name saves nothing; the question stays until a name or a cancel.
    }
}

void ProfileDialogs::saveCurrentState()
{
    const std::optional<QString> name = askName(
        QStringLiteral("Save Profile"),
        QStringLiteral("Save the current enabled/disabled state of all plugins as a profile."), QStringLiteral("Save"));
    if (name)
        m_profileManager.saveProfile(*name, m_viewModel.plugins());
}

void ProfileDialogs::createFromSelection()
{
    const qint64 count = m_viewModel.persistedSelections().size();
    const std::optional<QString> name = askName(
        QStringLiteral("Create Profile from Selection"),
        QStringLiteral("The ") + QString::number(count) +
            QStringLiteral(
                " selected plugins will be marked as enabled. All other plugins will be disabled in this profile."),
        QStringLiteral("Create"));
    if (!name)
        return;
    const QList<AudioPlugin> selected = m_viewModel.allSelectedPluginObjects();
    m_profileManager.saveProfileFromSelection(*name, selected, m_viewModel.plugins());
}

QString ProfileDialogs::applyMessage(const PluginProfile& profile) const
{
    const ProfileManager::Changes changes = ProfileManager::computeChanges(profile, m_viewModel.plugins());
    return QStringLiteral("Applying ") + quoted(profile.name) + QStringLiteral(" will enable ") +
           QString::number(changes.toEnable.size()) + QStringLiteral(" and disable ") +
           QString::number(changes.toDisable.size()) + QStringLiteral(" plugins.");
}

void ProfileDialogs::apply(const PluginProfile& profile)
{
    if (SidebarPrompts::refuseWhileRunning(m_prompter, m_parent, m_viewModel))
        return;
    if (!m_prompter.confirm(m_parent, QStringLiteral("Apply Profile?"), applyMessage(profile), QStringLiteral("Apply"),
                            Prompter::Role::normal))
        return;
    if (SidebarPrompts::refuseWhileRunning(m_prompter, m_parent, m_viewModel))
        return;
    const ProfileManager::Changes changes = ProfileManager::computeChanges(profile, m_viewModel.plugins());
    const QList<AudioPlugin> all = changes.toEnable + changes.toDisable;
    if (!all.isEmpty())
        m_viewModel.toggleMultiplePlugins(all);
}

void ProfileDialogs::update(const PluginProfile& profile)
{
    if (SidebarPrompts::refuseWhileRunning(m_prompter, m_parent, m_viewModel))
        return;
    if (!m_prompter.confirm(m_parent, QStringLiteral("Update Profile?"),
                            QStringLiteral("Overwrite ") + quoted(profile.name) +
                                QStringLiteral(" with the current plugin state?"),
                            QStringLiteral("Update"), Prompter::Role::normal))
        return;
    if (SidebarPrompts::refuseWhileRunning(m_prompter, m_parent, m_viewModel))
        return;
    m_profileManager.updateProfile(profile, m_viewModel.plugins());
    const std::optional<PluginProfile>& active = m_viewModel.activeProfile();
    if (active && active->id == profile.id) {
        for (const PluginProfile& stored : m_profileManager.profiles()) {
            if (stored.id == profile.id) {
                m_viewModel.setActiveProfile(stored);
                break;
            }
        }
    }
    // The catalogue did not change, only what the preview compares with.
    m_viewModel.refreshProfileChanges();
}

void ProfileDialogs::remove(const PluginProfile& profile)
{
    if (!m_prompter.confirm(m_parent, QStringLiteral("Delete Profile?"),
                            QStringLiteral("Are you sure you want to delete ") + quoted(profile.name) + u'?',
                            QStringLiteral("Delete"), Prompter::Role::destructive))
        return;
    if (SidebarPrompts::refuseWhileRunning(m_prompter, m_parent, m_viewModel))
        return;
    const std::optional<PluginProfile>& active = m_viewModel.activeProfile();
    if (active && active->id == profile.id) {
        m_viewModel.setActiveProfile(std::nullopt);
        m_viewModel.setShowAllPlugins(false);
    }
    // The profile store is the one writer of its file (an atomic write).
    m_profileManager.deleteProfile(profile);
    // The catalogue did not change, only what the preview compares with.
    m_viewModel.refreshProfileChanges();
}

void ProfileDialogs::reportImportFailure(const QString& reason)
{
    const QString message = QStringLiteral("Failed to import profile: ") + reason;
    Diagnostics::print(message);
    m_prompter.inform(m_parent, QStringLiteral("Import Failed"), message);
}

void ProfileDialogs::importProfile()
{
    const std::optional<QString> path =
        m_prompter.chooseOpenFile(m_parent, QStringLiteral("Import Profile"), kJsonFilter);
    if (!path || path->isEmpty())
        return;

    // The store checks the file; a nameless profile is refused here before anything changes.
    QString failure;
    std::optional<PluginProfile> profile = ProfileManager::readProfileFile(*path, &failure);
    if (!profile) {
        reportImportFailure(failure);
        return;
    }
    if (SidebarTexts::trimmedName(profile->name).isEmpty()) {
        reportImportFailure(QStringLiteral("the profile has no name."));
        return;
    }
    m_profileManager.addImportedProfile(std::move(*profile));
}

void ProfileDialogs::exportProfile(const PluginProfile& profile)
{
    const std::optional<QString> path = m_prompter.chooseSaveFile(
        m_parent, QStringLiteral("Export Profile"), SidebarTexts::exportFileName(profile.name), kJsonFilter);
    if (!path || path->isEmpty())
        return;
    const std::optional<QByteArray> bytes = ProfileDocument{profile}.write();
    const QString failure =
        bytes ? writeFileAtomically(*path, *bytes) : QStringLiteral("there is no profile to write.");
    if (failure.isEmpty())
        return;
    const QString message = QStringLiteral("Export failed: ") + failure;
    Diagnostics::print(message);
    m_prompter.inform(m_parent, QStringLiteral("Export Failed"), message);
}
