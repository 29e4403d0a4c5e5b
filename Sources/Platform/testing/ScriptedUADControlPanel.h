#pragma once

#include "Platform/UADControlPanel.h"

#include <QByteArray>
#include <QString>

#include <optional>

/// Acts out the vendor's panel: installed or not, and on an export request writes the
/// given bytes to the given file, or nothing at all.
class ScriptedUADControlPanel final : public UADControlPanel {
public:
    void setInstalled(bool installed) { m_installed = installed; }
    /// The file the next exports write; without one an export writes nothing.
    void setExport(const QString& path, const QByteArray& bytes)
    {
        m_path = path;
        m_bytes = bytes;
    }
    void setWritesNothing() { m_path.reset(); }
    /// What requestExport() answers (empty: it could ask the panel).
    void setRequestError(const QString& error) { m_requestError = error; }
    int exportRequests() const { return m_requests; }

    bool isInstalled() const override { return m_installed; }
    QString requestExport() override;

private:
    bool m_installed = true;
    std::optional<QString> m_path;
    QByteArray m_bytes;
    QString m_requestError;
    int m_requests = 0;
};
