#include "Prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

// Where a dismissal without a button choice lands: the cancel button, else the last one.
int dismissIndex(const Prompter::Alert& alert)
{
    for (int i = 0; i < alert.buttons.size(); ++i) {
        if (alert.buttons[i].role == Prompter::Role::cancel)
            return i;
    }
    return alert.buttons.isEmpty() ? 0 : static_cast<int>(alert.buttons.size()) - 1;
}

QString windowTitle()
{
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Rackhand") : name;
}

/// The real dialogs.
class QtPrompter final : public Prompter {
public:
    int ask(QWidget* parent, const Alert& alert) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(windowTitle());
        box.setIcon(QMessageBox::Information);
        box.setText(alert.title);
        if (!alert.message.isEmpty())
            box.setInformativeText(alert.message);
        QList<Button> buttons = alert.buttons;
        if (buttons.isEmpty())
            buttons.append({QStringLiteral("OK"), Role::cancel});
        QList<QAbstractButton*> created;
        bool haveDefault = false;
        for (const Button& b : buttons) {
            QMessageBox::ButtonRole role = QMessageBox::AcceptRole;
            if (b.role == Role::cancel)
                role = QMessageBox::RejectRole;
            else if (b.role == Role::destructive)
                role = QMessageBox::DestructiveRole;
            QPushButton* button = box.addButton(b.text, role);
            button->setAccessibleName(b.text);
            created.append(button);
            if (b.role == Role::cancel) {
                box.setEscapeButton(button);
                if (!haveDefault && buttons.size() > 1) {
                    // A destructive choice must never be the Return-key default.
                    box.setDefaultButton(button);
                    haveDefault = true;
                }
            }
        }
        if (buttons.size() == 1)
            box.setEscapeButton(created.first());
        box.exec();
        const int index = static_cast<int>(created.indexOf(box.clickedButton()));
        return index >= 0 ? index : dismissIndex(alert);
    }

    std::optional<QString> askText(QWidget* parent, const TextRequest& request) override
    {
        QInputDialog dialog(parent);
        dialog.setWindowTitle(request.title.isEmpty() ? windowTitle() : request.title);
        dialog.setLabelText(request.message.isEmpty() ? request.title : request.message);
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setTextValue(request.initialText);
        if (!request.confirmText.isEmpty())
            dialog.setOkButtonText(request.confirmText);
        if (auto* edit = dialog.findChild<QLineEdit*>())
            edit->setPlaceholderText(request.placeholder);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
    }

    std::optional<QString> chooseOpenFile(QWidget* parent, const QString& title, const QString& nameFilter) override
    {
        const QString path = QFileDialog::getOpenFileName(parent, title, QString(), nameFilter);
        if (path.isEmpty())
            return std::nullopt;
        return path;
    }

    std::optional<QString> chooseSaveFile(QWidget* parent, const QString& title, const QString& proposedName,
                                          const QString& nameFilter) override
    {
        const QString path = QFileDialog::getSaveFileName(parent, title, proposedName, nameFilter);
        if (path.isEmpty())
            return std::nullopt;
        return path;
    }
};

std::shared_ptr<Prompter>& slot()
{
    static std::shared_ptr<Prompter> current;
    return current;
}

} // namespace

namespace Prompts {

Prompter& current()
{
    auto& p = slot();
    if (!p)
        p = std::make_shared<QtPrompter>();
    return *p;
}

void setCurrent(std::shared_ptr<Prompter> prompter) { slot() = std::move(prompter); }

} // namespace Prompts

// --- ScriptedPrompter ---

int ScriptedPrompter::ask(QWidget* parent, const Alert& alert)
{
    Q_UNUSED(parent);
    alerts.append(alert);
    if (nextAnswers.isEmpty())
        return dismissIndex(alert);
    return nextAnswers.takeFirst();
}

std::optional<QString> ScriptedPrompter::askText(QWidget* parent, const TextRequest& request)
{
    Q_UNUSED(parent);
    textRequests.append(request);
    if (nextTexts.isEmpty())
        return std::nullopt;
    return nextTexts.takeFirst();
}

std::optional<QString> ScriptedPrompter::chooseOpenFile(QWidget* parent, const QString& title,
                                                        const QString& nameFilter)
{
    Q_UNUSED(parent);
    Q_UNUSED(nameFilter);
    fileTitles.append(title);
    if (nextFiles.isEmpty())
        return std::nullopt;
    return nextFiles.takeFirst();
}

std::optional<QString> ScriptedPrompter::chooseSaveFile(QWidget* parent, const QString& title,
                                                        const QString& proposedName, const QString& nameFilter)
{
    Q_UNUSED(parent);
    Q_UNUSED(proposedName);
    Q_UNUSED(nameFilter);
    fileTitles.append(title);
    if (nextFiles.isEmpty())
        return std::nullopt;
    return nextFiles.takeFirst();
}
