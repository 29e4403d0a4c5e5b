#pragma once

#include "MenuBarHelper/MenuBarAppDelegate.h"
#include "Platform/PlatformServices.h"
#include "Support/PlatformDoubles.h"
#include "Support/SandboxTest.h"

#include <QColor>
#include <QStringList>

#include <memory>
#include <ostream>

class QIcon;

/// The colour of the icon's opaque pixels at tray size (the first one found); invalid when
/// it has none.
QColor drawnColour(const QIcon& icon);

// Readable colours in gtest messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QColor& colour, std::ostream* os)
{
    *os << colour.name(QColor::HexArgb).toStdString();
}
QT_END_NAMESPACE

/// A helper delegate over sandbox folders with recording doubles for every service.
class HelperTest : public SandboxTest {
protected:
    void SetUp() override;
    void TearDown() override;

    /// The doubles as services (the helper reads only its own six).
    PlatformServices services() const;
    /// A delegate over the doubles, or the given services (not started).
    std::unique_ptr<MenuBarAppDelegate> makeDelegate();
    std::unique_ptr<MenuBarAppDelegate> makeDelegate(const PlatformServices& with);
    /// makeDelegate() and its start-up.
    MenuBarAppDelegate& start();

    /// plugins.db in D with `enabled` enabled and `disabled` disabled rows.
    void writeCatalogue(int enabled, int disabled = 0);
    /// An empty bundle folder in R or H + the fixed path.
    void install(const QString& absoluteFolder, const QString& bundle, bool inHome = false);
    QString knownFile() const;

    /// The menu's titles, separators as "---".
    QStringList titles() const;
    /// The item with this title; fails the test when there is none.
    const MenuItemModel* item(const QString& title) const;

    PlatformDoubles m_doubles;
    std::shared_ptr<RecordingNotificationCenter>& center = m_doubles.notifications;
    std::shared_ptr<RecordingUserNotifier>& notifier = m_doubles.userNotifier;
    std::shared_ptr<FakeFolderWatcher>& watcher = m_doubles.folderWatcher;
    std::shared_ptr<RecordingWorkspace>& workspace = m_doubles.workspace;
    std::shared_ptr<RecordingApplicationLauncher>& launcher = m_doubles.applicationLauncher;
    std::shared_ptr<ManualClock>& clock = m_doubles.clock;
    std::unique_ptr<MenuBarAppDelegate> delegate;
    int quits = 0;

private:
    QByteArray m_savedServer;
    QString m_savedVersion;
};
