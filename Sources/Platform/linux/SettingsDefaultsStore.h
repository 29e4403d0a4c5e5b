#pragma once

#include "Platform/DefaultsStore.h"

/// Each suite is an INI file: $XDG_CONFIG_HOME/Rackhand/<suite>.conf.
class SettingsDefaultsStore final : public DefaultsStore {
public:
    static QString suitePath(const QString& suite);

    QVariant value(const QString& suite, const QString& key, const QVariant& fallback = {}) const override;
    bool setValue(const QString& suite, const QString& key, const QVariant& value) override;
};
