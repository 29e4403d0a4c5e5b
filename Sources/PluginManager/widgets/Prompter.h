#pragma once

#include <QList>
#include <QString>

#include <memory>
#include <optional>

class QWidget;

/// Every modal question of the window goes through here, so tests answer in advance
/// and never block on a real dialog.
class Prompter {
public:
    enum class Role { normal, cancel, destructive };
    /// The alert's icon; automatic picks it from the buttons and the title.
    enum class Style { automatic, warning, critical };
    struct Button {
        QString text;
        Role role = Role::normal;
    };
    struct Alert {
        QString title;
        QString message;
        QList<Button> buttons; // in display order
        Style style = Style::automatic;
    };
    struct TextRequest {
        QString title;
        QString message;
        QString placeholder;
        QString initialText;
        QString confirmText;
        /// The confirming button stays disabled while the text is only spaces and tabs.
        bool requireNonBlank = true;
        /// The confirming button before "Cancel" (the tray helper's order) instead of after it.
        bool confirmFirst = false;
        /// The most characters the field takes; 0 for no limit.
        int maxLength = 0;
    };

    virtual ~Prompter() = default;
    /// Shows the alert and returns the index of the chosen button (the cancel button's
    /// index when the dialog is closed otherwise).
    virtual int ask(QWidget* parent, const Alert& alert) = 0;
    /// A name-entry question; none when cancelled.
    virtual std::optional<QString> askText(QWidget* parent, const TextRequest& request) = 0;
    virtual std::optional<QString> chooseOpenFile(QWidget* parent, const QString& title, const QString& nameFilter) = 0;
    virtual std::optional<QString> chooseSaveFile(QWidget* parent, const QString& title, const QString& proposedName,
                                                  const QString& nameFilter) = 0;

    /// Asks with "Cancel" first and then `confirmText`; true only when the confirming
    /// button was chosen.
    bool confirm(QWidget* parent, const QString& title, const QString& message, const QString& confirmText,
                 Role confirmRole);
    /// Tells: an alert with one "OK" button.
    void inform(QWidget* parent, const QString& title, const QString& message);
};

namespace Prompts {
/// Real Qt dialogs: what the programs' start-up builds and hands to everything that asks.
std::shared_ptr<Prompter> makeDialogPrompter();
} // namespace Prompts

/// Answers questions from a queue filled by the test; records every question.
class ScriptedPrompter final : public Prompter {
public:
    QList<Alert> alerts;
    QList<TextRequest> textRequests;
    QList<QString> fileTitles;

    QList<int> nextAnswers;                  // button indexes; empty = cancel
    QList<std::optional<QString>> nextTexts; // empty = cancelled
    QList<std::optional<QString>> nextFiles; // empty = cancelled

    int ask(QWidget* parent, const Alert& alert) override;
    std::optional<QString> askText(QWidget* parent, const TextRequest& request) override;
    std::optional<QString> chooseOpenFile(QWidget* parent, const QString& title, const QString& nameFilter) override;
    std::optional<QString> chooseSaveFile(QWidget* parent, const QString& title, const QString& proposedName,
                                          const QString& nameFilter) override;
};
