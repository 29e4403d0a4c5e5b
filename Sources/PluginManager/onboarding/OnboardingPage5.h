#pragma once

#include "onboarding/OnboardingPage.h"

#include <QUrl>

#include <memory>

class DiskAccessProbe;
class IllustrationCanvas;
class QLabel;
class QPainter;
class QPushButton;
class Tween;
class Workspace;

/// The last page: whether the program may read the plug-in folders, with a button to
/// the privacy settings while it may not. It tests again every 2 s while the sheet is
/// open, so it turns into the confirmation by itself once access is there.
class OnboardingPage5 final : public OnboardingPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OnboardingPage5)
public:
    static constexpr int kRecheckMs = 2000;

    /// Tests access once with `probe`; the settings button opens its address through `workspace`.
    /// Either may be null: no probe means no access, no workspace means the button does nothing.
    OnboardingPage5(OnboardingScheduler& scheduler, std::shared_ptr<DiskAccessProbe> probe,
                    std::shared_ptr<Workspace> workspace, QWidget* parent = nullptr);

    QString title() const override;
    QString description() const override;

    bool hasAccess() const { return m_hasAccess; }
    /// True while the 2-second re-test runs (between the sheet's opening and closing).
    bool isRechecking() const { return isInSheet(); }
    /// The privacy settings' Full Disk Access list.
    static QUrl settingsUrl();

    QLabel* titleLabel() const { return m_title; }
    QLabel* descriptionLabel() const { return m_description; }
    QPushButton* settingsButton() const { return m_settingsButton; }
    QLabel* hintLabel() const { return m_hint; }

    /// Asks the desktop to open the settings address; nothing happens when nothing handles it.
    void openSettings();

Q_SIGNALS:
    /// The page shows the state of access anew (its title may have changed).
    void accessShown();
    /// The settings button had the keyboard and went with the grant: the sheet places it.
    void keyboardReleased();

protected:
    void onAppear() override;

private:
    bool testAccess() const;
    void scheduleRecheck();
    void setHasAccess(bool granted);
    void showState();
    void paintIllustration(QPainter& painter, const QRectF& rect) const;

    std::shared_ptr<DiskAccessProbe> m_probe;
    std::shared_ptr<Workspace> m_workspace;
    bool m_hasAccess = false;
    Tween* m_glowScale = nullptr;
    Tween* m_checkScale = nullptr;
    Tween* m_checkOpacity = nullptr;
    IllustrationCanvas* m_illustration = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_description = nullptr;
    QPushButton* m_settingsButton = nullptr;
    QLabel* m_hint = nullptr;
};
