#pragma once

#include <QAbstractButton>
#include <QColor>

/// A checkable on/off switch drawn as a rounded track with a knob.
class ToggleSwitch final : public QAbstractButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToggleSwitch)
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);
    void setTint(const QColor& tint);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_tint;
};
