#include "shell/HiddenKeySequence.h"
#include "shell/ShellFixture.h"
#include "uadcleanup/ui/UADCleanupSheet.h"

#include <QDeadlineTimer>
#include <QLabel>
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
