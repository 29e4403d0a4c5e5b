#include "pluginlist/PromptSavePanel.h"

#include "widgets/Prompter.h"

std::optional<QString> PromptSavePanel::chooseSaveLocation(const QString& title, const QString& proposedFileName,
                                                           const QString& nameFilter)
{
    return m_prompter.chooseSaveFile(m_parent, title, proposedFileName, nameFilter);
}
