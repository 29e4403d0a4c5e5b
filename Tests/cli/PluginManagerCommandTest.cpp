#include "shell/cli/PluginManagerCommand.h"

#include "Support/SandboxTest.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kGuiStatus = 7; // what the fake GUI returns, to see it passed through

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
    int guiLaunches = 0;
};

Outcome runArgs(const std::vector<std::string>& args)
{
    std::vector<const char*> argv{"Rackhand"};
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    std::ostringstream out;
    std::ostringstream err;
    Outcome outcome;
    outcome.status = runCommandLine(static_cast<int>(argv.size()), argv.data(), out, err, [&outcome] {
        ++outcome.guiLaunches;
        return kGuiStatus;
    });
    outcome.out = out.str();
    outcome.err = err.str();
    return outcome;
}

std::string joined(const std::vector<std::string>& args)
{
    std::string text;
    for (const std::string& arg : args)
        text += (text.empty() ? "" : " ") + arg;
    return text.empty() ? std::string("(no arguments)") : text;
}

const std::string kHeader = "🎛️ Plugin Manager - Audio Plugin Management Tool\n" + std::string(50, '=') + '\n';

} // namespace

/// A small plug-in tree in the sandbox: folders with entries (a hidden file, a broken
/// link, a bundle with contents), an empty one, missing ones and a plain file where a
/// folder belongs.
class PluginManagerCommandTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        writeFile(sys("/Library/Audio/Plug-Ins/Components/Alpha.component/Contents/Info.plist"), "x");
        makeDir(sys("/Library/Audio/Plug-Ins/Components/Beta.component"));
        writeFile(sys("/Library/Audio/Plug-Ins/Components/readme.txt"), "not a plug-in, still counted");
        writeFile(sys("/Library/Audio/Plug-Ins/VST3/.DS_Store"), "hidden");
        makeDir(sys("/Library/Application Support/Avid/Audio/Plug-Ins"));
        writeFile(sys("/Library/Audio/Plug-Ins/CLAP/Nested.clap/Contents/one"), "1");
        writeFile(sys("/Library/Audio/Plug-Ins/CLAP/Nested.clap/Contents/two"), "2");
        writeFile(usr("/Library/Audio/Plug-Ins/Components/Mine.component"), "");
        makeDir(usr("/Library/Audio/Plug-Ins/VST3"));
        ASSERT_TRUE(QFile::link(usr("/nowhere/Gone.vst3"), usr("/Library/Audio/Plug-Ins/VST3/Gone.vst3")));
        writeFile(usr("/Library/Audio/Plug-Ins/CLAP"), "a file, not a folder");
    }

    std::string scanReport() const
    {
        const auto line = [](const QString& path, const std::string& rest) {
            return "📁 " + path.toStdString() + rest + '\n';
        };
        return "🔍 Scanning for audio plugins...\n" + line(sys("/Library/Audio/Plug-Ins/Components"), ": 3 plugins") +
               line(sys("/Library/Audio/Plug-Ins/VST3"), ": 1 plugins") +
               line(sys("/Library/Audio/Plug-Ins/VST"), ": Directory not found") +
               line(sys("/Library/Application Support/Avid/Audio/Plug-Ins"), ": 0 plugins") +
               line(sys("/Library/Audio/Plug-Ins/CLAP"), ": 1 plugins") +
               line(usr("/Library/Audio/Plug-Ins/Components"), ": 1 plugins") +
               line(usr("/Library/Audio/Plug-Ins/VST3"), ": 1 plugins") +
               line(usr("/Library/Audio/Plug-Ins/VST"), ": Directory not found") +
               line(usr("/Library/Application Support/Avid/Audio/Plug-Ins"), ": Directory not found") +
               "❌ Error scanning " + usr("/Library/Audio/Plug-Ins/CLAP").toStdString() + ": Not a directory\n" +
               "\n✅ Scan complete. Found 7 total plugins.\n";
    }

    /// Every entry below R and H with its size and modification time.
    QStringList treeSnapshot() const
    {
        QStringList entries;
        for (const QString& base : {root(), home()}) {
            QDirIterator it(base, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                it.next();
                const QFileInfo info = it.fileInfo();
                entries.append(info.filePath() + QLatin1Char(' ') + QString::number(info.size()) + QLatin1Char(' ') +
                               QString::number(info.lastModified().toMSecsSinceEpoch()));
            }
        }
        entries.sort();
        return entries;
    }
};

TEST_F(PluginManagerCommandTest, ReportTextsAndNothingOnDiskChanges)
{
    struct Row {
        std::vector<std::string> args;
        std::string expected;
    };
    const std::string notice = "⚠️ Plugin management functionality will be implemented in the GUI version\n"
                               "💡 Run 'PluginManager GUI' to launch the graphical interface\n";
    const std::string nameRequired = "❌ Plugin name required for enable/disable operations\n"
                                     "Use: --name <plugin-name>\n";
    const std::vector<Row> rows = {
        {{"cli-command"},
         kHeader + "Use --action <scan|list|enable|disable> to perform operations\n"
                   "Use --help for more information\n"
                   "\n💡 To launch the GUI interface, run:\n"
                   "   PluginManager GUI\n"},
        {{"cli-command", "--action", "SCAN"}, kHeader + scanReport()},
        {{"cli-command", "--action=scan", "--format", "VST3", "--name", "Ignored"}, kHeader + scanReport()},
        {{"cli-command", "--action", "list"}, kHeader + "📋 Listing audio plugins...\n" + scanReport()},
        {{"cli-command", "--action", "Foo"},
         kHeader + "❌ Unknown action: Foo\nAvailable actions: scan, list, enable, disable\n"},
        {{"cli-command", "--action", ""},
         kHeader + "❌ Unknown action: \nAvailable actions: scan, list, enable, disable\n"},
        {{"cli-command", "--action", "enable"}, kHeader + nameRequired},
        {{"cli-command", "--format", "VST3", "--action", "Disable"}, kHeader + nameRequired},
        {{"cli-command", "--action", "enable", "--name", "Pro-Q 3", "--format", "vst3"},
         kHeader + "Enabling plugin: Pro-Q 3\nFormat filter: vst3\n" + notice},
        {{"cli-command", "--action", "disable", "--name", "Alpha"}, kHeader + "Disabling plugin: Alpha\n" + notice},
        // A repeated option keeps its last value.
        {{"cli-command", "--action", "scan", "--action", "enable", "--name", "A"},
         kHeader + "Enabling plugin: A\n" + notice},
    };

    const QStringList before = treeSnapshot();
    for (const Row& row : rows) {
        SCOPED_TRACE(joined(row.args));
        const Outcome outcome = runArgs(row.args);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.out, row.expected);
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(outcome.guiLaunches, 0);
        EXPECT_EQ(treeSnapshot(), before);
    }
}

TEST_F(PluginManagerCommandTest, ParsingHelpVersionAndUsageErrors)
{
    struct Row {
        std::vector<std::string> args;
        int status;
        int guiLaunches;
        std::vector<std::string> outHas; // all must appear in out (empty list: out must be empty)
        std::vector<std::string> errHas; // all must appear in err (empty list: err must be empty)
    };
    const std::string launching = "🚀 Launching Rackhand GUI...\n";
    const std::vector<Row> rows = {
        {{}, kGuiStatus, 1, {launching}, {}},
        {{"gui-command"}, kGuiStatus, 1, {launching}, {}},
        {{"--version"}, 0, 0, {"2.4.0\n"}, {}},
        {{"--help"},
         0,
         0,
         {"Audio Plugin Management Tool", "A tool to manage audio plugins (AU, VST2, VST3, AAX, CLAP) on macOS",
          "cli-command", "Command-line interface for Rackhand", "gui-command", "Launch the graphical interface",
          "--version"},
         {}},
        {{"cli-command", "--help"},
         0,
         0,
         {"Command-line interface for Rackhand", "--action", "Action to perform (scan|list|enable|disable)", "--format",
          "Plugin format to filter by", "--name", "Plugin name to search for"},
         {}},
        {{"--bogus"}, kUsageErrorExitCode, 0, {}, {"--bogus", "Usage: plugin-manager"}},
        {{"cli-command", "--verbose"}, kUsageErrorExitCode, 0, {}, {"--verbose", "Usage: plugin-manager cli-command"}},
        {{"gui-command", "--action", "scan"},
         kUsageErrorExitCode,
         0,
         {},
         {"--action", "Usage: plugin-manager gui-command"}},
        {{"frobnicate"}, kUsageErrorExitCode, 0, {}, {"frobnicate", "Usage: plugin-manager"}},
        {{"cli-command", "--action"}, kUsageErrorExitCode, 0, {}, {"--action", "Usage: plugin-manager cli-command"}},
        // Long names only: there is no -a.
        {{"cli-command", "-a", "scan"}, kUsageErrorExitCode, 0, {}, {"-a"}},
        {{"cli-command", "gui-command"}, kUsageErrorExitCode, 0, {}, {"gui-command"}},
    };

    for (const Row& row : rows) {
        SCOPED_TRACE(joined(row.args));
        const Outcome outcome = runArgs(row.args);
        EXPECT_EQ(outcome.status, row.status);
        EXPECT_EQ(outcome.guiLaunches, row.guiLaunches);
        if (row.outHas.empty()) {
            EXPECT_EQ(outcome.out, "");
        }
        for (const std::string& text : row.outHas)
            EXPECT_NE(outcome.out.find(text), std::string::npos) << "missing in out: " << text << "\n" << outcome.out;
        if (row.errHas.empty()) {
            EXPECT_EQ(outcome.err, "");
        }
        for (const std::string& text : row.errHas)
            EXPECT_NE(outcome.err.find(text), std::string::npos) << "missing in err: " << text << "\n" << outcome.err;
    }
}

TEST_F(PluginManagerCommandTest, VersionIsExactlyTheVersionLine)
{
    EXPECT_EQ(runArgs({"--version"}).out, "2.4.0\n");
}

// The built program, run as a user would: the report reaches stdout byte for byte.
TEST_F(PluginManagerCommandTest, ProgramPrintsTheScanReport)
{
    // Test executables and the program share the build's bin folder.
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/Rackhand");
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("RACKHAND_SYSTEM_ROOT"), root());
    env.insert(QStringLiteral("HOME"), home());
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, {QStringLiteral("cli-command"), QStringLiteral("--action"), QStringLiteral("scan")});
    ASSERT_TRUE(process.waitForFinished(30000));

    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.readAllStandardOutput().toStdString(), kHeader + scanReport());
    EXPECT_EQ(process.readAllStandardError().toStdString(), "");
}
