#include "Platform/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QStringDecoder>
#include <QVariantList>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <plist/plist.h>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr qint64 kMaxPlistBytes = 16 * 1024 * 1024; // an Info.plist is tiny; refuse garbage
constexpr int kMaxDepth = 64;
// libplist parses and frees containers recursively: a hostile file nested some 100,000
// levels deep overflows the stack. Real Info.plists nest a handful of levels, so anything
// deeper than this is refused before libplist sees it.
constexpr int kMaxNesting = 512;

// Deepest <array>/<dict> nesting of an XML plist, counted on the raw tags. Comments and
// CDATA sections are skipped as a parser skips them, so "<!--</array>-->" cannot hide
// real depth.
bool xmlNestingWithinLimit(const QByteArray& bytes)
{
    const auto skipPast = [](const char* from, const char* end, const char* marker, size_t length) {
        for (const char* q = from; end - q >= qsizetype(length); ++q) {
            if (std::memcmp(q, marker, length) == 0)
                return q + length;
        }
        return end;
    };
    const auto isNameChar = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
               c == '.' || c == ':';
    };
    int depth = 0;
    const char* const end = bytes.constData() + bytes.size();
    for (const char* p = bytes.constData(); p < end; ++p) {
        if (*p != '<')
            continue;
        if (end - p >= 4 && std::memcmp(p, "<!--", 4) == 0) {
            p = skipPast(p + 4, end, "-->", 3) - 1;
            continue;
        }
        if (end - p >= 9 && std::memcmp(p, "<![CDATA[", 9) == 0) {
            p = skipPast(p + 9, end, "]]>", 3) - 1;
            continue;
        }
        const bool closing = p + 1 < end && p[1] == '/';
        const char* name = p + (closing ? 2 : 1);
        qsizetype length = 0;
        if (end - name >= 5 && std::memcmp(name, "array", 5) == 0)
            length = 5;
        else if (end - name >= 4 && std::memcmp(name, "dict", 4) == 0)
            length = 4;
        if (length == 0)
            continue;
        const char* after = name + length;
        if (after < end && isNameChar(*after))
            continue; // another tag that merely starts with these letters
        if (closing) {
            depth = std::max(0, depth - 1);
            continue;
        }
        const void* close = std::memchr(after, '>', size_t(end - after));
        if (close && static_cast<const char*>(close) > after && static_cast<const char*>(close)[-1] == '/')
            continue; // <array/>: opens nothing
        if (++depth > kMaxNesting)
            return false;
    }
    return true;
}

quint64 bigEndian(const unsigned char* p, int size)
{
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | p[i];
    return value;
}

// The layout of a binary plist, read from its 32-byte trailer.
struct BinaryLayout {
    const unsigned char* data = nullptr;
    quint64 size = 0;
    int offsetSize = 0;
    int refSize = 0;
    quint64 objectCount = 0;
    quint64 topObject = 0;
    quint64 tableOffset = 0;

    bool read(const QByteArray& bytes)
    {
        data = reinterpret_cast<const unsigned char*>(bytes.constData());
        size = quint64(bytes.size());
        if (size < 8 + 32)
            return false;
        const unsigned char* trailer = data + size - 32;
        offsetSize = trailer[6];
        refSize = trailer[7];
        objectCount = bigEndian(trailer + 8, 8);
        topObject = bigEndian(trailer + 16, 8);
        tableOffset = bigEndian(trailer + 24, 8);
        return offsetSize >= 1 && offsetSize <= 8 && refSize >= 1 && refSize <= 8 && tableOffset >= 8 &&
               tableOffset < size - 32 && objectCount != 0 && topObject < objectCount &&
               objectCount <= (size - 32 - tableOffset) / quint64(offsetSize);
    }

    quint64 offsetOf(quint64 object) const
    {
        return bigEndian(data + tableOffset + object * quint64(offsetSize), offsetSize);
    }
    quint64 reference(quint64 position, quint64 index) const
    {
        return bigEndian(data + position + index * quint64(refSize), refSize);
    }

    // Looks at one object: the references of a container (none for anything else).
    // False for an object libplist would misread or abort on.
    bool inspect(quint64 object, quint64* first, quint64* count) const
    {
        *count = 0;
        const quint64 offset = offsetOf(object);
        if (offset < 8 || offset >= tableOffset)
            return false;
        const int type = data[offset] >> 4;
        const bool container = type == 0xA || type == 0xC || type == 0xD;
        const bool utf16 = type == 0x6;
        if (!container && !utf16)
            return true;
        quint64 n = 0;
        quint64 pos = 0;
        if (!readCount(offset, &n, &pos))
            return false;
        if (utf16)
            return utf16WithoutNul(pos, n);
        const quint64 refs = type == 0xD ? n * 2 : n;
        if ((type == 0xD && n > (quint64(1) << 62)) || refs > (tableOffset - pos) / quint64(refSize))
            return false;
        *first = pos;
        *count = refs;
        return true;
    }

    // The element count of the object at `offset` (in its marker, or in an integer after it)
    // and where its contents begin.
    bool readCount(quint64 offset, quint64* n, quint64* pos) const
    {
        *n = data[offset] & 0x0F;
        *pos = offset + 1;
        if (*n != 0x0F)
            return true;
        if (*pos >= tableOffset || (data[*pos] >> 4) != 0x1)
            return false;
        const int intSize = 1 << (data[*pos] & 0x0F);
        if (intSize > 8 || *pos + 1 + quint64(intSize) > tableOffset)
            return false;
        *n = bigEndian(data + *pos + 1, intSize);
        *pos += 1 + quint64(intSize);
        return true;
    }

    bool utf16WithoutNul(quint64 pos, quint64 n) const
    {
        if (n > (tableOffset - pos) / 2)
            return false;
        for (quint64 i = 0; i < n; ++i) {
            if (data[pos + 2 * i] == 0 && data[pos + 2 * i + 1] == 0)
                return false;
        }
        return true;
    }

    // Whether an object inspect() passed is of the layout BinaryInfoReader reads for itself:
    // a boolean, an integer of up to 8 bytes, a real, a date, data, a string (UTF-16 not
    // empty: libplist refuses a whole file holding an empty one), each whole in the file, an
    // array, or a dictionary whose keys are plain ASCII strings.
    bool isPlain(quint64 object) const
    {
        const quint64 offset = offsetOf(object);
        const int type = data[offset] >> 4;
        const int low = data[offset] & 0x0F;
        quint64 n = 0;
        quint64 pos = offset + 1;
        switch (type) {
        case 0x0:
            return low == 0x8 || low == 0x9; // only false and true
        case 0x1:
            return low <= 3 && fits(pos, quint64(1) << low);
        case 0x2:
            return (low == 2 || low == 3) && fits(pos, quint64(1) << low);
        case 0x3:
            return low == 3 && fits(pos, 8);
        case 0x4:
        case 0x5:
            return readCount(offset, &n, &pos) && n <= tableOffset && fits(pos, n);
        case 0x6:
            return readCount(offset, &n, &pos) && n > 0 && n <= tableOffset && fits(pos, 2 * n);
        case 0xA:
            return true;
        case 0xD:
            break;
        default:
            return false;
        }
        // inspect() has checked that the references lie in the file.
        readCount(offset, &n, &pos);
        for (quint64 i = 0; i < n; ++i) {
            const quint64 key = reference(pos, i);
            if (key >= objectCount || !isPlainKey(offsetOf(key)))
                return false;
        }
        return true;
    }

    // Whether `length` bytes from `pos` lie before the offset table.
    bool fits(quint64 pos, quint64 length) const { return pos <= tableOffset && length <= tableOffset - pos; }

    // A dictionary key libplist reads as the same C string: ASCII, neither cut short by a NUL
    // nor decoded from any other encoding.
    bool isPlainKey(quint64 offset) const
    {
        if (offset < 8 || offset >= tableOffset || (data[offset] >> 4) != 0x5)
            return false;
        quint64 n = 0;
        quint64 pos = 0;
        if (!readCount(offset, &n, &pos) || !fits(pos, n))
            return false;
        return std::all_of(data + pos, data + pos + n, [](unsigned char c) { return c != 0 && c < 0x80; });
    }
};

// Height of every object reached (1 for a leaf); each is walked once, so shared
// sub-trees cost nothing, and the longest route counts even when a shorter one
// reached an object first. Walked without recursion.
class NestingWalk {
public:
    explicit NestingWalk(const BinaryLayout& layout)
        : m_layout(layout), m_state(size_t(layout.objectCount), kUnseen), m_height(size_t(layout.objectCount), 0)
    {
    }

    bool withinLimits()
    {
        m_plain = true;
        if (!enter(m_layout.topObject))
            return false;
        while (!m_path.empty()) {
            if (m_path.size() > size_t(kMaxNesting))
                return false;
            Frame& frame = m_path.back();
            const bool ok = frame.next == frame.count ? leave() : step(frame);
            if (!ok)
                return false;
        }
        return true;
    }

    /// After withinLimits(): whether every object reached is plain (BinaryLayout::isPlain).
    bool allPlain() const { return m_plain; }

private:
    enum : unsigned char { kUnseen, kOnPath, kDone };
    struct Frame {
        quint64 object;
        quint64 first;
        quint64 count;
        quint64 next;
        quint32 tallestChild;
    };

    bool enter(quint64 object)
    {
        Frame frame{object, 0, 0, 0, 0};
        if (!m_layout.inspect(object, &frame.first, &frame.count))
            return false;
        m_plain = m_plain && m_layout.isPlain(object);
        m_state[size_t(object)] = kOnPath;
        m_path.push_back(frame);
        return true;
    }

    // The top frame has seen all its children: record its height and hand it to its parent.
    bool leave()
    {
        const Frame& frame = m_path.back();
        const quint32 own = frame.tallestChild + 1;
        if (own > quint32(kMaxNesting))
            return false;
        m_state[size_t(frame.object)] = kDone;
        m_height[size_t(frame.object)] = own;
        m_path.pop_back();
        if (!m_path.empty())
            m_path.back().tallestChild = std::max(m_path.back().tallestChild, own);
        return true;
    }

    bool step(Frame& frame)
    {
        const quint64 child = m_layout.reference(frame.first, frame.next);
        ++frame.next;
        if (child >= m_layout.objectCount)
            return false; // libplist refuses the file for it too
        if (m_state[size_t(child)] == kDone) {
            frame.tallestChild = std::max(frame.tallestChild, m_height[size_t(child)]);
            return true;
        }
        if (m_state[size_t(child)] == kOnPath)
            return false; // a reference cycle
        return enter(child);
    }

    const BinaryLayout& m_layout;
    std::vector<unsigned char> m_state;
    std::vector<quint32> m_height;
    std::vector<Frame> m_path;
    bool m_plain = true;
};

// Checks a binary plist before libplist parses it: the trailer and every object reached
// from the top one must make sense, container nesting stays within kMaxNesting (walked
// without recursion; a reference cycle counts as too deep) and no UTF-16 string holds
// U+0000. This check is the gate rather than a hint: libplist reads a 16-byte count
// header by its low 8 bytes, so a walk that let such a header pass as a leaf would let
// any depth through, and a string or key holding U+0000 makes libplist abort on reading.
// `plain`, when given, tells whether every object reached is plain (BinaryLayout::isPlain).
bool binaryWithinLimits(const BinaryLayout& layout, bool* plain = nullptr)
{
    NestingWalk walk(layout);
    if (!walk.withinLimits())
        return false;
    if (plain)
        *plain = walk.allPlain();
    return true;
}

bool binaryWithinLimits(const QByteArray& bytes)
{
    BinaryLayout layout;
    return layout.read(bytes) && binaryWithinLimits(layout);
}

// A reader of binary property lists for parseBundleInfo's fields, without libplist's tree of
// every object. Like XmlKeyReader it takes a strict subset, the layout writers produce: only for
// files whose nesting walk passed and found every object plain (BinaryLayout::isPlain). It says
// "unsure" on a wanted key given twice or a wanted text that is not plain ASCII or UTF-16 of
// plain characters, which then go to libplist.
class BinaryInfoReader {
public:
    explicit BinaryInfoReader(const BinaryLayout& layout) : m_layout(layout) {}

    std::optional<BundleInfo> read() const
    {
        const quint64 top = m_layout.offsetOf(m_layout.topObject);
        BundleInfo info;
        if ((m_layout.data[top] >> 4) != 0xD)
            return info; // not a dictionary: no fields, as libplist's tree gives none
        quint64 count = 0;
        quint64 refs = 0;
        m_layout.readCount(top, &count, &refs);
        bool identifierSeen = false;
        bool versionSeen = false;
        bool componentsSeen = false;
        for (quint64 i = 0; i < count; ++i) {
            const std::string_view key = asciiAt(m_layout.offsetOf(m_layout.reference(refs, i)));
            const quint64 value = m_layout.offsetOf(m_layout.reference(refs, count + i));
            bool* seen = key == "CFBundleIdentifier"           ? &identifierSeen
                         : key == "CFBundleShortVersionString" ? &versionSeen
                         : key == "AudioComponents"            ? &componentsSeen
                                                               : nullptr;
            if (!seen)
                continue;
            if (std::exchange(*seen, true))
                return std::nullopt;
            std::optional<std::optional<QString>> text =
                seen == &componentsSeen ? firstComponentName(value) : textAt(value);
            if (!text)
                return std::nullopt;
            (seen == &identifierSeen ? info.bundleIdentifier
             : seen == &versionSeen  ? info.shortVersion
                                     : info.firstComponentName) = std::move(*text);
        }
        return info;
    }

private:
    // The bytes of an ASCII string object (a checked key).
    std::string_view asciiAt(quint64 offset) const
    {
        quint64 n = 0;
        quint64 pos = 0;
        m_layout.readCount(offset, &n, &pos);
        return {reinterpret_cast<const char*>(m_layout.data + pos), size_t(n)};
    }

    // The text of a string object; no text for any other kind; unsure (nothing at all) for
    // text whose conversion is libplist's to make.
    std::optional<std::optional<QString>> textAt(quint64 offset) const
    {
        const int type = m_layout.data[offset] >> 4;
        if (type != 0x5 && type != 0x6)
            return std::optional<QString>();
        quint64 n = 0;
        quint64 pos = 0;
        m_layout.readCount(offset, &n, &pos);
        const auto* bytes = m_layout.data + pos;
        if (type == 0x5) {
            // Bytes past ASCII, or a NUL, in an ASCII string are libplist's to read.
            if (!std::all_of(bytes, bytes + n, [](unsigned char c) { return c != 0 && c < 0x80; }))
                return std::nullopt;
            return std::optional<QString>(QString::fromUtf8(reinterpret_cast<const char*>(bytes), qsizetype(n)));
        }
        // libplist drops a byte-order mark.
        QString text(qsizetype(n), Qt::Uninitialized);
        for (quint64 i = 0; i < n; ++i) {
            const auto unit = char16_t((bytes[2 * i] << 8) | bytes[2 * i + 1]);
            if ((unit >= 0xD800 && unit <= 0xDFFF) || unit == 0xFEFF)
                return std::nullopt;
            text[qsizetype(i)] = QChar(unit);
        }
        return std::optional<QString>(std::move(text));
    }

    // AudioComponents' first entry's "name", as libplistComponentName takes it.
    std::optional<std::optional<QString>> firstComponentName(quint64 offset) const
    {
        if ((m_layout.data[offset] >> 4) != 0xA)
            return std::optional<QString>();
        quint64 count = 0;
        quint64 refs = 0;
        m_layout.readCount(offset, &count, &refs);
        if (count == 0)
            return std::optional<QString>();
        for (quint64 i = 0; i < count; ++i) {
            if ((m_layout.data[m_layout.offsetOf(m_layout.reference(refs, i))] >> 4) != 0xD)
                return std::optional<QString>();
        }
        const quint64 first = m_layout.offsetOf(m_layout.reference(refs, 0));
        quint64 pairs = 0;
        quint64 entries = 0;
        m_layout.readCount(first, &pairs, &entries);
        std::optional<quint64> name;
        for (quint64 i = 0; i < pairs; ++i) {
            if (asciiAt(m_layout.offsetOf(m_layout.reference(entries, i))) != "name")
                continue;
            if (name)
                return std::nullopt; // given twice
            name = m_layout.offsetOf(m_layout.reference(entries, pairs + i));
        }
        if (!name)
            return std::optional<QString>();
        return textAt(*name);
    }

    const BinaryLayout& m_layout;
};

// An XML plist before libplist parses it. A NUL is no XML character, yet libplist keeps
// it inside a string value and then aborts on reading that value; NULs padding the end
// of a file are harmless and tolerated.
bool xmlWithinLimits(const QByteArray& bytes)
{
    qsizetype length = bytes.size();
    while (length > 0 && bytes.at(length - 1) == '\0')
        --length;
    if (std::memchr(bytes.constData(), '\0', size_t(length)))
        return false;
    return xmlNestingWithinLimit(bytes);
}

// A reader's text; a null view (<string/>) reads as a null text.
QString textFrom(std::string_view text)
{
    return text.data() ? QString::fromUtf8(text.data(), qsizetype(text.size())) : QString();
}

// Builds a reader's values as QVariants, as parsePropertyList gives them.
struct VariantValues {
    using Value = QVariant;
    using Map = QVariantMap;
    using List = QVariantList;

    static Value fromMap(Map&& map) { return QVariant(map); }
    static Value fromList(List&& list) { return QVariant(list); }
    static Value fromBool(bool value) { return value; }
    static Value fromInteger(qint64 value) { return value; }
    static Value fromString(std::string_view text) { return textFrom(text); }
    static void append(List& list, Value&& value) { list.append(std::move(value)); }
    static void insert(Map& map, std::string_view key, Value&& value)
    {
        map.insert(QString::fromUtf8(key.data(), qsizetype(key.size())), value);
    }
};

// A key that reads as "name" once decoded, as a QVariantMap of the value would hold it.
bool keyReadsAsName(std::string_view key)
{
    if (key == "name")
        return true;
    // Only bytes outside ASCII could decode to "name" in some other way.
    if (std::all_of(key.begin(), key.end(), [](char c) { return (c & 0x80) == 0; }))
        return false;
    return QString::fromUtf8(key.data(), qsizetype(key.size())) == QLatin1StringView("name");
}

// Keeps of each value only what parseBundleInfo reports, as views into the file's bytes:
// no container and no text is built for the values it passes over.
struct InfoValues {
    struct Value {
        enum class Kind : unsigned char { other, string, list, dict };
        Kind kind = Kind::other;
        std::string_view text; // a string's text; a null view for <string/>
        // A dictionary's "name" when that is a string; for a list, its first entry's, when
        // the list is not empty and holds dictionaries only.
        std::optional<std::string_view> name;
    };
    struct Map {
        std::optional<std::string_view> name;
        std::optional<std::string_view> identifier;
        std::optional<std::string_view> version;
        std::optional<std::string_view> componentName;
    };
    struct List {
        bool empty = true;
        bool dictsOnly = true;
        std::optional<std::string_view> firstName;
    };

    static std::optional<std::string_view> textOf(const Value& value)
    {
        return value.kind == Value::Kind::string ? std::optional(value.text) : std::nullopt;
    }
    static Value fromMap(Map&& map) { return {Value::Kind::dict, {}, map.name}; }
    static Value fromList(List&& list)
    {
        return {Value::Kind::list, {}, list.empty || !list.dictsOnly ? std::nullopt : list.firstName};
    }
    static Value fromBool(bool) { return {}; }
    static Value fromInteger(qint64) { return {}; }
    static Value fromString(std::string_view text) { return {Value::Kind::string, text, std::nullopt}; }
    static void append(List& list, Value&& value)
    {
        const bool dict = value.kind == Value::Kind::dict;
        if (list.empty && dict)
            list.firstName = value.name;
        list.empty = false;
        list.dictsOnly = list.dictsOnly && dict;
    }
    // A later entry of a key replaces an earlier one, whatever its type.
    static void insert(Map& map, std::string_view key, Value&& value)
    {
        if (key == "CFBundleIdentifier")
            map.identifier = textOf(value);
        else if (key == "CFBundleShortVersionString")
            map.version = textOf(value);
        else if (key == "AudioComponents")
            map.componentName = value.kind == Value::Kind::list ? value.name : std::nullopt;
        else if (keyReadsAsName(key))
            map.name = textOf(value);
    }
};

// A reader of plain XML property lists that builds only the values of a few top-level keys,
// through `Values` (whole QVariants, or only what a scan takes).
// It accepts a strict subset of what libplist reads (the layout every tool writes: an XML
// declaration, a doctype, <plist> around one <dict>, the usual value tags without
// attributes) and says "unsure" on anything else, which then goes to libplist. Within that
// subset the two agree value for value; a test holds them side by side.
template <class Values>
class XmlKeyReader {
public:
    using Value = typename Values::Value;
    using Map = typename Values::Map;
    using List = typename Values::List;

    XmlKeyReader(const QByteArray& bytes, const QList<QByteArray>& keys)
        : m_p(bytes.constData()), m_end(bytes.constData() + bytes.size()), m_keys(keys)
    {
    }

    /// The values, or nothing when unsure.
    std::optional<Map> read()
    {
        skipSpace();
        if (startsWith("<?xml") && !readDeclaration())
            return std::nullopt;
        skipSpace();
        if (startsWith("<!DOCTYPE") && !skipDoctype())
            return std::nullopt;
        skipSpace();
        if (!openPlist())
            return std::nullopt;
        skipSpace();
        Tag tag;
        if (!readTag(&tag) || tag.name != "dict" || tag.closing)
            return std::nullopt;
        Map result;
        if (!tag.empty && !readDict(0, &result, true))
            return std::nullopt;
        skipSpace();
        if (!readTag(&tag) || tag.name != "plist" || !tag.closing)
            return std::nullopt;
        skipSpace();
        while (m_p < m_end && *m_p == '\0')
            ++m_p; // NULs padding the end, as the libplist path tolerates them
        if (m_p != m_end)
            return std::nullopt;
        return result;
    }

private:
    static constexpr int kMaxDepth = 32; // deeper files go to libplist and its guards

    struct Tag {
        std::string_view name;
        bool closing = false;
        bool empty = false; // <name/>
    };

    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    void skipSpace()
    {
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
    }
    bool startsWith(std::string_view text) const
    {
        return size_t(m_end - m_p) >= text.size() && std::memcmp(m_p, text.data(), text.size()) == 0;
    }

    // <?xml version="1.0" encoding="UTF-8"?>: any other encoding is libplist's to judge.
    bool readDeclaration()
    {
        const char* close = find("?>");
        if (!close)
            return false;
        const std::string_view text(m_p, size_t(close - m_p));
        m_p = close + 2;
        const size_t encoding = text.find("encoding");
        if (encoding == std::string_view::npos)
            return true;
        const std::string_view rest = text.substr(encoding + 8);
        return rest.find("\"UTF-8\"") != std::string_view::npos || rest.find("\"utf-8\"") != std::string_view::npos ||
               rest.find("'UTF-8'") != std::string_view::npos || rest.find("'utf-8'") != std::string_view::npos;
    }

    // <!DOCTYPE plist PUBLIC "..." "...">, without an internal subset.
    bool skipDoctype()
    {
        for (const char* q = m_p + 1; q < m_end; ++q) {
            if (*q == '[' || *q == '<')
                return false;
            if (*q == '>') {
                m_p = q + 1;
                return true;
            }
        }
        return false;
    }

    // <plist> or <plist version="1.0">: attributes in plain quotes, no markup inside them.
    bool openPlist()
    {
        if (!startsWith("<plist") || m_end - m_p < 7 || !(isSpace(m_p[6]) || m_p[6] == '>'))
            return false;
        char quote = 0;
        for (const char* q = m_p + 6; q < m_end; ++q) {
            const char c = *q;
            if (c == '<' || c == '&' || c == '\0' || (c == '>' && quote))
                return false;
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '/') {
                return false;
            } else if (c == '>') {
                m_p = q + 1;
                return true;
            }
        }
        return false;
    }

    const char* find(std::string_view marker) const
    {
        for (const char* q = m_p; size_t(m_end - q) >= marker.size(); ++q) {
            if (std::memcmp(q, marker.data(), marker.size()) == 0)
                return q;
        }
        return nullptr;
    }

    // A tag without attributes: <name>, </name> or <name/>, spaces allowed before the end.
    bool readTag(Tag* tag)
    {
        if (m_p >= m_end || *m_p != '<')
            return false;
        const char* q = m_p + 1;
        tag->closing = q < m_end && *q == '/';
        if (tag->closing)
            ++q;
        const char* name = q;
        while (q < m_end && *q >= 'a' && *q <= 'z')
            ++q;
        if (q == name)
            return false; // a comment, CDATA, a processing instruction, an odd name
        tag->name = std::string_view(name, size_t(q - name));
        while (q < m_end && isSpace(*q))
            ++q;
        tag->empty = false;
        if (q < m_end && *q == '/' && !tag->closing) {
            tag->empty = true;
            ++q;
        }
        if (q >= m_end || *q != '>')
            return false;
        m_p = q + 1;
        return true;
    }

    // The text up to the closing tag of `name`, which must follow it. Plain text only:
    // entities, CDATA, NULs and carriage returns are libplist's to read.
    bool readText(std::string_view name, std::string_view* text)
    {
        const char* start = m_p;
        bool ascii = true;
        while (m_p < m_end && *m_p != '<') {
            const char c = *m_p;
            if (c == '&' || c == '\0' || c == '\r')
                return false;
            ascii = ascii && (c & 0x80) == 0;
            ++m_p;
        }
        *text = std::string_view(start, size_t(m_p - start));
        if (!ascii && !isValidUtf8(*text))
            return false;
        Tag tag;
        return readTag(&tag) && tag.closing && tag.name == name;
    }

    static bool isValidUtf8(std::string_view text)
    {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = decoder.decode(QByteArrayView(text.data(), qsizetype(text.size())));
        return !decoder.hasError();
    }

    static bool allOf(std::string_view text, bool (*accepts)(char))
    {
        return std::all_of(text.begin(), text.end(), accepts);
    }

    // One value after its opening tag; built into `out` unless that is null (a value of a key
    // nobody asked for, which is only checked).
    bool readValue(const Tag& tag, int depth, Value* out)
    {
        if (tag.closing || depth > kMaxDepth)
            return false;
        const std::string_view name = tag.name;
        if (name == "dict") {
            Map map;
            if (!tag.empty && !readDict(depth, out ? &map : nullptr, false))
                return false;
            if (out)
                *out = Values::fromMap(std::move(map));
            return true;
        }
        if (name == "array") {
            List list;
            if (!tag.empty && !readArray(depth, out ? &list : nullptr))
                return false;
            if (out)
                *out = Values::fromList(std::move(list));
            return true;
        }
        if (name == "true" || name == "false") {
            if (out)
                *out = Values::fromBool(name == "true");
            return tag.empty;
        }
        if (tag.empty) {
            if (out)
                *out = Values::fromString(std::string_view());
            return name == "string";
        }
        std::string_view text;
        return readText(name, &text) && readTextValue(name, text, out);
    }

    // The value of an element that holds text.
    static bool readTextValue(std::string_view name, std::string_view text, Value* out)
    {
        if (name == "string") {
            if (out)
                *out = Values::fromString(text);
            return true;
        }
        if (name == "integer") {
            const std::string_view digits = !text.empty() && text.front() == '-' ? text.substr(1) : text;
            if (digits.empty() || digits.size() > 18 || !allOf(digits, [](char c) { return c >= '0' && c <= '9'; }))
                return false;
            if (out)
                *out = Values::fromInteger(qint64(std::strtoll(std::string(text).c_str(), nullptr, 10)));
            return true;
        }
        // The rest are only checked: a key the caller wants with such a value goes to libplist.
        return !out && isPlainText(name, text);
    }

    static bool isPlainText(std::string_view name, std::string_view text)
    {
        if (name == "real")
            return !text.empty() && allOf(text, [](char c) {
                return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
            });
        if (name == "date")
            return !text.empty() && allOf(text, [](char c) {
                return (c >= '0' && c <= '9') || c == '-' || c == ':' || c == 'T' || c == 'Z';
            });
        if (name == "data")
            return allOf(text, [](char c) {
                return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
                       c == '/' || c == '=' || isSpace(c);
            });
        return false;
    }

    // The next tag inside a container; `*ended` when it is the container's own closing tag
    // (any other closing tag is malformed).
    bool nextInside(std::string_view container, Tag* tag, bool* ended)
    {
        skipSpace();
        if (!readTag(tag))
            return false;
        *ended = tag->closing;
        return !tag->closing || tag->name == container;
    }

    bool readArray(int depth, List* out)
    {
        for (;;) {
            Tag tag;
            bool ended = false;
            if (!nextInside("array", &tag, &ended))
                return false;
            if (ended)
                return true;
            Value value;
            if (!readValue(tag, depth + 1, out ? &value : nullptr))
                return false;
            if (out)
                Values::append(*out, std::move(value));
        }
    }

    // Keys then values; at the top only the wanted keys are built. A later entry of the same
    // key replaces an earlier one, as in libplist.
    bool readDict(int depth, Map* out, bool top)
    {
        for (;;) {
            Tag tag;
            bool ended = false;
            if (!nextInside("dict", &tag, &ended))
                return false;
            if (ended)
                return true;
            std::string_view key;
            if (tag.name != "key" || tag.empty || !readText("key", &key))
                return false;
            skipSpace();
            if (!readTag(&tag))
                return false;
            const bool wanted = out && (!top || isWanted(key));
            Value value;
            if (!readValue(tag, depth + 1, wanted ? &value : nullptr))
                return false;
            if (wanted)
                Values::insert(*out, key, std::move(value));
        }
    }

    bool isWanted(std::string_view key) const
    {
        return std::any_of(m_keys.cbegin(), m_keys.cend(), [key](const QByteArray& wanted) {
            return size_t(wanted.size()) == key.size() && std::memcmp(wanted.constData(), key.data(), key.size()) == 0;
        });
    }

    const char* m_p;
    const char* const m_end;
    const QList<QByteArray>& m_keys;
};

QVariant toVariant(plist_t node, int depth)
{
    if (!node || depth > kMaxDepth)
        return {};
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        // By pointer and length: plist_get_string_val asserts on a length it disagrees with.
        uint64_t length = 0;
        const char* value = plist_get_string_ptr(node, &length);
        return value ? QString::fromUtf8(value, static_cast<qsizetype>(length)) : QString();
    }
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return static_cast<qint64>(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_DATE: {
        int32_t sec = 0;
        int32_t usec = 0;
        plist_get_date_val(node, &sec, &usec);
        // Property-list dates count from 2001-01-01 UTC.
        return QDateTime::fromSecsSinceEpoch(978307200LL + sec, Qt::UTC).addMSecs(usec / 1000);
    }
    case PLIST_DATA: {
        char* value = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &value, &length);
        QByteArray bytes(value, static_cast<qsizetype>(length));
        std::free(value);
        return bytes;
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t count = plist_array_get_size(node);
        list.reserve(static_cast<qsizetype>(count));
        for (uint32_t i = 0; i < count; ++i)
            list.append(toVariant(plist_array_get_item(node, i), depth + 1));
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        if (!it)
            return map;
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!key)
                break;
            map.insert(QString::fromUtf8(key), toVariant(value, depth + 1));
            std::free(key);
        }
        std::free(it);
        return map;
    }
    default:
        return {};
    }
}

plist_t fromVariant(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return plist_new_uint(value.toULongLong());
    case QMetaType::Double:
        return plist_new_real(value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), static_cast<uint64_t>(bytes.size()));
    }
    case QMetaType::QVariantList: {
        plist_t array = plist_new_array();
        for (const QVariant& item : value.toList())
            plist_array_append_item(array, fromVariant(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            plist_dict_set_item(dict, it.key().toUtf8().constData(), fromVariant(it.value()));
        return dict;
    }
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}

// A libplist string as toVariant reads it; nothing for any other node.
std::optional<QString> libplistText(plist_t node)
{
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return std::nullopt;
    uint64_t length = 0;
    const char* value = plist_get_string_ptr(node, &length);
    return value ? QString::fromUtf8(value, static_cast<qsizetype>(length)) : QString();
}

// The "name" of the first entry of a non-empty array of dictionaries only.
std::optional<QString> libplistComponentName(plist_t components)
{
    if (!components || plist_get_node_type(components) != PLIST_ARRAY)
        return std::nullopt;
    const uint32_t count = plist_array_get_size(components);
    if (count == 0)
        return std::nullopt;
    for (uint32_t i = 0; i < count; ++i) {
        plist_t item = plist_array_get_item(components, i);
        if (!item || plist_get_node_type(item) != PLIST_DICT)
            return std::nullopt;
    }
    plist_t first = plist_array_get_item(components, 0);
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(first, &it);
    if (!it)
        return std::nullopt;
    // Every entry is looked at: a map of them keeps the last one whose key reads as "name".
    plist_t name = nullptr;
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(first, it, &key, &value);
        if (!key)
            break;
        if (keyReadsAsName(key))
            name = value;
        std::free(key);
    }
    std::free(it);
    return libplistText(name);
}

/// libplist's tree of a file already checked by the guards, or null. Freed by the caller.
plist_t libplistParse(const QByteArray& bytes)
{
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
    return root;
}

/// libplist's tree of a file that passes the guards, or null. Freed by the caller.
plist_t libplistRoot(const QByteArray& bytes)
{
    if (bytes.isEmpty() || bytes.size() > kMaxPlistBytes)
        return nullptr;
    // The same choice of reader plist_from_memory makes, so the matching check runs.
    const bool binary = plist_is_binary(bytes.constData(), static_cast<uint32_t>(bytes.size())) != 0;
    if (binary ? !binaryWithinLimits(bytes) : !xmlWithinLimits(bytes))
        return nullptr;
    return libplistParse(bytes);
}

} // namespace

QVariantMap parsePropertyList(const QByteArray& bytes)
{
    plist_t root = libplistRoot(bytes);
    if (!root)
        return {};
    QVariantMap result;
    if (plist_get_node_type(root) == PLIST_DICT)
        result = toVariant(root, 0).toMap();
    plist_free(root);
    return result;
}

QVariantMap parsePropertyListKeys(const QByteArray& bytes, const QList<QByteArray>& keys)
{
    if (bytes.isEmpty() || bytes.size() > kMaxPlistBytes)
        return {};
    if (bytes.front() == '<') {
        if (std::optional<QVariantMap> read = XmlKeyReader<VariantValues>(bytes, keys).read())
            return std::move(*read);
    }
    plist_t root = libplistRoot(bytes);
    if (!root)
        return {};
    QVariantMap result;
    if (plist_get_node_type(root) == PLIST_DICT) {
        for (const QByteArray& key : keys) {
            // A key holding a NUL could never be named by the plain C string libplist looks up.
            if (key.contains('\0'))
                continue;
            if (plist_t value = plist_dict_get_item(root, key.constData()))
                result.insert(QString::fromUtf8(key), toVariant(value, 1));
        }
    }
    plist_free(root);
    return result;
}

BundleInfo parseBundleInfo(const QByteArray& bytes)
{
    // The keys parsePropertyListKeys would be asked for: the same reader takes the same path.
    static const QList<QByteArray> kKeys{"AudioComponents", "CFBundleIdentifier", "CFBundleShortVersionString"};
    const auto toText = [](const std::optional<std::string_view>& text) -> std::optional<QString> {
        if (!text)
            return std::nullopt;
        return textFrom(*text);
    };
    if (bytes.isEmpty() || bytes.size() > kMaxPlistBytes)
        return {};
    if (bytes.front() == '<') {
        if (std::optional<InfoValues::Map> read = XmlKeyReader<InfoValues>(bytes, kKeys).read())
            return {toText(read->identifier), toText(read->version), toText(read->componentName)};
    }
    plist_t root = nullptr;
    if (plist_is_binary(bytes.constData(), static_cast<uint32_t>(bytes.size())) != 0) {
        // The guard of libplistRoot, whose walk also tells whether the reader here can take the file.
        BinaryLayout layout;
        bool plain = false;
        if (!layout.read(bytes) || !binaryWithinLimits(layout, &plain))
            return {};
        if (plain) {
            if (std::optional<BundleInfo> read = BinaryInfoReader(layout).read())
                return std::move(*read);
        }
        root = libplistParse(bytes);
    } else {
        root = libplistRoot(bytes);
    }
    if (!root)
        return {};
    BundleInfo info;
    if (plist_get_node_type(root) == PLIST_DICT) {
        info.bundleIdentifier = libplistText(plist_dict_get_item(root, "CFBundleIdentifier"));
        info.shortVersion = libplistText(plist_dict_get_item(root, "CFBundleShortVersionString"));
        info.firstComponentName = libplistComponentName(plist_dict_get_item(root, "AudioComponents"));
    }
    plist_free(root);
    return info;
}

QVariantMap readPropertyList(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (file.size() > kMaxPlistBytes)
        return {};
    return parsePropertyList(file.readAll());
}

bool writePropertyList(const QString& path, const QVariantMap& values, bool binary)
{
    plist_t root = fromVariant(values);
    char* out = nullptr;
    uint32_t length = 0;
    if (binary)
        plist_to_bin(root, &out, &length);
    else
        plist_to_xml(root, &out, &length);
    plist_free(root);
    if (!out)
        return false;
    QFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(out, length) == qint64(length);
    std::free(out);
    return ok;
}
