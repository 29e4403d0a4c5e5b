#include "catalogue/PluginScanner.h"

#include "MakeDemoTree/DemoTree.h"
#include "Support/SandboxTest.h"
#include "Support/Unprivileged.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kComponents = QStringLiteral("/Library/Audio/Plug-Ins/Components");
const QString kVST3 = QStringLiteral("/Library/Audio/Plug-Ins/VST3");
const QString kVST = QStringLiteral("/Library/Audio/Plug-Ins/VST");
const QString kCLAP = QStringLiteral("/Library/Audio/Plug-Ins/CLAP");
const QString kAvid = QStringLiteral("/Library/Application Support/Avid/Audio/Plug-Ins");
const QString kUnused = QStringLiteral("/Library/Application Support/Avid/Audio/Plug-Ins (Unused)");
const QString kDisabled = QStringLiteral("/Library/Audio/Plug-Ins/Disabled");
const QString kWaves = QStringLiteral("/Applications/Waves");

QVariantMap components(const QString& name, const QString& identifier = {})
{
    QVariantMap info{{QStringLiteral("AudioComponents"), QVariantList{QVariantMap{{QStringLiteral("name"), name}}}}};
    if (!identifier.isEmpty())
        info.insert(QStringLiteral("CFBundleIdentifier"), identifier);
    return info;
}

QVariantMap identified(const QString& identifier)
{
    return {{QStringLiteral("CFBundleIdentifier"), identifier}};
}

/// One line per record: what the status and return-path rules decided.
QString describe(const AudioPlugin& p)
{
    return QStringLiteral("%1|%2|%3|%4|%5")
        .arg(p.name, PluginFormats::rawValue(p.format), p.isEnabled ? QStringLiteral("on") : QStringLiteral("off"),
             p.currentPath, p.originalPath);
}

QStringList describeAll(const QList<AudioPlugin>& plugins)
{
    QStringList lines;
    for (const AudioPlugin& p : plugins)
        lines << describe(p);
    return lines;
}

const AudioPlugin* findByPath(const QList<AudioPlugin>& plugins, const QString& currentPath)
{
    for (const AudioPlugin& p : plugins) {
        if (p.currentPath == currentPath)
            return &p;
    }
    return nullptr;
}

AudioPlugin record(const QString& name, PluginFormat format, const QString& manufacturer)
{
    AudioPlugin p;
    p.id = QUuid::createUuid();
    p.name = name;
    p.format = format;
    p.manufacturer = manufacturer;
    return p;
}

void setAccessTime(const QString& path, qint64 seconds, long nanoseconds)
{
    const timespec times[2] = {{static_cast<time_t>(seconds), nanoseconds}, {0, UTIME_OMIT}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0) << path.toStdString();
}

/// Every path under a folder with its size and modification time: "nothing changed" checks.
QStringList snapshot(const QString& folder)
{
    QStringList lines;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        lines << QStringLiteral("%1 %2 %3")
                     .arg(info.filePath())
                     .arg(info.isSymLink() ? -1 : info.size())
                     .arg(info.lastModified().toMSecsSinceEpoch());
    }
    lines.sort();
    return lines;
}

class PluginScannerTest : public SandboxTest {};

} // namespace

TEST_F(PluginScannerTest, EmptyTreeGivesEmptyResultAndCreatesTheCentralFolders)
{
    PluginScanner scanner;
    for (PluginFormat format : PluginFormats::allCases)
        EXPECT_TRUE(QFileInfo(sys(kDisabled) + "/" + PluginFormats::rawValue(format)).isDir());
    scanner.scanAllPlugins();
    EXPECT_TRUE(scanner.discoveredPlugins().isEmpty());
    EXPECT_FALSE(scanner.isScanning());
    EXPECT_EQ(scanner.scanProgress(), 1.0);
    EXPECT_FALSE(scanner.scanError().has_value());
    EXPECT_TRUE(printedLines().isEmpty()) << printedLines().join('\n').toStdString();
}

TEST_F(PluginScannerTest, CentralFolderFailureIsPrintedAndTheScanGoesOn)
{
    // A plain file where the folder's parent should be: creation fails even for root.
    writeFile(sys("/Library/Audio/Plug-Ins"), "not a folder");
    makeBundle(sys(kAvid) + "/Keep.aaxplugin");
    PluginScanner scanner;
    ASSERT_EQ(printedLines().size(), 1);
    EXPECT_TRUE(printedLines().first().startsWith("Error creating central disabled directory: "));
    scanner.scanAllPlugins();
    ASSERT_EQ(scanner.discoveredPlugins().size(), 1);
    EXPECT_EQ(scanner.discoveredPlugins().first().name, "Keep");
}

TEST_F(PluginScannerTest, FolderRulesDecideStatusAndReturnPath)
{
    makeBundle(sys(kVST3) + "/Foo.vst3");
    makeBundle(usr(kVST3) + "/a/b/c/Deep.vst3");
    makeBundle(sys(kDisabled) + "/Audio Units/Foo.component");
    makeBundle(sys(kDisabled) + "/VST3/Sub/Bar.vst3");
    makeBundle(sys(kUnused) + "/Sys.aaxplugin");
    makeBundle(usr(kUnused) + "/Mine.aaxplugin");
    makeBundle(usr(kAvid) + "/Home.aaxplugin");
    makeBundle(sys(kCLAP) + "/Poly.clap");
    writeFile(sys(kVST) + "/Single.vst", "a single-file bundle");
    // Not plug-ins: wrong case, nested bundle, WaveShells, other extensions, hidden entries.
    makeBundle(sys(kVST3) + "/Upper.VST3");
    makeBundle(sys(kVST3) + "/Outer.vst3/Contents/PlugIns/Inner.vst3");
    makeBundle(sys(kComponents) + "/WaveShell1-AU 14.0.component");
    makeBundle(sys(kVST) + "/WAVESHELL-VST 14.0.vst");
    makeBundle(sys(kVST3) + "/My WaveShell.vst3");
    makeBundle(sys(kVST3) + "/Misfiled.component");
    makeBundle(sys(kVST3) + "/.Hidden.vst3");
    writeFile(sys(kVST3) + "/readme.txt", "x");

    PluginScanner scanner;
    scanner.scanAllPlugins();

    const QStringList expected{
        "Bar|VST3|off|" + sys(kDisabled) + "/VST3/Sub/Bar.vst3|" + sys(kVST3) + "/Bar.vst3",
        "Deep|VST3|on|" + usr(kVST3) + "/a/b/c/Deep.vst3|" + usr(kVST3) + "/a/b/c/Deep.vst3",
        "Foo|Audio Units|off|" + sys(kDisabled) + "/Audio Units/Foo.component|" + sys(kComponents) + "/Foo.component",
        "Foo|VST3|on|" + sys(kVST3) + "/Foo.vst3|" + sys(kVST3) + "/Foo.vst3",
        "Home|AAX|on|" + usr(kAvid) + "/Home.aaxplugin|" + usr(kAvid) + "/Home.aaxplugin",
        "Mine|AAX|off|" + usr(kUnused) + "/Mine.aaxplugin|" + sys(kAvid) + "/Mine.aaxplugin",
        "My WaveShell|VST3|on|" + sys(kVST3) + "/My WaveShell.vst3|" + sys(kVST3) + "/My WaveShell.vst3",
        "Outer|VST3|on|" + sys(kVST3) + "/Outer.vst3|" + sys(kVST3) + "/Outer.vst3",
        "Poly|CLAP|on|" + sys(kCLAP) + "/Poly.clap|" + sys(kCLAP) + "/Poly.clap",
        "Single|VST|on|" + sys(kVST) + "/Single.vst|" + sys(kVST) + "/Single.vst",
        "Sys|AAX|off|" + sys(kUnused) + "/Sys.aaxplugin|" + sys(kAvid) + "/Sys.aaxplugin",
    };
    EXPECT_EQ(describeAll(scanner.discoveredPlugins()), expected);
    EXPECT_TRUE(printedLines().isEmpty()) << printedLines().join('\n').toStdString();
}

TEST_F(PluginScannerTest, SameNameInSeveralPlacesGivesOneRecordEachInScanOrder)
{
    // Equal names keep scan order: formats in case order, system folder, user folder, disabled folder.
    makeBundle(usr(kVST3) + "/Twin.vst3");
    makeBundle(sys(kDisabled) + "/VST3/Twin.vst3");
    makeBundle(sys(kVST3) + "/Twin.vst3");
    makeBundle(sys(kComponents) + "/Twin.component");
    PluginScanner scanner;
    scanner.scanAllPlugins();
    QStringList paths;
    for (const AudioPlugin& p : scanner.discoveredPlugins())
        paths << p.currentPath;
    EXPECT_EQ(paths, (QStringList{sys(kComponents) + "/Twin.component", sys(kVST3) + "/Twin.vst3",
                                  usr(kVST3) + "/Twin.vst3", sys(kDisabled) + "/VST3/Twin.vst3"}));
}

TEST_F(PluginScannerTest, WavesVersionFoldersGiveEnabledThenDisabledRecords)
{
    makeBundle(sys(kWaves) + "/Plug-Ins V15/CLA.bundle", identified("com.waves.cla"));
    makeBundle(sys(kWaves) + "/Plug-Ins V15/Disabled/Echo.bundle");
    writeFile(sys(kWaves) + "/Plug-Ins V15/Notes.txt", "x");
    makeBundle(sys(kWaves) + "/Plug-Ins V15/Nested/Deeper.bundle"); // the Waves scan never descends
    makeBundle(sys(kWaves) + "/Plug-Ins V14/CLA.bundle");
    writeFile(sys(kWaves) + "/Plug-Ins V16", "a plain file");
    makeBundle(sys(kWaves) + "/Plug-ins V17/Lower.bundle");
    makeBundle(sys(kWaves) + "/WaveShells V14/Waves AU Reg Utility 14.app");
    makeBundle(sys(kComponents) + "/WaveShell1-AU 14.0.component", components("Waves: WaveShell"));

    PluginScanner scanner;
    scanner.scanAllPlugins();
    const QList<AudioPlugin>& found = scanner.discoveredPlugins();
    ASSERT_EQ(found.size(), 3) << describeAll(found).join('\n').toStdString();

    const AudioPlugin* cla15 = findByPath(found, sys(kWaves) + "/Plug-Ins V15/CLA.bundle");
    const AudioPlugin* cla14 = findByPath(found, sys(kWaves) + "/Plug-Ins V14/CLA.bundle");
    const AudioPlugin* echo = findByPath(found, sys(kWaves) + "/Plug-Ins V15/Disabled/Echo.bundle");
    ASSERT_TRUE(cla15 && cla14 && echo);
    EXPECT_EQ(cla15->version, "V15");
    EXPECT_EQ(cla14->version, "V14");
    EXPECT_TRUE(cla15->isEnabled);
    EXPECT_EQ(cla15->originalPath, cla15->currentPath);
    EXPECT_FALSE(echo->isEnabled);
    EXPECT_EQ(echo->name, "Echo");
    EXPECT_EQ(echo->version, "V15");
    EXPECT_EQ(echo->originalPath, sys(kWaves) + "/Plug-Ins V15/Echo.bundle");
    for (const AudioPlugin* p : {cla15, cla14, echo}) {
        EXPECT_EQ(p->format, PluginFormat::wavesBundle);
        EXPECT_EQ(p->manufacturer, "Waves Audio");
        EXPECT_FALSE(p->bundleIdentifier.has_value()); // built from the name alone
        EXPECT_FALSE(p->lastUsed.has_value());
    }
}

TEST_F(PluginScannerTest, ManufacturerSources)
{
    struct Row {
        const char* label;
        QString bundle; // file name under the format's system folder
        PluginFormat format;
        QVariantMap info;
        QByteArray clapJson;
        QString expected;
    };
    const QList<Row> rows{
        {"components beat identifier",
         "Tape Echo.component",
         PluginFormat::au,
         components("Acme Audio: Tape Echo", "com.other.echo"),
         {},
         "Acme Audio"},
        {"components Waves", "CLA-76.component", PluginFormat::au, components("Waves: CLA-76"), {}, "Waves Audio"},
        {"components without colon fall through",
         "NoColon.component",
         PluginFormat::au,
         components("Tape Echo", "com.acme.echo"),
         {},
         "Acme"},
        {"leading colon does not use up the split",
         "Lead.component",
         PluginFormat::au,
         components(":Acme: Echo"),
         {},
         "Acme"},
        {"nothing after the colon gives none", "Tail.component", PluginFormat::au, components("Acme:"), {}, ""},
        {"spaces and tabs trimmed",
         "Trim.component",
         PluginFormat::au,
         components(" \tAcme Audio \t: Echo"),
         {},
         "Acme Audio"},
        {"empty vendor decides", "Blank.component", PluginFormat::au, components(" : Echo", "com.acme.echo"), {}, ""},
        {"components in another format",
         "Comp.vst3",
         PluginFormat::vst3,
         components("Beta Labs: Comp"),
         {},
         "Beta Labs"},
        {"wizoo", "Xpand.vst3", PluginFormat::vst3, identified("com.wizoo.xpand"), {}, "AIR Music Technology"},
        {"waves", "W.vst3", PluginFormat::vst3, identified("com.waves.w"), {}, "Waves Audio"},
        {"wavesaudio", "WA.vst3", PluginFormat::vst3, identified("com.WavesAudio.wa"), {}, "Waves Audio"},
        {"u-he", "Diva.vst3", PluginFormat::vst3, identified("com.U-He.diva"), {}, "u-he"},
        {"first letter upper-cased", "Echo.vst3", PluginFormat::vst3, identified("com.acme.echo"), {}, "Acme"},
        {"rest unchanged", "AA.vst3", PluginFormat::vst3, identified("com.acmeAudio.x"), {}, "AcmeAudio"},
        {"underscore stays", "K.vst3", PluginFormat::vst3, identified("com._510k.k"), {}, "_510k"},
        {"empty pieces dropped", "Dots.vst3", PluginFormat::vst3, identified("com..acme..dots"), {}, "Acme"},
        {"no dot gives nothing", "Solo.vst3", PluginFormat::vst3, identified("acme"), {}, ""},
        {"dots around", "Around.vst3", PluginFormat::vst3, identified(".com.acme."), {}, "Acme"},
        {"one piece between dots", "One.vst3", PluginFormat::vst3, identified("..acme.."), {}, ""},
        {"first letter beyond ASCII",
         "Emile.vst3",
         PluginFormat::vst3,
         identified("com.\u00e9mile.x"),
         {},
         "\u00c9mile"},
        {"first letter upper-cased into two",
         "Sharp.vst3",
         PluginFormat::vst3,
         identified("com.\u00dfound.x"),
         {},
         "SSound"},
        {"first character beyond the BMP",
         "Astral.vst3",
         PluginFormat::vst3,
         identified("com.\U0001D4D0x.y"),
         {},
         "\U0001D4D0x"},
        {"clap vendor", "Synth.clap", PluginFormat::clap, {}, R"({"plugin":{"vendor":"Acme"}})", "Acme"},
        {"identifier beats clap.json", "Id.clap", PluginFormat::clap, identified("com.beta.id"),
         R"({"plugin":{"vendor":"Acme"}})", "Beta"},
        {"clap.json not JSON", "Bad.clap", PluginFormat::clap, {}, "{plugin: vendor", ""},
        {"clap vendor not text", "Num.clap", PluginFormat::clap, {}, R"({"plugin":{"vendor":7}})", ""},
        {"clap.json top level array", "Arr.clap", PluginFormat::clap, {}, R"([{"plugin":{"vendor":"Acme"}}])", ""},
        {"clap.json only read for clap", "NotClap.vst", PluginFormat::vst2, {}, R"({"plugin":{"vendor":"Acme"}})", ""},
        {"nothing at all", "Bare.vst", PluginFormat::vst2, {}, {}, ""},
    };
    PluginScanner scanner;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const QString path = PluginFormats::systemPaths(row.format).first() + "/" + row.bundle;
        for (bool binary : {false, true}) {
            makeBundle(path, row.info, binary);
            if (!row.clapJson.isEmpty())
                writeFile(path + "/clap.json", row.clapJson);
            const std::optional<AudioPlugin> plugin = scanner.createPluginFromURL(path, row.format);
            ASSERT_TRUE(plugin.has_value());
            EXPECT_EQ(plugin->manufacturer, row.expected) << (binary ? "binary" : "xml");
        }
    }
}

TEST_F(PluginScannerTest, VersionAndIdentifierAreTextValuesOnly)
{
    const QString path = sys(kVST3) + "/V.vst3";
    makeBundle(path, {{"CFBundleShortVersionString", "2.1.0"}, {"CFBundleIdentifier", "com.acme.v"}}, true);
    PluginScanner scanner;
    std::optional<AudioPlugin> plugin = scanner.createPluginFromURL(path, PluginFormat::vst3);
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->version, "2.1.0");
    EXPECT_EQ(plugin->bundleIdentifier, "com.acme.v");

    makeBundle(path, {{"CFBundleShortVersionString", 3}, {"CFBundleIdentifier", QVariantList{"com.acme.v"}}});
    plugin = scanner.createPluginFromURL(path, PluginFormat::vst3);
    ASSERT_TRUE(plugin);
    EXPECT_FALSE(plugin->version.has_value());
    EXPECT_FALSE(plugin->bundleIdentifier.has_value());
    EXPECT_EQ(plugin->manufacturer, "");
}

// An information file is read whole at any size up to its limit, the keys wherever they stand;
// one beyond the limit is not read at all.
TEST_F(PluginScannerTest, InfoFilesAreReadWholeUpToTheirLimit)
{
    const auto padded = [](qsizetype padding) {
        return "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Notes</key><string>" +
               QByteArray(padding, 'x') +
               "</string><key>CFBundleShortVersionString</key><string>4.5</string></dict></plist>";
    };
    const struct {
        const char* name;
        qsizetype padding;
        std::optional<QString> version;
    } cases[] = {{"Tiny", 0, "4.5"},
                 {"FewHundred", 200, "4.5"},
                 {"Large", 300 * 1024, "4.5"},
                 {"JustBelowTheLimit", 16 * 1024 * 1024 - 200, "4.5"},
                 {"BeyondTheLimit", 16 * 1024 * 1024, std::nullopt}};
    PluginScanner scanner;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = sys(kVST3) + '/' + c.name + ".vst3";
        makeBundle(path);
        writeFile(path + "/Contents/Info.plist", padded(c.padding));
        const std::optional<AudioPlugin> plugin = scanner.createPluginFromURL(path, PluginFormat::vst3);
        ASSERT_TRUE(plugin);
        EXPECT_EQ(plugin->version, c.version);
    }
}

TEST_F(PluginScannerTest, CrossReferenceCases)
{
    using F = PluginFormat;
    struct Row {
        const char* label;
        QList<AudioPlugin> in;
        QStringList expected;
    };
    const QList<Row> rows{
        {"Audio Units name decides for every format",
         {record("Tape Echo", F::au, "Acme Audio"), record("Tape Echo", F::vst3, "Acme"),
          record("tape echo", F::clap, "")},
         {"Acme Audio", "Acme Audio", "Acme Audio"}},
        {"Audio Units decide even when listed later",
         {record("Echo", F::vst3, "Other"), record("Echo", F::au, "Acme")},
         {"Acme", "Acme"}},
        {"the last Audio Units record wins",
         {record("X", F::au, "First"), record("X", F::au, "Second"), record("X", F::vst3, "V")},
         {"Second", "Second", "Second"}},
        {"generic names are replaced by another format's",
         {record("Echo", F::vst3, "Company"), record("Echo", F::aax, "Acme")},
         {"Acme", "Acme"}},
        {"the first non-generic other format wins",
         {record("Y", F::vst3, "First"), record("Y", F::clap, "Second")},
         {"First", "First"}},
        {"generic Audio Units do not set the name",
         {record("W", F::au, "Your Company"), record("W", F::vst3, "Real")},
         {"Real", "Real"}},
        {"a lone generic name stays", {record("Solo", F::vst3, "Unknown")}, {"Unknown"}},
        {"Waves records take part",
         {record("CLA", F::wavesBundle, "Waves Audio"), record("CLA", F::vst3, "")},
         {"Waves Audio", "Waves Audio"}},
        {"normalised after mapping",
         {record("Nebula", F::vst3, "Acustica"), record("Ozone", F::au, "IZOTOPE"),
          record("Room", F::vst3, "Valhalla DSP, LLC"), record("K", F::vst3, "_510k")},
         {"Acustica Audio", "iZotope", "Valhalla DSP", "510k"}},
        {"names match lower-cased but otherwise exactly",
         {record("Echo", F::au, "Acme"), record("Echo ", F::vst3, "Other"), record("Echo 2", F::vst3, "")},
         {"Acme", "Other", ""}},
    };
    PluginScanner scanner;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const QList<AudioPlugin> out = scanner.crossReferenceManufacturers(row.in);
        ASSERT_EQ(out.size(), row.in.size());
        QStringList manufacturers;
        for (qsizetype i = 0; i < out.size(); ++i) {
            manufacturers << out[i].manufacturer;
            EXPECT_EQ(out[i].id, row.in[i].id); // same order, other fields untouched
            EXPECT_EQ(out[i].name, row.in[i].name);
        }
        EXPECT_EQ(manufacturers, row.expected);
    }
}

TEST_F(PluginScannerTest, ScanCrossReferencesAcrossFormats)
{
    makeBundle(sys(kComponents) + "/Nebula.component", components("acustica: Nebula"));
    makeBundle(sys(kVST3) + "/Nebula.vst3", identified("com.yourcompany.nebula"));
    makeBundle(sys(kCLAP) + "/nebula.clap");
    writeFile(sys(kCLAP) + "/nebula.clap/clap.json", R"({"plugin":{"vendor":"Someone Else"}})");
    PluginScanner scanner;
    scanner.scanAllPlugins();
    ASSERT_EQ(scanner.discoveredPlugins().size(), 3);
    for (const AudioPlugin& p : scanner.discoveredPlugins())
        EXPECT_EQ(p.manufacturer, "Acustica Audio") << describe(p).toStdString();
}

TEST_F(PluginScannerTest, LastUseComesFromTheExecutableOrTheFirstEntry)
{
    const QString named = sys(kVST3) + "/Tape Echo.vst3";
    makeBundle(named);
    writeFile(named + "/Contents/MacOS/Tape Echo", "x");
    writeFile(named + "/Contents/MacOS/Other", "x");
    setAccessTime(named + "/Contents/MacOS/Tape Echo", 1700000000, 999999999);
    setAccessTime(named + "/Contents/MacOS/Other", 1600000000, 0);

    const QString other = sys(kVST3) + "/Renamed.vst3";
    makeBundle(other);
    writeFile(other + "/Contents/MacOS/Engine", "x");
    setAccessTime(other + "/Contents/MacOS/Engine", 1650000000, 500);

    const QString empty = sys(kVST3) + "/Empty.vst3";
    makeBundle(empty); // MacOS folder without entries
    const QString single = sys(kVST3) + "/Single.vst3";
    writeFile(single, "no Contents");

    PluginScanner scanner;
    const auto lastUsed = [&scanner](const QString& path) {
        return scanner.createPluginFromURL(path, PluginFormat::vst3).value().lastUsed;
    };
    EXPECT_EQ(lastUsed(named), QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC)); // sub-second part dropped
    EXPECT_EQ(lastUsed(other), QDateTime::fromSecsSinceEpoch(1650000000, Qt::UTC));
    EXPECT_FALSE(lastUsed(empty).has_value());
    EXPECT_FALSE(lastUsed(single).has_value());
}

TEST_F(PluginScannerTest, SymbolicLinksAreFollowedWithoutEndlessCycles)
{
    makeBundle(sys(kVST3) + "/Loop/Inside.vst3");
    ASSERT_TRUE(QFile::link("..", sys(kVST3) + "/Loop/up"));
    ASSERT_TRUE(QFile::link(".", sys(kVST3) + "/Loop/self"));
    makeBundle(root() + "/elsewhere/Linked.vst3");
    makeDir(usr(kVST3));
    ASSERT_TRUE(QFile::link(root() + "/elsewhere", usr(kVST3) + "/Vendor"));
    ASSERT_TRUE(QFile::link(root() + "/nowhere", sys(kVST3) + "/Gone.vst3"));
    ASSERT_TRUE(QFile::link(root() + "/nowhere", sys(kVST3) + "/GoneFolder"));
    ASSERT_TRUE(QFile::link(sys(kVST3) + "/Loop/Inside.vst3", sys(kVST3) + "/Alias.vst3"));

    PluginScanner scanner;
    scanner.scanAllPlugins();
    QStringList paths;
    for (const AudioPlugin& p : scanner.discoveredPlugins())
        paths << p.currentPath;
    // Alias.vst3 is Inside.vst3 by another name: the bundle's own name is kept.
    EXPECT_EQ(paths, (QStringList{sys(kVST3) + "/Loop/Inside.vst3", usr(kVST3) + "/Vendor/Linked.vst3"}));
    EXPECT_TRUE(printedLines().isEmpty()) << printedLines().join('\n').toStdString();
}

TEST_F(PluginScannerTest, OneBundleReachedByTwoNamesGivesOneRecord)
{
    // The user's folder is the system folder by another name: its bundles come first from the system walk.
    makeBundle(sys(kVST3) + "/Echo.vst3");
    makeBundle(sys(kVST3) + "/Vendor/Comp.vst3");
    makeDir(usr("/Library/Audio/Plug-Ins"));
    ASSERT_TRUE(QFile::link(sys(kVST3), usr(kVST3)));
    // A link to a bundle met before the bundle itself yields to it: a move must take the bundle, not the link.
    makeBundle(usr(kCLAP) + "/Real.clap", identified("com.acme.real"));
    makeDir(sys(kCLAP));
    ASSERT_TRUE(QFile::link(usr(kCLAP) + "/Real.clap", sys(kCLAP) + "/Alias.clap"));
    // Copies are separate bundles, whatever their names, with or without an Info.plist...
    makeBundle(sys(kVST) + "/Twin.vst");
    makeBundle(usr(kVST) + "/Twin.vst");
    // ...and when their Info.plist is one file, hard-linked into both (as a linked backup
    // copy makes); a link to the second is still that second bundle.
    makeBundle(sys(kVST) + "/Shared A.vst", identified("com.acme.shared"));
    makeDir(sys(kVST) + "/Shared B.vst/Contents/MacOS");
    ASSERT_EQ(::link(QFile::encodeName(sys(kVST) + "/Shared A.vst/Contents/Info.plist").constData(),
                     QFile::encodeName(sys(kVST) + "/Shared B.vst/Contents/Info.plist").constData()),
              0);
    ASSERT_TRUE(QFile::link(sys(kVST) + "/Shared B.vst", sys(kVST) + "/Shared C.vst"));
    ASSERT_TRUE(QFile::link(sys(kVST) + "/Shared A.vst", usr(kVST) + "/Shared D.vst"));

    for (int threads : {1, 4}) {
        SCOPED_TRACE(threads);
        EXPECT_EQ(describeAll(PluginScanner::scan(threads)),
                  (QStringList{
                      "Comp|VST3|on|" + sys(kVST3) + "/Vendor/Comp.vst3|" + sys(kVST3) + "/Vendor/Comp.vst3",
                      "Echo|VST3|on|" + sys(kVST3) + "/Echo.vst3|" + sys(kVST3) + "/Echo.vst3",
                      "Real|CLAP|on|" + usr(kCLAP) + "/Real.clap|" + usr(kCLAP) + "/Real.clap",
                      "Shared A|VST|on|" + sys(kVST) + "/Shared A.vst|" + sys(kVST) + "/Shared A.vst",
                      "Shared B|VST|on|" + sys(kVST) + "/Shared B.vst|" + sys(kVST) + "/Shared B.vst",
                      "Twin|VST|on|" + sys(kVST) + "/Twin.vst|" + sys(kVST) + "/Twin.vst",
                      "Twin|VST|on|" + usr(kVST) + "/Twin.vst|" + usr(kVST) + "/Twin.vst",
                  }));
    }
}

TEST_F(PluginScannerTest, BadInputIsSurvivedAndNothingOnDiskChanges)
{
    struct Bad {
        const char* name;
        QByteArray plist;
    };
    const QList<Bad> bad{
        {"Empty", ""},
        {"Truncated", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><str"},
        {"Garbage", rawBytes("\x00\xff\xfe\x01garbage\x7f")},
        {"BadBinary", rawBytes("bplist00\x01\x02\x03\xff\xff\xff\xff\xff\xff\xff\xff")},
        {"TopArray", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>"},
        {"ComponentsNotList",
         "<plist version=\"1.0\"><dict><key>AudioComponents</key><string>Acme: X</string></dict></plist>"},
        {"NulInText",
         rawBytes("<plist version=\"1.0\"><dict><key>CFBundleShortVersionString</key><string>1\0.2</string>"
                  "<key>AudioComponents</key><array><dict><key>name</key><string>Acme: X</string>"
                  "</dict></array></dict></plist>")},
        {"ComponentsOfText",
         "<plist version=\"1.0\"><dict><key>AudioComponents</key><array><string>Acme: X</string></array></dict>"
         "</plist>"},
    };
    for (const Bad& b : bad) {
        makeBundle(sys(kComponents) + "/" + b.name + ".component");
        writeFile(sys(kComponents) + "/" + b.name + ".component/Contents/Info.plist", b.plist);
    }
    const QStringList hostile{"Quote's \"Echo\"", "  Blank  Spaces ",    "Pipe|Delay",
                              "Ümlaut Chörus",    "Emoji 🎛️ Synth", "$(touch x) `y`"};
    for (const QString& name : hostile)
        makeBundle(usr(kVST3) + "/Vendor's \"Dir\"/" + name + ".vst3", identified("com.acme.x"));
    makeBundle(sys(kComponents) + "/Good.component", components("Acme: Good"));
    writeFile(sys(kCLAP) + "/Broken.clap/clap.json", rawBytes("\xff\xfe{"));

    PluginScanner scanner; // creates the central folders before the snapshot
    const QStringList rootBefore = snapshot(root());
    const QStringList homeBefore = snapshot(home());
    scanner.scanAllPlugins();
    EXPECT_EQ(snapshot(root()), rootBefore);
    EXPECT_EQ(snapshot(home()), homeBefore);

    const QList<AudioPlugin>& found = scanner.discoveredPlugins();
    EXPECT_EQ(found.size(), bad.size() + hostile.size() + 2);
    for (const Bad& b : bad) {
        const AudioPlugin* p = findByPath(found, sys(kComponents) + "/" + b.name + ".component");
        ASSERT_TRUE(p) << b.name;
        EXPECT_EQ(p->manufacturer, "") << b.name;
        EXPECT_FALSE(p->version.has_value()) << b.name;
    }
    for (const QString& name : hostile) {
        const AudioPlugin* p = findByPath(found, usr(kVST3) + "/Vendor's \"Dir\"/" + name + ".vst3");
        ASSERT_TRUE(p) << name.toStdString();
        EXPECT_EQ(p->name, name);
        EXPECT_EQ(p->manufacturer, "Acme");
    }
    const AudioPlugin* good = findByPath(found, sys(kComponents) + "/Good.component");
    ASSERT_TRUE(good);
    EXPECT_EQ(good->manufacturer, "Acme");
    EXPECT_TRUE(printedLines().isEmpty()) << printedLines().join('\n').toStdString();
}

TEST_F(PluginScannerTest, FolderThatCannotBeListedIsReportedAndSkipped)
{
    // Even root cannot list a plain file standing where a plug-in folder should be.
    writeFile(sys(kVST3), "not a folder");
    makeBundle(usr(kVST3) + "/Fine.vst3");
    PluginScanner scanner;
    scanner.scanAllPlugins();
    ASSERT_EQ(scanner.discoveredPlugins().size(), 1);
    EXPECT_EQ(scanner.discoveredPlugins().first().name, "Fine");
    EXPECT_EQ(printedLines(), QStringList{"❌ Error scanning directory " + sys(kVST3) + ": Not a directory"});
}

TEST_F(PluginScannerTest, UnreadableFolderIsReportedAndSkipped)
{
    RUN_UNPRIVILEGED();
    makeBundle(sys(kVST3) + "/Locked/Hidden.vst3");
    makeBundle(sys(kVST3) + "/Open/Seen.vst3");
    ASSERT_EQ(::chmod(QFile::encodeName(sys(kVST3) + "/Locked").constData(), 0), 0);
    PluginScanner scanner;
    scanner.scanAllPlugins();
    ::chmod(QFile::encodeName(sys(kVST3) + "/Locked").constData(), 0755);
    ASSERT_EQ(scanner.discoveredPlugins().size(), 1);
    EXPECT_EQ(scanner.discoveredPlugins().first().name, "Seen");
    EXPECT_EQ(printedLines(), QStringList{"❌ Error scanning directory " + sys(kVST3) + "/Locked: Permission denied"});
}

TEST_F(PluginScannerTest, SortIsStableCodePointOrderAfterNormalisation)
{
    QList<AudioPlugin> plugins{
        record("b", PluginFormat::vst3, "1"),
        record("B", PluginFormat::vst3, "2"),
        record("", PluginFormat::vst3, "3"),
        record("Unknown Plugin", PluginFormat::au, "4"),
        record("Zebra", PluginFormat::vst3, "5"),
        record("alpha", PluginFormat::vst3, "6"),
        record("b", PluginFormat::au, "7"),
        record(QString::fromUtf8("e\xcc\x81"), PluginFormat::vst3, "8"),         // e + combining acute = é
        record(QString::fromUtf8("\xc3\xa9"), PluginFormat::vst3, "9"),          // precomposed é
        record(QString::fromUtf8("\xf0\x9f\x8e\x9b"), PluginFormat::vst3, "10"), // U+1F39B beyond the BMP
        record(QString::fromUtf8("\xef\xbc\xa1"), PluginFormat::vst3, "11"),     // U+FF21 inside the BMP
    };
    PluginScanner::sortByName(plugins);
    QStringList order;
    for (const AudioPlugin& p : plugins)
        order << p.manufacturer;
    EXPECT_EQ(order, (QStringList{"2", "3", "4", "5", "6", "1", "7", "8", "9", "11", "10"}));
    EXPECT_EQ(plugins.at(1).name, ""); // keeps its empty name
}

TEST_F(PluginScannerTest, ScanOrderIsTheNameSortForNamesSharingTheirFirstCharacters)
{
    // The scan compares the first eight characters packed in two numbers before the whole
    // names: names equal or short there, beyond the BMP, after U+E000 or not in NFC.
    const QStringList names{
        "Compressor",
        "Comp",
        "Comp 2",
        "CompA",
        "comp",
        "Co",
        "C",
        "Comp\u00e9",
        "Compe\u0301x",
        "\u00e9",
        "e\u0301",
        "\U0001F39B",
        "\uFF21",
        "\uE000",
        "ab\U0001F39B",
        "ab\uFFFD",
        "ab\uD7FF",
        "Compresso",
        "Compressor 2",
        "CompressoR",
        "Compresso\u00e9",
        "Compresso\U0001F39B",
        "Compresso\uE000",
    };
    for (const QString& name : names) {
        makeBundle(sys(kVST3) + '/' + name + ".vst3");
        makeBundle(sys(kComponents) + '/' + name + ".component");
    }
    const QList<AudioPlugin> scanned = PluginScanner::scan();
    ASSERT_EQ(scanned.size(), 2 * names.size());
    QList<AudioPlugin> sorted = scanned;
    PluginScanner::sortByName(sorted);
    EXPECT_EQ(describeAll(scanned), describeAll(sorted));
    // Same names keep the walk order: the Audio Unit first.
    EXPECT_EQ(scanned.at(0).name, "C");
    EXPECT_EQ(scanned.at(0).format, PluginFormat::au);
    EXPECT_EQ(scanned.at(1).format, PluginFormat::vst3);
}

// More records than one sorting run holds, in folder-listing order, names alike in their first
// eight characters and each in three formats: the runs sorted side by side must merge into the
// one stable order, every same name in walk order (Audio Unit, VST3, CLAP).
TEST_F(PluginScannerTest, ALargeScanIsInNameOrderWithSameNamesInWalkOrder)
{
    constexpr int kNames = 2800;
    QStringList names;
    for (int i = 0; i < kNames; ++i)
        names << QStringLiteral("%1 Bass Deluxe %2")
                     .arg(i % 2 ? QStringLiteral("Analog") : QStringLiteral("analog"))
                     .arg((i * 7919) % kNames, 4, 10, QLatin1Char('0'));
    const struct {
        QString folder;
        QString extension;
        PluginFormat format;
    } formats[] = {{kVST3, ".vst3", PluginFormat::vst3},
                   {kCLAP, ".clap", PluginFormat::clap},
                   {kComponents, ".component", PluginFormat::au}};
    for (const auto& format : formats) {
        ASSERT_TRUE(QDir().mkpath(sys(format.folder)));
        for (const QString& name : std::as_const(names)) {
            const QByteArray bundle = QFile::encodeName(sys(format.folder) + '/' + name + format.extension);
            ASSERT_EQ(::mkdir(bundle.constData(), 0755), 0);
        }
    }
    QStringList sorted = names;
    std::sort(sorted.begin(), sorted.end()); // plain ASCII: UTF-16 order is code-point order
    QStringList expected;
    for (const QString& name : std::as_const(sorted)) {
        for (const PluginFormat format : {PluginFormat::au, PluginFormat::vst3, PluginFormat::clap})
            expected << name + '|' + PluginFormats::rawValue(format);
    }
    for (int threads : {1, 8}) {
        SCOPED_TRACE(threads);
        QStringList scanned;
        for (const AudioPlugin& p : PluginScanner::scan(threads))
            scanned << p.name + '|' + PluginFormats::rawValue(p.format);
        EXPECT_EQ(scanned, expected);
    }
}

TEST_F(PluginScannerTest, ProgressAndPublishOrder)
{
    makeBundle(sys(kVST3) + "/One.vst3");
    PluginScanner scanner;
    QStringList events;
    QObject::connect(&scanner, &PluginScanner::isScanningChanged, &scanner,
                     [&events](bool on) { events << (on ? "scanning" : "idle"); });
    QObject::connect(&scanner, &PluginScanner::scanProgressChanged, &scanner,
                     [&events](double p) { events << QString::number(p * 6.0); });
    QObject::connect(&scanner, &PluginScanner::discoveredPluginsChanged, &scanner, [&events, &scanner] {
        events << QStringLiteral("list %1 %2").arg(scanner.discoveredPlugins().size()).arg(scanner.isScanning());
    });
    std::vector<double> progress;
    QObject::connect(&scanner, &PluginScanner::scanProgressChanged, &scanner,
                     [&progress](double p) { progress.push_back(p); });
    scanner.scanAllPlugins();
    EXPECT_EQ(events,
              (QStringList{"scanning", "0", "list 0 1", "1", "2", "3", "4", "5", "6", "list 1 1", "idle", "6"}));
    ASSERT_EQ(progress.size(), 8u);
    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(progress[static_cast<size_t>(i)], i / 6.0);
    EXPECT_EQ(progress.back(), 1.0);
}

// --- Worker threads and hostile folders ---

namespace {

/// Every field of a record but its random id.
QStringList describeFully(const QList<AudioPlugin>& plugins)
{
    QStringList lines;
    for (const AudioPlugin& p : plugins) {
        lines << describe(p) + QStringLiteral("|%1|%2|%3|%4")
                                   .arg(p.manufacturer, p.version.value_or("-"), p.bundleIdentifier.value_or("-"),
                                        p.lastUsed ? p.lastUsed->toString(Qt::ISODate) : QStringLiteral("-"));
    }
    return lines;
}

/// A scan that gives up after a while instead of hanging the test program; `release`
/// then unblocks whatever the scan waits on, so the program can still end.
std::optional<QList<AudioPlugin>> scanWithin(std::chrono::seconds limit, const std::function<void()>& release = {})
{
    auto running = std::async(std::launch::async, [] { return PluginScanner::scan(); });
    if (running.wait_for(limit) == std::future_status::ready)
        return running.get();
    if (release)
        release();
    running.wait();
    return std::nullopt;
}

} // namespace

TEST_F(PluginScannerTest, AnyNumberOfThreadsGivesTheSameRecordsInTheSameOrder)
{
    const DemoTree::Summary summary = DemoTree::write({root(), home(), 800, 5});
    ASSERT_TRUE(summary.error.isEmpty()) << summary.error.toStdString();
    // Folders reached twice (the first place met keeps them) and a loop back to the root.
    const QString vst3 = sys(kVST3);
    ASSERT_EQ(::symlink(QFile::encodeName(vst3).constData(), QFile::encodeName(vst3 + "/Loop").constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(sys(kCLAP)).constData(), QFile::encodeName(vst3 + "/A").constData()), 0);
    makeDir(sys(kCLAP) + "/Extra");
    makeBundle(sys(kCLAP) + "/Extra/Twice.clap");
    ASSERT_EQ(::symlink(QFile::encodeName(sys(kCLAP) + "/Extra").constData(),
                        QFile::encodeName(sys(kCLAP) + "/0 Early").constData()),
              0);

    const QList<AudioPlugin> single = PluginScanner::scan(1);
    QSet<PluginFormat> formats;
    for (const AudioPlugin& p : single)
        formats.insert(p.format);
    EXPECT_EQ(formats.size(), 6);
    EXPECT_EQ(single.size(), summary.bundles - summary.skippedShells + 1);
    const QStringList expected = describeFully(single);
    for (int threads : {2, 8, 32}) {
        SCOPED_TRACE(threads);
        EXPECT_EQ(describeFully(PluginScanner::scan(threads)), expected);
    }
    PluginScanner scanner;
    scanner.scanAllPlugins();
    EXPECT_EQ(describeFully(scanner.discoveredPlugins()), expected);
}

TEST_F(PluginScannerTest, NamedPipesInBundlesAreNeverOpenedForReading)
{
    makeDir(sys(kComponents) + "/Piped.component/Contents");
    const QString plist = sys(kComponents) + "/Piped.component/Contents/Info.plist";
    ASSERT_EQ(::mkfifo(QFile::encodeName(plist).constData(), 0644), 0);
    makeBundle(sys(kCLAP) + "/Piped.clap");
    const QString clapJson = sys(kCLAP) + "/Piped.clap/clap.json";
    ASSERT_EQ(::mkfifo(QFile::encodeName(clapJson).constData(), 0644), 0);

    const std::optional<QList<AudioPlugin>> found = scanWithin(std::chrono::seconds(20), [&] {
        for (const QString& pipe : {plist, clapJson}) {
            const int fd = ::open(QFile::encodeName(pipe).constData(), O_RDWR | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
    });
    ASSERT_TRUE(found) << "the scan waited on a named pipe";
    EXPECT_EQ(describeAll(*found),
              (QStringList{"Piped|Audio Units|on|" + sys(kComponents) + "/Piped.component|" + sys(kComponents) +
                               "/Piped.component",
                           "Piped|CLAP|on|" + sys(kCLAP) + "/Piped.clap|" + sys(kCLAP) + "/Piped.clap"}));
    for (const AudioPlugin& p : *found) {
        EXPECT_TRUE(p.manufacturer.isEmpty());
        EXPECT_FALSE(p.version);
    }
}

TEST_F(PluginScannerTest, AVeryDeepTreeIsCutWithOneLineAndNeverCrashes)
{
    makeBundle(sys(kVST3) + "/Shallow.vst3");
    // 1,000 nested folders, each reached relative to the last (the whole path is long).
    int fd = ::open(QFile::encodeName(sys(kVST3)).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < 1000; ++level) {
        ASSERT_EQ(::mkdirat(fd, "n", 0755), 0);
        if (level == 10) {
            ASSERT_EQ(::mkdirat(fd, "Ten.vst3", 0755), 0);
        }
        const int next = ::openat(fd, "n", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    ASSERT_EQ(::mkdirat(fd, "Bottom.vst3", 0755), 0);
    ::close(fd);

    const std::optional<QList<AudioPlugin>> found = scanWithin(std::chrono::seconds(60));
    ASSERT_TRUE(found);
    QStringList names;
    for (const AudioPlugin& p : *found)
        names << p.name;
    EXPECT_EQ(names, (QStringList{"Shallow", "Ten"}));
    const QStringList deep = printedLines().filter("nested deeper than");
    ASSERT_EQ(deep.size(), 1) << printedLines().join('\n').toStdString();
    EXPECT_TRUE(
        deep.first().startsWith("⚠️ Folders nested deeper than 256 levels were not scanned, in " + sys(kVST3)));
}

TEST_F(PluginScannerTest, NamesThatAreNotUtf8AreSkippedWithTheirFolderNamed)
{
    makeBundle(sys(kVST3) + "/Good.vst3");
    const QByteArray vst3 = QFile::encodeName(sys(kVST3));
    ASSERT_EQ(::mkdir((vst3 + "/Bad\xff.vst3").constData(), 0755), 0);
    ASSERT_EQ(::mkdir((vst3 + "/Vendor\xfe").constData(), 0755), 0);
    ASSERT_EQ(::mkdir((vst3 + "/Vendor\xfe/Inside.vst3").constData(), 0755), 0);
    // Names that end in the first bytes of a longer character: decoded, the tail would vanish.
    ASSERT_EQ(::mkdir((vst3 + "/Cut\xe2\x82").constData(), 0755), 0);
    ASSERT_EQ(::mkdir((vst3 + "/Cut\xe2\x82/Inside.vst3").constData(), 0755), 0);
    const QByteArray waves = QFile::encodeName(sys(kWaves) + "/Plug-Ins V15");
    makeDir(QFile::decodeName(waves));
    ASSERT_EQ(::mkdir((waves + "/Odd\xff.bundle").constData(), 0755), 0);
    const QByteArray cutWaves = QFile::encodeName(sys(kWaves)) + "/Plug-Ins V16\xc3";
    ASSERT_EQ(::mkdir(cutWaves.constData(), 0755), 0);
    ASSERT_EQ(::mkdir((cutWaves + "/Cut.bundle").constData(), 0755), 0);

    PluginScanner scanner;
    scanner.scanAllPlugins();
    QStringList names;
    for (const AudioPlugin& p : scanner.discoveredPlugins()) {
        names << p.name;
        EXPECT_TRUE(QFileInfo::exists(p.currentPath)) << p.currentPath.toStdString();
    }
    EXPECT_EQ(names, QStringList{"Good"});
    QStringList skipped = printedLines().filter("not valid UTF-8");
    skipped.sort();
    EXPECT_EQ(skipped,
              (QStringList{"⚠️ Skipped a bundle whose name is not valid UTF-8 in " + sys(kWaves) + "/Plug-Ins V15",
                           "⚠️ Skipped a bundle whose name is not valid UTF-8 in " + sys(kVST3),
                           "⚠️ Skipped a folder whose name is not valid UTF-8 in " + sys(kVST3),
                           "⚠️ Skipped a folder whose name is not valid UTF-8 in " + sys(kVST3)}));
    // The temporary folder's clean-up cannot name these.
    for (const QByteArray& made : {vst3 + "/Bad\xff.vst3", vst3 + "/Vendor\xfe/Inside.vst3", vst3 + "/Vendor\xfe",
                                   vst3 + "/Cut\xe2\x82/Inside.vst3", vst3 + "/Cut\xe2\x82", waves + "/Odd\xff.bundle",
                                   cutWaves + "/Cut.bundle", cutWaves})
        EXPECT_EQ(::rmdir(made.constData()), 0);
}
