#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QGraphicsOpacityEffect;
class ToggleMotion;

/// The place of one widget in a layout, opened and closed with motion. Whoever owns the
/// widget shows and hides it as before; the slot follows: its height opens or closes over
/// the animation (the layout around follows), the widget fades, and it either unfolds from
/// its top edge or slides in from above.
///
/// The widget itself changes at once, so keyboard focus and the accessible tree are in the
/// final state from the first moment: while closing, the slot draws a picture of it.
/// Without motion (Motion::enabled) or off screen, the slot opens and closes at once.
class RevealSlot final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RevealSlot)
public:
    enum class Entrance {
        unfold,       ///< revealed from the top down, like a folding section's body
        slideFromTop, ///< moves down into its place, like a banner
    };

    /// Takes `content` into the slot; the slot starts open when `content` is not hidden.
    RevealSlot(QWidget* content, Entrance entrance, int durationMs, QWidget* parent = nullptr);

    QWidget* content() const { return m_content; }
    /// Whether the content is shown (the state the slot rests in or heads for).
    bool isOpen() const;
    bool isMoving() const;
    /// How far open the slot is now: 0 closed, 1 open.
    qreal openness() const;
    /// Where the content's top edge is drawn in the slot now, and how opaque it is drawn.
    int contentTop() const;
    qreal contentOpacity() const;
    /// True while the slot closes over a picture of the hidden content.
    bool isDrawingPicture() const { return !m_picture.isNull(); }
    ToggleMotion& motion() const { return *m_motion; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void follow(bool shown);
    void step();
    void settle();
    bool mayMove() const;
    int naturalHeight() const;
    void placeContent();
    void fade(qreal opacity);

    QWidget* m_content;
    Entrance m_entrance;
    ToggleMotion* m_motion;
    QPixmap m_picture;
    QPointer<QGraphicsOpacityEffect> m_fade;
    int m_natural = 0;
};
