#include "widgets/FoldingSection.h"

#include "widgets/RevealSlot.h"
#include "widgets/SectionHeaderButton.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

FoldingSection::FoldingSection(const QString& objectName, const QString& title, std::function<QColor()> chevronColor,
                               const QMargins& headerMargins, int spacing, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(objectName);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_header = new SectionHeaderButton(title, std::move(chevronColor), this);
    m_headerRow = new QHBoxLayout;
    m_headerRow->setContentsMargins(headerMargins);
    m_headerRow->setSpacing(6);
    m_headerRow->addWidget(m_header, 1);
    layout->addLayout(m_headerRow);
    connect(m_header, &QAbstractButton::clicked, this, [this] { setExpanded(!m_expanded); });

    m_body = new QWidget(this);
    m_body->setVisible(false);
    // The gap above the body belongs to the body, so it opens and closes with it.
    m_body->setContentsMargins(0, spacing, 0, 0);
    m_bodySlot = new RevealSlot(m_body, RevealSlot::Entrance::unfold, kFoldMs, this);
    layout->addWidget(m_bodySlot);
}

void FoldingSection::setExpanded(bool expanded)
{
    if (m_expanded == expanded)
        return;
    m_expanded = expanded;
    m_header->setExpanded(expanded);
    if (expanded) {
        foldChanging(true);
        m_body->setVisible(true);
    } else {
        m_body->setVisible(false); // the slot takes its picture first
        foldChanging(false);
    }
    Q_EMIT expandedChanged(expanded);
}

void FoldingSection::foldChanging(bool) {}
