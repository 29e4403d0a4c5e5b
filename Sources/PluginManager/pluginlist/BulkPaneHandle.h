#pragma once

#include <QWidget>

/// The grip between the table and the bulk panel. A drag of at least 10 pixels resizes
/// the panel: upward grows it. The height follows the pointer from the height the panel
/// had when the drag began, clamped to 80...500.
class BulkPaneHandle final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BulkPaneHandle)
public:
    static constexpr int kMinimumHeight = 80;
    static constexpr int kMaximumHeight = 500;
    static constexpr int kMinimumDragDistance = 10;

    explicit BulkPaneHandle(QWidget* parent = nullptr);

    int paneHeight() const { return m_height; }
    void setPaneHeight(int height);
    QSize sizeHint() const override;

    static int clampHeight(int height);

Q_SIGNALS:
    void paneHeightChanged(int height);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int m_height = 200;
    int m_startHeight = 200;
    qreal m_startY = 0;
    bool m_pressed = false;
    bool m_dragging = false;
};
