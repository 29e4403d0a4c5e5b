#pragma once

#include <QTimer>
#include <QWidget>

/// A small indeterminate spinner; it only animates while visible.
class BusyIndicator final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BusyIndicator)
public:
    explicit BusyIndicator(int diameter, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer m_timer;
    int m_diameter;
    int m_step = 0;
};
