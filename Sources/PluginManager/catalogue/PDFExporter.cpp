#include "catalogue/PDFExporter.h"

#include "Platform/AtomicFile.h"
#include "Platform/Diagnostics.h"
#include "Platform/SavePanel.h"
#include "Platform/Workspace.h"

#include <QBuffer>
#include <QCollator>
#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QStringList>
#include <QUrl>

#include <algorithm>

namespace {

// US Letter in points; the painter works in points (resolution 72, no margins).
constexpr double kPageWidth = 612.0;
constexpr double kPageHeight = 792.0;
constexpr double kMargin = 40.0;
constexpr double kTableWidth = kPageWidth - 2 * kMargin; // 532
constexpr double kRowHeight = 16.0;
constexpr double kHeaderHeight = 20.0;
constexpr double kPageBottom = kPageHeight - kMargin; // rows must end above 752
constexpr double kFirstHeaderTop = 70.0;
constexpr double kLaterHeaderTop = 30.0;
constexpr double kCellInset = 4.0;

const QString kEmDash = QStringLiteral("\u2014");

QCollator textCollator()
{
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false); // "1.10" sorts before "1.9", as plain text does
    return collator;
}

double widthFraction(const QString& title)
{
    static const QList<std::pair<QString, double>> kFractions{
        {QStringLiteral("Status"), 0.10},  {QStringLiteral("Manufacturer"), 0.22},
        {QStringLiteral("Name"), 0.26},    {QStringLiteral("Format"), 0.12},
        {QStringLiteral("Version"), 0.14}, {QStringLiteral("Last Used(Est.)"), 0.16},
    };
    for (const auto& [name, fraction] : kFractions) {
        if (name == title)
            return fraction;
    }
    return 0.2;
}

QFont systemFont(double pointSize, bool bold)
{
    QFont font = QGuiApplication::font();
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

QString subtitleDate(const QDateTime& now)
{
    const QLocale locale;
    const QString format =
        locale.dateFormat(QLocale::LongFormat) + QLatin1Char(' ') + locale.timeFormat(QLocale::ShortFormat);
    return locale.toString(now.toLocalTime(), format);
}

QByteArray csvField(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return (QLatin1Char('"') + quoted + QLatin1Char('"')).toUtf8();
}

} // namespace

namespace ExportFormats {

QString rawValue(ExportFormat format)
{
    switch (format) {
    case ExportFormat::pdf:
        return QStringLiteral("PDF");
    case ExportFormat::csv:
        return QStringLiteral("CSV");
    }
    return {};
}

std::optional<ExportFormat> fromRawValue(const QString& text)
{
    for (ExportFormat format : allCases) {
        if (rawValue(format) == text)
            return format;
    }
    return std::nullopt;
}

} // namespace ExportFormats

namespace ExportSortOptions {

QString rawValue(ExportSortOption option)
{
    switch (option) {
    case ExportSortOption::name:
        return QStringLiteral("Name");
    case ExportSortOption::manufacturer:
        return QStringLiteral("Manufacturer");
    case ExportSortOption::format:
        return QStringLiteral("Format");
    case ExportSortOption::status:
        return QStringLiteral("Status");
    case ExportSortOption::version:
        return QStringLiteral("Version");
    case ExportSortOption::lastUsed:
        return QStringLiteral("Last Used(Est.)");
    }
    return {};
}

std::optional<ExportSortOption> fromRawValue(const QString& text)
{
    for (ExportSortOption option : allCases) {
        if (rawValue(option) == text)
            return option;
    }
    return std::nullopt;
}

} // namespace ExportSortOptions

QList<AudioPlugin> PDFExporter::sortPlugins(QList<AudioPlugin> plugins, ExportSortOption by, const QDateTime& now)
{
    Q_UNUSED(now);
    const QCollator collator = textCollator();
    // Negative, zero or positive for the option's own key; ties fall back to the name.
    const auto primary = [&](const AudioPlugin& a, const AudioPlugin& b) -> int {
        switch (by) {
        case ExportSortOption::name:
            return 0;
        case ExportSortOption::manufacturer:
            return collator.compare(a.manufacturer, b.manufacturer);
        case ExportSortOption::format:
            return collator.compare(PluginFormats::rawValue(a.format), PluginFormats::rawValue(b.format));
        case ExportSortOption::status:
            return int(b.isEnabled) - int(a.isEnabled);
        case ExportSortOption::version:
            return collator.compare(a.version.value_or(QString()), b.version.value_or(QString()));
        case ExportSortOption::lastUsed:
            // Most recent first; no date counts as the most distant past.
            if (a.lastUsed.has_value() != b.lastUsed.has_value())
                return a.lastUsed ? -1 : 1;
            if (!a.lastUsed || *a.lastUsed == *b.lastUsed)
                return 0;
            return *a.lastUsed > *b.lastUsed ? -1 : 1;
        }
        return 0;
    };
    std::stable_sort(plugins.begin(), plugins.end(), [&](const AudioPlugin& a, const AudioPlugin& b) {
        const int order = primary(a, b);
        if (order != 0)
            return order < 0;
        return collator.compare(a.name, b.name) < 0;
    });
    return plugins;
}

QList<PDFExporter::Column> PDFExporter::columnOrder(ExportSortOption option, const QDateTime& now)
{
    const std::pair<ExportSortOption, Column> table[] = {
        {ExportSortOption::status, {QStringLiteral("Status"), [](const AudioPlugin& p) { return p.statusValue(); }}},
        {ExportSortOption::manufacturer,
         {QStringLiteral("Manufacturer"), [](const AudioPlugin& p) { return p.manufacturer; }}},
        {ExportSortOption::name, {QStringLiteral("Name"), [](const AudioPlugin& p) { return p.name; }}},
        {ExportSortOption::format,
         {QStringLiteral("Format"), [](const AudioPlugin& p) { return PluginFormats::rawValue(p.format); }}},
        {ExportSortOption::version,
         {QStringLiteral("Version"), [](const AudioPlugin& p) { return p.version.value_or(kEmDash); }}},
        {ExportSortOption::lastUsed,
         {QStringLiteral("Last Used(Est.)"), [now](const AudioPlugin& p) { return p.lastUsedValue(now); }}},
    };
    QList<Column> columns;
    for (const auto& [belongsTo, column] : table) {
        if (belongsTo == option)
            columns.append(column);
    }
    for (const auto& [belongsTo, column] : table) {
        if (belongsTo != option)
            columns.append(column);
    }
    return columns;
}

QList<double> PDFExporter::calculateColumnWidths(const QList<Column>& columns, double totalWidth)
{
    QList<double> widths;
    widths.reserve(columns.size());
    for (const Column& column : columns)
        widths.append(widthFraction(column.title) * totalWidth);
    return widths;
}

namespace {

// The table of the PDF on one painter: its columns, their widths and the drawing of its parts.
class PdfTable {
public:
    PdfTable(QPainter& painter, const QList<PDFExporter::Column>& columns, const QPaintDevice* device)
        : m_painter(painter), m_columns(columns), m_widths(PDFExporter::calculateColumnWidths(columns, kTableWidth)),
          m_cellMetrics(m_cellFont, device)
    {
        for (double width : std::as_const(m_widths))
            m_barWidth += width;
    }

    // Texts are placed by the top left corner of their box.
    void drawTextAt(double x, double y, const QString& text) const
    {
        m_painter.drawText(QRectF(x, y, kPageWidth, kRowHeight * 2),
                           Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, text);
    }

    void drawHeaderBar(double top) const
    {
        m_painter.fillRect(QRectF(kMargin, top, m_barWidth, kHeaderHeight), kHeaderColour);
        m_painter.setFont(m_headerFont);
        m_painter.setPen(Qt::white);
        double x = kMargin;
        for (qsizetype i = 0; i < m_columns.size(); ++i) {
            drawTextAt(x + kCellInset, top + 4, m_columns.at(i).title);
            x += m_widths.at(i);
        }
    }

    void drawRow(const AudioPlugin& plugin, double y, bool zebra) const
    {
        if (zebra)
            m_painter.fillRect(QRectF(kMargin, y, kTableWidth, kRowHeight), QColor::fromRgbF(0.95f, 0.95f, 0.95f));
        m_painter.setFont(m_cellFont);
        m_painter.setPen(Qt::black);
        double x = kMargin;
        for (qsizetype i = 0; i < m_columns.size(); ++i) {
            const double textWidth = std::max(0.0, m_widths.at(i) - 2 * kCellInset);
            QString text = m_columns.at(i).cellText(plugin);
            text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
            const QString elided = m_cellMetrics.elidedText(text, Qt::ElideRight, textWidth);
            m_painter.drawText(QRectF(x + kCellInset, y + 3, textWidth, kRowHeight),
                               Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, elided);
            x += m_widths.at(i);
        }
    }

private:
    static constexpr QColor kHeaderColour{221, 72, 116};

    QPainter& m_painter;
    const QList<PDFExporter::Column>& m_columns;
    QList<double> m_widths;
    double m_barWidth = 0;
    QFont m_headerFont = systemFont(9, true);
    QFont m_cellFont = systemFont(8, false);
    QFontMetricsF m_cellMetrics;
};

} // namespace

QByteArray PDFExporter::generatePDF(const QList<AudioPlugin>& plugins, const QList<Column>& columns,
                                    ExportSortOption sortBy, const QDateTime& now)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return {};

    {
        QPdfWriter writer(&buffer);
        writer.setCreator(QString());
        writer.setTitle(QString());
        writer.setResolution(72);
        writer.setPageLayout(
            QPageLayout(QPageSize(QSizeF(kPageWidth, kPageHeight), QPageSize::Point, QString(), QPageSize::ExactMatch),
                        QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point));

        QPainter painter;
        if (!painter.begin(&writer))
            return {};
        const PdfTable table(painter, columns, &writer);

        painter.setFont(systemFont(16, true));
        painter.setPen(Qt::black);
        table.drawTextAt(kMargin, 20, QStringLiteral("Rackhand \u2014 Plugin Export"));
        painter.setFont(systemFont(10, false));
        painter.setPen(QColor::fromRgbF(1.0f / 3, 1.0f / 3, 1.0f / 3));
        table.drawTextAt(kMargin, 40,
                         QStringLiteral("Sorted by: %1 \u2022 %2 plugins \u2022 %3")
                             .arg(ExportSortOptions::rawValue(sortBy))
                             .arg(plugins.size())
                             .arg(subtitleDate(now)));
        table.drawHeaderBar(kFirstHeaderTop);

        double y = kFirstHeaderTop + kHeaderHeight + 4; // 94
        for (qsizetype index = 0; index < plugins.size(); ++index) {
            if (y + kRowHeight >= kPageBottom) {
                if (!writer.newPage())
                    return {};
                table.drawHeaderBar(kLaterHeaderTop);
                y = kLaterHeaderTop + kHeaderHeight + 4; // 54
            }
            table.drawRow(plugins.at(index), y, index % 2 == 0);
            y += kRowHeight;
        }
        if (!painter.end())
            return {};
    }
    return bytes;
}

QByteArray PDFExporter::generateCSV(const QList<AudioPlugin>& plugins, const QList<Column>& columns)
{
    QList<QByteArray> lines;
    lines.reserve(plugins.size() + 1);
    QList<QByteArray> fields;
    for (const Column& column : columns)
        fields.append(csvField(column.title));
    lines.append(fields.join(','));
    for (const AudioPlugin& plugin : plugins) {
        fields.clear();
        for (const Column& column : columns)
            fields.append(csvField(column.cellText(plugin)));
        lines.append(fields.join(','));
    }
    return lines.join('\n');
}

PDFExporter::Outcome PDFExporter::writeExport(const QString& path, const QByteArray& bytes, Workspace& workspace)
{
    Outcome outcome;
    outcome.path = path;
    QString reason;
    if (bytes.isEmpty())
        reason = QStringLiteral("the document could not be drawn");
    else
        reason = writeFileAtomically(path, bytes);
    if (!reason.isEmpty()) {
        Diagnostics::print(QStringLiteral("Export failed: ") + reason);
        outcome.kind = Outcome::Kind::failed;
        outcome.error = reason;
        return outcome;
    }
    outcome.kind = Outcome::Kind::written;
    if (!workspace.openUrl(QUrl::fromLocalFile(path)))
        Diagnostics::print(QStringLiteral("⚠️ Could not open ") + path);
    return outcome;
}

PDFExporter::Outcome PDFExporter::exportPlugins(const QList<AudioPlugin>& plugins, ExportSortOption sortBy,
                                                SavePanel& panel, Workspace& workspace)
{
    const auto path = panel.chooseSaveLocation(QStringLiteral("Export Plugins as PDF"),
                                               QStringLiteral("Rackhand_Plugins.pdf"), QStringLiteral("PDF (*.pdf)"));
    if (!path || path->isEmpty())
        return {};
    const QDateTime now = QDateTime::currentDateTime();
    const QList<AudioPlugin> sorted = sortPlugins(plugins, sortBy, now);
    const QList<Column> columns = columnOrder(sortBy, now);
    return writeExport(*path, generatePDF(sorted, columns, sortBy, now), workspace);
}

PDFExporter::Outcome PDFExporter::exportPluginsAsCSV(const QList<AudioPlugin>& plugins, ExportSortOption sortBy,
                                                     SavePanel& panel, Workspace& workspace)
{
    const auto path = panel.chooseSaveLocation(QStringLiteral("Export Plugins as CSV"),
                                               QStringLiteral("Rackhand_Plugins.csv"), QStringLiteral("CSV (*.csv)"));
    if (!path || path->isEmpty())
        return {};
    const QDateTime now = QDateTime::currentDateTime();
    const QList<AudioPlugin> sorted = sortPlugins(plugins, sortBy, now);
    const QList<Column> columns = columnOrder(sortBy, now);
    return writeExport(*path, generateCSV(sorted, columns), workspace);
}
