#include "uadcleanup/UADPluginAuth.h"

QString UADPluginAuth::UADAuthStatus::displayString() const
{
    switch (m_kind) {
    case Kind::demo:
        return QStringLiteral("Demo (%1 days left)").arg(m_daysLeft);
    case Kind::authorized:
        return QStringLiteral("Authorized");
    case Kind::expired:
        return QStringLiteral("Demo Expired");
    case Kind::demoNotStarted:
        return QStringLiteral("Demo Not Started");
    }
    return {};
}
