#pragma once

#include <QDateTime>
#include <QTimer>
#include <QWidget>

/// The sidebar's "Rackhand" title, painted with a conical gradient that turns once
/// every six seconds. Repaints at most 30 times a second, and only while shown.
class GradientTitle final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GradientTitle)
public:
    static constexpr int kFrameIntervalMs = 34; // just under 30 frames a second
    static constexpr double kTurnSeconds = 6.0;

    explicit GradientTitle(const QString& text, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    /// The gradient's rotation in degrees at `time`: (seconds since 2001 mod 6) / 6 * 360.
    static double rotationAt(const QDateTime& time);
    bool isAnimating() const { return m_timer.isActive(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QString m_text;
    QTimer m_timer;
};
