#include "Support/Eventually.h"
#include "shell/HiddenKeySequence.h"
#include "shell/ShellFixture.h"
#include "uadcleanup/ui/UADCleanupSheet.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

class UADCleanupWindowTest : public ShellTest {
protected:
    /// The window over one enabled UAD bundle and `profile` on the Desktop, its sheet open.
    void openSheetOverOneBundle(const QByteArray& profile)
    {
        const QString bundle = sys(QStringLiteral("/Library/Audio/Plug-Ins/VST3/UAD Pultec EQP-1A.vst3"));
        makeBundle(bundle);
        seed({record(QStringLiteral("UAD Pultec EQP-1A"), PluginFormat::vst3, bundle, true)});
        writeFile(usr(QStringLiteral("/Desktop/UADSystemProfile.txt")), profile);
        ASSERT_TRUE(showAndWaitForStartup());
        uad().setShowCleanupSheet(true);
        dialog = view().uadCleanupSheet();
        ASSERT_NE(dialog, nullptr);
        sheet = dialog->findChild<UADCleanupSheet*>();
        ASSERT_NE(sheet, nullptr);
    }

    QPointer<QDialog> dialog;
    UADCleanupSheet* sheet = nullptr;
};

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
    ASSERT_NO_FATAL_FAILURE(openSheetOverOneBundle("Plug-in Authorizations\nPultec EQP-1A: Demo expired\n"));
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

// In the window the sheet sits in a dialog, whose default-button logic does not reach the
// sheet's buttons: Enter and Return still press the focused one, and Escape still closes.
TEST_F(UADCleanupWindowTest, EnterPressesTheFocusedButtonOfTheSheet)
{
    ASSERT_NO_FATAL_FAILURE(
        openSheetOverOneBundle("Plug-in Authorizations\nPultec EQP-1A: Demo expired\nLA-2A: Demo expired\n"));
    uad().retryWithExistingProfile();
    RACKHAND_ASSERT_EVENTUALLY(!uad().isLoading(), 10000);
    QCoreApplication::processEvents();
    ASSERT_EQ(sheet->state(), UADCleanupSheet::State::list);
    ASSERT_EQ(uad().selectedCount(), 2);
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));

    const auto press = [](QWidget* button, Qt::Key key) {
        button->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    };
    QAbstractButton* row = sheet->row(uad().demoPlugins().first().id);
    ASSERT_NE(row, nullptr);
    press(row, Qt::Key_Return);
    EXPECT_EQ(uad().selectedCount(), 1);
    press(sheet->noneButton(), Qt::Key_Enter);
    EXPECT_EQ(uad().selectedCount(), 0);
    press(sheet->allDemosButton(), Qt::Key_Return);
    EXPECT_EQ(uad().selectedCount(), 2);
    // A disabled button takes no press, and the dialog does not close instead.
    press(sheet->noneButton(), Qt::Key_Return);
    press(sheet->disableButton(), Qt::Key_Return);
    EXPECT_EQ(sheet->state(), UADCleanupSheet::State::list);
    EXPECT_TRUE(uad().showCleanupSheet());

    press(sheet->cancelButton(), Qt::Key_Return);
    EXPECT_FALSE(uad().showCleanupSheet());
    EXPECT_EQ(view().uadCleanupSheet(), nullptr);
}
