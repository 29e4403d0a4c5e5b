#include "operations/BatchScript.h"

#include "Platform/Paths.h"
#include "Support/SandboxTest.h"
#include "catalogue/PluginModels.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class BatchScriptTest : public SandboxTest {};

TEST_F(BatchScriptTest, ScriptTextIsExact)
{
    const QList<BatchScript::Move> moves = {
        {QStringLiteral("/L/VST3/A.vst3"), QStringLiteral("/L/Disabled/VST3/A.vst3")},
        {QStringLiteral("/L/Disabled/VST3/It's.vst3"), QStringLiteral("/L/VST3/It's.vst3")},
    };
    const QString expected = QStringLiteral(
        "#!/bin/sh\n"
        "n=0\n"
        "trap '' PIPE; exec 9<\"$0\" && flock -s 9 2>/dev/null\n"
        "mkdir -p '/L/Disabled/VST3' && [ ! -L '/L/VST3/A.vst3' ] && [ ! -e '/L/Disabled/VST3/A.vst3' ] && "
        "[ ! -L '/L/Disabled/VST3/A.vst3' ] && mv -T '/L/VST3/A.vst3' '/L/Disabled/VST3/A.vst3' "
        "|| echo 'rackhand: item 1 failed' >&2\n"
        "n=$((n+1)) && printf '%d' $n 2>/dev/null > '/tmp/p'\n"
        "mkdir -p '/L/VST3' && [ ! -L '/L/Disabled/VST3/It'\"'\"'s.vst3' ] && [ ! -e '/L/VST3/It'\"'\"'s.vst3' ] && "
        "[ ! -L '/L/VST3/It'\"'\"'s.vst3' ] && mv -T '/L/Disabled/VST3/It'\"'\"'s.vst3' '/L/VST3/It'\"'\"'s.vst3' "
        "|| echo 'rackhand: item 2 failed' >&2\n"
        "n=$((n+1)) && printf '%d' $n 2>/dev/null > '/tmp/p'");
    EXPECT_EQ(BatchScript::scriptText(moves, QStringLiteral("/tmp/p")), expected);
    EXPECT_EQ(BatchScript::scriptText({}, QStringLiteral("/tmp/p")),
              QStringLiteral("#!/bin/sh\nn=0\ntrap '' PIPE; exec 9<\"$0\" && flock -s 9 2>/dev/null"));
}

TEST_F(BatchScriptTest, RunAndDeleteCommandsAreExact)
{
    // Read by the shell, not executed: a temporary folder mounted noexec cannot stop it.
    EXPECT_EQ(BatchScript::runCommand(QStringLiteral("/tmp/rackhand_batch_U.sh")),
              QStringLiteral("/bin/sh '/tmp/rackhand_batch_U.sh'"));
    EXPECT_EQ(BatchScript::deleteCommand({QStringLiteral("/a/X.vst3"), QStringLiteral("/b/It's.clap")}),
              QStringLiteral("rm -rf '/a/X.vst3' && rm -rf '/b/It'\"'\"'s.clap'"));
    EXPECT_EQ(BatchScript::deleteCommand({}), QString());
}

TEST_F(BatchScriptTest, TheScriptRunsFromAFolderMountedNoexec)
{
    // A tmpfs mounted noexec in a private mount namespace: the machine's own mounts stay as they are.
    const QString folder = root() + QStringLiteral("/noexec");
    makeDir(folder);
    const QString script = folder + QStringLiteral("/rackhand_batch_X.sh");
    const QString ran = root() + QStringLiteral("/ran");
    using DisabledLayout::shellQuote;
    auto inNoexecFolder = [&](const QString& then) {
        QProcess shell;
        shell.start(QStringLiteral("unshare"),
                    {QStringLiteral("--mount"), QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                     QStringLiteral("mount -t tmpfs -o noexec,mode=0700 rackhand-test ") + shellQuote(folder) +
                         QStringLiteral(" || exit 99\n") + then});
        shell.waitForFinished();
        return shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1;
    };
    if (inNoexecFolder(QStringLiteral("true")) != 0)
        GTEST_SKIP() << "no private mount namespace here";
    const QString write = QStringLiteral("printf '%s' ") + shellQuote("#!/bin/sh\nprintf ok > " + shellQuote(ran)) +
                          QStringLiteral(" > ") + shellQuote(script) + QStringLiteral(" && chmod 600 ") +
                          shellQuote(script) + u'\n';
    EXPECT_EQ(inNoexecFolder(write + BatchScript::runCommand(script)), 0);
    EXPECT_EQ(readFile(ran), QByteArray("ok"));
    EXPECT_TRUE(QDir(folder).isEmpty());
}

TEST_F(BatchScriptTest, AScriptWhoseWindowIsGoneGoesPastAFailingItem)
{
    // The window died: what the script writes to standard error goes into a pipe no one reads.
    const QString gone = root() + QStringLiteral("/VST3/Gone.vst3");
    const QString kept = root() + QStringLiteral("/VST3/Kept.vst3");
    makeDir(kept);
    const QString disabled = root() + QStringLiteral("/Disabled/VST3/");
    const QString progress = root() + QStringLiteral("/progress");
    const QString script = root() + QStringLiteral("/script.sh");
    writeFile(script, BatchScript::scriptText({{gone, disabled + QStringLiteral("Gone.vst3")},
                                               {kept, disabled + QStringLiteral("Kept.vst3")}},
                                              progress)
                          .toUtf8());
    int unread[2];
    ASSERT_EQ(::pipe(unread), 0);
    ::close(unread[0]);
    const QByteArray path = QFile::encodeName(script);
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGPIPE, SIG_DFL); // as a shell started by pkexec finds it
        ::dup2(unread[1], STDERR_FILENO);
        ::execl("/bin/sh", "sh", path.constData(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(unread[1]);
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_TRUE(QFileInfo(disabled + QStringLiteral("Kept.vst3")).isDir());
    EXPECT_FALSE(QFileInfo::exists(kept));
    EXPECT_EQ(readFile(progress), QByteArray("2"));
}

TEST_F(BatchScriptTest, TemporaryFileNamesShareTheRunId)
{
    const QUuid id = QUuid::createUuid();
    const QString u = uuidString(id);
    EXPECT_EQ(BatchScript::scriptPath(id), Paths::tempDir() + "/rackhand_batch_" + u + ".sh");
    EXPECT_EQ(BatchScript::progressPath(id), Paths::tempDir() + "/rackhand_progress_" + u + ".txt");
    EXPECT_EQ(u, u.toUpper());
}

TEST_F(BatchScriptTest, ProgressParsing)
{
    struct Row {
        const char* text;
        qsizetype count;
        std::optional<double> fraction;
    };
    const Row rows[] = {
        {"7", 14, 0.5},
        {" 7\n", 14, 0.5},
        {"+7", 14, 0.5},
        {"0", 14, 0.0},
        {"20", 14, 1.0},
        {"-3", 14, 0.0},
        {"abc", 14, std::nullopt},
        {"", 14, std::nullopt},
        {"7x", 14, std::nullopt},
        {"7 8", 14, std::nullopt},
        {"+", 14, std::nullopt},
        {"99999999999999999999999", 14, std::nullopt},
        {"3", 0, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(BatchScript::parseProgress(QByteArray(row.text), row.count), row.fraction);
    }
}

TEST_F(BatchScriptTest, PrivateFilesAreOwnerOnlyAndNeverReplaceAFile)
{
    const mode_t previous = ::umask(0);
    const QString path = Paths::tempDir() + QStringLiteral("/rackhand_progress_X.txt");
    EXPECT_EQ(BatchScript::writePrivateFile(path, "0"), QString());
    ::umask(previous);

    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(readFile(path), QByteArray("0"));

    EXPECT_FALSE(BatchScript::writePrivateFile(path, "planted").isEmpty());
    EXPECT_EQ(readFile(path), QByteArray("0"));
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".part")));
}

} // namespace
