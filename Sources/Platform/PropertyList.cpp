#include "Platform/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QVariantList>

#include <plist/plist.h>

#include <cstdlib>

namespace {

constexpr qint64 kMaxPlistBytes = 16 * 1024 * 1024; // an Info.plist is tiny; refuse garbage
constexpr int kMaxDepth = 64;

QVariant toVariant(plist_t node, int depth)
{
    if (!node || depth > kMaxDepth)
        return {};
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        char* value = nullptr;
        plist_get_string_val(node, &value);
        const QString text = value ? QString::fromUtf8(value) : QString();
        std::free(value);
        return text;
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
    plist_t root = nullptr;
    // libplist picks the XML or binary reader from the leading bytes.
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
