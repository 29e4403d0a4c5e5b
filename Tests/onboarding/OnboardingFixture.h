#pragma once

#include "Platform/PlatformServices.h"
#include "Platform/testing/MemoryDefaultsStore.h"
#include "Platform/testing/RecordingWorkspace.h"
#include "Platform/testing/SettableDiskAccessProbe.h"
#include "Support/SandboxTest.h"
#include "onboarding/OnboardingView.h"
#include "onboarding/SteppedScheduler.h"

#include <memory>

/// A sheet over stepped time, with a settable access probe and a recording desktop opener.
class OnboardingTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        m_saved = Platform::services();
        PlatformServices services;
        services.defaults = defaults;
        services.workspace = workspace;
        services.diskAccess = probe;
        Platform::setServices(services);
    }

    void TearDown() override
    {
        m_sheet.reset();
        Platform::setServices(m_saved);
        SandboxTest::TearDown();
    }

    /// The sheet (built on first use, not yet open).
    OnboardingView& sheet(int currentPage = 0, int pageCount = OnboardingView::kPageCount)
    {
        if (!m_sheet)
            m_sheet = std::make_unique<OnboardingView>(nullptr, currentPage, pageCount, scheduler);
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

    std::shared_ptr<SteppedScheduler> scheduler = std::make_shared<SteppedScheduler>();
    std::shared_ptr<MemoryDefaultsStore> defaults = std::make_shared<MemoryDefaultsStore>();
    std::shared_ptr<RecordingWorkspace> workspace = std::make_shared<RecordingWorkspace>();
    std::shared_ptr<SettableDiskAccessProbe> probe = std::make_shared<SettableDiskAccessProbe>(false);

private:
    std::unique_ptr<OnboardingView> m_sheet;
    PlatformServices m_saved;
};
