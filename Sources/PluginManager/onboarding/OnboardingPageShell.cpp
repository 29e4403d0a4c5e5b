#include "onboarding/OnboardingPageShell.h"

#include "onboarding/OnboardingStyle.h"
#include "widgets/AppTheme.h"
#include "widgets/Typography.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int kIllustrationHeight = 200;
constexpr int kIllustrationTop = 24;
constexpr int kTextsTop = 16;
constexpr int kTextSpacing = 10;
constexpr int kDescriptionSide = 36;

void setTextColor(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace

IllustrationCanvas::IllustrationCanvas(Painter paint, int height, QWidget* parent)
    : QWidget(parent), m_paint(std::move(paint))
{
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void IllustrationCanvas::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (m_paint)
        m_paint(painter, QRectF(rect()));
}

OnboardingPageShell::OnboardingPageShell(const QString& title, const QString& description,
                                         IllustrationCanvas::Painter illustration, QWidget* parent)
    : QWidget(parent), m_illustration(new IllustrationCanvas(std::move(illustration), kIllustrationHeight, this)),
      m_title(makeTitle(title, this)), m_description(makeDescription(description, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, kIllustrationTop, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_illustration);
    layout->addSpacing(kTextsTop);
    layout->addWidget(m_title);
    layout->addSpacing(kTextSpacing);
    layout->addWidget(m_description);
    layout->addStretch(1);
}

QLabel* OnboardingPageShell::makeTitle(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    label->setFont(Typography::onboardingTitle());
    setTextColor(label, AppTheme::textPrimary());
    return label;
}

QLabel* OnboardingPageShell::makeDescription(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    label->setFont(Typography::onboardingCallout());
    label->setContentsMargins(kDescriptionSide, 0, kDescriptionSide, 0);
    setTextColor(label, AppTheme::textSecondary());
    return label;
}
