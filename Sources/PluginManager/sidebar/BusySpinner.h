#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

/// A small circular, indeterminate progress indicator; turns only while shown.
class BusySpinner final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BusySpinner)
public:
    explicit BusySpinner(QWidget* parent = nullptr);
    void setTint(const QColor& tint);
    bool isSpinning() const { return m_timer.isActive(); }
    QSize sizeHint() const override { return {20, 20}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer m_timer;
    QColor m_tint;
    int m_angle = 0;
};
