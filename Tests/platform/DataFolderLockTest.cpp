#include "Platform/DataFolderLock.h"

#include "Support/SandboxTest.h"

#include <QProcess>

namespace {

class DataFolderLockTest : public SandboxTest {};

TEST_F(DataFolderLockTest, OneHolderAtATimeAndNoneAfterItEnds)
{
    QProcess child;
    {
        const DataFolderLock first(dataDir());
        ASSERT_EQ(first.state(), DataFolderLock::State::held) << first.reason().toStdString();
        EXPECT_EQ(DataFolderLock(dataDir()).state(), DataFolderLock::State::heldElsewhere);
        // A program started meanwhile (a batch script, the helper) does not carry the lock on.
        child.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        ASSERT_TRUE(child.waitForStarted());
    }
    EXPECT_EQ(DataFolderLock(dataDir()).state(), DataFolderLock::State::held);
    child.kill();
    child.waitForFinished();
}

TEST_F(DataFolderLockTest, AFolderThatCannotBeMadeGivesNoLockAndSaysWhy)
{
    writeFile(dataDir(), "a file where the folder should be");
    const DataFolderLock lock(dataDir());
    EXPECT_EQ(lock.state(), DataFolderLock::State::unavailable);
    EXPECT_FALSE(lock.reason().isEmpty());
}

} // namespace
