#pragma once

#include "catalogue/PluginProfile.h"

class PluginManagerViewModel;
class ProfileManager;
class Prompter;
class QWidget;

/// The profile commands that need a name, a confirmation or a file: save, create from
/// the selection, apply, update, delete, import and export. Every question goes
/// through the window's prompter; failures are told to the user, not only printed.
class ProfileDialogs final {
public:
    ProfileDialogs(PluginManagerViewModel& viewModel, ProfileManager& profileManager, Prompter& prompter,
                   QWidget* parent);

    void saveCurrentState();
    void createFromSelection();
    void apply(const PluginProfile& profile);
    void update(const PluginProfile& profile);
    void remove(const PluginProfile& profile);
    void importProfile();
    void exportProfile(const PluginProfile& profile);

    /// "Applying "name" will enable N and disable M plugins."
    QString applyMessage(const PluginProfile& profile) const;

private:
    /// Asks for a name until one is left after trimming; none when cancelled.
    std::optional<QString> askName(const QString& title, const QString& message, const QString& confirmText);
    void reportImportFailure(const QString& reason);

    PluginManagerViewModel& m_viewModel;
    ProfileManager& m_profileManager;
    Prompter& m_prompter;
    QWidget* m_parent;
};
