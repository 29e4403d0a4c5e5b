#pragma once

#include <QAbstractButton>
#include <QColor>

#include <functional>

class QHBoxLayout;
class ThemedLabel;

/// The header of a folding sidebar section: chevron, semibold title, spacer and
/// optional trailing widgets; the whole row takes clicks.
class SectionHeaderButton final : public QAbstractButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SectionHeaderButton)
public:
    SectionHeaderButton(const QString& title, std::function<QColor()> chevronColor, QWidget* parent = nullptr);

    void setExpanded(bool expanded);
    bool isExpanded() const { return m_expanded; }
    /// Appends a widget after the spacer (counts, small buttons).
    void addTrailingWidget(QWidget* widget);
    QString title() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    class Chevron;
    Chevron* m_chevron = nullptr;
    ThemedLabel* m_title = nullptr;
    QHBoxLayout* m_layout = nullptr;
    bool m_expanded = false;
};
