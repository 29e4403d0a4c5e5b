#pragma once

#include <QString>
#include <QVariant>

/// Named settings suites (QSettings files under $XDG_CONFIG_HOME). The standard
/// suite of the application is "Rackhand"; the shared one "com.yourcompany.Rackhand".
class DefaultsStore {
public:
    virtual ~DefaultsStore() = default;
    static QString standardSuite() { return QStringLiteral("Rackhand"); }
    static QString sharedSuite() { return QStringLiteral("com.yourcompany.Rackhand"); }

    virtual QVariant value(const QString& suite, const QString& key, const QVariant& fallback = {}) const = 0;
    /// Returns false when the suite cannot be written.
    virtual bool setValue(const QString& suite, const QString& key, const QVariant& value) = 0;
};
