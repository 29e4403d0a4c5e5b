#include "Platform/testing/MemoryDefaultsStore.h"

QVariant MemoryDefaultsStore::value(const QString& suite, const QString& key, const QVariant& fallback) const
{
    return m_values.value(suite + u'\n' + key, fallback);
}

bool MemoryDefaultsStore::setValue(const QString& suite, const QString& key, const QVariant& value)
{
    if (m_unwritable.contains(suite))
        return false;
    const QString id = suite + u'\n' + key;
    m_values.insert(id, value);
    ++m_writes[id];
    return true;
}
