#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class ElidedLabel;
class QLabel;
class QPushButton;
class UpdateChecker;
class Workspace;

/// The band above the main content while an update is available: version, release
/// notes, Download (opens the address, then quits) and a dismiss cross.
class UpdateBanner final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateBanner)
public:
    static constexpr int kQuitDelayMs = 500;

    /// `workspace` opens the download address (none: the button only quits).
    UpdateBanner(UpdateChecker& checker, std::shared_ptr<Workspace> workspace, QWidget* parent = nullptr);

    static QString titleText(const QString& latestVersion);

    QString title() const;
    QString releaseNotes() const;
    bool releaseNotesShown() const;
    QPushButton* downloadButton() const { return m_download; }
    QPushButton* dismissButton() const { return m_dismiss; }

    /// What Download runs 0.5 s after opening the address (quitting the program);
    /// tests replace it.
    void setTerminate(std::function<void()> terminate) { m_terminate = std::move(terminate); }

    void download();
    void dismiss();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    UpdateChecker& m_checker;
    std::shared_ptr<Workspace> m_workspace;
    QLabel* m_title = nullptr;
    ElidedLabel* m_notes = nullptr;
    QPushButton* m_download = nullptr;
    QPushButton* m_dismiss = nullptr;
    std::function<void()> m_terminate;
};
