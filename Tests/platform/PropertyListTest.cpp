#include "Platform/PropertyList.h"

#include "Platform/AtomicFile.h"
#include "Platform/Paths.h"
#include "Support/SandboxTest.h"

#include <QDateTime>
#include <QDir>

#include <algorithm>
#include <functional>
#include <iterator>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace {

/// A binary plist by hand (libplist itself recurses when writing): a dictionary
/// {"k": object 2} at the top, then `count` arrays whose references come from
/// `refsOf(i)` (object numbers), the last objects being empty arrays. With
/// `sixteenByteCounts` every array gives its count as a 16-byte integer.
QByteArray binaryPlist(int count, const std::function<std::vector<quint32>(int)>& refsOf,
                       bool sixteenByteCounts = false)
{
    const int objects = count + 2; // 0: the dictionary, 1: the key, 2...: the arrays
    QByteArray body("bplist00");
    std::vector<quint32> offsets;
    const auto ref = [&body](quint32 value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            body.append(char((value >> shift) & 0xff));
    };
    offsets.push_back(quint32(body.size()));
    body.append(char(0xD1));
    ref(1);
    ref(2);
    offsets.push_back(quint32(body.size()));
    body.append(char(0x51)).append('k');
    for (int i = 0; i < count; ++i) {
        offsets.push_back(quint32(body.size()));
        const std::vector<quint32> refs = refsOf(i);
        if (sixteenByteCounts) {
            body.append(char(0xAF)).append(char(0x14)).append(QByteArray(12, '\0'));
            ref(quint32(refs.size()));
        } else if (refs.size() < 15) {
            body.append(char(0xA0 | refs.size()));
        } else {
            body.append(char(0xAF)).append(char(0x12));
            ref(quint32(refs.size()));
        }
        for (quint32 r : refs)
            ref(r + 2);
    }
    const quint32 table = quint32(body.size());
    for (quint32 offset : offsets)
        ref(offset);
    QByteArray trailer(32, '\0');
    trailer[6] = 4;
    trailer[7] = 4;
    for (int b = 0; b < 4; ++b) {
        trailer[15 - b] = char((quint32(objects) >> (8 * b)) & 0xff);
        trailer[31 - b] = char((table >> (8 * b)) & 0xff);
    }
    return body + trailer;
}

QByteArray nestedXml(int depth)
{
    QByteArray xml("<?xml version=\"1.0\"?><plist><dict><key>k</key>");
    xml += QByteArray("<array>").repeated(depth) + QByteArray("</array>").repeated(depth);
    return xml + "</dict></plist>";
}

} // namespace

class PropertyListTest : public SandboxTest {
protected:
    struct Row {
        const char* name;
        QByteArray bytes;
    };

    static QVariantMap realisticInfo()
    {
        return {
            {"CFBundleIdentifier", "com.acme.echo"},
            {"CFBundleShortVersionString", QStringLiteral("2.0 β")},
            {"CFBundleName", "Echo"},
            {"LSMinimumSystemVersion", 10.13},
            {"Created", QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9), Qt::UTC)},
            {"Blob", QByteArray("\x01\x02\x03", 3)},
            {"Nested", QVariantMap{{"CFBundleIdentifier", "com.wrong.one"}, {"AudioComponents", "not these"}}},
            {"AudioComponents", QVariantList{QVariantMap{{"name", "Acme: Echo"},
                                                         {"version", qint64(65536)},
                                                         {"sandboxSafe", true},
                                                         {"tags", QVariantList{"Effects", "Delay"}},
                                                         {"inner", QVariantMap{{"CFBundleIdentifier", "com.inner"}}}},
                                             QVariantMap{{"name", "Acme: Echo Mono"}}}}};
    }

    QString realisticXmlPath() const { return home() + "/r.plist"; }

    /// A file in the frame libplist writes around a dictionary's entries.
    static QByteArray doc(const QByteArray& body)
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
               "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n<dict>\n" +
               body + "\n</dict>\n</plist>\n";
    }

    /// Info.plists as tools write them, and the odd, broken and hostile forms either reader
    /// must get right or hand on. Writes the realistic one as XML and binary into home().
    std::vector<Row> infoPlistRows();

    /// A binary plist of `objects`, each already encoded, the first the top one; references
    /// are one byte wide, offsets two.
    static QByteArray rawBinary(const std::vector<QByteArray>& objects)
    {
        QByteArray bytes("bplist00");
        std::vector<int> offsets;
        for (const QByteArray& object : objects) {
            offsets.push_back(int(bytes.size()));
            bytes += object;
        }
        const auto tableOffset = quint64(bytes.size());
        for (int offset : offsets)
            bytes.append(char(offset >> 8)).append(char(offset & 0xFF));
        QByteArray trailer(32, '\0');
        trailer[6] = 2;
        trailer[7] = 1;
        for (int i = 0; i < 8; ++i) {
            trailer[8 + i] = char(quint64(objects.size()) >> (8 * (7 - i)));
            trailer[24 + i] = char(tableOffset >> (8 * (7 - i)));
        }
        return bytes + trailer;
    }
};

std::vector<PropertyListTest::Row> PropertyListTest::infoPlistRows()
{
    const QVariantMap realistic = realisticInfo();
    const QString xmlPath = realisticXmlPath();
    const QString binaryPath = home() + "/rb.plist";
    EXPECT_TRUE(writePropertyList(xmlPath, realistic, false));
    EXPECT_TRUE(writePropertyList(binaryPath, realistic, true));
    const QByteArray written = readFile(xmlPath);
    const QByteArray id("<key>CFBundleIdentifier</key><string>com.acme.x</string>");
    return {
        {"xml as libplist writes it", written},
        {"binary", readFile(binaryPath)},
        {"xml with CRLF line ends", QByteArray(written).replace("\n", "\r\n")},
        {"xml without declaration or doctype", "<plist><dict>" + id + "</dict></plist>"},
        {"xml without the plist element", "<dict>" + id + "</dict>"},
        {"empty top dictionary", doc("").replace("<dict>\n\n</dict>", "<dict/>")},
        {"missing keys", doc("<key>CFBundleName</key><string>x</string>")},
        {"empty string forms",
         doc("<key>CFBundleIdentifier</key><string/><key>CFBundleShortVersionString</key><string></string>")},
        {"a later entry of a key wins", doc(id + "<key>CFBundleIdentifier</key><string>com.acme.second</string>")},
        {"a key without a value", doc(id + "<key>CFBundleShortVersionString</key>")},
        {"keys of other types", doc("<key>CFBundleIdentifier</key><integer>7</integer>"
                                    "<key>CFBundleShortVersionString</key><true/>"
                                    "<key>AudioComponents</key><dict><key>name</key><string>A: B</string></dict>")},
        {"components with plain numbers",
         doc("<key>AudioComponents</key><array><dict><key>version</key><integer>-5</integer>"
             "<key>big</key><integer>123456789012345678</integer><key>zero</key><integer>007</integer></dict>"
             "</array>")},
        {"components with numbers of every form",
         doc("<key>AudioComponents</key><array><dict><key>version</key><integer>-5</integer>"
             "<key>big</key><integer>123456789012345678</integer><key>huge</key>"
             "<integer>99999999999999999999999</integer><key>hex</key><integer>0x10</integer></dict></array>")},
        {"components holding a real and a date",
         doc("<key>AudioComponents</key><array><dict><key>r</key><real>1.5</real>"
             "<key>d</key><date>2020-01-02T03:04:05Z</date></dict></array>")},
        {"values with spaces", doc("<key>CFBundleIdentifier</key><string>  com.acme.x \n</string>"
                                   "<key>AudioComponents</key><array><dict><key>v</key><integer> 5 </integer>"
                                   "</dict></array>")},
        {"entities", doc("<key>CFBundleIdentifier</key><string>com.a&amp;b&#65;&lt;</string>")},
        {"entity in a key", doc("<key>CFBundle&#73;dentifier</key><string>com.acme.x</string>")},
        {"CDATA", doc("<key>CFBundleIdentifier</key><string><![CDATA[com.<acme>]]></string>")},
        {"comments", doc("<!-- a comment -->" + id)},
        {"spaces inside tags", doc("<key >CFBundleIdentifier</key ><string >com.acme.x</string >")},
        {"attributes on a value", doc("<key>CFBundleIdentifier</key><string id=\"1\">com.acme.x</string>")},
        {"upper-case tags", doc("<KEY>CFBundleIdentifier</KEY><STRING>x</STRING>")},
        {"non-ASCII text",
         doc(QStringLiteral("<key>CFBundleIdentifier</key><string>com.ä.Ω🎛️</string>").toUtf8())},
        {"invalid UTF-8", doc(rawBytes("<key>CFBundleIdentifier</key><string>com.\xff\xfe</string>"))},
        {"Latin-1 declared", QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><plist><dict>"
                                        "<key>CFBundleIdentifier</key><string>caf\xe9</string></dict></plist>")},
        {"byte-order mark", "\xEF\xBB\xBF" + doc(id)},
        {"UTF-16", QByteArray(reinterpret_cast<const char*>(QString::fromUtf8(doc(id)).utf16()),
                              QString::fromUtf8(doc(id)).size() * 2)},
        {"a NUL in a string", doc(rawBytes("<key>CFBundleIdentifier</key><string>a\0b</string>"))},
        {"NULs padding the end", doc(id) + QByteArray(3, '\0')},
        {"deep nesting", doc("<key>AudioComponents</key>" + QByteArray("<array>").repeated(40) +
                             QByteArray("</array>").repeated(40) + id)},
        {"unknown tag", doc("<key>Other</key><thing>x</thing>" + id)},
        {"mismatched closing tag", doc("<key>CFBundleIdentifier</key><string>x</key>")},
        {"unclosed string", doc("<key>CFBundleIdentifier</key><string>com.acme")},
        {"unclosed document", "<plist><dict>" + id},
        {"text between values", doc("junk" + id)},
        {"garbage after the end", doc(id) + "garbage"},
        {"a second top value", "<plist><dict>" + id + "</dict><dict/></plist>"},
        {"array at the top", "<plist><array><string>x</string></array></plist>"},
        {"doctype with an internal subset",
         "<!DOCTYPE plist [<!ENTITY e \"x\">]><plist><dict>" + id + "</dict></plist>"},
        {"markup inside the plist attributes", "<plist version=\"1.0\" a='b>'><dict>" + id + "</dict></plist>"},
        {"odd real and date elsewhere", doc("<key>R</key><real>abc</real><key>D</key><date>x</date>" + id)},
        {"odd data elsewhere", doc("<key>B</key><data>!!!</data>" + id)},
        {"truncated binary", readFile(binaryPath).left(60)},
        {"empty", QByteArray()},
    };
}

TEST_F(PropertyListTest, ReadsXmlAndBinaryAlike)
{
    const QVariantMap info{{"CFBundleIdentifier", "com.acme.echo"},
                           {"CFBundleShortVersionString", "1.2.3"},
                           {"AudioComponents", QVariantList{QVariantMap{{"name", "Acme: Echo"}}}}};
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "xml");
        const QString path = home() + (binary ? "/b.plist" : "/x.plist");
        ASSERT_TRUE(writePropertyList(path, info, binary));
        const QVariantMap read = readPropertyList(path);
        EXPECT_EQ(read.value("CFBundleIdentifier").toString(), QStringLiteral("com.acme.echo"));
        EXPECT_EQ(read.value("AudioComponents").toList().value(0).toMap().value("name").toString(),
                  QStringLiteral("Acme: Echo"));
    }
}

TEST_F(PropertyListTest, BadInputReadsAsNoValues)
{
    struct Row {
        const char* name;
        QByteArray bytes;
    };
    const Row rows[] = {
        {"empty", QByteArray()},
        {"garbage", rawBytes("\x00\x01\x02garbage\xff")},
        {"truncated xml", QByteArray("<?xml version=\"1.0\"?><plist><dict><key>A</key><str")},
        {"truncated binary", rawBytes("bplist00\xd1\x01\x02")},
        {"array top level", QByteArray("<?xml version=\"1.0\"?><plist><array><string>x</string></array></plist>")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        writeFile(home() + "/f.plist", row.bytes);
        EXPECT_TRUE(readPropertyList(home() + "/f.plist").isEmpty());
    }
    EXPECT_TRUE(readPropertyList(home() + "/missing.plist").isEmpty());
    EXPECT_TRUE(readPropertyList(home()).isEmpty()); // a folder
}

// libplist recurses once per nesting level when it parses and frees: a small hostile
// file nested 200,000 deep used to overflow the stack and kill the scan.
TEST_F(PropertyListTest, HostileNestingReadsAsNoValuesWithoutCrashing)
{
    constexpr int kDeep = 200000;
    const auto chain = [](int count) {
        return [count](int i) { return i + 1 < count ? std::vector<quint32>{quint32(i + 1)} : std::vector<quint32>{}; };
    };
    struct Row {
        const char* name;
        QByteArray bytes;
        bool readable;
    };
    const Row rows[] = {
        {"xml nested 40", nestedXml(40), true},
        {"xml nested 200000", nestedXml(kDeep), false},
        {"xml depth hidden behind comments",
         "<?xml version=\"1.0\"?><plist><dict><key>k</key>" + QByteArray("<array><!--</array>-->").repeated(kDeep) +
             QByteArray("</array>").repeated(kDeep) + "</dict></plist>",
         false},
        {"xml comments and CDATA mentioning tags",
         "<?xml version=\"1.0\"?><!-- <array> --><plist><dict><key>k</key>"
         "<string><![CDATA[<dict>]]></string></dict></plist>",
         true},
        {"xml empty arrays do not nest",
         "<?xml version=\"1.0\"?><plist><dict><key>k</key><array>" + QByteArray("<array/>").repeated(kDeep) +
             "</array></dict></plist>",
         true},
        {"binary nested 40", binaryPlist(40, chain(40)), true},
        {"binary nested 200000", binaryPlist(kDeep, chain(kDeep)), false},
        // The first array lists every other one, deepest first, so each is first reached
        // one level down; the chain through them is still 200,000 deep.
        {"binary chain reached shallow first",
         binaryPlist(kDeep,
                     [](int i) {
                         if (i > 0)
                             return i + 1 < kDeep ? std::vector<quint32>{quint32(i + 1)} : std::vector<quint32>{};
                         std::vector<quint32> all;
                         for (int j = kDeep - 1; j > 0; --j)
                             all.push_back(quint32(j));
                         return all;
                     }),
         false},
        {"binary cycle", binaryPlist(2, [](int i) { return std::vector<quint32>{quint32(1 - i)}; }), false},
        // libplist reads such a count by its low 8 bytes and recurses as deep as ever.
        {"binary nested 200000 behind 16-byte counts", binaryPlist(kDeep, chain(kDeep), true), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        writeFile(home() + "/deep.plist", row.bytes);
        const QVariantMap read = readPropertyList(home() + "/deep.plist");
        EXPECT_EQ(read.contains("k"), row.readable);
    }
}

// libplist keeps a NUL inside a string or key and then aborts the whole program on
// reading it: one hostile Info.plist must not end a scan.
TEST_F(PropertyListTest, StringsHoldingNulReadAsNoValuesWithoutAborting)
{
    const QByteArray head("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k</key>");
    const QByteArray tail("</dict></plist>");
    // Binary plists store a non-ASCII text as UTF-16; the "Q" after the "é" becomes U+0000.
    const auto binaryWithNul = [this](const QVariantMap& info) {
        const QString path = home() + "/utf16.plist";
        writePropertyList(path, info, true);
        QByteArray bytes = readFile(path);
        const qsizetype at = bytes.indexOf(QByteArray("\x00\xe9\x00Q", 4));
        if (at >= 0)
            bytes[at + 3] = '\0';
        return at >= 0 ? bytes : QByteArray();
    };
    struct Row {
        const char* name;
        QByteArray bytes;
        bool readable;
    };
    const Row rows[] = {
        {"xml string", head + rawBytes("<string>a\0b</string>") + tail, false},
        {"xml CDATA", head + rawBytes("<string><![CDATA[a\0b]]></string>") + tail, false},
        {"xml key", head + rawBytes("<string>v</string><key>a\0b</key><string>w</string>") + tail, false},
        {"xml padded with NULs after the end", head + "<string>v</string>" + tail + QByteArray(3, '\0'), true},
        {"binary string", binaryWithNul({{"k", QStringLiteral("v\u00e9Qv")}}), false},
        {"binary key", binaryWithNul({{"k", "v"}, {QStringLiteral("k\u00e9Qk"), "w"}}), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_FALSE(row.bytes.isEmpty());
        EXPECT_EQ(parsePropertyList(row.bytes).contains("k"), row.readable);
    }
    // Texts outside ASCII still read whole.
    ASSERT_TRUE(writePropertyList(home() + "/u.plist", {{"k", QStringLiteral("Ümlaut Chörus 🎛️")}}, true));
    EXPECT_EQ(readPropertyList(home() + "/u.plist").value("k").toString(), QStringLiteral("Ümlaut Chörus 🎛️"));
}

// The scan reads only a few keys, mostly through a reader of its own for plain XML: whatever
// a file holds, that must give exactly what the full parse gives for those keys.
TEST_F(PropertyListTest, KeyOnlyReadingMatchesTheFullParse)
{
    const QList<QByteArray> keys{"AudioComponents", "CFBundleIdentifier", "CFBundleShortVersionString", "Missing"};
    for (const Row& row : infoPlistRows()) {
        SCOPED_TRACE(row.name);
        QVariantMap expected;
        const QVariantMap full = parsePropertyList(row.bytes);
        for (const QByteArray& key : keys) {
            if (full.contains(QString::fromUtf8(key)))
                expected.insert(QString::fromUtf8(key), full.value(QString::fromUtf8(key)));
        }
        EXPECT_EQ(parsePropertyListKeys(row.bytes, keys), expected);
    }
    // The realistic file reads its values, not merely the same nothing.
    const QByteArray written = readFile(realisticXmlPath());
    EXPECT_EQ(parsePropertyListKeys(written, keys).value("CFBundleIdentifier").toString(),
              QStringLiteral("com.acme.echo"));
    EXPECT_EQ(parsePropertyListKeys(written, keys).value("AudioComponents"), realisticInfo().value("AudioComponents"));
}

// The scan takes its few fields straight from the file; for every file they must be what it
// used to take out of the key-only map: a string only when the value is one (a null text
// kept apart from an empty one), the first component's name only from a non-empty list of
// dictionaries.
TEST_F(PropertyListTest, BundleInfoMatchesTheKeyOnlyMap)
{
    const auto fromMap = [](const QByteArray& bytes) {
        const QVariantMap info =
            parsePropertyListKeys(bytes, {"AudioComponents", "CFBundleIdentifier", "CFBundleShortVersionString"});
        const auto text = [](const QVariantMap& map, const QString& key) -> std::optional<QString> {
            const auto it = map.constFind(key);
            if (it == map.cend() || it->typeId() != QMetaType::QString)
                return std::nullopt;
            return it->toString();
        };
        BundleInfo expected{text(info, "CFBundleIdentifier"), text(info, "CFBundleShortVersionString"), std::nullopt};
        const QVariant components = info.value("AudioComponents");
        if (components.typeId() == QMetaType::QVariantList && !components.toList().isEmpty()) {
            const QVariantList list = components.toList();
            if (std::all_of(list.cbegin(), list.cend(),
                            [](const QVariant& entry) { return entry.typeId() == QMetaType::QVariantMap; }))
                expected.firstComponentName = text(list.first().toMap(), "name");
        }
        return expected;
    };
    const auto describe = [](const std::optional<QString>& text) {
        return !text ? QStringLiteral("(none)") : text->isNull() ? QStringLiteral("(null)") : '"' + *text + '"';
    };
    const auto binary = [this](const QVariantMap& info) {
        const QString path = home() + "/tricky.plist";
        EXPECT_TRUE(writePropertyList(path, info, true));
        return readFile(path);
    };
    const auto components = [](const QByteArray& entries) {
        return doc("<key>AudioComponents</key><array>" + entries + "</array>");
    };
    const QByteArray named("<dict><key>name</key><string>Acme: Echo</string></dict>");
    std::vector<Row> rows = infoPlistRows();
    const Row tricky[] = {
        {"no components", doc("<key>AudioComponents</key><array/>")},
        {"components of dictionaries", components(named + "<dict/>")},
        {"a component that is no dictionary", components(named + "<string>x</string>")},
        {"a first component that is no dictionary", components("<array/>" + named)},
        {"a first component without a name", components("<dict/>" + named)},
        {"an empty first component", components("<dict/>")},
        {"an empty name", components("<dict><key>name</key><string/></dict>")},
        {"a name that is a number", components("<dict><key>name</key><integer>5</integer></dict>")},
        {"a name that is a list", components("<dict><key>name</key><array><string>A: B</string></array></dict>")},
        {"a name given twice, the later a number",
         components("<dict><key>name</key><string>A: B</string><key>name</key><integer>5</integer></dict>")},
        {"a name given twice, the later a string",
         components("<dict><key>name</key><true/><key>name</key><string>A: B</string></dict>")},
        {"a name given twice, past a comment",
         components("<dict><!-- c --><key>name</key><string>A: B</string><key>name</key><string>C: D</string>"
                    "</dict>")},
        {"a name key behind a byte-order mark",
         components("<dict><key>\xEF\xBB\xBFname</key><string>A: B</string></dict>")},
        {"a non-ASCII key", components(QStringLiteral("<dict><key>nämé</key><string>A: B</string></dict>").toUtf8())},
        {"a name key written with an entity", components("<dict><key>n&#97;me</key><string>A: B</string></dict>")},
        {"a name in CDATA", components("<dict><key>name</key><string><![CDATA[A: <B>]]></string></dict>")},
        {"a name with entities", components("<dict><key>name</key><string>A&amp;B: C</string></dict>")},
        {"a component holding a real", components("<dict><key>name</key><string>A: B</string>"
                                                  "<key>r</key><real>0.5</real></dict>")},
        {"components given twice, the later a string",
         doc("<key>AudioComponents</key><array>" + named + "</array><key>AudioComponents</key><string>x</string>")},
        {"components given twice, the later a list", doc("<key>AudioComponents</key><string>x</string>"
                                                         "<key>AudioComponents</key><array>" +
                                                         named + "</array>")},
        {"an identifier then a number", doc("<key>CFBundleIdentifier</key><string>com.a.b</string>"
                                            "<key>CFBundleIdentifier</key><integer>1</integer>")},
        {"a version that is a date", doc("<key>CFBundleShortVersionString</key><date>2020-01-02T03:04:05Z</date>")},
        {"a version that is data", doc("<key>CFBundleShortVersionString</key><data>AAEC</data>")},
        {"a version that is a real", doc("<key>CFBundleShortVersionString</key><real>1.5</real>")},
        {"nested keys of the same names", doc("<key>Nested</key><dict>" +
                                              QByteArray("<key>CFBundleIdentifier</key><string>com.wrong</string>"
                                                         "<key>AudioComponents</key><array>") +
                                              named + "</array></dict>")},
        {"binary, components of mixed types",
         binary({{"AudioComponents", QVariantList{QVariantMap{{"name", "A: B"}}, qint64(3)}}})},
        {"binary, a name that is a number", binary({{"AudioComponents", QVariantList{QVariantMap{{"name", 7}}}}})},
        {"binary, an empty name and version",
         binary({{"AudioComponents", QVariantList{QVariantMap{{"name", QString()}}}},
                 {"CFBundleShortVersionString", QString()}})},
        {"binary, components holding every type",
         binary({{"AudioComponents",
                  QVariantList{QVariantMap{{"name", QStringLiteral("Ächo: Ω")},
                                           {"r", 0.5},
                                           {"d", QByteArray("\x01", 1)},
                                           {"t", QDateTime(QDate(2020, 1, 2), QTime(3, 4), Qt::UTC)}}}}})},
        {"binary, fields of other types",
         binary({{"CFBundleIdentifier", true}, {"CFBundleShortVersionString", 1.5}, {"AudioComponents", "x"}})},
        {"binary, components as a dictionary",
         binary({{"AudioComponents", QVariantMap{{"name", "A: B"}}}, {"CFBundleIdentifier", "com.a.b"}})},
    };
    rows.insert(rows.end(), std::begin(tricky), std::end(tricky));
    // Every file above that reads as a dictionary, written again as a binary file.
    std::vector<Row> rewritten;
    for (const Row& row : rows) {
        const QVariantMap values = parsePropertyList(row.bytes);
        if (!values.isEmpty())
            rewritten.push_back({row.name, binary(values)});
    }
    rows.insert(rows.end(), rewritten.begin(), rewritten.end());
    // Binary files no writer makes, each object written out (see rawBinary).
    // A marker with its count: in its low half below 15, else in a one-byte integer after it.
    const auto marked = [](int marker, qsizetype count) {
        QByteArray bytes(1, char(marker | std::min<qsizetype>(count, 15)));
        if (count >= 15)
            bytes.append(char(0x10)).append(char(count));
        return bytes;
    };
    const auto ascii = [&](const QByteArray& text) { return marked(0x50, text.size()) + text; };
    const auto utf16 = [&](const std::u16string& text) {
        QByteArray bytes = marked(0x60, qsizetype(text.size()));
        for (char16_t unit : text)
            bytes.append(char(unit >> 8)).append(char(unit & 0xFF));
        return bytes;
    };
    const auto refs = [](int marker, std::initializer_list<int> references) {
        QByteArray bytes(1, char(marker | (marker == 0xD0 ? references.size() / 2 : references.size())));
        for (int reference : references)
            bytes.append(char(reference));
        return bytes;
    };
    const QByteArray id = ascii("CFBundleIdentifier");
    const QByteArray version = ascii("CFBundleShortVersionString");
    const QByteArray audio = ascii("AudioComponents");
    const QByteArray name = ascii("name");
    // A top dictionary of CFBundleIdentifier (1) => `value` (2).
    const auto identifierOf = [&](const QByteArray& value) { return rawBinary({refs(0xD0, {1, 2}), id, value}); };
    // A top dictionary of AudioComponents (1) => [ { name (3) => `value` (4) } ].
    const auto componentOf = [&](const QByteArray& value) {
        return rawBinary({refs(0xD0, {1, 2}), audio, refs(0xA0, {5}), name, value, refs(0xD0, {3, 4})});
    };
    const Row raw[] = {
        {"raw, plain values", rawBinary({refs(0xD0, {1, 2, 3, 4, 5, 6}), id, version, audio, ascii("com.a.b"),
                                         ascii("1.0"), refs(0xA0, {9}), name, ascii("A: B"), refs(0xD0, {7, 8})})},
        {"raw, an identifier given twice", rawBinary({refs(0xD0, {1, 1, 2, 3}), id, ascii("a"), ascii("b")})},
        {"raw, a name given twice", rawBinary({refs(0xD0, {1, 2}), audio, refs(0xA0, {3}), refs(0xD0, {4, 4, 5, 6}),
                                               name, ascii("A: B"), ascii("C: D")})},
        {"raw, a byte past ASCII in an ASCII string", identifierOf(ascii("caf\xE9"))},
        {"raw, a NUL in an ASCII string", identifierOf(ascii(QByteArray("a\0b", 3)))},
        {"raw, an empty ASCII string", identifierOf(ascii(""))},
        {"raw, an empty UTF-16 string", identifierOf(utf16(u""))},
        {"raw, an empty UTF-16 string beside the identifier",
         rawBinary({refs(0xD0, {1, 2, 3, 4}), id, ascii("x"), ascii("com.a"), utf16(u"")})},
        {"raw, UTF-16 text", componentOf(utf16(u"\u00C4cho: \u03A9"))},
        {"raw, UTF-16 behind a byte-order mark", identifierOf(utf16(u"\uFEFFcom.a"))},
        {"raw, UTF-16 non-characters", identifierOf(utf16(u"\uFFFE\uFFFF"))},
        {"raw, UTF-16 with a surrogate pair", componentOf(utf16(u"A: \U0001F39B"))},
        {"raw, UTF-16 with a lone surrogate", identifierOf(utf16({u'a', char16_t(0xD800), u'b'}))},
        {"raw, a key in UTF-16", rawBinary({refs(0xD0, {1, 2}), utf16(u"CFBundleIdentifier"), ascii("com.a")})},
        {"raw, a key that is a number",
         rawBinary({refs(0xD0, {1, 2, 3, 4}), QByteArray("\x10\x05", 2), id, ascii("x"), ascii("com.a")})},
        {"raw, a null value", identifierOf(QByteArray(1, '\0'))},
        {"raw, a fill byte", identifierOf(QByteArray(1, '\x0F'))},
        {"raw, a sixteen-byte integer", identifierOf(QByteArray("\x14", 1) + QByteArray(16, '\x01'))},
        {"raw, a three-byte real", identifierOf(QByteArray("\x21\x00\x00", 3))},
        {"raw, a unique id", identifierOf(QByteArray("\x80\x01", 2))},
        {"raw, a set", identifierOf(refs(0xC0, {}))},
        {"raw, a string running into the offset table", identifierOf(QByteArray("\x5E", 1) + "com.a")},
        {"raw, a top list", rawBinary({refs(0xA0, {1}), ascii("x")})},
        {"raw, components holding a list", rawBinary({refs(0xD0, {1, 2}), audio, refs(0xA0, {3}), refs(0xA0, {})})},
    };
    rows.insert(rows.end(), std::begin(raw), std::end(raw));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const BundleInfo expected = fromMap(row.bytes);
        const BundleInfo read = parseBundleInfo(row.bytes);
        // Compared as described, so a null text never passes for an empty one.
        EXPECT_EQ(describe(read.bundleIdentifier), describe(expected.bundleIdentifier));
        EXPECT_EQ(describe(read.shortVersion), describe(expected.shortVersion));
        EXPECT_EQ(describe(read.firstComponentName), describe(expected.firstComponentName));
    }
    // Real values come through, not merely the same nothing on both sides.
    const auto rawNamed = [&raw](std::string_view name) {
        return std::find_if(std::begin(raw), std::end(raw), [name](const Row& row) { return row.name == name; })->bytes;
    };
    EXPECT_EQ(parseBundleInfo(rawNamed("raw, plain values")),
              (BundleInfo{QStringLiteral("com.a.b"), QStringLiteral("1.0"), QStringLiteral("A: B")}));
    EXPECT_EQ(parseBundleInfo(rawNamed("raw, UTF-16 text")).firstComponentName, QStringLiteral("Ächo: Ω"));
    const BundleInfo realistic = parseBundleInfo(readFile(realisticXmlPath()));
    EXPECT_EQ(realistic.bundleIdentifier, QStringLiteral("com.acme.echo"));
    EXPECT_EQ(realistic.shortVersion, QStringLiteral("2.0 β"));
    EXPECT_EQ(realistic.firstComponentName, QStringLiteral("Acme: Echo"));
    EXPECT_EQ(parseBundleInfo(binary(realisticInfo())), realistic);
    EXPECT_EQ(parseBundleInfo(components(named + "<dict/>")).firstComponentName, QStringLiteral("Acme: Echo"));
}

TEST_F(PropertyListTest, NestingGuardKeepsOrdinaryFiles)
{
    // A realistic Info.plist passes the guard in both encodings.
    const QVariantMap info{{"AudioComponents", QVariantList{QVariantMap{{"tags", QVariantList{"Effects"}}}}}};
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "xml");
        const QString path = home() + "/n.plist";
        ASSERT_TRUE(writePropertyList(path, info, binary));
        EXPECT_EQ(readPropertyList(path), info);
    }
}

TEST_F(PropertyListTest, PathsFollowTheSandbox)
{
    EXPECT_EQ(Paths::system("/Library"), root() + "/Library");
    EXPECT_EQ(Paths::user("/Library"), home() + "/Library");
    EXPECT_TRUE(Paths::dataDir().endsWith("/data/Rackhand"));
    qputenv("RACKHAND_SYSTEM_ROOT", "/");
    EXPECT_EQ(Paths::system("/Library"), QStringLiteral("/Library"));
    EXPECT_FALSE(Paths::isSandboxRoot());
}

TEST_F(PropertyListTest, AtomicWriteReplacesWholeAndKeepAsideMovesFile)
{
    const QString path = Paths::dataFile("x.json");
    EXPECT_TRUE(writeFileAtomically(path, "one").isEmpty());
    EXPECT_TRUE(writeFileAtomically(path, "two").isEmpty());
    EXPECT_EQ(readFile(path), QByteArray("two"));
    const QString aside = keepUnreadableFileAside(path);
    EXPECT_TRUE(aside.startsWith(path + ".unreadable-"));
    EXPECT_EQ(readFile(aside), QByteArray("two"));
    EXPECT_FALSE(QFile::exists(path));
    // A folder in the way of the file: a reason, and nothing else changes.
    makeDir(Paths::dataFile("blocked.json"));
    EXPECT_FALSE(writeFileAtomically(Paths::dataFile("blocked.json"), "x").isEmpty());
}

TEST_F(PropertyListTest, SmallFileReaderReadsOnlyWholeRegularFiles)
{
    const QString dir = Paths::dataDir();
    makeDir(dir);
    writeFile(dir + "/fits.json", "12345");
    writeFile(dir + "/big.json", "123456");
    makeDir(dir + "/folder.json");
    // A FIFO would block a plain open until a writer came: it must be refused without opening.
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir + "/pipe.json").constData(), 0600), 0);
    struct Case {
        const char* name;
        SmallFileRead::State state;
        QByteArray bytes;
        bool tooLarge;
    };
    const Case cases[] = {
        {"missing.json", SmallFileRead::State::missing, {}, false},
        {"fits.json", SmallFileRead::State::read, "12345", false},
        {"big.json", SmallFileRead::State::unreadable, {}, true},
        {"folder.json", SmallFileRead::State::unreadable, {}, false},
        {"pipe.json", SmallFileRead::State::unreadable, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SmallFileRead read = readSmallFile(dir + '/' + QLatin1String(c.name), 5);
        EXPECT_EQ(read.state, c.state);
        EXPECT_EQ(read.bytes, c.bytes);
        EXPECT_EQ(read.tooLarge, c.tooLarge);
        EXPECT_EQ(read.reason.isEmpty(), c.state != SmallFileRead::State::unreadable);
    }
}
