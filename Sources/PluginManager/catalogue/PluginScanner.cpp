#include "catalogue/PluginScanner.h"

#include "Platform/Diagnostics.h"
#include "Platform/HiddenAttribute.h"
#include "Platform/PluginFolderTable.h"
#include "Platform/PropertyList.h"
#include "catalogue/DisabledLayout.h"
#include "catalogue/WorkPool.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr qint64 kMaxInfoFileBytes = 16 * 1024 * 1024; // an Info.plist or clap.json is tiny
constexpr qsizetype kKeptReadBytes = 64 * 1024;        // a thread's read buffer keeps no more

enum class EntryKind { missing, file, folder };

/// (device, inode): a file's or folder's identity however it was reached.
using FolderId = std::pair<quint64, quint64>;

FolderId identityOf(const struct stat& st)
{
    return {static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
}

struct DirEntry {
    QByteArray name;
    unsigned char type = DT_UNKNOWN;
};

/// An open folder: listed once, then the base of relative look-ups of its entries, so
/// the kernel does not resolve the whole path again for every file of every bundle.
class Folder {
public:
    /// `path` is relative to `atFd` (or absolute, with AT_FDCWD).
    Folder(int atFd, const QByteArray& path)
    {
        const int fd = ::openat(atFd, path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            m_error = errno;
            return;
        }
        m_dir = ::fdopendir(fd);
        if (!m_dir) {
            m_error = errno;
            ::close(fd);
        }
    }
    ~Folder()
    {
        if (m_dir)
            ::closedir(m_dir);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    bool isOpen() const { return m_dir != nullptr; }
    int fd() const { return m_dir ? ::dirfd(m_dir) : -1; }
    QString errorText() const { return QString::fromLocal8Bit(std::strerror(m_error)); }

    /// (device, inode): the folder's identity however it was reached.
    FolderId identity() const
    {
        struct stat st {};
        if (!m_dir || ::fstat(fd(), &st) != 0)
            return {0, 0};
        return identityOf(st);
    }

    /// Direct entries in file-system order. Dot-names (the Linux form of hidden
    /// entries) are left out.
    std::vector<DirEntry> entries()
    {
        std::vector<DirEntry> list;
        if (!m_dir)
            return list;
        while (const dirent* entry = ::readdir(m_dir)) {
            if (entry->d_name[0] != '.')
                list.push_back(DirEntry{QByteArray(entry->d_name), entry->d_type});
        }
        return list;
    }

    /// Direct entries as entries() gives them, their names kept in one block, `names`: each
    /// entry's name is a view into it (ended by a NUL, so it serves as a C path), not a copy.
    /// The block must outlive the names.
    std::vector<DirEntry> entriesIn(QByteArray& names)
    {
        struct Place {
            qsizetype offset;
            qsizetype length;
            unsigned char type;
        };
        std::vector<Place> places;
        names.clear();
        if (m_dir) {
            while (const dirent* entry = ::readdir(m_dir)) {
                if (entry->d_name[0] == '.')
                    continue;
                const auto length = static_cast<qsizetype>(std::strlen(entry->d_name));
                places.push_back({names.size(), length, entry->d_type});
                names.append(entry->d_name, length + 1);
            }
        }
        std::vector<DirEntry> list;
        list.reserve(places.size());
        for (const Place& place : places)
            list.push_back(
                DirEntry{QByteArray::fromRawData(names.constData() + place.offset, place.length), place.type});
        return list;
    }

private:
    DIR* m_dir = nullptr;
    int m_error = 0;
};

/// Whether an entry exists and is a folder, links followed. The listing's type saves
/// the status call for everything but links and file systems that give no type.
EntryKind entryKind(int atFd, const QByteArray& name, unsigned char type)
{
    if (type == DT_DIR)
        return EntryKind::folder;
    if (type != DT_LNK && type != DT_UNKNOWN)
        return EntryKind::file;
    struct stat st {};
    if (::fstatat(atFd, name.constData(), &st, 0) != 0)
        return EntryKind::missing;
    return S_ISDIR(st.st_mode) ? EntryKind::folder : EntryKind::file;
}

/// The text after the last dot of a name, or nothing when it has no dot.
QByteArray extensionOf(const QByteArray& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? QByteArray() : name.mid(dot + 1);
}

/// The name up to its last dot (all of it when it has none), without a copy.
QByteArrayView withoutExtension(const QByteArray& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? QByteArrayView(name) : QByteArrayView(name).first(dot);
}

/// Reads a small file whole into `bytes`; empty when it is missing, unreadable, too big or
/// anything but a regular file. The open never waits: a named pipe in a bundle must not hang
/// the scan. `bytes` keeps its room from one file to the next (see ReadBuffer). `identity`,
/// when given, gets the (device, inode) of whatever was opened, and stays as it is otherwise.
void readSmallFile(int atFd, const QByteArray& path, QByteArray& bytes, FolderId* identity = nullptr)
{
    bytes.truncate(0);
    const int fd = ::openat(atFd, path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return;
    }
    if (identity)
        *identity = identityOf(st);
    if (!S_ISREG(st.st_mode) || st.st_size > kMaxInfoFileBytes) {
        ::close(fd);
        return;
    }
    // Room for the size the file gave and a byte more: once a read has filled exactly that
    // size, the file is whole, and the read that would only find its end is saved. A file
    // that grew or read short goes on being read to its end.
    const auto expected = static_cast<qsizetype>(st.st_size);
    // Room grown for an odd large file is not kept for the small ones after it.
    if (bytes.capacity() > kKeptReadBytes && expected < kKeptReadBytes)
        bytes = QByteArray();
    bytes.resize(std::max<qsizetype>(expected + 1, 256));
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > kMaxInfoFileBytes) {
                filled = 0;
                break;
            }
            bytes.resize(std::min<qsizetype>(filled * 2, kMaxInfoFileBytes + 1));
        }
        const ssize_t n = ::read(fd, bytes.data() + filled, static_cast<size_t>(bytes.size() - filled));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n < 0)
                filled = 0;
            break;
        }
        filled += n;
        if (filled > kMaxInfoFileBytes) {
            filled = 0;
            break;
        }
        if (filled == expected)
            break;
    }
    ::close(fd);
    bytes.truncate(filled);
}

/// The file's bytes (see readSmallFile), read into this thread's buffer: valid until the
/// thread's next read. A fresh buffer the size of an Info.plist for every bundle is a request
/// the allocator serves only after sweeping up the small blocks freed since, which took a
/// noticeable share of a scan.
const QByteArray& readIntoThreadBuffer(int atFd, const QByteArray& path, FolderId* identity = nullptr)
{
    static thread_local QByteArray buffer;
    readSmallFile(atFd, path, buffer, identity);
    return buffer;
}

QString trimmedSpacesAndTabs(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(text.at(begin)))
        ++begin;
    while (end > begin && blank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

/// The vendor part of the first AudioComponents entry's "Vendor: Name" (only a list made
/// entirely of dictionaries counts, which parseBundleInfo sees to).
std::optional<QString> manufacturerFromComponentName(const std::optional<QString>& name)
{
    if (!name)
        return std::nullopt;
    // One split at the first ":" that follows some text; leading colons start empty
    // pieces, which are dropped without using up the split.
    qsizetype start = 0;
    while (start < name->size() && name->at(start) == QLatin1Char(':'))
        ++start;
    const qsizetype colon = name->indexOf(QLatin1Char(':'), start);
    if (colon < 0 || colon + 1 >= name->size())
        return std::nullopt;
    const QString vendor = trimmedSpacesAndTabs(name->mid(start, colon - start));
    if (vendor == QLatin1String("Waves"))
        return QStringLiteral("Waves Audio");
    return vendor;
}

/// The second of a text's dot-separated pieces, empty pieces not counted.
std::optional<QStringView> secondPiece(QStringView text)
{
    int seen = 0;
    qsizetype begin = 0;
    while (begin < text.size()) {
        if (text.at(begin) == QLatin1Char('.')) {
            ++begin;
            continue;
        }
        qsizetype end = text.indexOf(QLatin1Char('.'), begin);
        if (end < 0)
            end = text.size();
        if (++seen == 2)
            return text.sliced(begin, end - begin);
        begin = end;
    }
    return std::nullopt;
}

bool isAscii(QStringView text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

std::optional<QString> manufacturerFromIdentifier(const std::optional<QString>& identifier)
{
    if (!identifier)
        return std::nullopt;
    const std::optional<QStringView> piece = secondPiece(*identifier);
    if (!piece)
        return std::nullopt;
    const QStringView vendor = *piece;
    // Plain ASCII (nearly every identifier) is compared and capitalised without copies; lower-
    // and upper-casing as a whole text is kept for the rest, where one character can become two.
    const bool ascii = isAscii(vendor);
    const QString lower = ascii ? QString() : vendor.toString().toLower();
    const auto is = [ascii, vendor, &lower](QLatin1StringView known) {
        return ascii ? vendor.compare(known, Qt::CaseInsensitive) == 0 : lower == known;
    };
    if (is(QLatin1StringView("wizoo")))
        return QStringLiteral("AIR Music Technology");
    if (is(QLatin1StringView("waves")) || is(QLatin1StringView("wavesaudio")))
        return QStringLiteral("Waves Audio");
    if (is(QLatin1StringView("u-he")))
        return QStringLiteral("u-he");
    // First character upper-cased, the rest as written (a surrogate pair counts as one).
    if (ascii) {
        QString shown = vendor.toString();
        shown[0] = shown.at(0).toUpper();
        return shown;
    }
    const char32_t first = vendor.at(0).isHighSurrogate() && vendor.size() > 1
                               ? QChar::surrogateToUcs4(vendor.at(0), vendor.at(1))
                               : char32_t(vendor.at(0).unicode());
    const qsizetype firstLength = QChar::requiresSurrogates(first) ? 2 : 1;
    return QString::fromUcs4(&first, 1).toUpper().append(vendor.mid(firstLength));
}

std::optional<QString> manufacturerFromClap(int atFd, const QByteArray& bundle)
{
    const QByteArray& bytes = readIntoThreadBuffer(atFd, bundle + "/clap.json");
    if (bytes.isEmpty())
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!document.isObject())
        return std::nullopt;
    const QJsonValue plugin = document.object().value(QLatin1String("plugin"));
    if (!plugin.isObject())
        return std::nullopt;
    const QJsonValue vendor = plugin.toObject().value(QLatin1String("vendor"));
    if (!vendor.isString())
        return std::nullopt;
    return vendor.toString();
}

QString extractManufacturer(const BundleInfo& info, int atFd, const QByteArray& bundle, bool isClap)
{
    if (std::optional<QString> fromComponents = manufacturerFromComponentName(info.firstComponentName))
        return *fromComponents;
    if (std::optional<QString> fromIdentifier = manufacturerFromIdentifier(info.bundleIdentifier))
        return *fromIdentifier;
    if (isClap)
        return manufacturerFromClap(atFd, bundle).value_or(QString());
    return {};
}

std::optional<QDateTime> accessTime(int atFd, const char* path)
{
    struct stat st {};
    if (::fstatat(atFd, path, &st, 0) != 0)
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(st.st_atim.tv_sec), Qt::UTC);
}

/// Access time of the first entry a folder lists ("." and ".." aside, dot-names not). Read
/// straight into a small buffer: a directory stream allocates a large one for every bundle.
std::optional<QDateTime> firstEntryAccessTime(int atFd, const QByteArray& path)
{
    const int fd = ::openat(atFd, path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    alignas(dirent64) char buffer[4096];
    std::optional<QDateTime> date;
    bool found = false;
    while (!found) {
        const ssize_t length = ::getdents64(fd, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t offset = 0; offset < length && !found;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            found = true;
            date = accessTime(fd, name);
        }
    }
    ::close(fd);
    return date;
}

/// Access time of Contents/MacOS/<name>, else of the first entry listed there. `contents`
/// is the bundle's path with "/Contents/" (the path is built on in place and given back so).
std::optional<QDateTime> extractLastUsed(int atFd, QByteArray& contents, QByteArrayView nativeName)
{
    const qsizetype contentsLength = contents.size();
    contents.append("MacOS");
    const qsizetype macOSLength = contents.size();
    contents.append('/').append(nativeName);
    std::optional<QDateTime> date = accessTime(atFd, contents.constData());
    contents.truncate(macOSLength);
    if (!date)
        date = firstEntryAccessTime(atFd, contents);
    contents.truncate(contentsLength);
    return date;
}

/// A new random (version 4) UUID. The generator is seeded once from the system source:
/// QUuid::createUuid() asks the CPU's random instruction for every id, which took a
/// noticeable share of a large scan.
QUuid newRecordId()
{
    static thread_local QRandomGenerator64 generator = [] {
        std::array<quint32, 16> seed{};
        QRandomGenerator::system()->fillRange(seed.data(), seed.size());
        return QRandomGenerator64(seed.data(), seed.data() + seed.size());
    }();
    const quint64 high = generator.generate64();
    const quint64 low = generator.generate64();
    return QUuid(static_cast<uint>(high >> 32), static_cast<ushort>(high >> 16),
                 static_cast<ushort>((high & 0x0FFF) | 0x4000), static_cast<uchar>(((low >> 56) & 0x3F) | 0x80),
                 static_cast<uchar>(low >> 48), static_cast<uchar>(low >> 40), static_cast<uchar>(low >> 32),
                 static_cast<uchar>(low >> 24), static_cast<uchar>(low >> 16), static_cast<uchar>(low >> 8),
                 static_cast<uchar>(low));
}

/// Code-point order of UTF-16 texts (plain UTF-16 unit order puts U+E000..U+FFFF after
/// the supplementary planes).
inline char32_t codePointRank(char16_t unit)
{
    if (unit < 0xD800)
        return unit;
    return unit >= 0xE000 ? char32_t(unit) - 0x800 : char32_t(unit) + 0x2000;
}

bool codePointLess(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    const QChar* pa = a.constData();
    const QChar* pb = b.constData();
    for (qsizetype i = 0; i < n; ++i) {
        if (pa[i] != pb[i])
            return codePointRank(pa[i].unicode()) < codePointRank(pb[i].unicode());
    }
    return a.size() < b.size();
}

// Deeper than any real plug-in folder; a deeper tree is a loop of links or a prank, and
// walking it would only run into the path-length limit.
constexpr int kMaxFolderDepth = 256;
// Bundles read per task: enough to amortise opening the folder, few enough to spread
// a folder of thousands over every worker.
constexpr size_t kBundlesPerTask = 16;

using FolderRules = DisabledLayout::LayoutFolders;

bool isValidUtf8(const QByteArray& bytes)
{
    const bool ascii = std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return (c & 0x80) == 0; });
    if (ascii)
        return true;
    // Stateless: a name that ends in the first bytes of a longer character is an error, not a
    // character left pending for a next call that never comes (which drops it from the text).
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    return !decoder.hasError();
}

/// Whether a name starts with "waveshell" in any case. Compared on the bytes: no character
/// outside ASCII lower-cases to one of these letters, so this is the test on the decoded,
/// lower-cased name without building either.
bool startsWithWaveShell(QByteArrayView name)
{
    constexpr char kPrefix[] = "waveshell";
    constexpr qsizetype kLength = sizeof kPrefix - 1;
    if (name.size() < kLength)
        return false;
    for (qsizetype i = 0; i < kLength; ++i) {
        char c = name.at(i);
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != kPrefix[i])
            return false;
    }
    return true;
}

/// folder + "/" + the decoded name, built in one piece.
QString joinedPath(const QString& folder, const QByteArray& name)
{
    QString path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder).append(QLatin1Char('/'));
    // A name in plain ASCII reads the same as Latin-1, which needs no decoded copy first.
    if (std::all_of(name.cbegin(), name.cend(), [](char c) { return (c & 0x80) == 0; }))
        path.append(QLatin1StringView(name));
    else
        path.append(QFile::decodeName(name));
    return path;
}

/// Where a record stands: its path, whether that is in the disabled layout and where it
/// returns to. A bundle outside that layout returns to where it is (its two paths then share
/// one text), so the return path is only worked out for the others.
void placeRecord(AudioPlugin& plugin, const QString& path, PluginFormat format, const FolderRules& rules)
{
    plugin.currentPath = path;
    const bool disabled = DisabledLayout::isDisabledPath(path, rules);
    plugin.isEnabled = !disabled;
    plugin.originalPath = disabled ? DisabledLayout::returnPath(path, format, rules) : path;
}

/// What a bundle's own files say, whatever path it was reached by.
struct BundleFacts {
    bool present = false; // false: a dangling link or a WaveShell, which make no record
    // (device, inode) of the bundle's Info.plist when it has one, else of the bundle itself,
    // links followed: one bundle reached by two names has the same either way.
    FolderId identity{0, 0};
    bool identityOfInfo = false; // the identity is the Info.plist's (see takeRecord)
    bool viaLink = false;        // the entry is a link to the bundle, not the bundle
    QString manufacturer;
    std::optional<QString> version;
    std::optional<QString> bundleIdentifier;
    std::optional<QDateTime> lastUsed;
};

BundleFacts readBundleFacts(int atFd, const QByteArray& nativeRef, unsigned char type)
{
    BundleFacts facts;
    const QByteArray nativeName = nativeRef.mid(nativeRef.lastIndexOf('/') + 1);
    const QByteArrayView nativeBase = withoutExtension(nativeName);
    if (startsWithWaveShell(nativeBase))
        return facts; // Waves shells are found through the Waves folders instead
    // One read and one parse per bundle, however many fields it yields.
    // One path buffer for the bundle's files, with room for the longest of them.
    QByteArray contents;
    contents.reserve(nativeRef.size() + 32 + nativeBase.size());
    contents.append(nativeRef).append("/Contents/");
    const qsizetype contentsLength = contents.size();
    // The identity tells one bundle reached by two names from two copies. The Info.plist's,
    // which its read gives anyway, saves a status call per bundle; a bundle without one is
    // asked for its own.
    constexpr FolderId kNone{0, 0}; // no file has inode 0
    FolderId infoIdentity = kNone;
    BundleInfo info = parseBundleInfo(readIntoThreadBuffer(atFd, contents.append("Info.plist"), &infoIdentity));
    contents.truncate(contentsLength);
    if (infoIdentity != kNone) {
        facts.identity = infoIdentity;
        facts.identityOfInfo = true;
    } else {
        struct stat st {};
        if (::fstatat(atFd, nativeRef.constData(), &st, 0) != 0)
            return facts; // a dangling link
        facts.identity = identityOf(st);
    }
    facts.viaLink = type == DT_LNK;
    if (type == DT_UNKNOWN) {
        struct stat own {};
        facts.viaLink = ::fstatat(atFd, nativeRef.constData(), &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode);
    }
    facts.present = true;
    // "clap" has no dot of its own: a name ending in ".clap" has it as its extension.
    facts.manufacturer = extractManufacturer(info, atFd, nativeRef, nativeName.endsWith(".clap"));
    facts.version = std::move(info.shortVersion);
    facts.bundleIdentifier = std::move(info.bundleIdentifier);
    facts.lastUsed = extractLastUsed(atFd, contents, nativeBase);
    return facts;
}

AudioPlugin makeRecord(BundleFacts facts, const QByteArray& nativeName, const QString& path, PluginFormat format,
                       const FolderRules& rules)
{
    AudioPlugin plugin;
    plugin.id = newRecordId();
    plugin.name = QString::fromLocal8Bit(withoutExtension(nativeName));
    plugin.manufacturer = std::move(facts.manufacturer);
    plugin.format = format;
    placeRecord(plugin, path, format, rules);
    plugin.version = std::move(facts.version);
    plugin.bundleIdentifier = std::move(facts.bundleIdentifier);
    plugin.lastUsed = facts.lastUsed;
    return plugin;
}

/// What the final sort compares: the NFC form of the name, "Unknown Plugin" for none.
QString sortKeyOf(const QString& name)
{
    return name.isEmpty() ? QStringLiteral("Unknown Plugin") : name.normalized(QString::NormalizationForm_C);
}

/// Ranks of a text's first eight UTF-16 units, 16 bits each, four to a word.
using SortPrefix = std::array<quint64, 2>;

/// A record with the texts the manufacturer clean-up and the final sort compare. The
/// reading tasks work them out, so the single-threaded end of a scan only looks them up.
struct ScanRecord {
    AudioPlugin plugin;
    // The name lower-cased, the cross-reference key; null for a name in plain ASCII, which is
    // compared and hashed as lower-cased in place (see foldKey).
    QString foldedName;
    size_t foldedHash = 0; // of the key lower-cased, seedless: it picks the record's cross-reference shard
    bool genericManufacturer = false;
    QString sortKey;
    SortPrefix sortPrefix{}; // the code-point ranks of sortKey's first units, for a quick first compare
    FolderId identity{0, 0}; // see BundleFacts; none for Waves records
    bool identityOfInfo = false;
    bool viaLink = false;
};

/// What the final sort moves: the prefix beside the record, so most compares stay in one array.
struct SortEntry {
    SortPrefix prefix;
    const QChar* key; // the record's sortKey, at hand without a visit to the record
    qsizetype keyLength;
    ScanRecord* record;
};

/// Ranks of the first eight UTF-16 units (the rank is a bijection onto 16 bits), so that
/// comparing two prefixes orders like codePointLess wherever the prefixes differ. Eight, not
/// four: many names share a vendor's or a product line's first word.
SortPrefix codePointPrefix(const QString& text)
{
    SortPrefix prefix{};
    for (qsizetype i = 0; i < 8; ++i) {
        quint64& word = prefix[size_t(i) / 4];
        word = (word << 16) | (i < text.size() ? quint64(codePointRank(text.at(i).unicode())) : 0);
    }
    return prefix;
}

bool sortsBefore(const SortEntry& a, const SortEntry& b)
{
    if (a.prefix != b.prefix)
        return a.prefix < b.prefix;
    // Equal names share one text (see crossReference): most ties end here.
    if (a.key == b.key && a.keyLength == b.keyLength)
        return false;
    return codePointLess(QStringView(a.key, a.keyLength), QStringView(b.key, b.keyLength));
}

/// The cross-reference key of a record: its lower-cased name, or the name itself where that
/// is plain ASCII. Either way, lower-casing its ASCII letters gives the lower-cased name.
QStringView foldKey(const ScanRecord& record)
{
    return record.foldedName.isNull() ? QStringView(record.plugin.name) : QStringView(record.foldedName);
}

inline char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

/// Hash of a key with its ASCII letters lower-cased (FNV-1a, mixed so that low and high bits
/// both spread).
size_t foldedHashOf(QStringView key)
{
    quint64 hash = 0xcbf29ce484222325ull;
    for (QChar c : key)
        hash = (hash ^ asciiLower(c.unicode())) * 0x100000001b3ull;
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    hash ^= hash >> 33;
    return size_t(hash);
}

/// Whether two keys are the same lower-cased name.
bool sameFoldKey(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i].unicode()) != asciiLower(b[i].unicode()))
            return false;
    }
    return true;
}

/// Whether a manufacturer carries no information (genericManufacturers, any case).
bool isGenericManufacturer(const QString& manufacturer)
{
    // Lower-casing never shortens a text, so a name longer than all of these needs no lower-cased copy.
    static const qsizetype kLongestGeneric = [] {
        qsizetype longest = 0;
        for (const QString& name : PluginScanner::genericManufacturers())
            longest = std::max(longest, name.size());
        return longest;
    }();
    if (manufacturer.size() > kLongestGeneric)
        return false;
    // The generic names are plain ASCII: a plain ASCII text matches one without a copy. Kept
    // in a plain list, which a scan goes through for every bundle far faster than the set.
    if (isAscii(manufacturer)) {
        static const std::vector<QString> generic(PluginScanner::genericManufacturers().cbegin(),
                                                  PluginScanner::genericManufacturers().cend());
        return std::any_of(generic.cbegin(), generic.cend(),
                           [&manufacturer](const QString& name) { return sameFoldKey(manufacturer, name); });
    }
    return PluginScanner::genericManufacturers().contains(manufacturer.toLower());
}

ScanRecord annotated(AudioPlugin plugin)
{
    ScanRecord record;
    if (!isAscii(plugin.name))
        record.foldedName = plugin.name.toLower();
    record.plugin = std::move(plugin);
    record.foldedHash = foldedHashOf(foldKey(record));
    record.genericManufacturer = isGenericManufacturer(record.plugin.manufacturer);
    record.sortKey = sortKeyOf(record.plugin.name);
    record.sortPrefix = codePointPrefix(record.sortKey);
    return record;
}

struct FolderNode;

/// One listed entry that may hold plug-ins: a bundle, or a folder to walk.
struct FolderEntry {
    QByteArray name;
    unsigned char type = DT_UNKNOWN;
    FolderNode* child = nullptr; // null for a bundle; owned by the walk (RootWalk::folders)
    // Bundles only: its slot in the folder's records, filled by a reading task.
    std::optional<ScanRecord>* record = nullptr;
};

/// One place a folder was reached. The first task to open a given folder lists it;
/// any other place reaching the same folder (through a link) only records its identity.
struct FolderNode {
    bool opened = false;
    FolderId id{0, 0};
    QString path;     // as the lister reached it: the records' paths start with it
    QByteArray names; // the entries' names, one block the names view (see Folder::entriesIn)
    std::vector<FolderEntry> entries;
    // One block for the folder's records rather than one allocation each: small blocks freed
    // among the rows' texts left part-used pages the window kept for good.
    std::vector<std::optional<ScanRecord>> records;
};

/// The walk of one root folder of one format. Tasks of the pool fill the tree; the
/// records are taken from it afterwards, in the order a depth-first walk meets them.
struct RootWalk {
    RootWalk(PluginFormat f, QString p, const FolderRules& r, std::atomic_bool& warned)
        : format(f), bundleExtension('.' + PluginFormats::fileExtensions(f).first().toLatin1()), path(std::move(p)),
          rules(r), depthWarned(warned)
    {
    }
    PluginFormat format;
    QByteArray bundleExtension; // with its dot: ".vst3"
    QString path;
    const FolderRules& rules;
    FolderNode root;
    std::mutex mutex;
    QHash<FolderId, FolderNode*> lister; // guarded by mutex while the walk runs
    // Every folder below the root, in one list rather than each under its parent, so that
    // they are freed side by side (guarded by mutex while the walk runs).
    std::vector<std::unique_ptr<FolderNode>> folders;
    std::atomic_bool& depthWarned;
    std::atomic<size_t> recordCount{0}; // records read, however many the collection keeps
};

/// Bundle entries of one listed folder that one reading task takes.
using BundleBatch = std::vector<FolderEntry*>;

void readBundles(RootWalk& walk, const FolderNode& node, const QByteArray& folderPath, const BundleBatch& batch)
{
    const int fd = ::open(folderPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return; // gone since it was listed: its bundles make no records
    size_t made = 0;
    for (FolderEntry* entry : batch) {
        BundleFacts facts = readBundleFacts(fd, entry->name, entry->type);
        if (!facts.present)
            continue;
        const QString path = joinedPath(node.path, entry->name);
        const FolderId identity = facts.identity;
        const bool identityOfInfo = facts.identityOfInfo;
        const bool viaLink = facts.viaLink;
        ScanRecord& record =
            entry->record->emplace(annotated(makeRecord(std::move(facts), entry->name, path, walk.format, walk.rules)));
        record.identity = identity;
        record.identityOfInfo = identityOfInfo;
        record.viaLink = viaLink;
        ++made;
    }
    ::close(fd);
    walk.recordCount += made;
}

/// Whether a listed entry belongs in the tree; prints why a plug-in candidate is left out.
bool keepEntry(RootWalk& walk, int fd, const DirEntry& entry, bool isBundle, int depth, const QByteArray& folderPath)
{
    if (!isBundle && (entry.type == DT_REG || entryKind(fd, entry.name, entry.type) != EntryKind::folder))
        return false;
    if (!isValidUtf8(entry.name)) {
        // Its decoded path would not exist, and every later operation on it would fail.
        Diagnostics::print(
            QStringLiteral("⚠️ Skipped a %1 whose name is not valid UTF-8 in %2")
                .arg(isBundle ? QStringLiteral("bundle") : QStringLiteral("folder"), QFile::decodeName(folderPath)));
        return false;
    }
    if (!isBundle && depth >= kMaxFolderDepth) {
        if (!walk.depthWarned.exchange(true))
            Diagnostics::print(QStringLiteral("⚠️ Folders nested deeper than %1 levels were not scanned, in %2")
                                   .arg(kMaxFolderDepth)
                                   .arg(QFile::decodeName(folderPath)));
        return false;
    }
    return true;
}

void listFolder(WorkPool& pool, RootWalk& walk, FolderNode& node, const QByteArray& folderPath, int depth)
{
    Folder folder(AT_FDCWD, folderPath);
    if (!folder.isOpen()) {
        Diagnostics::print(QStringLiteral("❌ Error scanning directory ") + QFile::decodeName(folderPath) +
                           QStringLiteral(": ") + folder.errorText());
        return;
    }
    node.id = folder.identity();
    node.opened = true;
    node.path = QFile::decodeName(folderPath);
    {
        // A link back to a folder already walked (a parent, say) would make the walk endless.
        const std::lock_guard lock(walk.mutex);
        if (walk.lister.contains(node.id))
            return;
        walk.lister.insert(node.id, &node);
    }
    const int fd = folder.fd();
    std::vector<DirEntry> listed = folder.entriesIn(node.names);
    // Reading tasks hold pointers to the entries while the rest are still being kept: room
    // for all of them now, so that keeping more never moves the ones already handed out.
    node.entries.reserve(listed.size());
    node.records.reserve(size_t(std::count_if(listed.cbegin(), listed.cend(), [&walk](const DirEntry& entry) {
        return entry.name.endsWith(walk.bundleExtension);
    })));
    std::vector<std::unique_ptr<FolderNode>> children;
    BundleBatch batch;
    const auto postBatch = [&pool, &walk, &node, &folderPath, &batch] {
        pool.post([&walk, &node, folderPath, batch = std::move(batch)] { readBundles(walk, node, folderPath, batch); });
        batch = {};
    };
    for (DirEntry& entry : listed) {
        // A bundle is never descended into: a bundle inside a bundle is not a plug-in of its own.
        // The extension has no dot of its own, so a name ending in it has it after its last dot.
        const bool isBundle = entry.name.endsWith(walk.bundleExtension);
        if (!keepEntry(walk, fd, entry, isBundle, depth, folderPath))
            continue;
        FolderEntry& kept = node.entries.emplace_back(FolderEntry{std::move(entry.name), entry.type, nullptr, nullptr});
        if (isBundle) {
            kept.record = &node.records.emplace_back();
            batch.push_back(&kept);
            if (batch.size() == kBundlesPerTask)
                postBatch();
            continue;
        }
        kept.child = children.emplace_back(std::make_unique<FolderNode>()).get();
        pool.post([&pool, &walk, child = kept.child, path = folderPath + '/' + kept.name, depth] {
            listFolder(pool, walk, *child, path, depth + 1);
        });
    }
    if (!batch.empty())
        postBatch();
    if (!children.empty()) {
        const std::lock_guard lock(walk.mutex);
        std::move(children.begin(), children.end(), std::back_inserter(walk.folders));
    }
}

/// Where each bundle of one format already stands in the record list, by its identity.
using BundlePlaces = QHash<FolderId, size_t>;

/// The (device, inode) of the bundle at `path`, links followed.
std::optional<FolderId> bundleIdentity(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return identityOf(st);
}

/// Takes a bundle's record (it stays in the tree) unless the same bundle, reached by another
/// name, was taken before: the first place met keeps it, except that a link yields to the
/// bundle's own entry (moving a link would leave the bundle where hosts still load it).
/// Its paths were made from the place the folder was listed from; when this walk reached
/// the folder by another way (a link), they follow this way.
void takeRecord(const RootWalk& walk, const FolderNode& node, const QString& folderPath, FolderEntry& entry,
                std::vector<ScanRecord*>& records, BundlePlaces& places)
{
    ScanRecord& record = **entry.record;
    auto seen = places.constFind(record.identity);
    if (seen != places.cend() && record.identityOfInfo) {
        // Two bundles may share one Info.plist (hard links, as a linked backup copy makes):
        // only the bundles' own identities tell whether this is the one met before. Rare, so
        // asked here rather than for every bundle.
        const std::optional<FolderId> own = bundleIdentity(joinedPath(folderPath, entry.name));
        if (!own)
            return; // gone since it was read
        if (own != bundleIdentity(records[*seen]->plugin.currentPath)) {
            record.identity = *own;
            record.identityOfInfo = false;
            seen = places.constFind(record.identity);
        }
    }
    if (seen != places.cend() && !(records[*seen]->viaLink && !record.viaLink))
        return;
    if (folderPath != node.path) {
        const QString path = joinedPath(folderPath, entry.name);
        placeRecord(record.plugin, path, walk.format, walk.rules);
    }
    if (seen != places.cend()) {
        records[*seen] = &record;
        return;
    }
    places.insert(record.identity, records.size());
    records.push_back(&record);
}

/// The records of one walked root, in depth-first order, each folder taken the first
/// time it is met. Iterative: a deep tree must not exhaust the stack.
void collectRecords(RootWalk& walk, std::vector<ScanRecord*>& records, BundlePlaces& places)
{
    if (!walk.root.opened)
        return;
    struct Frame {
        FolderNode* node;
        size_t next;
        QString path;
    };
    QSet<FolderId> visited{walk.root.id};
    std::vector<Frame> stack{{walk.lister.value(walk.root.id), 0, walk.path}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.node->entries.size()) {
            stack.pop_back();
            continue;
        }
        FolderEntry& entry = top.node->entries[top.next++];
        if (!entry.child) {
            if (entry.record && entry.record->has_value())
                takeRecord(walk, *top.node, top.path, entry, records, places);
            continue;
        }
        if (!entry.child->opened || visited.contains(entry.child->id))
            continue;
        visited.insert(entry.child->id);
        FolderNode* lister = walk.lister.value(entry.child->id);
        stack.push_back({lister, 0, top.path + QLatin1Char('/') + QFile::decodeName(entry.name)});
    }
}

/// The folders a format's bundles are looked for in, in walk order.
QStringList rootFolders(PluginFormat format)
{
    return PluginFormats::systemPaths(format) + DisabledLayout::disabledFolders(format);
}

/// Records of the "bundle" entries of one Waves folder, built from the names alone.
void collectWavesFolder(const QByteArray& folder, const QString& versionFolder, const QString& versionTag, bool enabled,
                        QList<AudioPlugin>& result)
{
    for (const DirEntry& entry : Folder(AT_FDCWD, folder).entries()) {
        if (extensionOf(entry.name) != "bundle")
            continue;
        if (!isValidUtf8(entry.name)) {
            Diagnostics::print(QStringLiteral("⚠️ Skipped a bundle whose name is not valid UTF-8 in ") +
                               QFile::decodeName(folder));
            continue;
        }
        const QString fileName = QFile::decodeName(entry.name);
        AudioPlugin plugin;
        plugin.id = newRecordId();
        plugin.name = QString::fromLocal8Bit(withoutExtension(entry.name));
        plugin.manufacturer = QStringLiteral("Waves Audio");
        plugin.format = PluginFormat::wavesBundle;
        plugin.originalPath = versionFolder + QLatin1Char('/') + fileName;
        plugin.currentPath = QFile::decodeName(folder) + QLatin1Char('/') + fileName;
        plugin.isEnabled = enabled;
        plugin.version = versionTag;
        result.append(std::move(plugin));
    }
}

QList<AudioPlugin> scanWavesBundlePlugins()
{
    QList<AudioPlugin> result;
    const QString wavesFolder = PluginFolderTable::wavesFolder();
    if (!DisabledLayout::pathExists(wavesFolder))
        return result;
    const QByteArray nativeWaves = QFile::encodeName(wavesFolder);
    Folder waves(AT_FDCWD, nativeWaves);
    for (const DirEntry& folder : waves.entries()) {
        if (!folder.name.startsWith(PluginFolderTable::kWavesVersionPrefix) || !isValidUtf8(folder.name))
            continue;
        const QByteArray versionPath = nativeWaves + '/' + folder.name;
        // The folder's own type, as listed: a link named like a version folder is not one.
        bool isFolder = folder.type == DT_DIR;
        if (folder.type == DT_UNKNOWN) {
            struct stat st {};
            isFolder = ::lstat(versionPath.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        if (!isFolder)
            continue;
        const QString versionFolder = QFile::decodeName(versionPath);
        const QString versionTag = PluginFolderTable::wavesVersionTag(QFile::decodeName(folder.name));
        collectWavesFolder(versionPath, versionFolder, versionTag, true, result);
        const QByteArray disabledPath = versionPath + '/' + PluginFolderTable::kWavesDisabledFolder;
        if (DisabledLayout::pathExists(QFile::decodeName(disabledPath)))
            collectWavesFolder(disabledPath, versionFolder, versionTag, false, result);
    }
    return result;
}

/// Runs `work(i)` for every i in 0..count on the pool and waits for all of them. The end of
/// a scan is all processor work: it runs on no more tasks than there are cores, each taking
/// the next item when done, since a task past that count only waits for a core, and one
/// whose thread lost its core holds up the whole step.
void forEachOnPool(WorkPool& pool, size_t count, const std::function<void(size_t)>& work)
{
    static const size_t kCores = std::max(1u, std::thread::hardware_concurrency());
    std::atomic<size_t> next{0};
    for (size_t task = 0; task < std::min(kCores, count); ++task)
        pool.post([&work, &next, count] {
            for (size_t i = next++; i < count; i = next++)
                work(i);
        });
    pool.wait();
}

/// Runs `work(begin, end)` over 0..count in chunks of `chunk` on the pool and waits for all of them.
void forChunksOf(WorkPool& pool, size_t count, size_t chunk, const std::function<void(size_t, size_t)>& work)
{
    forEachOnPool(pool, (count + chunk - 1) / chunk,
                  [&work, count, chunk](size_t index) { work(index * chunk, std::min((index + 1) * chunk, count)); });
}

void forChunks(WorkPool& pool, size_t count, const std::function<void(size_t, size_t)>& work)
{
    forChunksOf(pool, count, 1024, work);
}

/// Makes `text` share the copy `seen` holds of the same text, or keeps it there as the first.
void shareText(QString& text, QSet<QString>& seen)
{
    const auto known = seen.constFind(text);
    if (known != seen.cend())
        text = *known;
    else
        seen.insert(text);
}

/// The records of one shard grouped by name (lower-cased), each group in record order. Keyed
/// by the hash the reading tasks worked out, so no name is hashed again here.
class NameGroups {
public:
    explicit NameGroups(const std::vector<ScanRecord*>& shard) : m_groupOf(shard.size())
    {
        size_t capacity = 16;
        while (capacity < shard.size() * 2)
            capacity *= 2;
        m_slots.assign(capacity, kEmpty);
        const size_t mask = capacity - 1;
        for (size_t i = 0; i < shard.size(); ++i) {
            const ScanRecord* record = shard[i];
            // The shard was picked by the hash's low bits: its other bits pick the slot.
            size_t slot = size_t(record->foldedHash >> 32) & mask;
            for (;; slot = (slot + 1) & mask) {
                if (m_slots[slot] == kEmpty) {
                    m_slots[slot] = quint32(m_firstOf.size());
                    m_groupOf[i] = quint32(m_firstOf.size());
                    m_firstOf.push_back(quint32(i));
                    break;
                }
                const ScanRecord* first = shard[m_firstOf[m_slots[slot]]];
                if (first->foldedHash == record->foldedHash && sameFoldKey(foldKey(*first), foldKey(*record))) {
                    m_groupOf[i] = m_slots[slot];
                    break;
                }
            }
        }
    }

    size_t count() const { return m_firstOf.size(); }
    /// The group of the shard's i-th record.
    quint32 of(size_t i) const { return m_groupOf[i]; }

private:
    static constexpr quint32 kEmpty = ~quint32(0);
    std::vector<quint32> m_slots;   // group index, or kEmpty
    std::vector<quint32> m_firstOf; // each group's first record
    std::vector<quint32> m_groupOf; // each record's group
};

/// The manufacturer clean-up of one shard: every record of a name, in record order.
void crossReferenceShard(const std::vector<ScanRecord*>& shard, const QHash<QString, QString>& normalization)
{
    const NameGroups groups(shard);
    constexpr quint32 kNone = ~quint32(0);
    struct Group {
        bool hasVendor = false;
        bool fromAudioUnit = false;
        QString vendor; // as read, then as shown
        // The first record of each distinct spelling of the name, chained through `nextSpelling`.
        quint32 firstSpelling = kNone;
    };
    std::vector<Group> byName(groups.count());
    for (size_t i = 0; i < shard.size(); ++i) {
        const ScanRecord* record = shard[i];
        if (record->genericManufacturer)
            continue;
        // Audio Units carry the most reliable vendor texts: they override, and the last one
        // of a name wins. Other formats only fill names no Audio Unit names, and the first wins.
        const bool audioUnit = record->plugin.format == PluginFormat::au;
        Group& group = byName[groups.of(i)];
        if (!group.hasVendor || audioUnit)
            group = {true, audioUnit, record->plugin.manufacturer, group.firstSpelling};
    }
    QHash<QString, QString> shownAs; // manufacturer -> display name after normalisation
    const auto shown = [&shownAs, &normalization](const QString& manufacturer) -> const QString& {
        auto known = shownAs.constFind(manufacturer);
        if (known == shownAs.cend())
            known = shownAs.insert(manufacturer, normalization.value(manufacturer.toLower(), manufacturer));
        return *known;
    };
    for (Group& group : byName) {
        if (group.hasVendor)
            group.vendor = shown(group.vendor);
    }
    QSet<QString> versions; // a few texts repeat across thousands of records: one copy each
    std::vector<quint32> nextSpelling(shard.size(), kNone);
    for (size_t i = 0; i < shard.size(); ++i) {
        ScanRecord* record = shard[i];
        AudioPlugin& plugin = record->plugin;
        Group& group = byName[groups.of(i)];
        // Records of one name share one name text (and one sort key: the sort's ties end on it).
        quint32* link = &group.firstSpelling;
        while (*link != kNone && shard[*link]->plugin.name != plugin.name)
            link = &nextSpelling[*link];
        if (*link == kNone) {
            *link = quint32(i);
        } else {
            const ScanRecord* same = shard[*link];
            plugin.name = same->plugin.name;
            record->sortKey = same->sortKey;
        }
        if (plugin.version)
            shareText(*plugin.version, versions);
        plugin.manufacturer = group.hasVendor ? group.vendor : shown(plugin.manufacturer);
    }
}

/// The manufacturer clean-up: one vendor text per plug-in name, then the shown spellings.
/// Every record of a name falls in one shard, so the shards are worked side by side on the
/// pool, each walking its records in record order.
void crossReference(const std::vector<ScanRecord*>& records, WorkPool& pool)
{
    constexpr size_t kShards = 256;
    // Each record's shard is read on the pool: the records lie scattered through memory, and
    // this thread then deals them out from one array.
    std::vector<quint8> shardOf(records.size());
    forChunks(pool, records.size(), [&records, &shardOf](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            shardOf[i] = quint8(records[i]->foldedHash % kShards);
    });
    std::array<std::vector<ScanRecord*>, kShards> shards; // each in record order
    for (std::vector<ScanRecord*>& shard : shards)
        shard.reserve(records.size() / kShards * 2);
    for (size_t i = 0; i < records.size(); ++i)
        shards[shardOf[i]].push_back(records[i]);
    const QHash<QString, QString>& normalization = PluginScanner::manufacturerNormalization();
    forEachOnPool(pool, kShards,
                  [&shards, &normalization](size_t shard) { crossReferenceShard(shards[shard], normalization); });
}

/// How many of the first `k` entries of the stable merge of `a` and `b` come from `a`: a
/// merge takes a's entry first on a tie. Lets one merge be cut into pieces merged side by side.
size_t mergeSplit(const SortEntry* a, size_t aSize, const SortEntry* b, size_t bSize, size_t k)
{
    size_t low = k > bSize ? k - bSize : 0;
    size_t high = std::min(k, aSize);
    while (low < high) {
        const size_t i = low + (high - low) / 2;
        const size_t j = k - i;
        // a[i] is among the first k when b[j - 1] does not sort before it.
        if (j > 0 && !sortsBefore(b[j - 1], a[i]))
            low = i + 1;
        else
            high = i;
    }
    return low;
}

/// std::stable_sort's order, worked on the pool: runs are sorted side by side, then merged
/// in pairs, each merge cut into pieces of about a run that are merged side by side too. A
/// merge takes the left run's entry first on a tie, so the whole stays stable.
void stableSortOnPool(std::vector<SortEntry>& entries, WorkPool& pool)
{
    constexpr size_t kRun = 4096;
    const size_t count = entries.size();
    forChunksOf(pool, count, kRun, [&entries](size_t begin, size_t end) {
        std::stable_sort(entries.begin() + qsizetype(begin), entries.begin() + qsizetype(end), sortsBefore);
    });
    std::vector<SortEntry> merged(count);
    for (size_t width = kRun; width < count; width *= 2) {
        // Each piece is kRun entries of the output; the pair of runs it falls in is found from it.
        forChunksOf(pool, count, kRun, [&entries, &merged, width, count](size_t from, size_t to) {
            const size_t begin = from / (2 * width) * (2 * width);
            const SortEntry* a = entries.data() + begin;
            const size_t aSize = std::min(width, count - begin);
            const SortEntry* b = a + aSize;
            const size_t bSize = std::min(begin + 2 * width, count) - begin - aSize;
            const size_t aFrom = mergeSplit(a, aSize, b, bSize, from - begin);
            const size_t aTo = mergeSplit(a, aSize, b, bSize, to - begin);
            std::merge(a + aFrom, a + aTo, b + (from - begin - aFrom), b + (to - begin - aTo), merged.data() + from,
                       sortsBefore);
        });
        entries.swap(merged);
    }
}

/// The records in name order. Sorting compares prefixes held in one array; taking the
/// records out of the trees, scattered through memory, is spread over the pool.
QList<AudioPlugin> inNameOrder(const std::vector<ScanRecord*>& records, WorkPool& pool)
{
    std::vector<SortEntry> order(records.size());
    forChunks(pool, records.size(), [&records, &order](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            order[i] = {records[i]->sortPrefix, records[i]->sortKey.constData(), records[i]->sortKey.size(),
                        records[i]};
    });
    stableSortOnPool(order, pool);
    if (order.empty())
        return {};
    // The list's storage is built in place on the pool: a list of default records made first
    // on this thread spent tens of milliseconds on first touches of fresh memory alone.
    const auto count = static_cast<qsizetype>(order.size());
    QArrayDataPointer<AudioPlugin> storage(QTypedArrayData<AudioPlugin>::allocate(count));
    Q_CHECK_PTR(storage.data());
    AudioPlugin* out = storage.data();
    forChunks(pool, order.size(), [&order, out](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            new (out + i) AudioPlugin(std::move(order[i].record->plugin));
    });
    storage.size = count;
    return QList<AudioPlugin>(std::move(storage));
}

/// Frees the walked trees, folder by folder on the pool: most of a tree is its records, the
/// largest allocations of a scan, and nothing of it is left for the caller.
void releaseTrees(std::deque<RootWalk>& walks, WorkPool& pool)
{
    // One task per few folders on every thread: freeing waits on memory more than on a core.
    constexpr size_t kFoldersPerTask = 16;
    for (RootWalk& walk : walks) {
        pool.post([&walk] {
            const auto entries = std::move(walk.root.entries);
            const auto records = std::move(walk.root.records);
            walk.lister = {};
        });
        for (size_t begin = 0; begin < walk.folders.size(); begin += kFoldersPerTask)
            pool.post([&walk, begin, end = std::min(begin + kFoldersPerTask, walk.folders.size())] {
                for (size_t i = begin; i < end; ++i)
                    walk.folders[i].reset();
            });
    }
    pool.wait();
    walks.clear();
}

} // namespace

PluginScanner::PluginScanner(QObject* parent) : QObject(parent)
{
    createCentralDisabledDirectoryIfNeeded();
}

QString PluginScanner::centralDisabledDirectory()
{
    return DisabledLayout::centralDisabledDirectory();
}

const QSet<QString>& PluginScanner::genericManufacturers()
{
    static const QSet<QString> names{QStringLiteral("yourcompany"), QStringLiteral("your company"),
                                     QStringLiteral("mycompany"),   QStringLiteral("my company"),
                                     QStringLiteral("company"),     QStringLiteral("developer"),
                                     QStringLiteral("unknown"),     QString(),
                                     QStringLiteral("aaxplugin"),   QStringLiteral("vst3"),
                                     QStringLiteral("vst"),         QStringLiteral("component"),
                                     QStringLiteral("clap"),        QStringLiteral("synth"),
                                     QStringLiteral("fx"),          QStringLiteral("effect"),
                                     QStringLiteral("instrument")};
    return names;
}

const QHash<QString, QString>& PluginScanner::manufacturerNormalization()
{
    static const QHash<QString, QString> names{
        {QStringLiteral("acustica"), QStringLiteral("Acustica Audio")},
        {QStringLiteral("acusticaudio"), QStringLiteral("Acustica Audio")},
        {QStringLiteral("apogeedigital"), QStringLiteral("Apogee")},
        {QStringLiteral("blackroosteraudio"), QStringLiteral("Black Rooster Audio")},
        {QStringLiteral("synchroarts"), QStringLiteral("Synchro Arts")},
        {QStringLiteral("uvisoundsource"), QStringLiteral("UVI")},
        {QStringLiteral("valhalladsp"), QStringLiteral("Valhalla DSP")},
        {QStringLiteral("valhalla dsp, llc"), QStringLiteral("Valhalla DSP")},
        {QStringLiteral("futureaudioworkshop"), QStringLiteral("Future Audio Workshop")},
        {QStringLiteral("nomadfactory"), QStringLiteral("Nomad Factory")},
        {QStringLiteral("soundradix"), QStringLiteral("Sound Radix")},
        {QStringLiteral("mixedinkey"), QStringLiteral("Mixed In Key")},
        {QStringLiteral("_510k"), QStringLiteral("510k")},
        {QStringLiteral("mcdsp"), QStringLiteral("McDSP")},
        {QStringLiteral("izotope"), QStringLiteral("iZotope")},
        {QStringLiteral("acondigital"), QStringLiteral("Acon Digital")},
        {QStringLiteral("gforce"), QStringLiteral("GForce Software")},
        {QStringLiteral("hitnmix"), QStringLiteral("Hit'n'Mix")}};
    return names;
}

void PluginScanner::scanAllPlugins(int threads)
{
    m_isScanning = true;
    Q_EMIT isScanningChanged(true);
    m_scanProgress = 0.0;
    Q_EMIT scanProgressChanged(m_scanProgress);
    m_discoveredPlugins.clear();
    Q_EMIT discoveredPluginsChanged();
    m_scanError.reset();

    QList<AudioPlugin> found = scan(threads, [this](double progress) {
        m_scanProgress = progress;
        Q_EMIT scanProgressChanged(m_scanProgress);
    });

    m_discoveredPlugins = std::move(found);
    Q_EMIT discoveredPluginsChanged();
    m_isScanning = false;
    Q_EMIT isScanningChanged(false);
    m_scanProgress = 1.0;
    Q_EMIT scanProgressChanged(m_scanProgress);
}

QList<AudioPlugin> PluginScanner::scan(int threads, const std::function<void(double)>& formatDone)
{
    const FolderRules rules = DisabledLayout::currentLayoutFolders();
    createCentralDisabledDirectoryIfNeeded();

    std::atomic_bool depthWarned{false};
    std::deque<RootWalk> walks; // stable addresses for the tasks
    std::vector<ScanRecord> wavesRecords;
    WorkPool pool(threads > 0 ? threads : WorkPool::defaultThreadCount());
    for (PluginFormat format : PluginFormats::allCases) {
        if (format == PluginFormat::wavesBundle) {
            pool.post([&wavesRecords] {
                QList<AudioPlugin> waves = scanWavesBundlePlugins();
                wavesRecords.reserve(static_cast<size_t>(waves.size()));
                for (AudioPlugin& plugin : waves)
                    wavesRecords.push_back(annotated(std::move(plugin)));
            });
            continue;
        }
        for (const QString& folder : rootFolders(format)) {
            if (!DisabledLayout::pathExists(folder))
                continue;
            QByteArray native = QFile::encodeName(folder);
            RootWalk& walk = walks.emplace_back(format, folder, rules, depthWarned);
            pool.post([&pool, &walk, native = std::move(native)] { listFolder(pool, walk, walk.root, native, 0); });
        }
    }
    pool.wait();
    // Pointers into the walked trees: the records themselves are not moved until the end. A
    // bundle is one record per format, however many names reach it; the formats share no
    // record, so each is collected on a task of its own, then they are put in format order.
    struct FormatRecords {
        PluginFormat format;
        std::deque<RootWalk>::iterator begin, end; // the format's walks
        std::vector<ScanRecord*> records;
    };
    std::vector<FormatRecords> formats;
    auto walk = walks.begin();
    for (PluginFormat format : PluginFormats::allCases) {
        const auto formatEnd =
            std::find_if(walk, walks.end(), [format](const RootWalk& w) { return w.format != format; });
        formats.push_back({format, walk, formatEnd, {}});
        walk = formatEnd;
    }
    forEachOnPool(pool, formats.size(), [&formats, &wavesRecords](size_t index) {
        FormatRecords& format = formats[index];
        const size_t count = std::accumulate(format.begin, format.end, size_t(0),
                                             [](size_t sum, const RootWalk& root) { return sum + root.recordCount; });
        if (format.format == PluginFormat::wavesBundle) {
            format.records.reserve(wavesRecords.size() + count);
            for (ScanRecord& record : wavesRecords)
                format.records.push_back(&record);
        }
        format.records.reserve(format.records.size() + count);
        // Looked up by (device, inode) even among plain folders: a folder mounted at a second
        // name is one bundle too.
        BundlePlaces places;
        places.reserve(static_cast<qsizetype>(count));
        for (auto w = format.begin; w != format.end; ++w)
            collectRecords(*w, format.records, places);
    });
    std::vector<ScanRecord*> records;
    records.reserve(std::accumulate(formats.cbegin(), formats.cend(), size_t(0),
                                    [](size_t sum, const FormatRecords& f) { return sum + f.records.size(); }));
    int done = 0;
    for (const FormatRecords& format : formats) {
        records.insert(records.end(), format.records.cbegin(), format.records.cend());
        ++done;
        if (formatDone)
            formatDone(done / 6.0);
    }
    crossReference(records, pool);
    QList<AudioPlugin> found = inNameOrder(records, pool);
    releaseTrees(walks, pool);
    return found;
}

void PluginScanner::sortByName(QList<AudioPlugin>& plugins)
{
    std::vector<QString> keys;
    keys.reserve(static_cast<size_t>(plugins.size()));
    for (const AudioPlugin& plugin : std::as_const(plugins))
        keys.push_back(sortKeyOf(plugin.name));
    std::vector<size_t> order(keys.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&keys](size_t a, size_t b) { return codePointLess(keys[a], keys[b]); });
    QList<AudioPlugin> sorted;
    sorted.reserve(plugins.size());
    for (size_t index : order)
        sorted.append(std::move(plugins[static_cast<qsizetype>(index)]));
    plugins = std::move(sorted);
}

void PluginScanner::createCentralDisabledDirectoryIfNeeded()
{
    const QString central = centralDisabledDirectory();
    const std::filesystem::path centralPath(QFile::encodeName(central).toStdString());
    if (DisabledLayout::pathExists(central)) {
        setHiddenAttribute(central);
    } else {
        std::error_code error;
        std::filesystem::create_directories(centralPath, error);
        if (error)
            Diagnostics::print(QStringLiteral("Error creating central disabled directory: ") +
                               QString::fromLocal8Bit(error.message().c_str()));
        else
            setHiddenAttribute(central);
    }
    for (PluginFormat format : PluginFormats::allCases) {
        const QString sub = central + QLatin1Char('/') + PluginFormats::rawValue(format);
        if (!DisabledLayout::pathExists(sub)) {
            std::error_code ignored;
            std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(sub).toStdString()), ignored);
        }
    }
}

std::optional<AudioPlugin> PluginScanner::createPluginFromURL(const QString& bundlePath, PluginFormat format) const
{
    const QByteArray native = QFile::encodeName(bundlePath);
    BundleFacts facts = readBundleFacts(AT_FDCWD, native, DT_DIR);
    if (!facts.present)
        return std::nullopt;
    return makeRecord(std::move(facts), native.mid(native.lastIndexOf('/') + 1), bundlePath, format,
                      DisabledLayout::currentLayoutFolders());
}

QList<AudioPlugin> PluginScanner::crossReferenceManufacturers(QList<AudioPlugin> plugins)
{
    std::vector<ScanRecord> records;
    records.reserve(static_cast<size_t>(plugins.size()));
    for (AudioPlugin& plugin : plugins)
        records.push_back(annotated(std::move(plugin)));
    std::vector<ScanRecord*> pointers;
    pointers.reserve(records.size());
    for (ScanRecord& record : records)
        pointers.push_back(&record);
    WorkPool callerOnly(1);
    crossReference(pointers, callerOnly);
    for (qsizetype i = 0; i < plugins.size(); ++i)
        plugins[i] = std::move(records[static_cast<size_t>(i)].plugin);
    return plugins;
}
