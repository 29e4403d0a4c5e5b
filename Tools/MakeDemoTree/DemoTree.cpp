#include "MakeDemoTree/DemoTree.h"

#include "Platform/PropertyList.h"

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace DemoTree {

namespace {

// Last-use dates count back from a fixed moment (2025-06-01 UTC) so a seed always gives
// the same tree, timestamps included.
constexpr qint64 kReferenceTime = 1748736000;

/// splitmix64: tiny, fast and identical on every platform (std distributions are not).
class Random {
public:
    explicit Random(quint64 seed) : m_state(seed * 0x9E3779B97F4A7C15ULL + 0x632BE59BD9B4E019ULL) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return n <= 0 ? 0 : static_cast<int>(next() % static_cast<quint64>(n)); }
    bool chance(int percent) { return below(100) < percent; }

private:
    quint64 m_state;
};

enum Format { au, vst3, vst2, aax, clap, kFolderFormats };

struct FormatInfo {
    const char* rawValue;
    const char* extension;
    const char* folder;
    const char* identifierTag;
};

const FormatInfo kFormats[kFolderFormats] = {
    {"Audio Units", "component", "/Library/Audio/Plug-Ins/Components", "au"},
    {"VST3", "vst3", "/Library/Audio/Plug-Ins/VST3", "vst3"},
    {"VST", "vst", "/Library/Audio/Plug-Ins/VST", "vst"},
    {"AAX", "aaxplugin", "/Library/Application Support/Avid/Audio/Plug-Ins", "aax"},
    {"CLAP", "clap", "/Library/Audio/Plug-Ins/CLAP", "clap"},
};

const char kDisabledFolder[] = "/Library/Audio/Plug-Ins/Disabled";
const char kUnusedFolder[] = "/Library/Application Support/Avid/Audio/Plug-Ins (Unused)";
const char kWavesFolder[] = "/Applications/Waves";

// Percent of products that come in each format.
const int kFormatShare[kFolderFormats] = {70, 80, 40, 35, 20};

struct Vendor {
    const char* name;       // folder name and clap.json vendor
    const char* word;       // the vendor word of the bundle identifiers
    const char* components; // the vendor text of "Vendor: Name" in AudioComponents
};

// Invented vendors, plus spellings that exercise the manufacturer clean-up.
const Vendor kVendors[] = {
    {"Northwind Audio", "northwindaudio", "Northwind Audio"},
    {"Copperline", "copperline", "Copperline"},
    {"Lumen DSP", "lumendsp", "Lumen DSP"},
    {"Fjord Sound", "fjordsound", "Fjord Sound"},
    {"Quiet Lab", "quietlab", "Quiet Lab"},
    {"Tidewater", "tidewater", "Tidewater"},
    {"Meridian Circuits", "meridiancircuits", "Meridian Circuits"},
    {"Orchard Audio", "orchardaudio", "Orchard Audio"},
    {"Basalt", "basalt", "Basalt"},
    {"Paper Moon Labs", "papermoonlabs", "Paper Moon Labs"},
    {"Kestrel", "kestrel", "Kestrel"},
    {"Saltmarsh Audio", "saltmarsh", "Saltmarsh Audio"},
    {"Ironbark", "ironbark", "Ironbark"},
    {"Velvet Static", "velvetstatic", "Velvet Static"},
    {"Acustica Audio", "acustica", "Acustica"},
    {"Valhalla DSP", "valhalladsp", "Valhalla DSP, LLC"},
    {"iZotope", "izotope", "iZotope"},
    {"McDSP", "mcdsp", "McDSP"},
    {"Sound Radix", "soundradix", "Sound Radix"},
    {"GForce Software", "gforce", "GForce"},
    {"AIR Music Technology", "wizoo", "AIR Music Technology"},
    {"u-he", "u-he", "u-he"},
    {"Your Company", "yourcompany", "Your Company"},
};
constexpr int kVendorCount = int(sizeof kVendors / sizeof kVendors[0]);

const char* const kAdjectives[] = {"Tape",   "Vintage", "Glass", "Analog", "Crystal", "Dark",   "Warm",   "Spring",
                                   "Plate",  "Tube",    "Opto",  "Bus",    "Deep",    "Wide",   "Micro",  "Mega",
                                   "Velvet", "Solar",   "Lunar", "Iron",   "Copper",  "Silver", "Hollow", "Bright"};
const char* const kNouns[] = {"Echo",      "Comp",    "Verb",   "Delay", "EQ",     "Chorus",  "Flanger", "Phaser",
                              "Saturator", "Limiter", "Gate",   "Synth", "Bass",   "Drums",   "Keys",    "Strings",
                              "Pad",       "Filter",  "Shaper", "Tuner", "Imager", "Exciter", "Clipper", "Looper"};
const char* const kSuffixes[] = {"",      " 2",      " 3",    " MkII", " X",      " Pro", " Lite", " SE",
                                 " Plus", " Studio", " Mini", " 76",   " Deluxe", " One", " Max",  " Go"};

// Names that quoting, splitting and sorting code must survive.
const char* const kHostileNames[] = {
    "Tape \"Echo\" Deluxe",
    "Bob's Comp",
    "  Blank  Spaced  ",
    "Pipe|Delay",
    "\xc3\x9c"
    "berdrive Ch\xc3\xb6rus",
    "Emoji \xf0\x9f\x8e\x9b\xef\xb8\x8f Synth",
    "\xce\xa3\xcf\x8d\xce\xbd\xce\xb8\xce\xb5\xcf\x83\xce\xb7 Pad",
    "\xe6\x97\xa5\xe6\x9c\xac Reverb",
    "$(echo hi) `x` & more",
};

const char* const kWavesPrefixes[] = {"CLA", "H", "R", "L", "C", "S1", "Q", "API", "PS", "MV"};
const char* const kWavesSuffixes[] = {"-76", "-2A",   "-Delay",  "-Reverb", "-Comp",
                                      "-EQ", "-Bass", "-Vocals", "-Drums",  "-Chorus"};

QString compact(const QString& name)
{
    QString out;
    for (QChar c : name) {
        if (c.isLetterOrNumber() && c.unicode() < 128)
            out.append(c);
    }
    return out.isEmpty() ? QStringLiteral("plugin") : out;
}

class Writer {
public:
    explicit Writer(Summary& summary) : m_summary(summary) {}

    struct Bundle {
        QString path;
        QString name; // executable name
        QVariantMap info;
        bool binary = false;
        QByteArray rawInfo; // written as is instead of `info` when not null
        bool writeInfo = true;
        enum Executable { named, otherName, none } executable = named;
        QByteArray clapJson;
        qint64 lastUsed = kReferenceTime;
    };

    void bundle(const Bundle& b, const QString& format, bool disabled)
    {
        if (!m_summary.error.isEmpty())
            return;
        const QByteArray path = QFile::encodeName(b.path);
        ensureFolder(b.path.left(b.path.lastIndexOf(QLatin1Char('/'))));
        makeFolder(path);
        makeFolder(path + "/Contents");
        if (b.writeInfo) {
            if (!b.rawInfo.isNull())
                writeBytes(path + "/Contents/Info.plist", b.rawInfo);
            else if (!writePropertyList(b.path + QStringLiteral("/Contents/Info.plist"), b.info, b.binary))
                fail(b.path + QStringLiteral("/Contents/Info.plist"));
        }
        if (b.executable != Bundle::none) {
            makeFolder(path + "/Contents/MacOS");
            const QString exe = b.executable == Bundle::named ? b.name : b.name + QStringLiteral(" Engine");
            const QByteArray exePath = path + "/Contents/MacOS/" + QFile::encodeName(exe);
            writeBytes(exePath, "\x7f"
                                "ELF demo executable\n");
            const timespec times[2] = {{static_cast<time_t>(b.lastUsed), 0}, {static_cast<time_t>(b.lastUsed), 0}};
            ::utimensat(AT_FDCWD, exePath.constData(), times, 0);
        }
        if (!b.clapJson.isNull())
            writeBytes(path + "/clap.json", b.clapJson);
        ++m_summary.bundles;
        if (!format.isEmpty())
            m_summary.perFormat[format] += 1;
        if (disabled)
            ++m_summary.disabled;
    }

    void ensureFolder(const QString& folder)
    {
        if (m_folders.contains(folder))
            return;
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(folder).toStdString()), error);
        if (error)
            fail(folder);
        m_folders.insert(folder);
    }

    void writeBytes(const QByteArray& path, const QByteArray& bytes)
    {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size())
            fail(QFile::decodeName(path));
        if (fd >= 0)
            ::close(fd);
    }

private:
    void makeFolder(const QByteArray& path)
    {
        if (::mkdir(path.constData(), 0755) != 0 && errno != EEXIST)
            fail(QFile::decodeName(path));
    }
    void fail(const QString& path)
    {
        if (m_summary.error.isEmpty())
            m_summary.error = QStringLiteral("cannot write ") + path;
    }

    Summary& m_summary;
    QSet<QString> m_folders;
};

// Writes the tree section by section; the sections run in a fixed order, so a seed gives
// the same tree every time.
class Generator {
public:
    Generator(const Options& options, Summary& summary)
        : m_options(options), m_summary(summary), m_random(options.seed), m_writer(summary)
    {
    }

    void run()
    {
        const QStringList waves = writeWaves();
        writeShells(waves);
        writeHostileNames();
        writeDamagedMetadata();
        writeProducts();
    }

private:
    qint64 lastUse() { return kReferenceTime - qint64(m_random.below(900)) * 86400 - m_random.below(86400); }
    QString version()
    {
        return QStringLiteral("%1.%2.%3").arg(1 + m_random.below(9)).arg(m_random.below(10)).arg(m_random.below(20));
    }

    QStringList writeWaves()
    {
        // Waves: version folders of shell bundles, their Disabled sub-folders, the shells
        // and the registration utility.
        const int wavesNames = std::clamp(m_options.count / 40, 4, 100);
        QStringList waves;
        for (int i = 0; i < wavesNames; ++i)
            waves << QString::fromLatin1(kWavesPrefixes[i % 10]) +
                         QString::fromLatin1(kWavesSuffixes[(i / 10 + i) % 10]);
        waves.removeDuplicates();
        for (const QString& tag : {QStringLiteral("14"), QStringLiteral("15")}) {
            const QString folder = m_options.root + QLatin1String(kWavesFolder) + QStringLiteral("/Plug-Ins V") + tag;
            m_writer.ensureFolder(folder + QStringLiteral("/Disabled"));
            for (const QString& name : std::as_const(waves)) {
                if (tag == QLatin1String("15") && m_random.chance(15))
                    continue; // not every plug-in was updated
                const bool disabled = tag == QLatin1String("15") && m_random.chance(12);
                Writer::Bundle b;
                b.path = folder + (disabled ? QStringLiteral("/Disabled/") : QStringLiteral("/")) + name +
                         QStringLiteral(".bundle");
                b.name = name;
                b.info = {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.WavesAudio.") + compact(name)},
                          {QStringLiteral("CFBundleShortVersionString"),
                           tag + QStringLiteral(".0.") + QString::number(m_random.below(9))}};
                b.binary = m_random.chance(50);
                b.lastUsed = lastUse();
                m_writer.bundle(b, QStringLiteral("Waves"), disabled);
            }
            const QString shells = m_options.root + QLatin1String(kWavesFolder) + QStringLiteral("/WaveShells V") + tag;
            const QString utility = QStringLiteral("Waves AU Reg Utility ") + tag;
            m_writer.ensureFolder(shells + QLatin1Char('/') + utility + QStringLiteral(".app/Contents/MacOS"));
            m_writer.writeBytes(QFile::encodeName(shells + QLatin1Char('/') + utility +
                                                  QStringLiteral(".app/Contents/MacOS/") + utility),
                                "#!/bin/sh\nexit 0\n");
        }
        return waves;
    }

    void writeShells(const QStringList& waves)
    {
        QVariantList shellComponents;
        for (const QString& name : std::as_const(waves))
            shellComponents << QVariantMap{{QStringLiteral("name"), QStringLiteral("Waves: ") + name}};
        const QList<std::pair<Format, QString>> shells{{au, QStringLiteral("WaveShell1-AU 14.0")},
                                                       {au, QStringLiteral("WaveShell1-AU 15.0")},
                                                       {vst3, QStringLiteral("WaveShell1-VST3 14.0")},
                                                       {vst2, QStringLiteral("WaveShell-VST 14.0")},
                                                       {aax, QStringLiteral("WaveShell1-AAX 15.0")}};
        for (const auto& [format, name] : shells) {
            Writer::Bundle b;
            b.path = m_options.root + QLatin1String(kFormats[format].folder) + QLatin1Char('/') + name +
                     QLatin1Char('.') + QLatin1String(kFormats[format].extension);
            b.name = name;
            b.info = {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.WavesAudio.WaveShell")}};
            if (format == au)
                b.info.insert(QStringLiteral("AudioComponents"), shellComponents);
            b.binary = true;
            m_writer.bundle(b, QString(), false); // counted apart: no scan makes a record of it
            ++m_summary.skippedShells;
        }
    }

    void writeHostileNames()
    {
        // Hostile names and damaged metadata: things a scan must survive.
        for (const char* hostile : kHostileNames) {
            const QString name = QString::fromUtf8(hostile);
            for (Format format : {au, vst3}) {
                Writer::Bundle b;
                b.path = m_options.root + QLatin1String(kFormats[format].folder) + QLatin1Char('/') + name +
                         QLatin1Char('.') + QLatin1String(kFormats[format].extension);
                b.name = name;
                b.info = {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.quietlab.") + compact(name)},
                          {QStringLiteral("CFBundleShortVersionString"), version()}};
                if (format == au)
                    b.info.insert(
                        QStringLiteral("AudioComponents"),
                        QVariantList{QVariantMap{{QStringLiteral("name"), QStringLiteral("Quiet Lab: ") + name}}});
                b.lastUsed = lastUse();
                m_writer.bundle(b, QString::fromLatin1(kFormats[format].rawValue), false);
            }
        }
    }

    void writeDamagedMetadata()
    {
        const auto damaged = [&](Format format, const QString& name, const QByteArray& info, const QByteArray& clap) {
            Writer::Bundle b;
            b.path = m_options.root + QLatin1String(kFormats[format].folder) + QLatin1Char('/') + name +
                     QLatin1Char('.') + QLatin1String(kFormats[format].extension);
            b.name = name;
            b.rawInfo = info;
            b.writeInfo = !info.isNull();
            b.clapJson = clap;
            m_writer.bundle(b, QString::fromLatin1(kFormats[format].rawValue), false);
        };
        damaged(vst3, QStringLiteral("Broken Plist"),
                "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><stri", {});
        damaged(au, QStringLiteral("Empty Plist"), QByteArray(""), {});
        damaged(vst2, QStringLiteral("Array Plist"),
                "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>", {});
        damaged(clap, QStringLiteral("Garbage Clap"), {}, "{ \"plugin\": { vendor: oops");
    }

    // Where one product's bundle goes: its format's folder (system or user), the central disabled
    // folder, or the unused folder for a disabled AAX; often inside the vendor's own sub-folder.
    QString productFolder(Format format, const QString& vendorName, const QString& name, bool disabled, bool user)
    {
        const FormatInfo& fi = kFormats[format];
        QString folder;
        if (disabled && format == aax)
            folder = (user ? m_options.home : m_options.root) + QLatin1String(kUnusedFolder);
        else if (disabled)
            folder = m_options.root + QLatin1String(kDisabledFolder) + QLatin1Char('/') + QLatin1String(fi.rawValue);
        else
            folder = (user ? m_options.home : m_options.root) + QLatin1String(fi.folder);
        // Vendors like their own sub-folders, except in the flat Components folder.
        if (format != au && m_random.chance(40)) {
            folder += QLatin1Char('/') + vendorName;
            if (m_random.chance(20))
                folder += QStringLiteral("/") + name.section(QLatin1Char(' '), 1, 1) + QStringLiteral(" Series");
        }
        return folder;
    }

    void writeProductBundle(Format format, const QString& name, const Vendor& vendor, const QString& productVersion,
                            bool hasVersion)
    {
        const QString vendorName = QString::fromUtf8(vendor.name);
        const FormatInfo& fi = kFormats[format];
        const bool disabled = m_random.chance(7);
        const bool user = m_random.chance(15);
        const QString folder = productFolder(format, vendorName, name, disabled, user);

        Writer::Bundle b;
        b.path = folder + QLatin1Char('/') + name + QLatin1Char('.') + QLatin1String(fi.extension);
        b.name = name;
        const bool genericIdentifier = (format == vst3 || format == vst2) && m_random.chance(6);
        const QString identifier =
            QStringLiteral("com.") +
            (genericIdentifier ? QStringLiteral("yourcompany") : QString::fromLatin1(vendor.word)) + QLatin1Char('.') +
            compact(name) + QLatin1Char('.') + QLatin1String(fi.identifierTag);
        if (!(format == clap && m_random.chance(40)))
            b.info.insert(QStringLiteral("CFBundleIdentifier"), identifier);
        if (hasVersion)
            b.info.insert(QStringLiteral("CFBundleShortVersionString"), productVersion);
        b.info.insert(QStringLiteral("CFBundleExecutable"), name);
        b.info.insert(QStringLiteral("CFBundlePackageType"), QStringLiteral("BNDL"));
        if (format == au) {
            b.info.insert(QStringLiteral("AudioComponents"),
                          QVariantList{QVariantMap{{QStringLiteral("name"),
                                                    QString::fromUtf8(vendor.components) + QStringLiteral(": ") + name},
                                                   {QStringLiteral("type"), QStringLiteral("aufx")},
                                                   {QStringLiteral("version"), 65536 + m_random.below(1000)}}});
        }
        if (format == clap) {
            const QJsonObject plugin{{QStringLiteral("vendor"), vendorName},
                                     {QStringLiteral("name"), name},
                                     {QStringLiteral("id"), identifier}};
            b.clapJson = QJsonDocument(QJsonObject{{QStringLiteral("plugin"), plugin}}).toJson(QJsonDocument::Compact);
        }
        b.binary = m_random.chance(35);
        const int executable = m_random.below(100);
        b.executable = executable < 92   ? Writer::Bundle::named
                       : executable < 97 ? Writer::Bundle::otherName
                                         : Writer::Bundle::none;
        b.lastUsed = lastUse();
        m_writer.bundle(b, QString::fromLatin1(fi.rawValue), disabled);
    }

    void writeProducts()
    {
        // Products: one name in several formats, so the manufacturer cross-reference matters.
        std::vector<QString> names;
        for (const char* adjective : kAdjectives)
            for (const char* noun : kNouns)
                for (const char* suffix : kSuffixes)
                    names.push_back(QString::fromLatin1(adjective) + QLatin1Char(' ') + QString::fromLatin1(noun) +
                                    QString::fromLatin1(suffix));
        for (size_t i = names.size(); i > 1; --i)
            std::swap(names[i - 1], names[static_cast<size_t>(m_random.below(static_cast<int>(i)))]);
        const size_t baseNames = names.size();

        for (size_t product = 0; m_summary.bundles < m_options.count && m_summary.error.isEmpty(); ++product) {
            const QString name = product < baseNames ? names[product]
                                                     : names[product % baseNames] + QLatin1Char(' ') +
                                                           QString::number(100 + product / baseNames);
            const Vendor& vendor = kVendors[m_random.below(kVendorCount)];
            const QString productVersion = version();
            const bool hasVersion = m_random.chance(92);
            bool any = false;
            for (int f = 0; f < kFolderFormats && m_summary.bundles < m_options.count; ++f) {
                const bool last = f == kFolderFormats - 1;
                if (!m_random.chance(kFormatShare[f]) && !(last && !any))
                    continue;
                any = true;
                writeProductBundle(static_cast<Format>(f), name, vendor, productVersion, hasVersion);
            }
        }
    }

    const Options& m_options;
    Summary& m_summary;
    Random m_random;
    Writer m_writer;
};

} // namespace

Summary write(const Options& options)
{
    Summary summary;
    Generator(options, summary).run();
    return summary;
}

QString describe(const Options& options, const Summary& summary)
{
    QStringList parts;
    for (const char* format : {"Audio Units", "VST3", "VST", "AAX", "CLAP", "Waves"})
        parts << QStringLiteral("%1 %2").arg(QLatin1String(format)).arg(summary.perFormat.value(QLatin1String(format)));
    return QStringLiteral("Demo plug-in tree: %1 bundles (%2, WaveShell %3), %4 disabled, seed %5, in %6 and %7")
        .arg(summary.bundles)
        .arg(parts.join(QStringLiteral(", ")))
        .arg(summary.skippedShells)
        .arg(summary.disabled)
        .arg(options.seed)
        .arg(options.root, options.home);
}

} // namespace DemoTree
