#include "AppTheme.h"
#include "GlassStyle.h"
#include "Prompter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

TEST(AppThemeTest, FixedAndDerivedColours)
{
    EXPECT_EQ(AppTheme::accentPurple(), QColor::fromRgbF(0.6f, 0.4f, 0.9f));
    EXPECT_EQ(AppTheme::statusDisabled().green(), AppTheme::statusDisabled().blue());
    const QColor primary = QApplication::palette().color(QPalette::WindowText);
    EXPECT_EQ(AppTheme::textPrimary(), primary);
    EXPECT_EQ(AppTheme::textTertiary().rgb(), primary.rgb());
    EXPECT_NEAR(AppTheme::textTertiary().alphaF(), 0.6, 0.01);
    EXPECT_NEAR(AppTheme::glassBg().alphaF(), 0.08, 0.01);
    EXPECT_NEAR(AppTheme::glassBorder().alphaF(), 0.15, 0.01);
    // The shadow does not follow the appearance.
    EXPECT_EQ(AppTheme::glassShadow().rgb(), QColor(Qt::black).rgb());
    EXPECT_NEAR(AppTheme::glassShadow().alphaF(), 0.3, 0.01);
    EXPECT_EQ(AppTheme::brandPink(), QColor(221, 72, 116));
}

TEST(GlassStyleTest, EachSurfaceDrawsItsFallbackColours)
{
    const QColor tint = AppTheme::accentBlue();
    GlassSurface* card = liquidGlassCard(new QLabel("c"), 8);
    EXPECT_EQ(card->fillColor(), AppTheme::glassBg());
    EXPECT_EQ(card->shadowRadius(), 8);
    EXPECT_EQ(card->shadowOffsetY(), 4);

    GlassSurface* tinted = liquidGlassTinted(new QLabel("t"), tint, 0);
    EXPECT_NEAR(tinted->fillColor().alphaF(), 0.1, 0.01);
    EXPECT_NEAR(tinted->strokeColor().alphaF(), 0.25, 0.01);
    EXPECT_FALSE(tinted->shadowColor().isValid()); // never a shadow
    EXPECT_EQ(tinted->contentsMargins(), QMargins());

    GlassSurface* conditional = liquidGlassConditional(new QLabel("k"), false, tint, 6);
    EXPECT_EQ(conditional->fillColor(), card->fillColor());
    EXPECT_EQ(conditional->strokeColor(), card->strokeColor());
    EXPECT_EQ(conditional->shadowRadius(), 6);
    EXPECT_EQ(conditional->shadowOffsetY(), 3);
    conditional->setActive(true);
    EXPECT_NEAR(conditional->fillColor().alphaF(), 0.15, 0.01);
    EXPECT_NEAR(conditional->strokeColor().alphaF(), 0.4, 0.01);
    EXPECT_NEAR(conditional->shadowColor().alphaF(), 0.25, 0.01);
    EXPECT_EQ(conditional->fillColor().rgb(), tint.rgb());

    // Painting does not fail at any size, square corners included.
    for (GlassSurface* s : {card, tinted, conditional}) {
        s->resize(120, 40);
        EXPECT_FALSE(s->grab().isNull());
        delete s;
    }
}

// A card on a light window is a faint wash with a soft shadow outside it: the shadow
// never shows through the translucent fill, and it fades out before the widget's edge.
TEST(GlassStyleTest, CardsReadAsFaintPanelsWithASoftShadow)
{
    const QColor window(239, 239, 239);
    const auto over = [&window](const QColor& c) {
        const double a = c.alphaF();
        return QColor::fromRgbF(static_cast<float>(c.redF() * a + window.redF() * (1 - a)),
                                static_cast<float>(c.greenF() * a + window.greenF() * (1 - a)),
                                static_cast<float>(c.blueF() * a + window.blueF() * (1 - a)));
    };
    for (const auto& [kind, radius] : QList<std::pair<GlassSurface::Kind, qreal>>{
             {GlassSurface::Kind::card, 12}, {GlassSurface::Kind::card, 0}, {GlassSurface::Kind::conditional, 10}}) {
        SCOPED_TRACE(static_cast<int>(kind) * 100 + static_cast<int>(radius));
        GlassSurface surface;
        surface.setKind(kind);
        surface.setCornerRadius(radius);
        surface.resize(240, 60);
        QImage image(surface.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(window);
        surface.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);

        const QColor inside = image.pixelColor(120, 30);
        const QColor expected = over(surface.fillColor());
        EXPECT_NEAR(inside.red(), expected.red(), 2);
        EXPECT_NEAR(inside.green(), expected.green(), 2);

        // Below the shape: a shade that lightens towards the edge and is never heavy.
        const int shapeBottom = surface.height() - surface.contentsMargins().bottom();
        ASSERT_GT(surface.contentsMargins().bottom(), 0);
        int previous = 0;
        for (int y = shapeBottom; y < surface.height(); ++y) {
            const int shade = window.red() - image.pixelColor(120, y).red();
            EXPECT_LE(shade, static_cast<int>(0.3 * window.red())) << "row " << y;
            if (y > shapeBottom) {
                EXPECT_LE(shade, previous) << "row " << y;
            }
            previous = shade;
        }
        EXPECT_LE(previous, 6); // the last row has all but faded out
    }
}

TEST(GlassStyleTest, ButtonsArePaddedAndScaleWhilePressed)
{
    SidebarItemButton row(QStringLiteral("Profiles"));
    PurplePressButton small(QStringLiteral("Scan"));
    const QFontMetrics fm(row.font());
    EXPECT_EQ(row.sizeHint().height(), fm.height() + 16);
    EXPECT_EQ(row.sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(small.sizeHint().height(), QFontMetrics(small.font()).height() + 12);
    EXPECT_LT(small.font().pointSizeF(), row.font().pointSizeF());
    row.setSelected(true);
    EXPECT_TRUE(row.isSelected());
    row.resize(200, row.sizeHint().height());
    const QImage before = row.grab().toImage();
    QTest::mousePress(&row, Qt::LeftButton);
    QTest::qWait(250); // the 0.15 s press animation
    const QImage pressed = row.grab().toImage();
    QTest::mouseRelease(&row, Qt::LeftButton);
    EXPECT_NE(before, pressed);
}

TEST(PrompterTest, ScriptedAnswersAndDismissalGoToTheCancelButton)
{
    ScriptedPrompter prompter;
    const Prompter::Alert alert{QStringLiteral("T"), QStringLiteral("M"),
                                {{QStringLiteral("Delete"), Prompter::Role::destructive},
                                 {QStringLiteral("Cancel"), Prompter::Role::cancel}}};
    EXPECT_EQ(prompter.ask(nullptr, alert), 1); // nothing queued: dismissed
    prompter.nextAnswers = {0};
    EXPECT_EQ(prompter.ask(nullptr, alert), 0);
    EXPECT_EQ(prompter.alerts.size(), 2);
    EXPECT_EQ(prompter.askText(nullptr, {}), std::nullopt);
    prompter.nextTexts = {QStringLiteral("Live")};
    EXPECT_EQ(prompter.askText(nullptr, {}), QStringLiteral("Live"));
    prompter.nextFiles = {QStringLiteral("/tmp/x.pdf")};
    EXPECT_EQ(prompter.chooseSaveFile(nullptr, QStringLiteral("Export"), QStringLiteral("x.pdf"), QString()),
              QStringLiteral("/tmp/x.pdf"));
    EXPECT_EQ(prompter.fileTitles, QStringList{QStringLiteral("Export")});

    auto installed = std::make_shared<ScriptedPrompter>();
    Prompts::setCurrent(installed);
    EXPECT_EQ(&Prompts::current(), installed.get());
    Prompts::setCurrent(nullptr);
}

TEST(PrompterTest, TheRealDialogReturnsTheIndexOfTheClickedButton)
{
    Prompts::setCurrent(nullptr);
    const Prompter::Alert alert{QStringLiteral("⚠️ Permanently Delete Plugins"), QStringLiteral("Sure?"),
                                {{QStringLiteral("Cancel"), Prompter::Role::cancel},
                                 {QStringLiteral("Delete Permanently"), Prompter::Role::destructive}}};
    for (const auto& [click, expected] : QList<std::pair<QString, int>>{{"Delete Permanently", 1}, {"", 0}}) {
        QTimer::singleShot(50, qApp, [click] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text(), QStringLiteral("⚠️ Permanently Delete Plugins"));
            // Return never confirms a destructive choice.
            EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("Cancel"));
            if (click.isEmpty()) {
                box->reject(); // Escape or the window's close button
                return;
            }
            for (QAbstractButton* b : box->buttons()) {
                if (b->text() == click)
                    b->click();
            }
        });
        EXPECT_EQ(Prompts::current().ask(nullptr, alert), expected);
    }
}
