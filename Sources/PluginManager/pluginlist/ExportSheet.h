#pragma once

#include "catalogue/PDFExporter.h"

#include <QDialog>
#include <QHash>

class QAbstractButton;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

/// The export sheet: file format and sort column. It only collects the choice; the
/// main content area runs the export when the sheet is accepted.
class ExportSheet final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExportSheet)
public:
    ExportSheet(ExportFormat format, ExportSortOption sortOption, QWidget* parent = nullptr);

    ExportFormat format() const { return m_format; }
    ExportSortOption sortOption() const { return m_sortOption; }
    void setFormat(ExportFormat format);
    void setSortOption(ExportSortOption option);

    QAbstractButton* formatButton(ExportFormat format) const { return m_formatButtons.value(format); }
    QRadioButton* sortButton(ExportSortOption option) const { return m_sortButtons.value(option); }
    QLabel* note() const { return m_note; }
    QPushButton* exportButton() const { return m_export; }
    QPushButton* cancelButton() const { return m_cancel; }

    static QString noteText(ExportFormat format);

Q_SIGNALS:
    void formatChanged(ExportFormat format);
    void sortOptionChanged(ExportSortOption option);

private:
    // The sheet's parts, top to bottom.
    QVBoxLayout* buildFormatSection();
    QVBoxLayout* buildSortSection();
    QHBoxLayout* buildButtons();
    void updateTexts();

    ExportFormat m_format;
    ExportSortOption m_sortOption;
    QHash<ExportFormat, QAbstractButton*> m_formatButtons;
    QHash<ExportSortOption, QRadioButton*> m_sortButtons;
    QLabel* m_note = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_cancel = nullptr;
};
