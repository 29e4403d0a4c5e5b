#include "helper/HelperFixture.h"

#include "catalogue/CatalogueSchema.h"

#include <QCoreApplication>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QUuid>

#include <sqlite3.h>

void HelperTest::SetUp()
{
    SandboxTest::SetUp();
    m_savedServer = qgetenv("RACKHAND_UPDATE_SERVER");
    // Nothing listens there: the start-up check fails at once and changes nothing.
    qputenv("RACKHAND_UPDATE_SERVER", "http://127.0.0.1:1");
    m_savedVersion = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QStringLiteral("1.9"));
}

void HelperTest::TearDown()
{
    delegate.reset();
    QCoreApplication::setApplicationVersion(m_savedVersion);
    if (m_savedServer.isNull())
        qunsetenv("RACKHAND_UPDATE_SERVER");
    else
        qputenv("RACKHAND_UPDATE_SERVER", m_savedServer);
    SandboxTest::TearDown();
}

PlatformServices HelperTest::services() const
{
    return m_doubles.services();
}

std::unique_ptr<MenuBarAppDelegate> HelperTest::makeDelegate()
{
    return makeDelegate(services());
}

std::unique_ptr<MenuBarAppDelegate> HelperTest::makeDelegate(const PlatformServices& with)
{
    auto made = std::make_unique<MenuBarAppDelegate>(with);
    made->setHelperDirectory(root() + QStringLiteral("/helper-bin"));
    made->setQuitAction([this] { ++quits; });
    return made;
}

MenuBarAppDelegate& HelperTest::start()
{
    delegate = makeDelegate();
    delegate->applicationDidFinishLaunching();
    return *delegate;
}

void HelperTest::writeCatalogue(int enabled, int disabled)
{
    makeDir(dataDir());
    const QByteArray path = QFile::encodeName(dataDir() + QStringLiteral("/plugins.db"));
    QFile::remove(QString::fromUtf8(path));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.constData(), &db), SQLITE_OK);
    // The main application keeps its catalogue in WAL mode; the helper must read it so.
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, CatalogueSchema::kCreateScript, nullptr, nullptr, nullptr), SQLITE_OK);
    for (int i = 0; i < enabled + disabled; ++i) {
        const QByteArray sql = QStringLiteral("INSERT INTO plugins VALUES ('%1', 'P%2', 'M', 'VST3', '/a', '/a', %3, "
                                              "NULL, NULL, NULL)")
                                   .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())
                                   .arg(i)
                                   .arg(i < enabled ? 1 : 0)
                                   .toUtf8();
        ASSERT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    sqlite3_close(db);
}

void HelperTest::install(const QString& absoluteFolder, const QString& bundle, bool inHome)
{
    makeDir((inHome ? usr(absoluteFolder) : sys(absoluteFolder)) + QLatin1Char('/') + bundle);
}

QString HelperTest::knownFile() const
{
    return dataDir() + QStringLiteral("/menubar_known_plugins.json");
}

QStringList HelperTest::titles() const
{
    QStringList out;
    for (const MenuItemModel& entry : delegate->menu())
        out.append(entry.separator ? QStringLiteral("---") : entry.title);
    return out;
}

const MenuItemModel* HelperTest::item(const QString& title) const
{
    for (const MenuItemModel& entry : delegate->menu()) {
        if (!entry.separator && entry.title == title)
            return &entry;
    }
    ADD_FAILURE() << "no menu item " << title.toStdString();
    return nullptr;
}

QColor drawnColour(const QIcon& icon)
{
    const QImage image = icon.pixmap(QSize(22, 22)).toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() == 255)
                return pixel;
        }
    }
    return {};
}
