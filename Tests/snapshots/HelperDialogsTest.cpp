#include "widgets/Prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The visible button texts of a dialog from left to right.
QStringList buttonsLeftToRight(QWidget* dialog)
{
    QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
    std::sort(buttons.begin(), buttons.end(), [dialog](QPushButton* a, QPushButton* b) {
        return a->mapTo(dialog, QPoint()).x() < b->mapTo(dialog, QPoint()).x();
    });
    QStringList texts;
    for (QPushButton* button : buttons) {
        if (button->isVisible())
            texts << button->text();
    }
    return texts;
}

void clickButton(QWidget* dialog, const QString& text)
{
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (button->text() == text)
            button->click();
    }
}

TEST(HelperDialogsTest, AlertsShowTheirStyleAndTheConfirmingButtonFirst)
{
    const std::shared_ptr<Prompter> dialogs = Prompts::makeDialogPrompter();
    const struct {
        Prompter::Style style;
        QMessageBox::Icon icon;
    } cases[] = {{Prompter::Style::warning, QMessageBox::Warning}, {Prompter::Style::critical, QMessageBox::Critical}};
    for (const auto& c : cases) {
        const Prompter::Alert alert{
            QStringLiteral("Reset Logic Pro Preferences?"),
            QStringLiteral("Sure?"),
            {{QStringLiteral("Reset"), Prompter::Role::normal}, {QStringLiteral("Cancel"), Prompter::Role::cancel}},
            c.style};
        QTimer::singleShot(50, qApp, [&c] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->icon(), c.icon);
            EXPECT_EQ(buttonsLeftToRight(box), (QStringList{"Reset", "Cancel"}));
            EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("Reset"));
            // The title stands out from the informative text, as the label prompt's heading does.
            const QList<QLabel*> labels = box->findChildren<QLabel*>();
            const auto title = std::find_if(labels.cbegin(), labels.cend(), [](const QLabel* label) {
                return label->text() == QStringLiteral("Reset Logic Pro Preferences?");
            });
            ASSERT_NE(title, labels.cend());
            EXPECT_TRUE((*title)->font().bold());
            clickButton(box, QStringLiteral("Reset"));
        });
        EXPECT_EQ(dialogs->ask(nullptr, alert), 0);
    }
}

TEST(HelperDialogsTest, TheLabelPromptPutsSaveFirstAndAcceptsAnEmptyLabel)
{
    const std::shared_ptr<Prompter> dialogs = Prompts::makeDialogPrompter();
    Prompter::TextRequest request;
    request.title = QStringLiteral("Name This Snapshot");
    request.message = QStringLiteral("Enter a label for this Logic Pro snapshot.");
    request.placeholder = QStringLiteral("Snapshot label");
    request.confirmText = QStringLiteral("Save");
    request.requireNonBlank = false;
    request.confirmFirst = true;
    request.maxLength = 64;
    QTimer::singleShot(50, qApp, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(buttonsLeftToRight(dialog), (QStringList{"Save", "Cancel"}));
        auto* edit = dialog->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(dialog->focusWidget(), edit); // typing goes into the field at once
        EXPECT_EQ(edit->accessibleName(), QStringLiteral("Snapshot label"));
        EXPECT_EQ(edit->maxLength(), 64);
        clickButton(dialog, QStringLiteral("Save"));
    });
    EXPECT_EQ(dialogs->askText(nullptr, request), QString());
}

} // namespace
