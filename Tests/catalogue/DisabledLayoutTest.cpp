#include "catalogue/DisabledLayout.h"

#include "Platform/Paths.h"
#include "Support/SandboxTest.h"
#include "catalogue/PluginScanner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <unistd.h>

namespace {

const QStringList kHostileNames = {
    QStringLiteral("it's.vst3"),          QStringLiteral("say \"hi\".vst3"),
    QStringLiteral("back\\slash.vst3"),   QStringLiteral("$(touch pwned).vst3"),
    QStringLiteral("`touch pwned`.vst3"), QStringLiteral("new\nline.vst3"),
    QStringLiteral("-rf.vst3"),           QStringLiteral("semi; touch pwned #.vst3"),
    QStringLiteral("''''.vst3"),          QStringLiteral("ünï cødé ✓.vst3"),
};

AudioPlugin plugin(PluginFormat format, const QString& originalPath, const QString& currentPath = {})
{
    AudioPlugin p;
    p.id = QUuid::createUuid();
    p.name = QStringLiteral("X");
    p.format = format;
    p.originalPath = originalPath;
    p.currentPath = currentPath.isEmpty() ? originalPath : currentPath;
    return p;
}

class DisabledLayoutTest : public SandboxTest {
protected:
    // The texts as the program runs them on a real system: no root prefix.
    void withoutRootPrefix() { qunsetenv("RACKHAND_SYSTEM_ROOT"); }
};

TEST_F(DisabledLayoutTest, ShellQuoteWritesEachQuoteAsTheFiveCharacterSequence)
{
    struct Row {
        const char* name;
        QString text;
        QString quoted;
    };
    const Row rows[] = {
        {"plain", QStringLiteral("/a/b c"), QStringLiteral("'/a/b c'")},
        {"single quote", QStringLiteral("it's"), QStringLiteral("'it'\"'\"'s'")},
        {"two quotes", QStringLiteral("''"), QStringLiteral("''\"'\"''\"'\"''")},
        {"double quote untouched", QStringLiteral("a\"b"), QStringLiteral("'a\"b'")},
        {"backslash untouched", QStringLiteral("a\\b"), QStringLiteral("'a\\b'")},
        {"dollar untouched", QStringLiteral("$(x)`y`"), QStringLiteral("'$(x)`y`'")},
        {"empty", QString(), QStringLiteral("''")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DisabledLayout::shellQuote(row.text), row.quoted);
    }
}

TEST_F(DisabledLayoutTest, QuotedHostileNamesReachTheShellAsOneUnchangedWord)
{
    for (const QString& name : kHostileNames) {
        SCOPED_TRACE(name.toStdString());
        QProcess shell;
        shell.setWorkingDirectory(root());
        shell.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QStringLiteral("printf '%s|' ") + DisabledLayout::shellQuote(name)});
        ASSERT_TRUE(shell.waitForFinished());
        EXPECT_EQ(QString::fromUtf8(shell.readAllStandardOutput()), name + u'|');
    }
    EXPECT_TRUE(QDir(root()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(DisabledLayoutTest, CommandTextsAreExact)
{
    withoutRootPrefix();
    const QString src = QStringLiteral("/Library/Audio/Plug-Ins/Components/It's.component");
    const QString dst = QStringLiteral("/Library/Audio/Plug-Ins/Disabled/Audio Units/It's.component");
    const QString purge = QStringLiteral(
        " && rm -rf ~/Library/Caches/AudioUnitCache/* /Library/Caches/com.apple.audiounits.cache 2>/dev/null && "
        "killall -9 AudioComponentRegistrar 2>/dev/null; true");
    EXPECT_EQ(purge.size(), 155);
    EXPECT_EQ(DisabledLayout::auCachePurgeSuffix(), purge);

    const QString q = QStringLiteral("'\"'\"'");
    const QString qs = QStringLiteral("'/Library/Audio/Plug-Ins/Components/It") + q + QStringLiteral("s.component'");
    const QString qd =
        QStringLiteral("'/Library/Audio/Plug-Ins/Disabled/Audio Units/It") + q + QStringLiteral("s.component'");
    // Never into or over an existing item, never a source that became a link.
    const QString move = "[ ! -L " + qs + " ] && [ ! -e " + qd + " ] && [ ! -L " + qd + " ] && mv -T " + qs + " " + qd;
    EXPECT_EQ(DisabledLayout::disableCommand({src, dst}),
              QStringLiteral("mkdir -p '/Library/Audio/Plug-Ins/Disabled/Audio Units' && ") + move);
    const QString back = "[ ! -L " + qd + " ] && [ ! -e " + qs + " ] && [ ! -L " + qs + " ] && mv -T " + qd + " " + qs;
    EXPECT_EQ(DisabledLayout::enableCommand({dst, src}), back);
    // A bundle that was a link when planned may stay one.
    EXPECT_EQ(DisabledLayout::enableCommand({dst, src, true}),
              "[ ! -e " + qs + " ] && [ ! -L " + qs + " ] && mv -T " + qd + " " + qs);
    EXPECT_EQ(DisabledLayout::privilegedMoveCommand({src, dst}, true, true),
              DisabledLayout::disableCommand({src, dst}) + purge);
    EXPECT_EQ(DisabledLayout::privilegedMoveCommand({dst, src}, false, true),
              DisabledLayout::enableCommand({dst, src}) + purge);
    EXPECT_EQ(DisabledLayout::privilegedMoveCommand({dst, src}, false, false),
              DisabledLayout::enableCommand({dst, src}));

    // Across file systems: a hidden copy renamed into place, the source set aside, then removed.
    DisabledLayout::MovePaths across(QStringLiteral("/a/X.vst3"), QStringLiteral("/b/X.vst3"));
    across.copyName = QStringLiteral("/b/.rackhand-copy-T");
    across.setAsideName = QStringLiteral("/a/.rackhand-old-R");
    EXPECT_EQ(DisabledLayout::enableCommand(across),
              QStringLiteral("[ ! -L '/a/X.vst3' ] && [ ! -e '/b/X.vst3' ] && [ ! -L '/b/X.vst3' ] && "
                             "[ ! -e '/b/.rackhand-copy-T' ] && [ ! -L '/b/.rackhand-copy-T' ] && "
                             "{ cp -a '/a/X.vst3' '/b/.rackhand-copy-T' && mv -T '/b/.rackhand-copy-T' '/b/X.vst3' "
                             "|| { rm -rf '/b/.rackhand-copy-T'; false; }; } && "
                             "{ mv -T '/a/X.vst3' '/a/.rackhand-old-R' || { rm -rf '/b/X.vst3'; false; }; } && "
                             "rm -rf '/a/.rackhand-old-R'"));
}

TEST_F(DisabledLayoutTest, PurgeSuffixPointsTheSystemCacheIntoTheRootPrefix)
{
    const QString suffix = DisabledLayout::auCachePurgeSuffix();
    EXPECT_TRUE(suffix.contains(QStringLiteral(" ~/Library/Caches/AudioUnitCache/* ")));
    EXPECT_TRUE(suffix.contains(sys(QStringLiteral("/Library/Caches/com.apple.audiounits.cache"))));
    EXPECT_TRUE(suffix.endsWith(QStringLiteral("; true")));
}

TEST_F(DisabledLayoutTest, DestinationFolderFollowsTheLayoutTable)
{
    const QString central = sys(QStringLiteral("/Library/Audio/Plug-Ins/Disabled"));
    EXPECT_EQ(DisabledLayout::centralDisabledDirectory(), central);
    struct Row {
        PluginFormat format;
        QString original;
        QString folder;
    };
    const Row rows[] = {
        {PluginFormat::au, sys("/Library/Audio/Plug-Ins/Components/A.component"), central + "/Audio Units"},
        {PluginFormat::vst3, sys("/Library/Audio/Plug-Ins/VST3/A.vst3"), central + "/VST3"},
        {PluginFormat::vst2, usr("/Library/Audio/Plug-Ins/VST/A.vst"), central + "/VST"},
        {PluginFormat::clap, sys("/Library/Audio/Plug-Ins/CLAP/A.clap"), central + "/CLAP"},
        {PluginFormat::aax, sys("/Library/Application Support/Avid/Audio/Plug-Ins/A.aaxplugin"),
         sys("/Library/Application Support/Avid/Audio/Plug-Ins (Unused)")},
        {PluginFormat::wavesBundle, sys("/Applications/Waves/Plug-Ins V14/CLA.bundle"),
         sys("/Applications/Waves/Plug-Ins V14/Disabled")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(PluginFormats::rawValue(row.format).toStdString());
        EXPECT_EQ(DisabledLayout::destinationFolder(plugin(row.format, row.original)), row.folder);
    }
}

TEST_F(DisabledLayoutTest, FreeNameSkipsTakenAndReservedNames)
{
    const QString folder = sys(QStringLiteral("/Library/Audio/Plug-Ins/Disabled/VST3"));
    makeDir(folder + QStringLiteral("/X.vst3"));
    makeDir(folder + QStringLiteral("/X 1.vst3"));
    writeFile(folder + QStringLiteral("/Plain"), "file");

    EXPECT_EQ(DisabledLayout::freeDestination(folder, QStringLiteral("Y.vst3")), folder + QStringLiteral("/Y.vst3"));
    EXPECT_EQ(DisabledLayout::freeDestination(folder, QStringLiteral("X.vst3")), folder + QStringLiteral("/X 2.vst3"));
    // The dot is always written, even without an extension.
    EXPECT_EQ(DisabledLayout::freeDestination(folder, QStringLiteral("Plain")), folder + QStringLiteral("/Plain 1."));
    EXPECT_EQ(DisabledLayout::freeDestination(folder, QStringLiteral("X.vst3"), {folder + QStringLiteral("/X 2.vst3")}),
              folder + QStringLiteral("/X 3.vst3"));

    // A dangling link still takes its name.
    ASSERT_EQ(::symlink("/nonexistent", QFile::encodeName(folder + QStringLiteral("/L.vst3")).constData()), 0);
    EXPECT_EQ(DisabledLayout::freeDestination(folder, QStringLiteral("L.vst3")), folder + QStringLiteral("/L 1.vst3"));

    // Planning reserves what it hands out.
    QSet<QString> reserved;
    const AudioPlugin a = plugin(PluginFormat::vst3, sys("/Library/Audio/Plug-Ins/VST3/Y.vst3"));
    const AudioPlugin b = plugin(PluginFormat::vst3, usr("/Library/Audio/Plug-Ins/VST3/Y.vst3"));
    EXPECT_EQ(DisabledLayout::disableDestination(a, &reserved), folder + QStringLiteral("/Y.vst3"));
    EXPECT_EQ(DisabledLayout::disableDestination(b, &reserved), folder + QStringLiteral("/Y 1.vst3"));
}

TEST_F(DisabledLayoutTest, SplitFileNameTakesTheLastExtension)
{
    EXPECT_EQ(DisabledLayout::splitFileName(QStringLiteral("A.b.vst3")).base, QStringLiteral("A.b"));
    EXPECT_EQ(DisabledLayout::splitFileName(QStringLiteral("A.b.vst3")).extension, QStringLiteral("vst3"));
    EXPECT_EQ(DisabledLayout::splitFileName(QStringLiteral("Plain")).extension, QString());
    EXPECT_EQ(DisabledLayout::splitFileName(QStringLiteral(".hidden")).base, QStringLiteral(".hidden"));
}

TEST_F(DisabledLayoutTest, RouteFollowsOriginalPathAndFormat)
{
    struct Row {
        const char* name;
        AudioPlugin plugin;
        DisabledLayout::MoveRoute route;
    };
    const Row rows[] = {
        {"AU under /Library purges",
         plugin(PluginFormat::au, sys("/Library/Audio/Plug-Ins/Components/A.component")),
         {true, true}},
        {"VST3 under /Library", plugin(PluginFormat::vst3, sys("/Library/Audio/Plug-Ins/VST3/A.vst3")), {true, false}},
        {"AU in the home folder is plain, even while disabled under /Library",
         plugin(PluginFormat::au, usr("/Library/Audio/Plug-Ins/Components/A.component"),
                sys("/Library/Audio/Plug-Ins/Disabled/Audio Units/A.component")),
         {false, false}},
        {"Waves outside /Library is privileged without purge",
         plugin(PluginFormat::wavesBundle, sys("/Applications/Waves/Plug-Ins V14/CLA.bundle")),
         {true, false}},
        {"CLAP elsewhere is plain", plugin(PluginFormat::clap, usr("/plugins/A.clap")), {false, false}},
        {"the test is a plain prefix", plugin(PluginFormat::au, sys("/LibraryX/A.component")), {true, true}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DisabledLayout::routeFor(row.plugin), row.route);
    }
}

TEST_F(DisabledLayoutTest, MoveItemNeverReplacesAnExistingDestination)
{
    makeBundle(root() + QStringLiteral("/a/X.vst3"));
    writeFile(root() + QStringLiteral("/b/X.vst3/keep"), "occupant");
    EXPECT_FALSE(
        DisabledLayout::moveItem(root() + QStringLiteral("/a/X.vst3"), root() + QStringLiteral("/b/X.vst3")).isEmpty());
    EXPECT_EQ(readFile(root() + QStringLiteral("/b/X.vst3/keep")), QByteArray("occupant"));
    EXPECT_TRUE(DisabledLayout::pathExists(root() + QStringLiteral("/a/X.vst3")));

    EXPECT_EQ(DisabledLayout::moveItem(root() + QStringLiteral("/a/X.vst3"), root() + QStringLiteral("/b/Y.vst3")),
              QString());
    EXPECT_TRUE(QFileInfo(root() + QStringLiteral("/b/Y.vst3/Contents/MacOS")).isDir());
    EXPECT_FALSE(DisabledLayout::pathExists(root() + QStringLiteral("/a/X.vst3")));
    EXPECT_FALSE(DisabledLayout::moveItem(root() + QStringLiteral("/gone"), root() + QStringLiteral("/b/Z")).isEmpty());
}

} // namespace

TEST_F(DisabledLayoutTest, DisablingThenScanningEveryFormatLandsOnTheSameRecord)
{
    const struct {
        PluginFormat format;
        const char* enabledPath;
    } cases[] = {
        {PluginFormat::au, "/Library/Audio/Plug-Ins/Components/Comp.component"},
        {PluginFormat::vst3, "/Library/Audio/Plug-Ins/VST3/It's.vst3"},
        {PluginFormat::vst2, "/Library/Audio/Plug-Ins/VST/Old.vst"},
        {PluginFormat::aax, "/Library/Application Support/Avid/Audio/Plug-Ins/Pro.aaxplugin"},
        {PluginFormat::clap, "/Library/Audio/Plug-Ins/CLAP/Poly.clap"},
        {PluginFormat::wavesBundle, "/Applications/Waves/Plug-Ins V15/CLA-2A.bundle"},
    };
    // Which record a scan finds at a path, and everything about it but its random id.
    auto scannedAt = [](const QString& path) -> QString {
        for (const AudioPlugin& p : PluginScanner::scan()) {
            if (p.currentPath == path)
                return QStringList{p.name,
                                   PluginFormats::rawValue(p.format),
                                   p.manufacturer,
                                   p.originalPath,
                                   p.isEnabled ? QStringLiteral("on") : QStringLiteral("off"),
                                   p.version.value_or("-")}
                    .join(u'|');
        }
        return QStringLiteral("no record at ") + path;
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.enabledPath);
        const QString enabled = sys(QString::fromUtf8(row.enabledPath));
        makeBundle(enabled, {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.acme.thing")},
                             {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.2")}});
        const QString before = scannedAt(enabled);
        ASSERT_TRUE(before.endsWith(u'|' + enabled + (row.format == PluginFormat::wavesBundle ? "|on|V15" : "|on|1.2")))
            << before.toStdString();

        const AudioPlugin found = plugin(row.format, enabled);
        const QString disabled = DisabledLayout::disableDestination(found);
        makeDir(DisabledLayout::parentFolder(disabled)); // as the command's "mkdir -p" does
        ASSERT_EQ(DisabledLayout::moveItem(enabled, disabled), QString());
        QString expectedOff = before;
        expectedOff.replace(QStringLiteral("|on|"), QStringLiteral("|off|"));
        EXPECT_EQ(scannedAt(disabled), expectedOff);

        ASSERT_EQ(DisabledLayout::moveItem(disabled, enabled), QString());
        EXPECT_EQ(scannedAt(enabled), before);
    }
}
