#include "widgets/FoldingSection.h"

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
    layout->setSpacing(spacing);

    m_header = new SectionHeaderButton(title, std::move(chevronColor), this);
    m_headerRow = new QHBoxLayout;
    m_headerRow->setContentsMargins(headerMargins);
    m_headerRow->setSpacing(6);
    m_headerRow->addWidget(m_header, 1);
    layout->addLayout(m_headerRow);
    connect(m_header, &QAbstractButton::clicked, this, [this] { setExpanded(!m_expanded); });

    m_body = new QWidget(this);
    layout->addWidget(m_body);
    m_body->setVisible(false);
}

void FoldingSection::setExpanded(bool expanded)
{
    if (m_expanded == expanded)
        return;
    m_expanded = expanded;
    m_header->setExpanded(expanded);
    foldChanging(expanded);
    m_body->setVisible(expanded);
    Q_EMIT expandedChanged(expanded);
}

void FoldingSection::foldChanging(bool) {}
