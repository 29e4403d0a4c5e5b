#include "sidebar/ActionsSection.h"

#include "operations/PluginManagerViewModel.h"
#include "sidebar/RowButton.h"
#include "sidebar/SidebarIcons.h"
#include "sidebar/SidebarPrompts.h"
#include "widgets/AppTheme.h"
#include "widgets/GlassStyle.h"
#include "widgets/Prompter.h"
#include "widgets/ThemedLabel.h"
#include "widgets/Typography.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

struct ActionLook {
    BulkAction action;
    const char* symbol;
    QColor tint;
};

const std::array<ActionLook, 3> kLooks{{
    {BulkAction::enable, "checkmark.circle.fill", AppTheme::systemGreen()},
    {BulkAction::disable, "xmark.circle.fill", AppTheme::systemOrange()},
    {BulkAction::delete_, "trash.fill", AppTheme::systemRed()},
}};

} // namespace

ActionsSection::ActionsSection(PluginManagerViewModel& viewModel, Prompter& prompter, FormatCallback enableAllForFormat,
                               FormatCallback disableAllForFormat, QWidget* parent)
    : FoldingSection(QStringLiteral("actionsSection"), QStringLiteral("Actions"), &AppTheme::accentPink,
                     QMargins(12, 0, 12, 0), 12, parent),
      m_viewModel(viewModel), m_prompter(prompter), m_enableAllForFormat(std::move(enableAllForFormat)),
      m_disableAllForFormat(std::move(disableAllForFormat))
{
    auto* bodyLayout = new QVBoxLayout(body());
    bodyLayout->setContentsMargins(8, 0, 8, 0);
    bodyLayout->setSpacing(6);
    for (const ActionLook& look : kLooks) {
        auto* button = new RowButton(QString(), body());
        // The symbol takes the tint: white would vanish on the light palette's faint glass.
        button->row()->addWidget(SidebarIcons::symbolLabel(QString::fromLatin1(look.symbol), look.tint, 14, 18));
        auto* label = new ThemedLabel(QString(), Typography::withWeight(Typography::sidebarCallout(), QFont::Medium),
                                      &AppTheme::textPrimary, button);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        button->row()->addWidget(label, 1);
        m_buttons[index(look.action)] = button;
        m_labels[index(look.action)] = label;
        bodyLayout->addWidget(liquidGlassTinted(button, look.tint, 8));
        const BulkAction action = look.action;
        connect(button, &QAbstractButton::clicked, this, [this, action] { requestAction(action); });
    }

    connect(&m_viewModel, &PluginManagerViewModel::selectedFormatsChanged, this, &ActionsSection::updateLabels);
    connect(&m_viewModel, &PluginManagerViewModel::selectedManufacturersChanged, this, &ActionsSection::updateLabels);
    connect(&m_viewModel, &PluginManagerViewModel::searchTextChanged, this, &ActionsSection::updateLabels);
    connect(&m_viewModel, &PluginManagerViewModel::operationRunningChanged, this, &ActionsSection::updateEnabled);
    updateLabels();
    updateEnabled();
}

SidebarTexts::ActionScope ActionsSection::currentScope() const
{
    return {m_viewModel.selectedFormats(), m_viewModel.selectedManufacturers(), m_viewModel.searchText()};
}

QString ActionsSection::buttonLabel(BulkAction action) const
{
    return m_labels[index(action)]->text();
}

void ActionsSection::updateLabels()
{
    const SidebarTexts::ActionScope scope = currentScope();
    for (const ActionLook& look : kLooks) {
        const QString text = SidebarTexts::actionLabel(look.action, scope);
        m_labels[index(look.action)]->setText(text);
        m_buttons[index(look.action)]->setText(text);
        m_buttons[index(look.action)]->setAccessibleName(text);
    }
}

void ActionsSection::updateEnabled()
{
    const bool idle = !m_viewModel.isOperationRunning();
    for (RowButton* button : m_buttons)
        button->setEnabled(idle);
}

void ActionsSection::requestAction(BulkAction action)
{
    if (SidebarPrompts::refuseWhileRunning(m_prompter, this, m_viewModel))
        return;
    const SidebarTexts::ActionScope scope = currentScope();
    // The plug-ins are read once, when the question opens: what the message counts is
    // exactly what a confirmed delete removes, even if a scan replaces the catalogue meanwhile.
    const QList<AudioPlugin> matching = m_viewModel.allFilteredPlugins();
    QList<AudioPlugin> affected;
    for (const AudioPlugin& plugin : matching) {
        const bool counts =
            action == BulkAction::delete_ || (action == BulkAction::enable ? !plugin.isEnabled : plugin.isEnabled);
        if (counts)
            affected << plugin;
    }

    const QString label = SidebarTexts::actionLabel(action, scope);
    const Prompter::Role confirmRole =
        action == BulkAction::enable ? Prompter::Role::normal : Prompter::Role::destructive;
    if (!m_prompter.confirm(this, SidebarTexts::actionTitle(action, scope),
                            SidebarTexts::actionMessage(action, affected.size(), scope), label, confirmRole))
        return;
    if (SidebarPrompts::refuseWhileRunning(m_prompter, this, m_viewModel))
        return;

    if (action == BulkAction::delete_) {
        if (!affected.isEmpty())
            m_viewModel.deletePlugins(affected);
        return;
    }
    const FormatCallback& callback = action == BulkAction::enable ? m_enableAllForFormat : m_disableAllForFormat;
    if (!callback)
        return;
    const QSet<PluginFormat>& formats = m_viewModel.selectedFormats();
    callback(formats.size() == 1 ? std::optional<PluginFormat>(*formats.cbegin()) : std::nullopt);
}
