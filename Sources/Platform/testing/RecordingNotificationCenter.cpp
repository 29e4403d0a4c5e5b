#include "Platform/testing/RecordingNotificationCenter.h"

qsizetype RecordingNotificationCenter::count(const QString& name) const
{
    qsizetype n = 0;
    for (const Posted& p : m_posted)
        n += p.name == name ? 1 : 0;
    return n;
}
