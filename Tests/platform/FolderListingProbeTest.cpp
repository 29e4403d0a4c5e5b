#include "Platform/linux/FolderListingProbe.h"

#include "Support/SandboxTest.h"
#include "Support/Unprivileged.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class FolderListingProbeTest : public SandboxTest {
protected:
    static void setMode(const QString& path, mode_t mode)
    {
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
    }
};

} // namespace

TEST_F(FolderListingProbeTest, ListableOrAbsentFoldersMeanAccess)
{
    FolderListingProbe probe;
    EXPECT_TRUE(probe.hasAccess()); // nothing installed yet: nothing is guarded

    makeDir(sys("/Library/Audio/Plug-Ins/VST3/Some.vst3"));
    makeDir(usr("/Library/Audio/Plug-Ins/Components"));
    makeDir(sys("/Library/Audio/Plug-Ins/Disabled/VST3"));
    makeDir(sys("/Applications/Waves/Plug-Ins V15/Disabled"));
    makeDir(sys("/Applications/Waves/Other"));
    writeFile(sys("/Library/Audio/Plug-Ins/CLAP"), "a file where a folder belongs");
    EXPECT_TRUE(probe.hasAccess());

    const QStringList guarded = FolderListingProbe::guardedFolders();
    for (const QString& folder :
         {sys("/Library/Audio/Plug-Ins/VST3"), usr("/Library/Audio/Plug-Ins/VST3"),
          sys("/Library/Application Support/Avid/Audio/Plug-Ins (Unused)"), sys("/Library/Audio/Plug-Ins/Disabled"),
          sys("/Library/Audio/Plug-Ins/Disabled/VST3"), sys("/Applications/Waves/Plug-Ins V15/Disabled")})
        EXPECT_TRUE(guarded.contains(folder)) << folder.toStdString();
    EXPECT_FALSE(guarded.contains(sys("/Applications/Waves/Other")));
    EXPECT_FALSE(guarded.contains(sys("/Library/Audio/Plug-Ins/VST3/Some.vst3"))); // bundles are not walked
    for (const QString& folder : guarded)
        EXPECT_TRUE(folder.startsWith(root()) || folder.startsWith(home())) << folder.toStdString();
}

TEST_F(FolderListingProbeTest, AFolderThatCannotBeListedMeansNoAccess)
{
    RUN_UNPRIVILEGED();
    struct Row {
        const char* name;
        QString locked;     // made unreadable and unsearchable
        QString underneath; // created first, so the locked folder guards something
    };
    const Row rows[] = {
        {"system plug-in folder", sys("/Library/Audio/Plug-Ins/VST3"), sys("/Library/Audio/Plug-Ins/VST3")},
        {"home plug-in folder", usr("/Library/Audio/Plug-Ins/Components"), usr("/Library/Audio/Plug-Ins/Components")},
        {"a format's disabled folder", sys("/Library/Audio/Plug-Ins/Disabled/VST"),
         sys("/Library/Audio/Plug-Ins/Disabled/VST")},
        {"a Waves disabled folder", sys("/Applications/Waves/Plug-Ins V14/Disabled"),
         sys("/Applications/Waves/Plug-Ins V14/Disabled")},
        {"the folder above a plug-in folder", sys("/Library/Audio"), sys("/Library/Audio/Plug-Ins/VST3")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        makeDir(row.underneath);
        setMode(row.locked, 0);
        EXPECT_FALSE(FolderListingProbe().hasAccess());
        setMode(row.locked, 0755);
        EXPECT_TRUE(FolderListingProbe().hasAccess());
    }
}
