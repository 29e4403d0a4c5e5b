#pragma once

#include "Platform/DiskAccessProbe.h"

/// Answers what the test set, and counts how often it was asked.
class SettableDiskAccessProbe final : public DiskAccessProbe {
public:
    explicit SettableDiskAccessProbe(bool granted = false) : m_granted(granted) {}
    bool hasAccess() const override
    {
        ++m_checks;
        return m_granted;
    }
    void setGranted(bool granted) { m_granted = granted; }
    int checks() const { return m_checks; }

private:
    bool m_granted;
    mutable int m_checks = 0;
};
