#include "catalogue/PDFExporter.h"

#include "Platform/SavePanel.h"
#include "Platform/Workspace.h"
#include "Support/FileSizeLimit.h"
#include "Support/SandboxTest.h"
#include "catalogue/PluginScanner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <csignal>
#include <sys/resource.h>

namespace {

const QDateTime kNow = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);

AudioPlugin plugin(const QString& name, const QString& manufacturer = QStringLiteral("Acme"),
                   PluginFormat format = PluginFormat::vst3, bool enabled = true,
                   std::optional<QString> version = std::nullopt, std::optional<QDateTime> lastUsed = std::nullopt)
{
    const QString path = QStringLiteral("/p/") + name;
    return AudioPlugin{QUuid::createUuid(), name,         manufacturer,       format, path, path, enabled,
                       std::move(version),  std::nullopt, std::move(lastUsed)};
}

QStringList labels(const QList<AudioPlugin>& plugins)
{
    QStringList list;
    for (const AudioPlugin& p : plugins)
        list << p.manufacturer + QLatin1Char('/') + p.name;
    return list;
}

QStringList titles(const QList<PDFExporter::Column>& columns)
{
    QStringList list;
    for (const auto& column : columns)
        list << column.title;
    return list;
}

QList<AudioPlugin> manyPlugins(int count)
{
    QList<AudioPlugin> plugins;
    for (int i = 0; i < count; ++i)
        plugins.append(plugin(QStringLiteral("Plugin %1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("Maker"),
                              PluginFormats::allCases[i % 6], i % 3 != 0,
                              i % 4 ? std::optional<QString>(QStringLiteral("1.%1").arg(i)) : std::nullopt,
                              i % 5 ? std::optional<QDateTime>(kNow.addDays(-i)) : std::nullopt));
    return plugins;
}

qsizetype pageCount(const QByteArray& pdf)
{
    return pdf.count("/Type /Page\n") + pdf.count("/Type /Page ") + pdf.count("/Type /Page/") +
           pdf.count("/Type /Page>");
}

class FakeSavePanel final : public SavePanel {
public:
    std::optional<QString> answer;
    QStringList asked;
    std::optional<QString> chooseSaveLocation(const QString& title, const QString& proposedFileName,
                                              const QString& nameFilter) override
    {
        asked << title << proposedFileName << nameFilter;
        return answer;
    }
};

class FakeWorkspace final : public Workspace {
public:
    QList<QUrl> opened;
    bool openUrl(const QUrl& url) override
    {
        opened.append(url);
        return true;
    }
};

/// Word boxes of one page as pdftotext sees them; empty when the tool is not installed.
struct Word {
    double xMin, yMin, xMax, yMax;
    QString text;
};
QList<Word> wordsOfPage(const QString& pdfPath, int page)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        return {};
    QProcess process;
    process.start(tool, {QStringLiteral("-bbox"), QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                         QString::number(page), pdfPath, QStringLiteral("-")});
    process.waitForFinished(30000);
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    static const QRegularExpression wordPattern(
        QStringLiteral(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    QList<Word> words;
    for (const auto& match : wordPattern.globalMatch(html)) {
        QString text = match.captured(5);
        text.replace(QStringLiteral("&amp;"), QStringLiteral("&"))
            .replace(QStringLiteral("&quot;"), QStringLiteral("\""));
        words.append({match.captured(1).toDouble(), match.captured(2).toDouble(), match.captured(3).toDouble(),
                      match.captured(4).toDouble(), text});
    }
    return words;
}

} // namespace

TEST(PDFExporterTest, RawValues)
{
    QStringList options;
    for (ExportSortOption option : ExportSortOptions::allCases)
        options << ExportSortOptions::rawValue(option);
    EXPECT_EQ(options, (QStringList{"Name", "Manufacturer", "Format", "Status", "Version", "Last Used(Est.)"}));
    EXPECT_EQ(ExportSortOptions::fromRawValue(QStringLiteral("Last Used(Est.)")), ExportSortOption::lastUsed);
    EXPECT_FALSE(ExportSortOptions::fromRawValue(QStringLiteral("name")));
    EXPECT_EQ(ExportFormats::fromRawValue(QStringLiteral("CSV")), ExportFormat::csv);
    EXPECT_FALSE(ExportFormats::fromRawValue(QStringLiteral("pdf")));
}

TEST(PDFExporterTest, SortsStablyByEachOption)
{
    const QDateTime today = kNow.addSecs(-3600);
    struct Row {
        ExportSortOption option;
        QList<AudioPlugin> input;
        QStringList expected;
    };
    const Row rows[] = {
        {ExportSortOption::name,
         {plugin("b"), plugin("A", "first"), plugin("c"), plugin("a", "second")},
         {"first/A", "second/a", "Acme/b", "Acme/c"}},
        {ExportSortOption::manufacturer,
         {plugin("Zeta", "Acme"), plugin("alpha", "acme"), plugin("Alpha", "Beta")},
         {"acme/alpha", "Acme/Zeta", "Beta/Alpha"}},
        {ExportSortOption::format,
         {plugin("w", "m", PluginFormat::wavesBundle), plugin("v3", "m", PluginFormat::vst3),
          plugin("v2", "m", PluginFormat::vst2), plugin("c", "m", PluginFormat::clap),
          plugin("b", "m", PluginFormat::au), plugin("a", "m", PluginFormat::au), plugin("x", "m", PluginFormat::aax)},
         {"m/x", "m/a", "m/b", "m/c", "m/v2", "m/v3", "m/w"}},
        {ExportSortOption::status,
         {plugin("d", "off", PluginFormat::vst3, false), plugin("b", "on"),
          plugin("a", "off", PluginFormat::vst3, false), plugin("c", "on")},
         {"on/b", "on/c", "off/a", "off/d"}},
        {ExportSortOption::version,
         {plugin("n9", "v", PluginFormat::vst3, true, QStringLiteral("9.0")),
          plugin("n10", "v", PluginFormat::vst3, true, QStringLiteral("10.0")), plugin("none-b"),
          plugin("n19", "v", PluginFormat::vst3, true, QStringLiteral("1.9")),
          plugin("n110", "v", PluginFormat::vst3, true, QStringLiteral("1.10")), plugin("none-a")},
         {"Acme/none-a", "Acme/none-b", "v/n110", "v/n19", "v/n10", "v/n9"}},
        {ExportSortOption::lastUsed,
         {plugin("never-b"), plugin("old", "u", PluginFormat::vst3, true, {}, kNow.addDays(-40)), plugin("never-a"),
          plugin("today", "u", PluginFormat::vst3, true, {}, today),
          plugin("same-b", "u", PluginFormat::vst3, true, {}, kNow.addDays(-2)),
          plugin("same-a", "u", PluginFormat::vst3, true, {}, kNow.addDays(-2))},
         {"u/today", "u/same-a", "u/same-b", "u/old", "Acme/never-a", "Acme/never-b"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(ExportSortOptions::rawValue(row.option).toStdString());
        EXPECT_EQ(labels(PDFExporter::sortPlugins(row.input, row.option, kNow)), row.expected);
    }
}

TEST(PDFExporterTest, ColumnOrderAndWidths)
{
    EXPECT_EQ(titles(PDFExporter::columnOrder(ExportSortOption::name)),
              (QStringList{"Name", "Status", "Manufacturer", "Format", "Version", "Last Used(Est.)"}));
    EXPECT_EQ(titles(PDFExporter::columnOrder(ExportSortOption::status)),
              (QStringList{"Status", "Manufacturer", "Name", "Format", "Version", "Last Used(Est.)"}));
    EXPECT_EQ(titles(PDFExporter::columnOrder(ExportSortOption::lastUsed)),
              (QStringList{"Last Used(Est.)", "Status", "Manufacturer", "Name", "Format", "Version"}));
    const auto columns = PDFExporter::columnOrder(ExportSortOption::format);
    EXPECT_EQ(titles(columns), (QStringList{"Format", "Status", "Manufacturer", "Name", "Version", "Last Used(Est.)"}));

    const QList<double> widths = PDFExporter::calculateColumnWidths(columns, 532);
    const double expected[] = {63.84, 53.2, 117.04, 138.32, 74.48, 85.12};
    ASSERT_EQ(widths.size(), 6);
    double sum = 0;
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(widths.at(i), expected[i], 1e-9) << i;
        sum += widths.at(i);
    }
    EXPECT_NEAR(sum, 532, 1e-9);
    const QList<PDFExporter::Column> unknown{{QStringLiteral("Notes"), [](const AudioPlugin&) { return QString(); }}};
    EXPECT_NEAR(PDFExporter::calculateColumnWidths(unknown, 532).first(), 106.4, 1e-9);
}

TEST(PDFExporterTest, CsvQuotesEveryFieldAndEndsWithoutNewline)
{
    const QList<AudioPlugin> plugins{
        plugin(QStringLiteral("Two\nLines \U0001F3B8"), QString(), PluginFormat::au, false),
        plugin(QStringLiteral("Say \"Hi\""), QStringLiteral("Acme, Inc."), PluginFormat::vst3, true,
               QStringLiteral("1.0"), kNow.addDays(-1)),
    };
    const auto sorted = PDFExporter::sortPlugins(plugins, ExportSortOption::name, kNow);
    const QByteArray csv = PDFExporter::generateCSV(sorted, PDFExporter::columnOrder(ExportSortOption::name, kNow));
    const QByteArray expected =
        "\"Name\",\"Status\",\"Manufacturer\",\"Format\",\"Version\",\"Last Used(Est.)\"\n"
        "\"Say \"\"Hi\"\"\",\"Enabled\",\"Acme, Inc.\",\"VST3\",\"1.0\",\"Yesterday\"\n"
        "\"Two\nLines \xF0\x9F\x8E\xB8\",\"Disabled\",\"\",\"Audio Units\",\"\xE2\x80\x94\",\"Unknown\"";
    EXPECT_EQ(csv, expected);

    EXPECT_EQ(PDFExporter::generateCSV({}, PDFExporter::columnOrder(ExportSortOption::status)),
              QByteArray("\"Status\",\"Manufacturer\",\"Name\",\"Format\",\"Version\",\"Last Used(Est.)\""));
}

TEST(PDFExporterTest, PagesHoldFortyOneThenFortyThreeRows)
{
    const auto columns = PDFExporter::columnOrder(ExportSortOption::name, kNow);
    const std::pair<int, int> rows[] = {{0, 1}, {41, 1}, {42, 2}, {84, 2}, {85, 3}};
    for (const auto& [count, pages] : rows) {
        SCOPED_TRACE(count);
        const QByteArray pdf = PDFExporter::generatePDF(manyPlugins(count), columns, ExportSortOption::name, kNow);
        ASSERT_TRUE(pdf.startsWith("%PDF-"));
        EXPECT_EQ(pageCount(pdf), pages);
        static const QRegularExpression mediaBox(QStringLiteral(R"(/MediaBox \[0 0 612(\.0+)? 792(\.0+)?\])"));
        EXPECT_EQ(QString::fromLatin1(pdf).count(mediaBox), pages);
    }
}

class PDFExporterFileTest : public SandboxTest {};

TEST_F(PDFExporterFileTest, PdfTextSitsWhereItShould)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    QList<AudioPlugin> plugins = manyPlugins(42);
    plugins[0].name = QStringLiteral("Aaa An Extremely Long Plugin Name That Cannot Fit In Its Column At All");
    plugins[0].version.reset();
    const auto columns = PDFExporter::columnOrder(ExportSortOption::name, kNow);
    const auto sorted = PDFExporter::sortPlugins(plugins, ExportSortOption::name, kNow);
    const QString path = home() + QStringLiteral("/out.pdf");
    writeFile(path, PDFExporter::generatePDF(sorted, columns, ExportSortOption::name, kNow));

    const QList<Word> page1 = wordsOfPage(path, 1);
    ASSERT_FALSE(page1.isEmpty());
    QString text;
    for (const Word& w : page1)
        text += w.text + QLatin1Char(' ');
    EXPECT_TRUE(text.startsWith(QStringLiteral("Rackhand — Plugin Export Sorted by: Name • 42 plugins • ")))
        << text.left(120).toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Name Status Manufacturer Format Version Last Used(Est.)")));
    EXPECT_TRUE(text.contains(QStringLiteral("—")));
    EXPECT_TRUE(text.contains(QStringLiteral("…"))) << "the long name is elided";
    EXPECT_FALSE(text.contains(QStringLiteral("At All")));

    // Title, subtitle and header titles are placed by the top left of their text box.
    const Word& title = page1.at(0);
    EXPECT_EQ(title.text, QStringLiteral("Rackhand"));
    EXPECT_NEAR(title.xMin, 40, 1.5);
    EXPECT_GE(title.yMin, 20 - 0.5);
    EXPECT_LT(title.yMin, 26);
    for (const Word& w : page1) {
        if (w.text == QStringLiteral("Sorted")) {
            EXPECT_NEAR(w.xMin, 40, 1.5);
            EXPECT_GE(w.yMin, 40 - 0.5);
            EXPECT_LT(w.yMin, 45);
        }
        if (w.text == QStringLiteral("Status") && w.yMin < 94) {
            EXPECT_NEAR(w.xMin, 40 + 138.32 + 4, 1.5);
            EXPECT_GE(w.yMin, 74 - 0.5);
            EXPECT_LT(w.yMin, 79);
        }
        // Cells of the first column stay inside it.
        if (w.yMin > 94 && w.xMin < 178) {
            EXPECT_LE(w.xMax, 40 + 138.32 - 4 + 0.5) << w.text.toStdString();
        }
    }
    const QList<Word> page2 = wordsOfPage(path, 2);
    ASSERT_GE(page2.size(), 6);
    EXPECT_EQ(page2.at(0).text, QStringLiteral("Name")) << "later pages begin with the header bar";
    EXPECT_GE(page2.at(0).yMin, 34 - 0.5);
    EXPECT_LT(page2.at(0).yMin, 39);
    bool lastRowThere = false;
    for (const Word& w : page2)
        lastRowThere = lastRowThere || w.text == sorted.last().name.section(QLatin1Char(' '), -1);
    EXPECT_TRUE(lastRowThere);
}

TEST_F(PDFExporterFileTest, CancelDoesNothing)
{
    FakeSavePanel panel;
    FakeWorkspace workspace;
    EXPECT_EQ(PDFExporter::exportPlugins(manyPlugins(3), ExportSortOption::name, panel, workspace).kind,
              PDFExporter::Outcome::Kind::cancelled);
    EXPECT_EQ(PDFExporter::exportPluginsAsCSV(manyPlugins(3), ExportSortOption::name, panel, workspace).kind,
              PDFExporter::Outcome::Kind::cancelled);
    EXPECT_EQ(panel.asked, (QStringList{"Export Plugins as PDF", "Rackhand_Plugins.pdf", "PDF (*.pdf)",
                                        "Export Plugins as CSV", "Rackhand_Plugins.csv", "CSV (*.csv)"}));
    EXPECT_TRUE(workspace.opened.isEmpty());
    EXPECT_TRUE(printedLines().isEmpty());
}

TEST_F(PDFExporterFileTest, WrittenExportsAreOpened)
{
    FakeSavePanel panel;
    FakeWorkspace workspace;
    const QList<AudioPlugin> plugins = manyPlugins(5);

    panel.answer = home() + QStringLiteral("/Exports/Rackhand_Plugins.pdf");
    auto outcome = PDFExporter::exportPlugins(plugins, ExportSortOption::format, panel, workspace);
    EXPECT_EQ(outcome.kind, PDFExporter::Outcome::Kind::written);
    EXPECT_EQ(outcome.path, *panel.answer);
    EXPECT_TRUE(readFile(*panel.answer).startsWith("%PDF-"));

    // Replacing an existing file works the same way.
    writeFile(home() + QStringLiteral("/out.csv"), "old");
    panel.answer = home() + QStringLiteral("/out.csv");
    outcome = PDFExporter::exportPluginsAsCSV(plugins, ExportSortOption::status, panel, workspace);
    EXPECT_EQ(outcome.kind, PDFExporter::Outcome::Kind::written);
    EXPECT_EQ(readFile(*panel.answer),
              PDFExporter::generateCSV(PDFExporter::sortPlugins(plugins, ExportSortOption::status),
                                       PDFExporter::columnOrder(ExportSortOption::status)));

    EXPECT_EQ(workspace.opened,
              (QList<QUrl>{QUrl::fromLocalFile(home() + QStringLiteral("/Exports/Rackhand_Plugins.pdf")),
                           QUrl::fromLocalFile(home() + QStringLiteral("/out.csv"))}));
    EXPECT_TRUE(printedLines().isEmpty());
}

TEST_F(PDFExporterFileTest, FailedWritesOpenNothing)
{
    FakeSavePanel panel;
    FakeWorkspace workspace;
    const QString blocker = home() + QStringLiteral("/blocker");
    writeFile(blocker, "x");
    makeDir(home() + QStringLiteral("/folder.pdf"));
    writeFile(home() + QStringLiteral("/old.csv"), "old bytes");

    struct Row {
        const char* name;
        QString path;
        bool pdf;
    };
    const Row rows[] = {
        {"target is a folder", home() + QStringLiteral("/folder.pdf"), true},
        {"folder cannot be created", blocker + QStringLiteral("/sub/out.csv"), false},
        {"disk full, old file kept", home() + QStringLiteral("/old.csv"), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        clearPrintedLines();
        panel.answer = row.path;
        std::optional<FileSizeLimit> limit;
        if (std::string(row.name).starts_with("disk full"))
            limit.emplace(4);
        const auto outcome =
            row.pdf ? PDFExporter::exportPlugins(manyPlugins(3), ExportSortOption::name, panel, workspace)
                    : PDFExporter::exportPluginsAsCSV(manyPlugins(3), ExportSortOption::name, panel, workspace);
        limit.reset();
        EXPECT_EQ(outcome.kind, PDFExporter::Outcome::Kind::failed);
        EXPECT_FALSE(outcome.error.isEmpty());
        EXPECT_EQ(printedLines(), QStringList{QStringLiteral("Export failed: ") + outcome.error});
    }
    EXPECT_EQ(readFile(home() + QStringLiteral("/old.csv")), QByteArray("old bytes"));
    EXPECT_TRUE(workspace.opened.isEmpty());

    // A document that could not be drawn is a failed write too.
    clearPrintedLines();
    const QString never = home() + QStringLiteral("/never.pdf");
    const auto outcome = PDFExporter::writeExport(never, {}, workspace);
    EXPECT_EQ(outcome.kind, PDFExporter::Outcome::Kind::failed);
    EXPECT_FALSE(QFileInfo::exists(never));
    EXPECT_TRUE(workspace.opened.isEmpty());
    EXPECT_EQ(printedLines(), QStringList{QStringLiteral("Export failed: the document could not be drawn")});
}
