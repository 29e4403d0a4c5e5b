#include "Platform/linux/SettingsDefaultsStore.h"

#include "Platform/Paths.h"

#include <QSettings>

QString SettingsDefaultsStore::suitePath(const QString& suite)
{
    return Paths::configHome() + QStringLiteral("/Rackhand/") + suite + QStringLiteral(".conf");
}

QVariant SettingsDefaultsStore::value(const QString& suite, const QString& key, const QVariant& fallback) const
{
    const QSettings settings(suitePath(suite), QSettings::IniFormat);
    return settings.value(key, fallback);
}

bool SettingsDefaultsStore::setValue(const QString& suite, const QString& key, const QVariant& value)
{
    QSettings settings(suitePath(suite), QSettings::IniFormat);
    if (!settings.isWritable())
        return false;
    settings.setValue(key, value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}
