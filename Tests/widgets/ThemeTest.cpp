#include "shell/AccessibleWalk.h"
#include "widgets/AppTheme.h"
#include "widgets/GlassStyle.h"
#include "widgets/Prompter.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <memory>
#include <vector>

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

TEST(AppThemeTest, OpacityAndBlending)
{
    const QColor half = AppTheme::withAlpha(QColor(255, 149, 0), 0.5);
    EXPECT_EQ(half.rgb(), QColor(255, 149, 0).rgb());
    EXPECT_NEAR(half.alphaF(), 0.5, 0.01);
    EXPECT_NEAR(AppTheme::withAlpha(half, 0.5).alphaF(), 0.25, 0.01);
    // Springy animations overshoot: the opacity stays within 0 to 1 instead of being refused.
    EXPECT_EQ(AppTheme::withAlpha(half, 2.5).alpha(), 255);
    EXPECT_EQ(AppTheme::withAlpha(QColor(Qt::white), -0.2).alpha(), 0);
    EXPECT_EQ(AppTheme::withAlpha(QColor(Qt::white), 1.03).alpha(), 255);

    const QColor from(0, 0, 0, 0);
    const QColor to(200, 100, 50, 255);
    EXPECT_EQ(AppTheme::mix(from, to, 0), from);
    EXPECT_EQ(AppTheme::mix(from, to, 1), to);
    const QColor middle = AppTheme::mix(from, to, 0.5);
    EXPECT_NEAR(middle.red(), 100, 1);
    EXPECT_NEAR(middle.green(), 50, 1);
    EXPECT_NEAR(middle.alpha(), 128, 1);
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
    const Prompter::Alert alert{
        QStringLiteral("T"),
        QStringLiteral("M"),
        {{QStringLiteral("Delete"), Prompter::Role::destructive}, {QStringLiteral("Cancel"), Prompter::Role::cancel}}};
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

    // confirm() asks "Cancel" first and is true only for the confirming button; inform() has one "OK".
    prompter.nextAnswers = {1, 0};
    EXPECT_TRUE(prompter.confirm(nullptr, QStringLiteral("T"), QStringLiteral("M"), QStringLiteral("Delete"),
                                 Prompter::Role::destructive));
    EXPECT_FALSE(prompter.confirm(nullptr, QStringLiteral("T"), QStringLiteral("M"), QStringLiteral("Delete"),
                                  Prompter::Role::destructive));
    prompter.inform(nullptr, QStringLiteral("Done"), QStringLiteral("M"));
    ASSERT_EQ(prompter.alerts.size(), 5);
    EXPECT_EQ(prompter.alerts[2].buttons.size(), 2);
    EXPECT_EQ(prompter.alerts[2].buttons[0].text, QStringLiteral("Cancel"));
    EXPECT_EQ(prompter.alerts[2].buttons[1].role, Prompter::Role::destructive);
    ASSERT_EQ(prompter.alerts[4].buttons.size(), 1);
    EXPECT_EQ(prompter.alerts[4].buttons[0].text, QStringLiteral("OK"));
}

TEST(PrompterTest, TheRealDialogReturnsTheIndexOfTheClickedButton)
{
    const std::shared_ptr<Prompter> dialogs = Prompts::makeDialogPrompter();
    const Prompter::Alert alert{QStringLiteral("⚠️ Permanently Delete Plugins"),
                                QStringLiteral("Sure?"),
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
        EXPECT_EQ(dialogs->ask(nullptr, alert), expected);
    }
}

namespace {

// A style that only changes the button box's layout policy, to show a dialog as each
// platform would order it.
class ButtonLayoutStyle final : public QProxyStyle {
public:
    explicit ButtonLayoutStyle(QDialogButtonBox::ButtonLayout layout) : m_layout(layout) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_DialogButtonLayout)
            return m_layout;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

private:
    QDialogButtonBox::ButtonLayout m_layout;
};

QPushButton* buttonWithText(QWidget* dialog, const QString& text)
{
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

// Runs `inspect` on the modal dialog once it is up; `inspect` must close it.
template <typename Dialog, typename Inspect>
void whenShown(Inspect inspect)
{
    QTimer::singleShot(50, qApp, [inspect] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        inspect(dialog);
    });
}

} // namespace

// The buttons read in the order the alert gives them, whatever the platform's button box
// would do with their roles, and the message gets a wide box.
TEST(PrompterTest, TheRealAlertKeepsItsButtonOrderOnEveryPlatformLayout)
{
    const std::shared_ptr<Prompter> dialogs = Prompts::makeDialogPrompter();
    const QString message = QStringLiteral("You are about to permanently delete 63 plugin(s) from your system. This "
                                           "action CANNOT be undone. The plugin(s) will need to be reinstalled.");
    const Prompter::Alert alert{QStringLiteral("⚠️ Permanently Delete Plugins"),
                                message,
                                {{QStringLiteral("Cancel"), Prompter::Role::cancel},
                                 {QStringLiteral("Delete Permanently"), Prompter::Role::destructive}}};
    const QList<QDialogButtonBox::ButtonLayout> layouts = {QDialogButtonBox::WinLayout, QDialogButtonBox::MacLayout,
                                                           QDialogButtonBox::KdeLayout, QDialogButtonBox::GnomeLayout,
                                                           QDialogButtonBox::AndroidLayout};
    whenShown<QMessageBox>([&layouts](QMessageBox* box) {
        QPushButton* cancel = buttonWithText(box, QStringLiteral("Cancel"));
        QPushButton* destroy = buttonWithText(box, QStringLiteral("Delete Permanently"));
        auto* buttonBox = box->findChild<QDialogButtonBox*>();
        if (cancel && destroy && buttonBox) {
            EXPECT_EQ(box->icon(), QMessageBox::Warning);
            EXPECT_EQ(box->defaultButton(), cancel);
            EXPECT_EQ(box->escapeButton(), cancel);
            EXPECT_GE(box->width(), 420);
            // The message takes at most three lines (the label has margins of its own).
            if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
                EXPECT_LE(label->contentsRect().height(), 3 * label->fontMetrics().lineSpacing() + 2);
            else
                ADD_FAILURE() << "no message label";

            EXPECT_LT(cancel->mapTo(box, QPoint()).x(), destroy->mapTo(box, QPoint()).x());
            // A plain Ok/Cancel box does follow the policy (so the policies below do apply).
            QDialogButtonBox control(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
            QList<bool> okFirst;
            std::vector<std::unique_ptr<ButtonLayoutStyle>> styles;
            for (const QDialogButtonBox::ButtonLayout layout : layouts) {
                SCOPED_TRACE(static_cast<int>(layout));
                styles.push_back(std::make_unique<ButtonLayoutStyle>(layout));
                buttonBox->setStyle(styles.back().get());
                buttonBox->layout()->activate();
                EXPECT_LT(cancel->x(), destroy->x());
                control.setStyle(styles.back().get());
                control.resize(300, 40);
                control.layout()->activate();
                okFirst.append(control.button(QDialogButtonBox::Ok)->x() <
                               control.button(QDialogButtonBox::Cancel)->x());
            }
            EXPECT_TRUE(okFirst.contains(true) && okFirst.contains(false));
            buttonBox->setStyle(nullptr);
            control.setStyle(nullptr);
        } else {
            ADD_FAILURE() << "the alert lacks its buttons";
        }
        box->reject(); // always close, or the test would hang
    });
    EXPECT_EQ(dialogs->ask(nullptr, alert), 0);
}

TEST(PrompterTest, TheRealAlertsIconAndReturnKeyFollowTheirKind)
{
    const std::shared_ptr<Prompter> dialogs = Prompts::makeDialogPrompter();
    struct Row {
        Prompter::Alert alert;
        QMessageBox::Icon icon;
        QString returnButton;
    };
    const QList<Row> rows = {
        {{QStringLiteral("Delete Profile"),
          QStringLiteral("Sure?"),
          {{QStringLiteral("Cancel"), Prompter::Role::cancel},
           {QStringLiteral("Delete"), Prompter::Role::destructive}}},
         QMessageBox::Warning,
         QStringLiteral("Cancel")},
        {{QStringLiteral("Error"),
          QStringLiteral("The move failed."),
          {{QStringLiteral("OK"), Prompter::Role::cancel}}},
         QMessageBox::Critical,
         QStringLiteral("OK")},
        {{QStringLiteral("Update Profile"),
          QStringLiteral("Replace its plug-ins?"),
          {{QStringLiteral("Cancel"), Prompter::Role::cancel}, {QStringLiteral("Update"), Prompter::Role::normal}}},
         QMessageBox::Information,
         QStringLiteral("Update")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.alert.title.toStdString());
        whenShown<QMessageBox>([&row](QMessageBox* box) {
            EXPECT_EQ(box->icon(), row.icon);
            EXPECT_GE(box->width(), 420);
            QPushButton* expected = buttonWithText(box, row.returnButton);
            EXPECT_NE(expected, nullptr);
            EXPECT_EQ(box->defaultButton(), expected);
            QTest::keyClick(box, Qt::Key_Return);
            if (box->isVisible())
                box->reject();
        });
        const int chosen = dialogs->ask(nullptr, row.alert);
        EXPECT_EQ(row.alert.buttons.value(chosen).text, row.returnButton);
    }
}

TEST(PrompterTest, TheRealNameQuestionCannotBeConfirmedWhileBlank)
{
    const std::shared_ptr<Prompter> dialogs = Prompts::makeDialogPrompter();
    const Prompter::TextRequest request{QStringLiteral("Save Profile"), QStringLiteral("Enter a name"),
                                        QStringLiteral("Profile name"), QString(), QStringLiteral("Save")};
    whenShown<QDialog>([](QDialog* dialog) {
        QPushButton* save = buttonWithText(dialog, QStringLiteral("Save"));
        QPushButton* cancel = buttonWithText(dialog, QStringLiteral("Cancel"));
        auto* edit = dialog->findChild<QLineEdit*>();
        if (save && cancel && edit) {
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Save Profile"));
            EXPECT_EQ(edit->placeholderText(), QStringLiteral("Profile name"));
            EXPECT_LT(cancel->mapTo(dialog, QPoint()).x(), save->mapTo(dialog, QPoint()).x());
            EXPECT_GE(dialog->width(), 420);
            EXPECT_FALSE(save->isEnabled());
            QTest::keyClicks(edit, QStringLiteral(" \t "));
            EXPECT_FALSE(save->isEnabled());
            QTest::keyClick(edit, Qt::Key_Return); // Return cannot confirm a blank name either
            EXPECT_TRUE(dialog->isVisible());
            edit->setText(QStringLiteral(" Mix "));
            EXPECT_TRUE(save->isEnabled());
            save->click();
        } else {
            ADD_FAILURE() << "the dialog lacks its line edit or buttons";
            dialog->reject();
        }
    });
    EXPECT_EQ(dialogs->askText(nullptr, request), std::optional<QString>(QStringLiteral(" Mix ")));

    // Return confirms a name; Escape cancels.
    whenShown<QDialog>([](QDialog* dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>(), QStringLiteral("Live"));
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        if (dialog->isVisible())
            dialog->reject();
    });
    EXPECT_EQ(dialogs->askText(nullptr, request), std::optional<QString>(QStringLiteral("Live")));
    whenShown<QDialog>([](QDialog* dialog) {
        QTest::keyClick(dialog, Qt::Key_Escape);
        if (dialog->isVisible())
            dialog->reject();
    });
    EXPECT_EQ(dialogs->askText(nullptr, request), std::nullopt);
}

// A sheet may have no title bar: the name question shows its title inside, above its message,
// and nothing in it that takes the focus or an action is nameless.
TEST(PrompterTest, TheRealNameQuestionShowsItsTitleAsItsHeading)
{
    const std::shared_ptr<Prompter> dialogs = Prompts::makeDialogPrompter();
    for (const char* title : {"Save Profile", "Create Profile from Selection"}) {
        SCOPED_TRACE(title);
        const Prompter::TextRequest request{QString::fromLatin1(title), QStringLiteral("Enter a name"),
                                            QStringLiteral("Profile name"), QString(), QStringLiteral("Save")};
        whenShown<QDialog>([title](QDialog* dialog) {
            QLabel* heading = nullptr;
            QLabel* message = nullptr;
            for (QLabel* label : dialog->findChildren<QLabel*>()) {
                if (label->text() == QLatin1String(title))
                    heading = label;
                if (label->text() == QLatin1String("Enter a name"))
                    message = label;
            }
            EXPECT_NE(heading, nullptr);
            if (heading && message) {
                EXPECT_TRUE(heading->isVisible());
                EXPECT_LT(heading->mapTo(dialog, QPoint()).y(), message->mapTo(dialog, QPoint()).y());
                EXPECT_GT(heading->font().pointSizeF(), message->font().pointSizeF());
            }
            EXPECT_EQ(namelessControls(dialog), QStringList());
            dialog->reject();
        });
        EXPECT_EQ(dialogs->askText(nullptr, request), std::nullopt);
    }
}

// Every button of a real alert has a name.
TEST(PrompterTest, TheRealAlertHasNoNamelessControls)
{
    const std::shared_ptr<Prompter> dialogs = Prompts::makeDialogPrompter();
    whenShown<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(namelessControls(box), QStringList());
        box->reject();
    });
    dialogs->confirm(nullptr, QStringLiteral("Confirm Bulk Action"),
                     QStringLiteral("You are about to enable 11 plugins."), QStringLiteral("Continue"),
                     Prompter::Role::destructive);
}
