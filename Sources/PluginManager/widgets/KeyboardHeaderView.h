#pragma once

#include <QHeaderView>

/// A table header the keyboard reaches: a Tab stop of its own, where Left and Right (Home and
/// End) move between the sections and Space or Return acts on the section reached as a click on
/// it does (the table sorts by it). The section reached is ringed while the header has focus and
/// announced to assistive technology; it is also the header's "focusedSection" property.
class KeyboardHeaderView final : public QHeaderView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KeyboardHeaderView)
public:
    explicit KeyboardHeaderView(Qt::Orientation orientation, QWidget* parent = nullptr);

    /// The logical index of the section the keyboard is on.
    int focusedSection() const;
    void setFocusedSection(int logicalIndex);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    /// The shown section `steps` visual places from the focused one, held to the ends.
    int shownSection(int fromVisual, int steps) const;
    void announce();

    int m_focused = 0;
};
