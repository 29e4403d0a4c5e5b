#pragma once

#include "Platform/DefaultsStore.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QVariant>

/// Suites in memory. A suite can be made unwritable to act out a settings file that cannot be saved.
class MemoryDefaultsStore final : public DefaultsStore {
public:
    QVariant value(const QString& suite, const QString& key, const QVariant& fallback = {}) const override;
    bool setValue(const QString& suite, const QString& key, const QVariant& value) override;

    void setUnwritable(const QString& suite) { m_unwritable.insert(suite); }
    /// How many times setValue was called for (suite, key).
    int writeCount(const QString& suite, const QString& key) const { return m_writes.value(suite + u'\n' + key); }

private:
    QHash<QString, QVariant> m_values;
    QHash<QString, int> m_writes;
    QSet<QString> m_unwritable;
};
