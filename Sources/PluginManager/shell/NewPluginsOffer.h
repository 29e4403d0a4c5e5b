#pragma once

#include "catalogue/PluginModels.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

class ProfileManager;

/// The offer of newly installed plug-ins to the profiles: what the new-plug-ins
/// banner and sheet show and what their buttons do.
class NewPluginsOffer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NewPluginsOffer)
public:
    explicit NewPluginsOffer(ProfileManager& profiles, QObject* parent = nullptr);

    const QList<AudioPlugin>& detectedNewPlugins() const { return m_detected; }
    bool showBanner() const { return m_showBanner; }
    bool showSheet() const { return m_showSheet; }
    const QSet<QUuid>& selectedProfiles() const { return m_selectedProfiles; }
    const QSet<QUuid>& selectedPluginIds() const { return m_selectedPluginIds; }
    const QSet<PluginFormat>& selectedFormats() const { return m_selectedFormats; }

    /// Start-up: every plug-in, format and profile ticked, banner shown.
    void offer(const QList<AudioPlugin>& pending);

    /// Distinct formats of the detected plug-ins, by display name ("AAX" ... "Waves").
    QList<PluginFormat> detectedFormats() const;
    /// The ticked plug-ins in detection order.
    QList<AudioPlugin> selectedNewPlugins() const;
    int detectedCount(PluginFormat format) const;
    bool isTicked(const QUuid& pluginId) const { return m_selectedPluginIds.contains(pluginId); }

    // Texts.
    static QString bannerText(const QList<AudioPlugin>& detected);
    /// The end of the banner's text that names how many more there are (empty for three or fewer).
    static QString bannerMoreSuffix(qsizetype count);
    static QString sheetDescription(qsizetype count);
    static QString chipText(PluginFormat format, int count);
    QString counterText() const;
    QString profileToggleText() const;
    QString addButtonText() const;
    bool canAdd() const;

    // Banner actions.
    void openSheet();
    void dismissBanner();
    // Sheet actions.
    void toggleFormat(PluginFormat format);
    void togglePlugin(const QUuid& pluginId);
    void toggleAllProfiles();
    void toggleProfile(const QUuid& profileId);
    void skip();
    void add();
    /// The sheet closed without Skip or Add (Escape, window close): banner and pending list stay.
    void closeSheet() { setShowSheet(false); }

Q_SIGNALS:
    void selectionChanged();
    void showBannerChanged();
    void showSheetChanged();

private:
    void setShowBanner(bool show);
    void setShowSheet(bool show);
    QSet<QUuid> allProfileIds() const;

    ProfileManager& m_profiles;
    QList<AudioPlugin> m_detected;
    bool m_showBanner = false;
    bool m_showSheet = false;
    QSet<QUuid> m_selectedProfiles;
    QSet<QUuid> m_selectedPluginIds;
    QSet<PluginFormat> m_selectedFormats;
};
