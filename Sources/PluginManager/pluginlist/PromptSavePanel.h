#pragma once

#include "Platform/SavePanel.h"

#include <QPointer>
#include <QWidget>

class Prompter;

/// The exporter's save question, asked through the window's prompter (so tests answer it).
class PromptSavePanel final : public SavePanel {
public:
    PromptSavePanel(Prompter& prompter, QWidget* parent) : m_prompter(prompter), m_parent(parent) {}
    std::optional<QString> chooseSaveLocation(const QString& title, const QString& proposedFileName,
                                              const QString& nameFilter) override;

private:
    Prompter& m_prompter;
    QPointer<QWidget> m_parent;
};
