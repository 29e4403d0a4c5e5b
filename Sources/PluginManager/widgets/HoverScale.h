#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
class ToggleMotion;

/// Grows a widget about its centre while the pointer is over it, children and all, over an
/// ease-in-out animation; the widget's geometry and everything around it stay as they are.
class HoverScale final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HoverScale)
public:
    /// Scales `widget` (which owns the result) to `scale` on hover, moving over `durationMs`.
    HoverScale(QWidget* widget, qreal scale, int durationMs);

    /// The scale drawn now.
    qreal scale() const;
    bool isHovered() const;
    ToggleMotion& motion() const { return *m_motion; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Effect;
    void apply(qreal progress);

    QWidget* m_widget;
    qreal m_scale;
    ToggleMotion* m_motion;
    QPointer<Effect> m_effect;
};
