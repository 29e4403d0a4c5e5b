#include "operations/ScanMemory.h"

#include <gtest/gtest.h>

namespace {

AudioPlugin row(const QString& name, const QString& manufacturer, const QString& path, bool moved,
                std::optional<QString> version, std::optional<QString> identifier)
{
    AudioPlugin plugin;
    plugin.id = QUuid::createUuid();
    plugin.name = name;
    plugin.manufacturer = manufacturer;
    plugin.format = PluginFormat::vst3;
    plugin.originalPath = path;
    plugin.currentPath = moved ? QStringLiteral("/Library/Audio/Plug-Ins/VST3 (Disabled)/") + name : path;
    plugin.isEnabled = !moved;
    plugin.version = std::move(version);
    plugin.bundleIdentifier = std::move(identifier);
    plugin.lastUsed = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
    return plugin;
}

// The texts are copied; values, sharing between rows and the paths' sharing within a row are kept.
TEST(ScanMemoryTest, PackedRowsKeepEveryValueAndWhatTheyShared)
{
    const QString vendor = QStringLiteral("Acme Audio");
    const QString version = QStringLiteral("1.2.0");
    QList<AudioPlugin> plugins;
    // More rows than one run of copies, so the runs' seams are crossed.
    for (int i = 0; i < 2100; ++i) {
        const QString name = QStringLiteral("Plug %1").arg(i);
        const QString path = QStringLiteral("/Library/Audio/Plug-Ins/VST3/") + name + QStringLiteral(".vst3");
        plugins.append(row(name, i % 7 == 0 ? QStringLiteral("Other %1").arg(i) : vendor, path, i % 5 == 0,
                           i % 3 == 0 ? std::nullopt
                                      : std::optional(i % 11 == 0   ? QString()
                                                      : i % 13 == 0 ? QStringLiteral("")
                                                                    : version),
                           i % 4 == 0 ? std::nullopt : std::optional(QStringLiteral("com.acme.") + name)));
    }
    const QList<AudioPlugin> before = plugins;

    ScanMemory::packTexts(plugins);

    ASSERT_EQ(plugins.size(), before.size());
    const QChar* sharedVendor = nullptr;
    const QChar* sharedVersion = nullptr;
    for (qsizetype i = 0; i < plugins.size(); ++i) {
        const AudioPlugin& packed = plugins[i];
        const AudioPlugin& original = before[i];
        SCOPED_TRACE(original.name.toStdString());
        EXPECT_EQ(packed.id, original.id);
        EXPECT_EQ(packed.name, original.name);
        EXPECT_EQ(packed.manufacturer, original.manufacturer);
        EXPECT_EQ(packed.format, original.format);
        EXPECT_EQ(packed.originalPath, original.originalPath);
        EXPECT_EQ(packed.currentPath, original.currentPath);
        EXPECT_EQ(packed.isEnabled, original.isEnabled);
        EXPECT_EQ(packed.version, original.version);
        EXPECT_EQ(packed.version.has_value() && packed.version->isNull(),
                  original.version.has_value() && original.version->isNull());
        EXPECT_EQ(packed.bundleIdentifier, original.bundleIdentifier);
        EXPECT_EQ(packed.lastUsed, original.lastUsed);

        EXPECT_NE(packed.name.constData(), original.name.constData());
        EXPECT_NE(packed.originalPath.constData(), original.originalPath.constData());
        EXPECT_EQ(packed.currentPath.constData() == packed.originalPath.constData(), packed.isEnabled);
        if (packed.manufacturer == vendor) {
            EXPECT_NE(packed.manufacturer.constData(), vendor.constData());
            sharedVendor = sharedVendor ? sharedVendor : packed.manufacturer.constData();
            EXPECT_EQ(packed.manufacturer.constData(), sharedVendor);
        }
        if (packed.version && !packed.version->isEmpty()) {
            sharedVersion = sharedVersion ? sharedVersion : packed.version->constData();
            EXPECT_EQ(packed.version->constData(), sharedVersion);
        }
    }
    EXPECT_NE(sharedVendor, nullptr);
    EXPECT_NE(sharedVersion, nullptr);
}

TEST(ScanMemoryTest, NoRowsIsNothingToDo)
{
    QList<AudioPlugin> plugins;
    ScanMemory::packTexts(plugins);
    EXPECT_TRUE(plugins.isEmpty());
}

} // namespace
