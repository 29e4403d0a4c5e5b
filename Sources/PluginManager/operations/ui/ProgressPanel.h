#pragma once

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
    /// The panel of `manager`, which outlives it; the composition root makes one.
    explicit ProgressPanel(ProgressWindowManager& manager);

    ProgressHUDView* hudView() const { return m_view; }

private:
    void present();
    void centreOverActiveWindow();
    QWidget* anchorWindow() const;

    ProgressHUDView* m_view = nullptr;
};
