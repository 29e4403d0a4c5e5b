#include "Support/SandboxTest.h"

#include "Platform/Diagnostics.h"
#include "Platform/Paths.h"
#include "Platform/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const char* const kEnvNames[5] = {"RACKHAND_SYSTEM_ROOT", "HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "TMPDIR"};
}

void SandboxTest::SetUp()
{
    m_dir = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(m_dir->isValid());
    const QString base = m_dir->path();
    m_root = base + QStringLiteral("/root");
    m_home = base + QStringLiteral("/home");
    for (const QString& sub : {m_root, m_home, base + QStringLiteral("/data"), base + QStringLiteral("/config"),
                               base + QStringLiteral("/tmp")})
        makeDir(sub);
    for (int i = 0; i < 5; ++i)
        m_savedEnv[i] = qgetenv(kEnvNames[i]);
    qputenv("RACKHAND_SYSTEM_ROOT", m_root.toUtf8());
    qputenv("HOME", m_home.toUtf8());
    qputenv("XDG_DATA_HOME", (base + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (base + QStringLiteral("/config")).toUtf8());
    qputenv("TMPDIR", (base + QStringLiteral("/tmp")).toUtf8());
    m_printed.clear();
    Diagnostics::setSink([this](const QString& line) { m_printed.append(line); });
}

void SandboxTest::TearDown()
{
    Diagnostics::setSink({});
    for (int i = 0; i < 5; ++i) {
        if (m_savedEnv[i].isNull())
            qunsetenv(kEnvNames[i]);
        else
            qputenv(kEnvNames[i], m_savedEnv[i]);
    }
    m_dir.reset();
}

QString SandboxTest::dataDir() const
{
    return Paths::dataDir();
}

QProcessEnvironment SandboxTest::programEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("RACKHAND_SYSTEM_ROOT"), root());
    env.insert(QStringLiteral("HOME"), home());
    env.insert(QStringLiteral("XDG_DATA_HOME"), qEnvironmentVariable("XDG_DATA_HOME"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), qEnvironmentVariable("XDG_CONFIG_HOME"));
    env.insert(QStringLiteral("RACKHAND_UPDATE_SERVER"), QStringLiteral("http://127.0.0.1:1"));
    return env;
}

void SandboxTest::makeDir(const QString& path)
{
    ASSERT_TRUE(QDir().mkpath(path)) << path.toStdString();
}

void SandboxTest::writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

QByteArray SandboxTest::readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void SandboxTest::makeBundle(const QString& path, const QVariantMap& info, bool binaryPlist)
{
    makeDir(path + QStringLiteral("/Contents/MacOS"));
    if (!info.isEmpty()) {
        ASSERT_TRUE(writePropertyList(path + QStringLiteral("/Contents/Info.plist"), info, binaryPlist));
    }
}
