#pragma once

/// The names both programs use on the session bus: the announcements the main
/// application and the helper post to each other, and the main application's
/// single-instance service, and the helper's.
namespace RackhandBus {

/// Announcements travel as one signal (name s, userInfo a{sv}) on this path and interface.
inline constexpr char kObjectPath[] = "/com/yourcompany/Rackhand";
inline constexpr char kNotificationInterface[] = "com.yourcompany.Rackhand.Notifications";
inline constexpr char kNotificationMember[] = "Notification";

/// The announcements themselves.
inline constexpr char kAppDidLaunch[] = "com.yourcompany.Rackhand.appDidLaunch";
inline constexpr char kPluginCountChanged[] = "com.yourcompany.Rackhand.pluginCountChanged";
inline constexpr char kNewPluginsDetected[] = "com.yourcompany.Rackhand.newPluginsDetected";

/// The running main application owns this name and answers Activate on kObjectPath
/// by bringing its window to the front.
inline constexpr char kServiceName[] = "com.yourcompany.Rackhand";
inline constexpr char kApplicationInterface[] = "com.yourcompany.Rackhand.Application";
inline constexpr char kActivateMethod[] = "Activate";

/// The running helper owns this name (its login-item identifier) in its session and answers
/// Quit on kHelperObjectPath by ending; the main application's login switch finds and stops
/// this session's helper through it, and a second helper of the session ends at once.
inline constexpr char kHelperServiceName[] = "com.yourcompany.Rackhand.helper-agent";
inline constexpr char kHelperObjectPath[] = "/com/yourcompany/Rackhand/Helper";
inline constexpr char kHelperInterface[] = "com.yourcompany.Rackhand.Helper";
inline constexpr char kQuitMethod[] = "Quit";
/// Without a session bus the running helper holds a lock on this file in D instead.
inline constexpr char kHelperLockFile[] = "RackhandHelper.lock";

/// The main application's desktop-file id (also its icon name) and the helper's.
inline constexpr char kDesktopId[] = "com.yourcompany.Rackhand";
inline constexpr char kHelperDesktopId[] = "com.yourcompany.Rackhand.helper-agent";

} // namespace RackhandBus
