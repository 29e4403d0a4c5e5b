#include "uadcleanup/UADCleanupFixture.h"
#include "uadcleanup/ui/UADCleanupSheet.h"

#include <QDialog>
#include <QImage>
#include <QVBoxLayout>

/// The clean-up sheet as the window shows it, over the fixture's small catalogue and profile.
class UADCleanupScreenshot : public UADCleanupTest {};

// Writes the picture to the file RACKHAND_UAD_SCREENSHOT names.
TEST_F(UADCleanupScreenshot, SheetOverASmallCatalogue)
{
    const QString target = qEnvironmentVariable("RACKHAND_UAD_SCREENSHOT");
    if (target.isEmpty())
        GTEST_SKIP() << "set RACKHAND_UAD_SCREENSHOT to a .png path";
    seed(uadCatalogue());
    writeProfile(QStringLiteral("/Desktop"), QStringLiteral("UADSystemProfile.txt"), profileText());
    manager().retryWithExistingProfile();
    ASSERT_TRUE(settle());
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("UAD Demo Cleanup"));
    dialog.setFixedSize(520, 500);
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new UADCleanupSheet(manager(), vm()));
    dialog.show();
    QCoreApplication::processEvents();
    const QImage image = dialog.grab().toImage();
    EXPECT_EQ(image.size() / image.devicePixelRatio(), QSize(520, 500));
    EXPECT_TRUE(image.save(target));
}
