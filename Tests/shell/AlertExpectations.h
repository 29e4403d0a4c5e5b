#pragma once

#include "Support/SandboxTest.h"
#include "widgets/Prompter.h"

/// Checks a two-button confirmation: its title and message, "Cancel" first with the
/// cancel role, then the confirming button. Call it inside ASSERT_NO_FATAL_FAILURE so a
/// wrong button count stops the test.
inline void expectConfirmation(const Prompter::Alert& alert, const QString& title, const QString& message,
                               const QString& confirm, Prompter::Role confirmRole)
{
    EXPECT_EQ(alert.title, title);
    EXPECT_EQ(alert.message, message);
    ASSERT_EQ(alert.buttons.size(), 2);
    EXPECT_EQ(alert.buttons[0].text, QStringLiteral("Cancel"));
    EXPECT_EQ(alert.buttons[0].role, Prompter::Role::cancel);
    EXPECT_EQ(alert.buttons[1].text, confirm);
    EXPECT_EQ(alert.buttons[1].role, confirmRole);
}
