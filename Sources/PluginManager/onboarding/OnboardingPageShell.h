#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPainter;

/// A widget that paints itself with the function it is given (the pages' pictures).
class IllustrationCanvas final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IllustrationCanvas)
public:
    using Painter = std::function<void(QPainter&, const QRectF&)>;
    IllustrationCanvas(Painter paint, int height, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Painter m_paint;
};

/// The page frame: an illustration 200 points high above a bold title and a centred
/// description, kept at the top of the page.
class OnboardingPageShell final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OnboardingPageShell)
public:
    OnboardingPageShell(const QString& title, const QString& description, IllustrationCanvas::Painter illustration,
                        QWidget* parent = nullptr);

    QLabel* titleLabel() const { return m_title; }
    QLabel* descriptionLabel() const { return m_description; }
    IllustrationCanvas* illustration() const { return m_illustration; }

    /// The title and description labels as every page styles them.
    static QLabel* makeTitle(const QString& text, QWidget* parent);
    static QLabel* makeDescription(const QString& text, QWidget* parent);

private:
    IllustrationCanvas* m_illustration;
    QLabel* m_title;
    QLabel* m_description;
};
