#pragma once

#include <QString>

#include <optional>

/// A modal "save as" question. The program uses a Qt file dialog; tests answer in advance.
class SavePanel {
public:
    virtual ~SavePanel() = default;
    /// `nameFilter` is a Qt filter such as "PDF (*.pdf)". Returns the chosen path, or
    /// none when the user cancelled.
    virtual std::optional<QString> chooseSaveLocation(const QString& title, const QString& proposedFileName,
                                                      const QString& nameFilter) = 0;
};
