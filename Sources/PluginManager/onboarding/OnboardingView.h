#pragma once

#include <QDialog>
#include <QList>

#include <memory>

class OnboardingPage;
class OnboardingScheduler;
class PageIndicator;
class QPushButton;
class QVariantAnimation;
struct PlatformServices;

/// The first-run sheet: six pages shown one at a time with a cross-fade, the page dots,
/// and "Back" / "Next" / "Get Started". Every page enters when the sheet opens and
/// leaves when it closes, whichever is current. The sheet stores nothing: its owner
/// learns through finished() that it closed, however that happened (Get Started,
/// Escape, the window's close button, the window going away).
class OnboardingView final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OnboardingView)
public:
    static constexpr int kPageCount = 6;

    /// `pageCount` sets the dots and the last page; the page area always holds six pages.
    /// The access page asks `services`' disk-access probe and opens settings through its workspace.
    /// No scheduler = main-loop timers.
    explicit OnboardingView(const PlatformServices& services, QWidget* parent = nullptr, int currentPage = 0,
                            int pageCount = kPageCount, std::shared_ptr<OnboardingScheduler> scheduler = {});
    ~OnboardingView() override;

    int currentPage() const { return m_currentPage; }
    int pageCount() const { return m_pageCount; }
    OnboardingPage* page(int index) const { return m_pages.value(index); }
    QPushButton* backButton() const { return m_back; }
    /// "Next", or "Get Started" on the last page.
    QPushButton* nextButton() const { return m_next; }
    PageIndicator* pageIndicator() const { return m_indicator; }

    void goBack();
    void goForward();

    void done(int result) override;

Q_SIGNALS:
    void currentPageChanged(int page);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildPageArea(const PlatformServices& services);
    QWidget* buildNavigationBar();
    void setCurrentPage(int page);
    void crossFade(int from, int to);
    void finishFade();
    void updateNavigation();

    std::shared_ptr<OnboardingScheduler> m_scheduler;
    int m_currentPage;
    int m_pageCount;
    bool m_open = false;
    QList<OnboardingPage*> m_pages;
    PageIndicator* m_indicator = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
    QVariantAnimation* m_fade = nullptr;
    int m_fadingOut = -1;
};
