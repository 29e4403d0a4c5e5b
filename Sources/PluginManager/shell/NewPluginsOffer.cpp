#include "shell/NewPluginsOffer.h"

#include "catalogue/ProfileManager.h"

#include <algorithm>

NewPluginsOffer::NewPluginsOffer(ProfileManager& profiles, QObject* parent) : QObject(parent), m_profiles(profiles) {}

QSet<QUuid> NewPluginsOffer::allProfileIds() const
{
    QSet<QUuid> ids;
    for (const PluginProfile& profile : m_profiles.profiles())
        ids.insert(profile.id);
    return ids;
}

void NewPluginsOffer::offer(const QList<AudioPlugin>& pending)
{
    m_detected = pending;
    m_selectedProfiles = allProfileIds();
    m_selectedPluginIds.clear();
    m_selectedFormats.clear();
    for (const AudioPlugin& plugin : pending) {
        m_selectedPluginIds.insert(plugin.id);
        m_selectedFormats.insert(plugin.format);
    }
    Q_EMIT selectionChanged();
    setShowBanner(true);
}

QList<PluginFormat> NewPluginsOffer::detectedFormats() const
{
    QList<PluginFormat> formats;
    for (const AudioPlugin& plugin : m_detected) {
        if (!formats.contains(plugin.format))
            formats.append(plugin.format);
    }
    std::sort(formats.begin(), formats.end(), PluginFormats::rawValueLess);
    return formats;
}

QList<AudioPlugin> NewPluginsOffer::selectedNewPlugins() const
{
    QList<AudioPlugin> selected;
    for (const AudioPlugin& plugin : m_detected) {
        if (m_selectedPluginIds.contains(plugin.id))
            selected.append(plugin);
    }
    return selected;
}

int NewPluginsOffer::detectedCount(PluginFormat format) const
{
    return static_cast<int>(std::count_if(m_detected.begin(), m_detected.end(),
                                          [format](const AudioPlugin& p) { return p.format == format; }));
}

QString NewPluginsOffer::bannerText(const QList<AudioPlugin>& detected)
{
    const qsizetype n = detected.size();
    QStringList names;
    for (qsizetype i = 0; i < std::min<qsizetype>(3, n); ++i)
        names.append(detected[i].name);
    return QString::number(n) + QStringLiteral(" new plugin") + (n == 1 ? QString() : QStringLiteral("s")) +
           QStringLiteral(" detected: ") + names.join(QStringLiteral(", ")) + bannerMoreSuffix(n);
}

QString NewPluginsOffer::bannerMoreSuffix(qsizetype count)
{
    return count > 3 ? QStringLiteral(" +") + QString::number(count - 3) + QStringLiteral(" more") : QString();
}

QString NewPluginsOffer::sheetDescription(qsizetype count)
{
    return QStringLiteral("These ") + QString::number(count) + QStringLiteral(" plugin") +
           (count == 1 ? QStringLiteral(" was") : QStringLiteral("s were")) +
           QStringLiteral(" just installed on your system. Select which ones to add to your profiles.");
}

QString NewPluginsOffer::chipText(PluginFormat format, int count)
{
    return PluginFormats::rawValue(format) + QStringLiteral(" (") + QString::number(count) + QStringLiteral(")");
}

QString NewPluginsOffer::counterText() const
{
    return QString::number(m_selectedPluginIds.size()) + QStringLiteral(" of ") + QString::number(m_detected.size()) +
           QStringLiteral(" plugins selected");
}

QString NewPluginsOffer::profileToggleText() const
{
    return m_selectedProfiles.size() == m_profiles.profiles().size() ? QStringLiteral("Deselect All")
                                                                     : QStringLiteral("Select All");
}

QString NewPluginsOffer::addButtonText() const
{
    return QStringLiteral("Add ") + QString::number(m_selectedPluginIds.size()) + QStringLiteral(" to Profiles");
}

bool NewPluginsOffer::canAdd() const
{
    return !m_selectedProfiles.isEmpty() && !m_selectedPluginIds.isEmpty();
}

void NewPluginsOffer::setShowBanner(bool show)
{
    if (m_showBanner == show)
        return;
    m_showBanner = show;
    Q_EMIT showBannerChanged();
}

void NewPluginsOffer::setShowSheet(bool show)
{
    if (m_showSheet == show)
        return;
    m_showSheet = show;
    Q_EMIT showSheetChanged();
}

void NewPluginsOffer::openSheet()
{
    // Profiles are all ticked at each opening; plug-in and format ticks persist.
    m_selectedProfiles = allProfileIds();
    Q_EMIT selectionChanged();
    setShowSheet(true);
}

void NewPluginsOffer::dismissBanner()
{
    m_profiles.dismissNewPlugins(m_detected);
    m_profiles.clearPendingNewPlugins();
    setShowBanner(false);
}

void NewPluginsOffer::toggleFormat(PluginFormat format)
{
    const bool turnOn = !m_selectedFormats.contains(format);
    if (turnOn)
        m_selectedFormats.insert(format);
    else
        m_selectedFormats.remove(format);
    for (const AudioPlugin& plugin : m_detected) {
        if (plugin.format != format)
            continue;
        if (turnOn)
            m_selectedPluginIds.insert(plugin.id);
        else
            m_selectedPluginIds.remove(plugin.id);
    }
    Q_EMIT selectionChanged();
}

void NewPluginsOffer::togglePlugin(const QUuid& pluginId)
{
    const auto it = std::find_if(m_detected.begin(), m_detected.end(),
                                 [&pluginId](const AudioPlugin& p) { return p.id == pluginId; });
    if (it == m_detected.end())
        return;
    const PluginFormat format = it->format;
    const auto othersOfFormat = [&](auto predicate) {
        return std::all_of(m_detected.begin(), m_detected.end(), [&](const AudioPlugin& p) {
            return p.format != format || p.id == pluginId || predicate(p);
        });
    };
    if (m_selectedPluginIds.contains(pluginId)) {
        m_selectedPluginIds.remove(pluginId);
        // The chip turns off only when no plug-in of its format is ticked any more.
        if (othersOfFormat([this](const AudioPlugin& p) { return !m_selectedPluginIds.contains(p.id); }))
            m_selectedFormats.remove(format);
    } else {
        m_selectedPluginIds.insert(pluginId);
        // ... and on only when all of them are.
        if (othersOfFormat([this](const AudioPlugin& p) { return m_selectedPluginIds.contains(p.id); }))
            m_selectedFormats.insert(format);
    }
    Q_EMIT selectionChanged();
}

void NewPluginsOffer::toggleAllProfiles()
{
    if (m_selectedProfiles.size() == m_profiles.profiles().size())
        m_selectedProfiles.clear();
    else
        m_selectedProfiles = allProfileIds();
    Q_EMIT selectionChanged();
}

void NewPluginsOffer::toggleProfile(const QUuid& profileId)
{
    if (!m_selectedProfiles.remove(profileId))
        m_selectedProfiles.insert(profileId);
    Q_EMIT selectionChanged();
}

void NewPluginsOffer::skip()
{
    m_profiles.dismissNewPlugins(m_detected);
    m_profiles.clearPendingNewPlugins();
    setShowSheet(false);
    setShowBanner(false);
}

void NewPluginsOffer::add()
{
    const QList<AudioPlugin> ticked = selectedNewPlugins();
    QList<AudioPlugin> unticked;
    for (const AudioPlugin& plugin : m_detected) {
        if (!m_selectedPluginIds.contains(plugin.id))
            unticked.append(plugin);
    }
    if (!m_selectedProfiles.isEmpty() && !ticked.isEmpty()) {
        QList<AudioPlugin> enabled;
        QList<AudioPlugin> disabled;
        for (const AudioPlugin& plugin : ticked)
            (plugin.isEnabled ? enabled : disabled).append(plugin);
        if (!enabled.isEmpty())
            m_profiles.addPluginsToProfiles(enabled, m_selectedProfiles, true);
        if (!disabled.isEmpty())
            m_profiles.addPluginsToProfiles(disabled, m_selectedProfiles, false);
    }
    if (!unticked.isEmpty())
        m_profiles.dismissNewPlugins(unticked);
    m_profiles.clearPendingNewPlugins();
    setShowSheet(false);
    setShowBanner(false);
}
