#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>

#include <gtest/gtest.h>
#include <unistd.h>

/// Root reads and lists everything whatever the file modes, and CI runs as root. A test about
/// permissions therefore runs itself again as the unprivileged user "nobody" through setpriv.
namespace Unprivileged {

enum class Run {
    here,       // not root: run the test's body now
    elsewhere,  // root: the body ran in a child as nobody, and its outcome is reported here
    impossible, // root without setpriv, or still root in the child: skip
};

/// Decides where the current test's body runs and, as root, runs it as nobody in a child
/// process, failing this test when the child's run failed.
inline Run whereToRun()
{
    if (::geteuid() != 0)
        return Run::here;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (qEnvironmentVariableIsSet("RACKHAND_TEST_UNPRIVILEGED") || setpriv.isEmpty())
        return Run::impossible;
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    const QString filter =
        QString::fromUtf8(test->test_suite_name()) + QLatin1Char('.') + QString::fromUtf8(test->name());
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("RACKHAND_TEST_UNPRIVILEGED"), QStringLiteral("1"));
    env.insert(QStringLiteral("TMPDIR"), QStringLiteral("/tmp")); // the sandbox's own is root-only
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(setpriv,
                {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
                 QCoreApplication::applicationFilePath(), QStringLiteral("--gtest_filter=") + filter});
    if (!child.waitForFinished(60000)) {
        ADD_FAILURE() << "the unprivileged run did not finish";
        return Run::elsewhere;
    }
    const QString output = QString::fromUtf8(child.readAll());
    if (output.contains(QLatin1String("[  SKIPPED ]")) || !output.contains(QLatin1String("[  PASSED  ] 1 test"))) {
        EXPECT_FALSE(output.contains(QLatin1String("[  FAILED  ]"))) << output.toStdString();
        return output.contains(QLatin1String("[  FAILED  ]")) ? Run::elsewhere : Run::impossible;
    }
    return Run::elsewhere;
}

} // namespace Unprivileged

/// The first statement of a permission test's body.
#define RUN_UNPRIVILEGED()                                                                                             \
    switch (Unprivileged::whereToRun()) {                                                                              \
    case Unprivileged::Run::impossible:                                                                                \
        GTEST_SKIP() << "running as root without a way to run as an unprivileged user";                                \
    case Unprivileged::Run::elsewhere:                                                                                 \
        return;                                                                                                        \
    case Unprivileged::Run::here:                                                                                      \
        break;                                                                                                         \
    }
