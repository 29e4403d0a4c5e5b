#include "Platform/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QVariantList>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <plist/plist.h>
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
};

// Checks a binary plist before libplist parses it: the trailer and every object reached
// from the top one must make sense, container nesting stays within kMaxNesting (walked
// without recursion; a reference cycle counts as too deep) and no UTF-16 string holds
// U+0000. This check is the gate rather than a hint: libplist reads a 16-byte count
// header by its low 8 bytes, so a walk that let such a header pass as a leaf would let
// any depth through, and a string or key holding U+0000 makes libplist abort on reading.
bool binaryWithinLimits(const QByteArray& bytes)
{
    BinaryLayout layout;
    if (!layout.read(bytes))
        return false;
    return NestingWalk(layout).withinLimits();
}

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

} // namespace

QVariantMap parsePropertyList(const QByteArray& bytes)
{
    if (bytes.isEmpty() || bytes.size() > kMaxPlistBytes)
        return {};
    // The same choice of reader plist_from_memory makes, so the matching check runs.
    const bool binary = plist_is_binary(bytes.constData(), static_cast<uint32_t>(bytes.size())) != 0;
    if (binary ? !binaryWithinLimits(bytes) : !xmlWithinLimits(bytes))
        return {};
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root)
        return {};
    QVariantMap result;
    if (plist_get_node_type(root) == PLIST_DICT)
        result = toVariant(root, 0).toMap();
    plist_free(root);
    return result;
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
