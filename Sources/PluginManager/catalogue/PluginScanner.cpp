#include "PluginScanner.h"

#include "Platform/Diagnostics.h"
#include "Platform/HiddenAttribute.h"
#include "Platform/Paths.h"
#include "Platform/PropertyList.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <system_error>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRandomGenerator>
#include <QVariantList>
#include <QVariantMap>

namespace {

const QString kUnusedMarker = QStringLiteral("Plug-Ins (Unused)");
constexpr qint64 kMaxInfoFileBytes = 16 * 1024 * 1024; // an Info.plist or clap.json is tiny

enum class EntryKind { missing, file, folder };

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
    std::pair<quint64, quint64> identity() const
    {
        struct stat st {};
        if (!m_dir || ::fstat(fd(), &st) != 0)
            return {0, 0};
        return {static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
    }

    /// Direct entries in file-system order. Dot-names (the Linux form of hidden
    /// entries) are left out unless asked for.
    std::vector<DirEntry> entries(bool includeHidden = false)
    {
        std::vector<DirEntry> list;
        if (!m_dir)
            return list;
        while (const dirent* entry = ::readdir(m_dir)) {
            const char* name = entry->d_name;
            if (name[0] == '.') {
                if (!includeHidden || name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))
                    continue;
            }
            list.push_back(DirEntry{QByteArray(name), entry->d_type});
        }
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

bool pathExists(const QByteArray& path)
{
    struct stat st {};
    return ::stat(path.constData(), &st) == 0;
}

/// The text after the last dot of a name, or nothing when it has no dot.
QByteArray extensionOf(const QByteArray& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? QByteArray() : name.mid(dot + 1);
}

QByteArray withoutExtension(const QByteArray& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? name : name.left(dot);
}

/// Reads a small file whole; empty when it is missing, unreadable, a folder or too big.
QByteArray readSmallFile(int atFd, const QByteArray& path)
{
    const int fd = ::openat(atFd, path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n < 0)
                bytes.clear();
            break;
        }
        if (bytes.size() + n > kMaxInfoFileBytes) {
            bytes.clear();
            break;
        }
        bytes.append(buffer, n);
    }
    ::close(fd);
    return bytes;
}

std::optional<QString> textValue(const QVariantMap& info, const QString& key)
{
    const auto it = info.constFind(key);
    if (it == info.cend() || it->typeId() != QMetaType::QString)
        return std::nullopt;
    return it->toString();
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

/// The vendor part of the first AudioComponents entry's "Vendor: Name".
std::optional<QString> manufacturerFromAudioComponents(const QVariantMap& info)
{
    const auto it = info.constFind(QStringLiteral("AudioComponents"));
    if (it == info.cend() || it->typeId() != QMetaType::QVariantList)
        return std::nullopt;
    const QVariantList components = it->toList();
    if (components.isEmpty())
        return std::nullopt;
    // Only a list made entirely of dictionaries counts.
    for (const QVariant& component : components) {
        if (component.typeId() != QMetaType::QVariantMap)
            return std::nullopt;
    }
    const std::optional<QString> name = textValue(components.first().toMap(), QStringLiteral("name"));
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

std::optional<QString> manufacturerFromIdentifier(const QVariantMap& info)
{
    const std::optional<QString> identifier = textValue(info, QStringLiteral("CFBundleIdentifier"));
    if (!identifier)
        return std::nullopt;
    const QStringList pieces = identifier->split(QLatin1Char('.'), Qt::SkipEmptyParts);
    if (pieces.size() < 2)
        return std::nullopt;
    const QString& vendor = pieces.at(1);
    const QString lower = vendor.toLower();
    if (lower == QLatin1String("wizoo"))
        return QStringLiteral("AIR Music Technology");
    if (lower == QLatin1String("waves") || lower == QLatin1String("wavesaudio"))
        return QStringLiteral("Waves Audio");
    if (lower == QLatin1String("u-he"))
        return QStringLiteral("u-he");
    // First character upper-cased, the rest as written (a surrogate pair counts as one).
    const char32_t first = vendor.at(0).isHighSurrogate() && vendor.size() > 1
                               ? QChar::surrogateToUcs4(vendor.at(0), vendor.at(1))
                               : char32_t(vendor.at(0).unicode());
    const qsizetype firstLength = QChar::requiresSurrogates(first) ? 2 : 1;
    return QString::fromUcs4(&first, 1).toUpper() + vendor.mid(firstLength);
}

std::optional<QString> manufacturerFromClap(int atFd, const QByteArray& bundle)
{
    const QByteArray bytes = readSmallFile(atFd, bundle + "/clap.json");
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

QString extractManufacturer(const QVariantMap& info, int atFd, const QByteArray& bundle, const QByteArray& extension)
{
    if (std::optional<QString> fromComponents = manufacturerFromAudioComponents(info))
        return *fromComponents;
    if (std::optional<QString> fromIdentifier = manufacturerFromIdentifier(info))
        return *fromIdentifier;
    if (extension == "clap")
        return manufacturerFromClap(atFd, bundle).value_or(QString());
    return {};
}

std::optional<QDateTime> accessTime(int atFd, const QByteArray& path)
{
    struct stat st {};
    if (::fstatat(atFd, path.constData(), &st, 0) != 0)
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(st.st_atim.tv_sec), Qt::UTC);
}

/// Access time of Contents/MacOS/<name>, else of the first entry listed there.
std::optional<QDateTime> extractLastUsed(int atFd, const QByteArray& bundle, const QByteArray& nativeName)
{
    const QByteArray macOS = bundle + "/Contents/MacOS";
    if (std::optional<QDateTime> date = accessTime(atFd, macOS + '/' + nativeName))
        return date;
    Folder folder(atFd, macOS);
    const std::vector<DirEntry> entries = folder.entries(true);
    if (entries.empty())
        return std::nullopt;
    return accessTime(folder.fd(), entries.front().name);
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

bool codePointLess(const QString& a, const QString& b)
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

} // namespace

PluginScanner::PluginScanner(QObject* parent)
    : QObject(parent)
    , m_rules(currentFolderRules())
{
    createCentralDisabledDirectoryIfNeeded();
}

QString PluginScanner::centralDisabledDirectory()
{
    return Paths::system(QStringLiteral("/Library/Audio/Plug-Ins/Disabled"));
}

const QSet<QString>& PluginScanner::genericManufacturers()
{
    static const QSet<QString> names{
        QStringLiteral("yourcompany"), QStringLiteral("your company"), QStringLiteral("mycompany"),
        QStringLiteral("my company"),  QStringLiteral("company"),      QStringLiteral("developer"),
        QStringLiteral("unknown"),     QString(),                      QStringLiteral("aaxplugin"),
        QStringLiteral("vst3"),        QStringLiteral("vst"),          QStringLiteral("component"),
        QStringLiteral("clap"),        QStringLiteral("synth"),        QStringLiteral("fx"),
        QStringLiteral("effect"),      QStringLiteral("instrument")};
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

PluginScanner::FolderRules PluginScanner::currentFolderRules()
{
    FolderRules rules;
    rules.centralDisabled = centralDisabledDirectory();
    rules.avidSystemFolder = Paths::system(QStringLiteral("/Library/Application Support/Avid/Audio/Plug-Ins/"));
    for (PluginFormat format : PluginFormats::allCases) {
        const QStringList folders = PluginFormats::systemPaths(format);
        if (!folders.isEmpty())
            rules.systemFolder[static_cast<size_t>(format)] = folders.first();
    }
    return rules;
}

void PluginScanner::scanAllPlugins()
{
    m_isScanning = true;
    Q_EMIT isScanningChanged(true);
    m_scanProgress = 0.0;
    Q_EMIT scanProgressChanged(m_scanProgress);
    m_discoveredPlugins.clear();
    Q_EMIT discoveredPluginsChanged();

    m_rules = currentFolderRules();
    createCentralDisabledDirectoryIfNeeded();
    m_scanError.reset();

    QList<AudioPlugin> found;
    int done = 0;
    for (PluginFormat format : PluginFormats::allCases) {
        found.append(scanPluginsForFormat(format));
        ++done;
        m_scanProgress = done / 6.0;
        Q_EMIT scanProgressChanged(m_scanProgress);
    }

    found = crossReferenceManufacturers(std::move(found));
    sortByName(found);

    m_discoveredPlugins = std::move(found);
    Q_EMIT discoveredPluginsChanged();
    m_isScanning = false;
    Q_EMIT isScanningChanged(false);
    m_scanProgress = 1.0;
    Q_EMIT scanProgressChanged(m_scanProgress);
}

void PluginScanner::sortByName(QList<AudioPlugin>& plugins)
{
    std::vector<QString> keys;
    keys.reserve(static_cast<size_t>(plugins.size()));
    for (const AudioPlugin& plugin : std::as_const(plugins)) {
        keys.push_back(plugin.name.isEmpty() ? QStringLiteral("Unknown Plugin")
                                             : plugin.name.normalized(QString::NormalizationForm_C));
    }
    std::vector<qsizetype> order(keys.size());
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::stable_sort(order.begin(), order.end(), [&keys](qsizetype a, qsizetype b) {
        return codePointLess(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]);
    });
    QList<AudioPlugin> sorted;
    sorted.reserve(plugins.size());
    for (qsizetype index : order)
        sorted.append(std::move(plugins[index]));
    plugins = std::move(sorted);
}

void PluginScanner::createCentralDisabledDirectoryIfNeeded()
{
    const QString central = centralDisabledDirectory();
    const std::filesystem::path centralPath(QFile::encodeName(central).toStdString());
    if (pathExists(QFile::encodeName(central))) {
        setHiddenAttribute(central);
    } else {
        std::error_code error;
        std::filesystem::create_directories(centralPath, error);
        if (error)
            Diagnostics::print(QStringLiteral("Error creating central disabled directory: ")
                               + QString::fromLocal8Bit(error.message().c_str()));
        else
            setHiddenAttribute(central);
    }
    for (PluginFormat format : PluginFormats::allCases) {
        const QByteArray sub = QFile::encodeName(central + QLatin1Char('/') + PluginFormats::rawValue(format));
        if (!pathExists(sub)) {
            std::error_code ignored;
            std::filesystem::create_directories(std::filesystem::path(sub.toStdString()), ignored);
        }
    }
}

QList<AudioPlugin> PluginScanner::scanPluginsForFormat(PluginFormat format)
{
    if (format == PluginFormat::wavesBundle)
        return scanWavesBundlePlugins();

    QList<AudioPlugin> result;
    for (const QString& folder : PluginFormats::systemPaths(format))
        result.append(scanDirectory(folder, format));
    result.append(scanDirectory(m_rules.centralDisabled + QLatin1Char('/') + PluginFormats::rawValue(format), format));
    if (format == PluginFormat::aax) {
        const QString unused = QStringLiteral("/Library/Application Support/Avid/Audio/Plug-Ins (Unused)");
        result.append(scanDirectory(Paths::system(unused), format));
        result.append(scanDirectory(Paths::user(unused), format));
    }
    return result;
}

QList<AudioPlugin> PluginScanner::scanDirectory(const QString& path, PluginFormat format)
{
    const QByteArray native = QFile::encodeName(path);
    QList<AudioPlugin> plugins;
    if (!pathExists(native))
        return plugins;
    QSet<FolderId> visited;
    recursivelyScanDirectory(AT_FDCWD, native, path, format, plugins, visited);
    return plugins;
}

void PluginScanner::recursivelyScanDirectory(int atFd, const QByteArray& nativeRef, const QString& path,
                                             PluginFormat format, QList<AudioPlugin>& plugins,
                                             QSet<FolderId>& visited)
{
    Folder folder(atFd, nativeRef);
    if (!folder.isOpen()) {
        Diagnostics::print(QStringLiteral("❌ Error scanning directory ") + path + QStringLiteral(": ")
                           + folder.errorText());
        return;
    }
    // A link back to a folder already walked (a parent, say) would make the walk endless.
    const FolderId id = folder.identity();
    if (visited.contains(id))
        return;
    visited.insert(id);

    const QByteArray bundleExtension = PluginFormats::fileExtensions(format).first().toLatin1();
    const int fd = folder.fd();
    for (const DirEntry& entry : folder.entries()) {
        const bool isBundle = extensionOf(entry.name) == bundleExtension;
        if (!isBundle && entry.type == DT_REG)
            continue; // a plain file that is no bundle: nothing to ask
        const EntryKind kind = entryKind(fd, entry.name, entry.type);
        if (kind == EntryKind::missing)
            continue; // dangling link
        const QString entryPath = path + QLatin1Char('/') + QFile::decodeName(entry.name);
        if (isBundle) {
            // Never descended into: a bundle inside a bundle is not a plug-in of its own.
            if (std::optional<AudioPlugin> plugin = createPlugin(fd, entry.name, entryPath, format, m_rules))
                plugins.append(std::move(*plugin));
        } else if (kind == EntryKind::folder) {
            recursivelyScanDirectory(fd, entry.name, entryPath, format, plugins, visited);
        }
    }
}

QString PluginScanner::getOriginalPath(const QString& bundlePath, PluginFormat format, const FolderRules& rules)
{
    // The bundle's name without its extension, ".", and the extension: its file name.
    const QString fileName = bundlePath.mid(bundlePath.lastIndexOf(QLatin1Char('/')) + 1);
    if (bundlePath.contains(rules.centralDisabled))
        return rules.systemFolder[static_cast<size_t>(format)] + QLatin1Char('/') + fileName;
    if (bundlePath.contains(kUnusedMarker))
        return rules.avidSystemFolder + fileName;
    return bundlePath;
}

std::optional<AudioPlugin> PluginScanner::createPluginFromURL(const QString& bundlePath, PluginFormat format) const
{
    return createPlugin(AT_FDCWD, QFile::encodeName(bundlePath), bundlePath, format, currentFolderRules());
}

std::optional<AudioPlugin> PluginScanner::createPlugin(int atFd, const QByteArray& nativeRef, const QString& path,
                                                       PluginFormat format, const FolderRules& rules)
{
    const QByteArray nativeName = nativeRef.mid(nativeRef.lastIndexOf('/') + 1);
    const QByteArray nativeBase = withoutExtension(nativeName);
    const QString name = QFile::decodeName(nativeBase);
    if (name.toLower().startsWith(QLatin1String("waveshell")))
        return std::nullopt; // Waves shells are found through the Waves folders instead

    // One read and one parse per bundle, however many fields it yields.
    const QVariantMap info = parsePropertyList(readSmallFile(atFd, nativeRef + "/Contents/Info.plist"));

    AudioPlugin plugin;
    plugin.id = newRecordId();
    plugin.name = name;
    plugin.manufacturer = extractManufacturer(info, atFd, nativeRef, extensionOf(nativeName));
    plugin.format = format;
    plugin.currentPath = path;
    plugin.isEnabled = !path.contains(rules.centralDisabled) && !path.contains(kUnusedMarker);
    plugin.originalPath = getOriginalPath(path, format, rules);
    plugin.version = textValue(info, QStringLiteral("CFBundleShortVersionString"));
    plugin.bundleIdentifier = textValue(info, QStringLiteral("CFBundleIdentifier"));
    plugin.lastUsed = extractLastUsed(atFd, nativeRef, nativeBase);
    return plugin;
}

QList<AudioPlugin> PluginScanner::scanWavesBundlePlugins()
{
    QList<AudioPlugin> result;
    const QString wavesFolder = Paths::system(QStringLiteral("/Applications/Waves"));
    const QByteArray nativeWaves = QFile::encodeName(wavesFolder);
    if (!pathExists(nativeWaves))
        return result;
    Folder waves(AT_FDCWD, nativeWaves);
    const std::vector<DirEntry> folders = waves.entries();

    // Records of the "bundle" entries of one folder, built from the names alone.
    auto collect = [&result](const QByteArray& folder, const QString& versionFolder, const QString& versionTag,
                             bool enabled) {
        for (const DirEntry& entry : Folder(AT_FDCWD, folder).entries()) {
            if (extensionOf(entry.name) != "bundle")
                continue;
            const QString fileName = QFile::decodeName(entry.name);
            AudioPlugin plugin;
            plugin.id = newRecordId();
            plugin.name = QFile::decodeName(withoutExtension(entry.name));
            plugin.manufacturer = QStringLiteral("Waves Audio");
            plugin.format = PluginFormat::wavesBundle;
            plugin.originalPath = versionFolder + QLatin1Char('/') + fileName;
            plugin.currentPath = QFile::decodeName(folder) + QLatin1Char('/') + fileName;
            plugin.isEnabled = enabled;
            plugin.version = versionTag;
            result.append(std::move(plugin));
        }
    };

    for (const DirEntry& folder : folders) {
        if (!folder.name.startsWith("Plug-Ins V"))
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
        const QString versionTag = QFile::decodeName(folder.name).mid(9); // "Plug-Ins V15" -> "V15"
        collect(versionPath, versionFolder, versionTag, true);
        const QByteArray disabledPath = versionPath + "/Disabled";
        if (pathExists(disabledPath))
            collect(disabledPath, versionFolder, versionTag, false);
    }
    return result;
}

QList<AudioPlugin> PluginScanner::crossReferenceManufacturers(QList<AudioPlugin> plugins) const
{
    const QSet<QString>& generic = genericManufacturers();
    // Names and manufacturers are compared lower-cased; fold each once.
    std::vector<QString> lowerNames;
    std::vector<bool> generics;
    lowerNames.reserve(static_cast<size_t>(plugins.size()));
    generics.reserve(static_cast<size_t>(plugins.size()));
    for (const AudioPlugin& plugin : std::as_const(plugins)) {
        lowerNames.push_back(plugin.name.toLower());
        generics.push_back(generic.contains(plugin.manufacturer.toLower()));
    }

    QHash<QString, QString> byName;
    // Audio Units carry the most reliable vendor texts: the last one of a name wins.
    for (qsizetype i = 0; i < plugins.size(); ++i) {
        const AudioPlugin& plugin = plugins.at(i);
        if (plugin.format == PluginFormat::au && !generics[static_cast<size_t>(i)])
            byName.insert(lowerNames[static_cast<size_t>(i)], plugin.manufacturer);
    }
    // Other formats only fill names still unknown: the first one wins.
    for (qsizetype i = 0; i < plugins.size(); ++i) {
        const AudioPlugin& plugin = plugins.at(i);
        const QString& key = lowerNames[static_cast<size_t>(i)];
        if (plugin.format != PluginFormat::au && !generics[static_cast<size_t>(i)] && !byName.contains(key))
            byName.insert(key, plugin.manufacturer);
    }
    const QHash<QString, QString>& normalization = manufacturerNormalization();
    QHash<QString, QString> shownAs; // manufacturer -> display name after normalisation
    for (qsizetype i = 0; i < plugins.size(); ++i) {
        AudioPlugin& plugin = plugins[i];
        const auto mapped = byName.constFind(lowerNames[static_cast<size_t>(i)]);
        if (mapped != byName.cend())
            plugin.manufacturer = *mapped;
        auto shown = shownAs.constFind(plugin.manufacturer);
        if (shown == shownAs.cend())
            shown = shownAs.insert(plugin.manufacturer,
                                   normalization.value(plugin.manufacturer.toLower(), plugin.manufacturer));
        plugin.manufacturer = *shown;
    }
    return plugins;
}
