#pragma once

#include <QPointer>
#include <QWidget>

class ProgressHUDView;
class ProgressWindowManager;

/// The floating progress panel: a frameless tool window that never takes focus and
/// lets clicks through, following ProgressWindowManager's signals. Centred over the
/// active window (else the main window) when shown; left where it was when there is none.
class ProgressPanel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProgressPanel)
public:
    explicit ProgressPanel(ProgressWindowManager& manager);

    /// Creates the process's panel (once) and ties it to ProgressWindowManager::shared().
    static ProgressPanel& install();

    ProgressHUDView* hudView() const { return m_view; }

private:
    void present();
    void centreOverActiveWindow();
    QWidget* anchorWindow() const;

    ProgressHUDView* m_view = nullptr;
};
