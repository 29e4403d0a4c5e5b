#pragma once

#include "sidebar/ProfileDialogs.h"
#include "widgets/FoldingSection.h"

#include <QList>

class PluginManagerViewModel;
class ProfileManager;
class ProfileRow;
class Prompter;
class QLabel;
class QVBoxLayout;
class RowButton;

/// "Profiles": the saved profiles with how many plug-ins each would change, the
/// commands to save, create from the selection and import, and per profile preview,
/// apply, update, export and delete.
class ProfilesSection final : public FoldingSection {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProfilesSection)
public:
    ProfilesSection(PluginManagerViewModel& viewModel, ProfileManager& profileManager, Prompter& prompter,
                    QWidget* parent = nullptr);

    QString countText() const;
    RowButton* saveButton() const { return m_saveButton; }
    RowButton* createFromSelectionButton() const { return m_selectionButton; }
    RowButton* importButton() const { return m_importButton; }
    QList<ProfileRow*> rows() const { return m_rows; }
    bool isShowingEmptyText() const;
    ProfileDialogs& dialogs() { return m_dialogs; }

    /// Starts or ends the table's preview of `profile`.
    void togglePreview(const PluginProfile& profile);

private:
    void rebuildRows();
    void updateRowStates();
    void updateSelectionButton();

    PluginManagerViewModel& m_viewModel;
    ProfileManager& m_profileManager;
    ProfileDialogs m_dialogs;
    QLabel* m_count = nullptr;
    RowButton* m_saveButton = nullptr;
    RowButton* m_selectionButton = nullptr;
    QWidget* m_selectionSurface = nullptr;
    QLabel* m_selectionCount = nullptr;
    RowButton* m_importButton = nullptr;
    QVBoxLayout* m_rowsLayout = nullptr;
    QLabel* m_emptyText = nullptr;
    QList<ProfileRow*> m_rows;
};
