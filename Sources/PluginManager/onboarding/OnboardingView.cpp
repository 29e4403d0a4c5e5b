#include "onboarding/OnboardingView.h"

#include "Platform/PlatformServices.h"
#include "onboarding/OnboardingPage0.h"
#include "onboarding/OnboardingPage1.h"
#include "onboarding/OnboardingPage2.h"
#include "onboarding/OnboardingPage3.h"
#include "onboarding/OnboardingPage4.h"
#include "onboarding/OnboardingPage5.h"
#include "onboarding/OnboardingScheduler.h"
#include "onboarding/OnboardingStyle.h"
#include "onboarding/PageIndicator.h"
#include "widgets/Typography.h"

#include <QCoreApplication>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace {

constexpr int kSheetWidth = 460;
constexpr int kPageAreaHeight = 360;
constexpr int kFadeMs = 250;
constexpr int kLeadingSlotWidth = 70;

void setOpacity(QWidget* widget, double opacity)
{
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(widget);
        widget->setGraphicsEffect(effect);
    }
    effect->setOpacity(opacity);
}

} // namespace

OnboardingView::OnboardingView(const PlatformServices& services, QWidget* parent, int currentPage, int pageCount,
                               std::shared_ptr<OnboardingScheduler> scheduler)
    : QDialog(parent), m_scheduler(scheduler ? std::move(scheduler) : std::make_shared<TimerScheduler>()),
      m_currentPage(std::clamp(currentPage, 0, kPageCount - 1)), m_pageCount(std::max(1, pageCount))
{
    setObjectName(QStringLiteral("onboardingSheet"));
    setWindowTitle(QStringLiteral("Welcome to Rackhand"));
    setAccessibleName(windowTitle());
    setFixedWidth(kSheetWidth);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(buildPageArea(services));
    m_indicator = new PageIndicator(m_pageCount, m_currentPage, this);
    layout->addWidget(m_indicator, 0, Qt::AlignHCenter);
    layout->addSpacing(20);
    layout->addWidget(buildNavigationBar());

    m_fade = new QVariantAnimation(this);
    m_fade->setDuration(kFadeMs);
    m_fade->setEasingCurve(QEasingCurve::InOutQuad);
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
    connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        if (m_fadingOut < 0)
            return;
        setOpacity(m_pages.at(m_fadingOut), 1.0 - value.toDouble());
        setOpacity(m_pages.at(m_currentPage), value.toDouble());
    });
    connect(m_fade, &QVariantAnimation::finished, this, &OnboardingView::finishFade);

    // A quit with the sheet still open closes it too, so its owner hears of it.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (m_open)
            reject();
    });
    updateNavigation();
}

OnboardingView::~OnboardingView()
{
    // Going away with the window still counts as closing the sheet.
    if (m_open)
        done(QDialog::Rejected);
}

QWidget* OnboardingView::buildPageArea(const PlatformServices& services)
{
    auto* area = new QWidget(this);
    area->setFixedSize(kSheetWidth, kPageAreaHeight);
    auto* stack = new QStackedLayout(area);
    stack->setStackingMode(QStackedLayout::StackAll);
    OnboardingScheduler& scheduler = *m_scheduler;
    m_pages = {new OnboardingPage0(scheduler, area),
               new OnboardingPage1(scheduler, area),
               new OnboardingPage2(scheduler, area),
               new OnboardingPage3(scheduler, area),
               new OnboardingPage4(scheduler, area),
               new OnboardingPage5(scheduler, services.diskAccess, services.workspace, area)};
    for (OnboardingPage* page : std::as_const(m_pages))
        stack->addWidget(page);
    // Access granted while its button had the keyboard: on to "Get Started", not back to "Back".
    auto* access = static_cast<OnboardingPage5*>(m_pages.last());
    connect(access, &OnboardingPage5::keyboardReleased, this, [this] { m_next->setFocus(Qt::OtherFocusReason); });
    connect(access, &OnboardingPage5::accessShown, this, [this] {
        if (m_next)
            updateNavigation();
    });
    // Only the current page is shown; the others wait, hidden, for their turn.
    for (int i = 0; i < m_pages.size(); ++i)
        m_pages.at(i)->setVisible(i == m_currentPage);
    return area;
}

QWidget* OnboardingView::buildNavigationBar()
{
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(32, 0, 32, 28);
    row->setSpacing(12);

    m_back = new QPushButton(QStringLiteral("Back"), bar);
    m_back->setAccessibleName(m_back->text());
    m_back->setFixedWidth(kLeadingSlotWidth);
    OnboardingStyle::stylePlainButton(m_back);
    QSizePolicy keepSpace = m_back->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true); // page 0 keeps the empty slot
    m_back->setSizePolicy(keepSpace);
    connect(m_back, &QPushButton::clicked, this, &OnboardingView::goBack);

    m_next = new QPushButton(bar);
    m_next->setDefault(true);
    m_next->setFont(Typography::withWeight(font(), QFont::DemiBold));
    OnboardingStyle::stylePillButton(m_next, 24, 8, 8);
    connect(m_next, &QPushButton::clicked, this, &OnboardingView::goForward);

    row->addWidget(m_back);
    row->addStretch(1);
    row->addWidget(m_next);
    setTabOrder(m_back, m_next);
    return bar;
}

void OnboardingView::goBack()
{
    if (m_currentPage > 0)
        setCurrentPage(m_currentPage - 1);
}

void OnboardingView::goForward()
{
    if (m_currentPage < m_pageCount - 1 && m_currentPage < kPageCount - 1)
        setCurrentPage(m_currentPage + 1);
    else
        accept(); // "Get Started"
}

void OnboardingView::done(int result)
{
    if (m_open) {
        m_open = false;
        for (OnboardingPage* page : std::as_const(m_pages))
            page->disappear();
    }
    QDialog::done(result);
}

void OnboardingView::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_open)
        return;
    m_open = true;
    for (OnboardingPage* page : std::as_const(m_pages))
        page->appear();
    m_next->setFocus(Qt::OtherFocusReason);
}

void OnboardingView::setCurrentPage(int page)
{
    page = std::clamp(page, 0, static_cast<int>(m_pages.size()) - 1);
    if (page == m_currentPage)
        return;
    const int previous = m_currentPage;
    m_currentPage = page;
    crossFade(previous, page);
    m_indicator->setCurrent(page);
    updateNavigation();
    Q_EMIT currentPageChanged(page);
}

void OnboardingView::crossFade(int from, int to)
{
    if (m_fade->state() == QAbstractAnimation::Running) {
        m_fade->stop();
        finishFade();
    }
    m_fadingOut = from;
    OnboardingPage* incoming = m_pages.at(to);
    setOpacity(incoming, 0.0);
    incoming->show();
    incoming->raise();
    m_fade->start();
}

void OnboardingView::finishFade()
{
    // Both pages end in the same place: the old one hidden, the new one plain.
    for (int i = 0; i < m_pages.size(); ++i) {
        OnboardingPage* page = m_pages.at(i);
        page->setGraphicsEffect(nullptr);
        page->setVisible(i == m_currentPage);
    }
    m_fadingOut = -1;
}

void OnboardingView::updateNavigation()
{
    const bool last = m_currentPage >= std::min(m_pageCount, static_cast<int>(kPageCount)) - 1;
    const bool hadFocus = m_back->hasFocus();
    m_back->setVisible(m_currentPage > 0);
    if (hadFocus && !m_back->isVisible())
        m_next->setFocus(Qt::OtherFocusReason);
    m_next->setText(last ? QStringLiteral("Get Started") : QStringLiteral("Next"));
    m_next->setAccessibleName(m_next->text());
    // The page now shown, told by the buttons' descriptions: the keyboard stays on its button
    // over a page change, and the change of its description is what a screen reader says.
    for (OnboardingPage* page : std::as_const(m_pages))
        page->setAccessibleName(page->title());
    const OnboardingPage* shown = m_pages.value(m_currentPage);
    const QString where = shown ? QStringLiteral("Page %1 of %2: %3")
                                      .arg(m_currentPage + 1)
                                      .arg(std::min(m_pageCount, static_cast<int>(kPageCount)))
                                      .arg(shown->title())
                                : QString();
    m_back->setAccessibleDescription(where);
    m_next->setAccessibleDescription(where);
}
