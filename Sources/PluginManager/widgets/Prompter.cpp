#include "widgets/Prompter.h"

#include "widgets/Typography.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Wide enough that a message of a sentence or two wraps into a few long lines.
constexpr int kMinimumDialogWidth = 420;

// File dialogs start in the user's home folder, never in the program's working folder.
QString startFolder()
{
    const QString home = QDir::homePath();
    return QFileInfo(home).isDir() ? home : QDir::rootPath();
}

bool isBlankName(const QString& text)
{
    for (const QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t'))
            return false;
    }
    return true;
}

// Where a dismissal without a button choice lands: the cancel button, else the last one.
int dismissIndex(const Prompter::Alert& alert)
{
    for (int i = 0; i < alert.buttons.size(); ++i) {
        if (alert.buttons[i].role == Prompter::Role::cancel)
            return i;
    }
    return alert.buttons.isEmpty() ? 0 : static_cast<int>(alert.buttons.size()) - 1;
}

// The button Return presses: never a destructive one. Beside a destructive choice that is
// the cancel button; otherwise the confirming (last non-cancel) button. -1 for none.
int returnIndex(const QList<Prompter::Button>& buttons)
{
    const auto first = [&buttons](Prompter::Role role) {
        for (int i = 0; i < buttons.size(); ++i) {
            if (buttons[i].role == role)
                return i;
        }
        return -1;
    };
    if (first(Prompter::Role::destructive) >= 0) {
        const int cancel = first(Prompter::Role::cancel);
        return cancel >= 0 ? cancel : first(Prompter::Role::normal);
    }
    for (int i = static_cast<int>(buttons.size()) - 1; i >= 0; --i) {
        if (buttons[i].role == Prompter::Role::normal)
            return i;
    }
    return first(Prompter::Role::cancel);
}

QMessageBox::Icon iconFor(const Prompter::Alert& alert)
{
    switch (alert.style) {
    case Prompter::Style::warning:
        return QMessageBox::Warning;
    case Prompter::Style::critical:
        return QMessageBox::Critical;
    case Prompter::Style::automatic:
        break;
    }
    const bool destructive = std::any_of(alert.buttons.cbegin(), alert.buttons.cend(), [](const Prompter::Button& b) {
        return b.role == Prompter::Role::destructive;
    });
    if (destructive)
        return QMessageBox::Warning;
    return alert.title == QLatin1String("Error") ? QMessageBox::Critical : QMessageBox::Information;
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
        QList<Button> buttons = alert.buttons;
        if (buttons.isEmpty())
            buttons.append({QStringLiteral("OK"), Role::cancel});
        const Alert shown{alert.title, alert.message, buttons, alert.style};

        QMessageBox box(parent);
        box.setWindowTitle(windowTitle());
        box.setIcon(iconFor(shown));
        box.setText(alert.title);
        if (!alert.message.isEmpty())
            box.setInformativeText(alert.message);
        // The title reads as the alert's heading, as the name prompt's does.
        if (auto* titleLabel = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            titleLabel->setFont(Typography::scaled(1.15, QFont::Bold));

        // One role for every button: the button box sorts by role following the platform's
        // layout policy, and only buttons of the same role keep the order they were added in.
        QList<QPushButton*> created;
        for (const Button& b : std::as_const(buttons)) {
            QPushButton* button = box.addButton(b.text, QMessageBox::ActionRole);
            button->setAccessibleName(b.text);
            created.append(button);
        }
        const int dismiss = dismissIndex(shown);
        box.setEscapeButton(created[dismiss]);
        if (const int index = returnIndex(buttons); index >= 0) {
            box.setDefaultButton(created[index]);
        } else {
            // No safe default: a focused button must not become one either.
            for (QPushButton* button : std::as_const(created))
                button->setAutoDefault(false);
        }

        // The box sizes itself to its layout's minimum width; a spacer across the bottom keeps
        // a message from wrapping into a narrow column.
        if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
            grid->addItem(new QSpacerItem(kMinimumDialogWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                          grid->rowCount(), 0, 1, grid->columnCount());

        box.exec();
        const int index = static_cast<int>(created.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
        return index >= 0 ? index : dismiss;
    }

    std::optional<QString> askText(QWidget* parent, const TextRequest& request) override
    {
        // A small dialog of its own: a QInputDialog's button box would order Cancel by the
        // platform's policy, and Cancel must come first.
        QDialog dialog(parent);
        dialog.setWindowTitle(request.title.isEmpty() ? windowTitle() : request.title);
        dialog.setMinimumWidth(kMinimumDialogWidth);
        auto* layout = new QVBoxLayout(&dialog);
        // A sheet may have no title bar: the title is shown inside, as its heading.
        if (!request.title.isEmpty() && !request.message.isEmpty()) {
            auto* heading = new QLabel(request.title, &dialog);
            heading->setObjectName(QStringLiteral("sheetHeading"));
            heading->setFont(Typography::scaled(1.15, QFont::Bold));
            layout->addWidget(heading);
        }
        auto* label = new QLabel(request.message.isEmpty() ? request.title : request.message, &dialog);
        label->setWordWrap(true);
        auto* edit = new QLineEdit(request.initialText, &dialog);
        edit->setPlaceholderText(request.placeholder);
        if (request.maxLength > 0)
            edit->setMaxLength(request.maxLength);
        edit->setAccessibleName(request.placeholder.isEmpty() ? label->text() : request.placeholder);
        label->setBuddy(edit);
        layout->addWidget(label);
        layout->addWidget(edit);

        auto* row = new QHBoxLayout;
        row->addStretch(1);
        auto* cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
        auto* confirm =
            new QPushButton(request.confirmText.isEmpty() ? QStringLiteral("OK") : request.confirmText, &dialog);
        cancel->setAccessibleName(cancel->text());
        confirm->setAccessibleName(confirm->text());
        cancel->setAutoDefault(false);
        confirm->setDefault(true);
        if (request.confirmFirst) {
            row->addWidget(confirm);
            row->addWidget(cancel);
            QWidget::setTabOrder(edit, confirm);
            QWidget::setTabOrder(confirm, cancel);
        } else {
            row->addWidget(cancel);
            row->addWidget(confirm);
        }
        layout->addLayout(row);
        QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
        QObject::connect(confirm, &QPushButton::clicked, &dialog, &QDialog::accept);
        if (request.requireNonBlank) {
            // A name of only spaces and tabs cannot be confirmed (line breaks count as text);
            // a disabled default button also keeps Return from accepting.
            const auto update = [confirm](const QString& text) { confirm->setEnabled(!isBlankName(text)); };
            update(request.initialText);
            QObject::connect(edit, &QLineEdit::textChanged, confirm, update);
        }
        edit->setFocus();
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return edit->text();
    }

    std::optional<QString> chooseOpenFile(QWidget* parent, const QString& title, const QString& nameFilter) override
    {
        const QString path = QFileDialog::getOpenFileName(parent, title, startFolder(), nameFilter);
        if (path.isEmpty())
            return std::nullopt;
        return path;
    }

    std::optional<QString> chooseSaveFile(QWidget* parent, const QString& title, const QString& proposedName,
                                          const QString& nameFilter) override
    {
        const QString path =
            QFileDialog::getSaveFileName(parent, title, QDir(startFolder()).filePath(proposedName), nameFilter);
        if (path.isEmpty())
            return std::nullopt;
        return path;
    }
};

} // namespace

bool Prompter::confirm(QWidget* parent, const QString& title, const QString& message, const QString& confirmText,
                       Role confirmRole)
{
    const Alert alert{title, message, {{QStringLiteral("Cancel"), Role::cancel}, {confirmText, confirmRole}}};
    return ask(parent, alert) == 1;
}

void Prompter::inform(QWidget* parent, const QString& title, const QString& message)
{
    ask(parent, {title, message, {{QStringLiteral("OK"), Role::cancel}}});
}

namespace Prompts {

std::shared_ptr<Prompter> makeDialogPrompter()
{
    return std::make_shared<QtPrompter>();
}

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
