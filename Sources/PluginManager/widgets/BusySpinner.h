#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

#include <optional>

/// The small indeterminate progress indicator of both columns: twelve fading ticks
/// that turn only while the indicator is shown.
class BusySpinner final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BusySpinner)
public:
    BusySpinner(int diameter, const QString& accessibleName, QWidget* parent = nullptr);
    /// The ticks' colour; without one they follow AppTheme::textSecondary().
    void setTint(const QColor& tint);
    bool isSpinning() const { return m_timer.isActive(); }
    QSize sizeHint() const override { return {m_diameter, m_diameter}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer m_timer;
    std::optional<QColor> m_tint;
    int m_diameter;
    int m_step = 0;
};
