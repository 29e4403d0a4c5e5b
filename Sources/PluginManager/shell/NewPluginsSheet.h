#pragma once

#include "catalogue/PluginModels.h"

#include <QDialog>
#include <QHash>
#include <QUuid>

class NewPluginsOffer;
class ProfileManager;
class QLabel;
class QPushButton;
class QVBoxLayout;

/// The sheet that records new plug-ins into chosen profiles: format chips, a ticked
/// list of plug-ins, a ticked list of profiles, Skip and Add.
class NewPluginsSheet final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NewPluginsSheet)
public:
    static constexpr auto kNote = "Plugins will be added matching their current state (enabled/disabled on disk).";

    NewPluginsSheet(NewPluginsOffer& offer, const ProfileManager& profiles, QWidget* parent = nullptr);

    QString descriptionText() const;
    QString counterText() const;
    QPushButton* chip(PluginFormat format) const { return m_chips.value(format); }
    QPushButton* pluginRow(const QUuid& id) const { return m_pluginRows.value(id); }
    QPushButton* profileRow(const QUuid& id) const { return m_profileRows.value(id); }
    QPushButton* profileToggleButton() const { return m_profileToggle; }
    QPushButton* skipButton() const { return m_skip; }
    QPushButton* addButton() const { return m_add; }

private:
    // The sheet's parts, top to bottom.
    void buildHeader(QVBoxLayout* layout);
    void buildFormatChips(QVBoxLayout* layout);
    void buildPluginList(QVBoxLayout* layout);
    void buildProfileList(QVBoxLayout* layout, const ProfileManager& profiles);
    void buildNote(QVBoxLayout* layout);
    void buildButtons(QVBoxLayout* layout);
    void refresh();

    NewPluginsOffer& m_offer;
    QLabel* m_description = nullptr;
    QLabel* m_counter = nullptr;
    QHash<PluginFormat, QPushButton*> m_chips;
    QHash<QUuid, QPushButton*> m_pluginRows;
    QHash<QUuid, QLabel*> m_pluginTicks;
    QHash<QUuid, QLabel*> m_pluginNames;
    QHash<QUuid, QPushButton*> m_profileRows;
    QHash<QUuid, QLabel*> m_profileTicks;
    QPushButton* m_profileToggle = nullptr;
    QPushButton* m_skip = nullptr;
    QPushButton* m_add = nullptr;
};
