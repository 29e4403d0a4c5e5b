#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

/// The update server both programs ask, and the rule for the download address it offers.
namespace UpdateServer {

inline constexpr auto kDefaultAddress = "https://api.rackhand.app";
/// Overrides the server's address (tests, staging servers).
inline constexpr auto kAddressVariable = "RACKHAND_UPDATE_SERVER";
inline constexpr auto kEndpoint = "/check-update";
inline constexpr auto kDefaultDownloadURL = "https://downloads.rackhand.app/Rackhand.dmg";
/// Larger answers are cut off: an update answer is a few hundred bytes.
inline constexpr qint64 kMaxAnswerBytes = 1024 * 1024;

/// $RACKHAND_UPDATE_SERVER when set, else the built-in address.
QString address();
QStringList trustedDownloadHosts();
/// The candidate when it is an https address without user info on a trusted host
/// (exact, case-sensitive), else the default download address.
QString acceptedDownloadURL(const QString& candidate);

} // namespace UpdateServer
