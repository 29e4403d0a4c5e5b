#pragma once

#include "Platform/SavePanel.h"

#include <QPointer>
#include <QWidget>

/// The exporter's save question, asked through the window's prompter (so tests answer it).
class PromptSavePanel final : public SavePanel {
public:
    explicit PromptSavePanel(QWidget* parent) : m_parent(parent) {}
    std::optional<QString> chooseSaveLocation(const QString& title, const QString& proposedFileName,
                                              const QString& nameFilter) override;

private:
    QPointer<QWidget> m_parent;
};
