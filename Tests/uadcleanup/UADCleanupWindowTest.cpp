#include "shell/HiddenKeySequence.h"
#include "shell/ShellFixture.h"
#include "uadcleanup/ui/UADCleanupSheet.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using UADCleanupWindowTest = ShellTest;

TEST_F(UADCleanupWindowTest, TheHiddenSequenceOpensTheSheetAndEscapeClosesIt)
{
    view().show();
    view().onResetTapped();
    for (const QChar c : QStringLiteral("qxmvbzjr"))
        view().hiddenKeySequence().handleKeyText(QString(c));
    QDialog* dialog = view().uadCleanupSheet();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    auto* sheet = dialog->findChild<UADCleanupSheet*>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->state(), UADCleanupSheet::State::loading);

    // On this system the vendor's panel is never there: the run ends by saying so.
    QDeadlineTimer deadline(10000);
    while (uad().isLoading() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(sheet->state(), UADCleanupSheet::State::error);
    EXPECT_EQ(sheet->messageLabel()->text(), QString::fromUtf8(UADCleanupManager::kNotInstalledMessage));

    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_FALSE(uad().showCleanupSheet());
    EXPECT_EQ(view().uadCleanupSheet(), nullptr);
}

TEST_F(UADCleanupWindowTest, AFailedDisableShowsItsErrorOnceInTheSheet)
{
    const QString bundle = sys(QStringLiteral("/Library/Audio/Plug-Ins/VST3/UAD Pultec EQP-1A.vst3"));
    makeBundle(bundle);
    seed({record(QStringLiteral("UAD Pultec EQP-1A"), PluginFormat::vst3, bundle, true)});
    writeFile(usr(QStringLiteral("/Desktop/UADSystemProfile.txt")),
              "Plug-in Authorizations\nPultec EQP-1A: Demo expired\n");
    ASSERT_TRUE(showAndWaitForStartup());
    uad().setShowCleanupSheet(true);
    QDialog* dialog = view().uadCleanupSheet();
    ASSERT_NE(dialog, nullptr);
    auto* sheet = dialog->findChild<UADCleanupSheet*>();
    ASSERT_NE(sheet, nullptr);
    const auto settle = [this] {
        QDeadlineTimer deadline(10000);
        do
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        while (uad().isLoading() && !deadline.hasExpired());
        QCoreApplication::processEvents();
    };
    uad().retryWithExistingProfile();
    settle();
    ASSERT_EQ(sheet->state(), UADCleanupSheet::State::list);

    recordCommands();
    recorder->enqueue(RecordingRunner::failure(QStringLiteral("Request dismissed"), 126));
    sheet->disableButton()->click();
    settle();
    EXPECT_EQ(recorder->commands().size(), 1);
    ASSERT_EQ(sheet->state(), UADCleanupSheet::State::error);
    ASSERT_TRUE(view().pluginManager().error().has_value());
    EXPECT_EQ(sheet->messageLabel()->text(), view().pluginManager().error()->errorDescription());
    EXPECT_TRUE(prompter->alerts.isEmpty());

    // Outside the clean-up's batch the window still tells of an operation's failure.
    view().pluginManager().setError(PluginError::unknownError(QStringLiteral("elsewhere")));
    QCoreApplication::processEvents();
    EXPECT_EQ(prompter->alerts.size(), 1);
}
