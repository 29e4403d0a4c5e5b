#include "pluginlist/ExportSheet.h"

#include "widgets/AppTheme.h"
#include "widgets/Styles.h"
#include "widgets/Typography.h"

#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
QLabel* heading(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(Typography::withWeight(Typography::listSubheadline(), QFont::DemiBold));
    Styles::setTextColor(label, AppTheme::textSecondary());
    return label;
}
} // namespace

ExportSheet::ExportSheet(ExportFormat format, ExportSortOption sortOption, QWidget* parent)
    : QDialog(parent), m_format(format), m_sortOption(sortOption)
{
    setObjectName(QStringLiteral("exportSheet"));
    setWindowTitle(QStringLiteral("Export Plugins"));
    setModal(true);
    setFixedWidth(380);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 30, 30, 30);
    layout->setSpacing(20);

    auto* title = new QLabel(QStringLiteral("Export Plugins"), this);
    title->setFont(Typography::listHeadline());
    title->setAlignment(Qt::AlignCenter);
    Styles::setTextColor(title, AppTheme::textPrimary());
    layout->addWidget(title);

    layout->addLayout(buildFormatSection());

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    layout->addLayout(buildSortSection());

    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("exportNote"));
    m_note->setFont(Typography::listCaption());
    m_note->setWordWrap(true);
    m_note->setAlignment(Qt::AlignCenter);
    Styles::setTextColor(m_note, AppTheme::textTertiary());
    layout->addWidget(m_note);

    layout->addLayout(buildButtons());

    updateTexts();
}

QVBoxLayout* ExportSheet::buildFormatSection()
{
    auto* formatSection = new QVBoxLayout;
    formatSection->setSpacing(12);
    formatSection->addWidget(heading(QStringLiteral("Format"), this));
    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    auto* formatGroup = new QButtonGroup(this);
    for (ExportFormat option : ExportFormats::allCases) {
        auto* button = new QPushButton(ExportFormats::rawValue(option), this);
        button->setObjectName(QStringLiteral("exportFormat:") + ExportFormats::rawValue(option));
        button->setAccessibleName(ExportFormats::rawValue(option));
        button->setCheckable(true);
        // One of two, as radio buttons are: read as radio buttons, the arrows move between them.
        button->setAutoExclusive(true);
        button->setAutoDefault(false);
        button->setChecked(option == m_format);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        formatGroup->addButton(button);
        segments->addWidget(button);
        m_formatButtons.insert(option, button);
        connect(button, &QPushButton::toggled, this, [this, option](bool checked) {
            if (checked)
                setFormat(option);
        });
    }
    formatSection->addLayout(segments);
    return formatSection;
}

QVBoxLayout* ExportSheet::buildSortSection()
{
    auto* sortSection = new QVBoxLayout;
    sortSection->setSpacing(12);
    sortSection->addWidget(heading(QStringLiteral("Sort by"), this));
    auto* sortGroup = new QButtonGroup(this);
    for (ExportSortOption option : ExportSortOptions::allCases) {
        auto* radio = new QRadioButton(ExportSortOptions::rawValue(option), this);
        radio->setObjectName(QStringLiteral("exportSort:") + ExportSortOptions::rawValue(option));
        radio->setChecked(option == m_sortOption);
        sortGroup->addButton(radio);
        sortSection->addWidget(radio);
        m_sortButtons.insert(option, radio);
        connect(radio, &QRadioButton::toggled, this, [this, option](bool checked) {
            if (checked)
                setSortOption(option);
        });
    }
    return sortSection;
}

QHBoxLayout* ExportSheet::buildButtons()
{
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(16);
    buttons->addStretch(1);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("exportCancelButton"));
    m_cancel->setAutoDefault(false);
    m_export = new QPushButton(this);
    m_export->setObjectName(QStringLiteral("exportConfirmButton"));
    m_export->setDefault(true);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_export, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_export);
    buttons->addStretch(1);
    return buttons;
}

QString ExportSheet::noteText(ExportFormat format)
{
    return format == ExportFormat::pdf ? QStringLiteral("The selected sort column will appear first in the PDF.")
                                       : QStringLiteral("Columns will be ordered with the selected sort column first.");
}

void ExportSheet::setFormat(ExportFormat format)
{
    if (auto* button = m_formatButtons.value(format); button && !button->isChecked())
        button->setChecked(true);
    if (m_format == format)
        return updateTexts();
    m_format = format;
    updateTexts();
    Q_EMIT formatChanged(format);
}

void ExportSheet::setSortOption(ExportSortOption option)
{
    if (auto* radio = m_sortButtons.value(option); radio && !radio->isChecked())
        radio->setChecked(true);
    if (m_sortOption == option)
        return;
    m_sortOption = option;
    Q_EMIT sortOptionChanged(option);
}

void ExportSheet::updateTexts()
{
    m_note->setText(noteText(m_format));
    m_export->setText(QStringLiteral("Export as ") + ExportFormats::rawValue(m_format));
    m_export->setAccessibleName(m_export->text());
}
