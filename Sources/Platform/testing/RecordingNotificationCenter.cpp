#include "Platform/testing/RecordingNotificationCenter.h"

qsizetype RecordingNotificationCenter::count(const QString& name) const
{
    qsizetype n = 0;
    for (const Posted& p : m_posted)
        n += p.name == name ? 1 : 0;
    return n;
}

void RecordingNotificationCenter::post(const QString& name, const QVariantMap& userInfo)
{
    m_posted.append({name, userInfo});
    const std::vector<Observer> current = m_observers;
    for (const Observer& observer : current) {
        if (observer.name == name && observer.context)
            observer.handler(userInfo);
    }
}

void RecordingNotificationCenter::observe(const QString& name, QObject* context, Handler handler)
{
    m_observers.push_back({name, context, std::move(handler)});
}
