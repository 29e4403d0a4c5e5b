#pragma once

#include "Support/PlatformDoubles.h"
#include "Support/SandboxTest.h"
#include "onboarding/OnboardingView.h"
#include "onboarding/SteppedScheduler.h"

#include <memory>

/// A sheet over stepped time, handed the platform doubles: a settable access probe and a
/// recording desktop opener.
class OnboardingTest : public SandboxTest {
protected:
    void TearDown() override
    {
        m_sheet.reset();
        SandboxTest::TearDown();
    }

    /// The sheet (built on first use, not yet open).
    OnboardingView& sheet(int currentPage = 0, int pageCount = OnboardingView::kPageCount)
    {
        if (!m_sheet)
            m_sheet = std::make_unique<OnboardingView>(services, nullptr, currentPage, pageCount, scheduler);
        return *m_sheet;
    }
    /// Opens the sheet: every page enters it.
    OnboardingView& openSheet()
    {
        sheet().show();
        return sheet();
    }
    template <typename Page>
    Page& page(int index)
    {
        return *qobject_cast<Page*>(sheet().page(index));
    }

    PlatformDoubles doubles;
    /// What every sheet of the test is built on; a test may take a service out before the first sheet.
    PlatformServices services = doubles.services();
    std::shared_ptr<SteppedScheduler> scheduler = std::make_shared<SteppedScheduler>();
    std::shared_ptr<RecordingWorkspace>& workspace = doubles.workspace;
    std::shared_ptr<SettableDiskAccessProbe>& probe = doubles.diskAccess;

private:
    std::unique_ptr<OnboardingView> m_sheet;
};
