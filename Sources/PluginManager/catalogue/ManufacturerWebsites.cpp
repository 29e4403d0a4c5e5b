#include "catalogue/ManufacturerWebsites.h"

#include <QByteArray>

namespace {

// Vendors spelled several ways share one address; wherever one key contains another
// with a different address, the longer key comes first, since the first hit wins.
const QList<ManufacturerWebsite> kTable{
    {"wavesfactory", "https://www.wavesfactory.com"},
    {"waves factory", "https://www.wavesfactory.com"},
    {"waves", "https://www.waves.com"},
    {"native instruments", "https://www.native-instruments.com"},
    {"izotope", "https://www.izotope.com"},
    {"fabfilter", "https://www.fabfilter.com"},
    {"fab filter", "https://www.fabfilter.com"},
    {"soundtoys", "https://www.soundtoys.com"},
    {"universal audio", "https://www.uaudio.com"},
    {"uad", "https://www.uaudio.com"},
    {"slate digital", "https://slatedigital.com"},
    {"slate", "https://slatedigital.com"},
    {"plugin alliance", "https://www.plugin-alliance.com"},
    {"brainworx", "https://www.plugin-alliance.com"},
    {"eventide", "https://www.eventideaudio.com"},
    {"valhalla dsp", "https://valhalladsp.com"},
    {"valhalla", "https://valhalladsp.com"},
    {"arturia", "https://www.arturia.com"},
    {"spectrasonics", "https://www.spectrasonics.net"},
    {"toontrack", "https://www.toontrack.com"},
    {"xfer records", "https://xferrecords.com"},
    {"xfer", "https://xferrecords.com"},
    {"cytomic", "https://cytomic.com"},
    {"sugar bytes", "https://sugar-bytes.de"},
    {"cableguys", "https://www.cableguys.com"},
    {"tokyo dawn", "https://www.tokyodawn.net"},
    {"softube", "https://www.softube.com"},
    {"acustica", "https://www.acustica-audio.com"},
    {"sonnox", "https://sonnox.com"},
    {"lexicon", "https://lexiconpro.com"},
    {"tc electronic", "https://www.tcelectronic.com"},
    {"empirical labs", "https://www.empiricallabs.com"},
    {"output", "https://output.com"},
    {"spitfire", "https://www.spitfireaudio.com"},
    {"east west", "https://www.soundsonline.com"},
    {"eastwest", "https://www.soundsonline.com"},
    {"apogee", "https://apogeedigital.com"},
    {"avid", "https://www.avid.com"},
    {"celemony", "https://www.celemony.com"},
    {"flux", "https://www.flux.audio"},
    {"apple", "https://www.apple.com/logic-pro/"},
    {"steinberg", "https://www.steinberg.net"},
    {"roland", "https://www.roland.com"},
    {"korg", "https://www.korg.com"},
    {"yamaha", "https://www.yamaha.com"},
    {"mcdsp", "https://www.mcdsp.com"},
    {"u-he", "https://u-he.com"},
    {"uhe", "https://u-he.com"},
    {"kilohearts", "https://kilohearts.com"},
    {"melda production", "https://www.meldaproduction.com"},
    {"meldaproduction", "https://www.meldaproduction.com"},
    {"jeroen breebaart", "https://www.jeroenbreebaart.com"},
    {"tal software", "https://tal-software.com"},
    {"tal-software", "https://tal-software.com"},
    {"denise audio", "https://denise.io"},
    {"audio damage", "https://www.audiodamage.com"},
    {"minimal audio", "https://www.minimal.audio"},
    {"baby audio", "https://babyaud.io"},
    {"cradle", "https://cradle.app"},
    {"newfangled audio", "https://www.newfangledaudio.com"},
    {"sound particles", "https://soundparticles.com"},
    {"zynaptiq", "https://www.zynaptiq.com"},
    {"accusonus", "https://accusonus.com"},
    {"surreal machines", "https://surrealmachines.com"},
    {"exponential audio", "https://www.exponentialaudio.com"},
    {"air music technology", "https://www.airmusictech.com"},
    {"air music", "https://www.airmusictech.com"},
    {"airmusictech", "https://www.airmusictech.com"},
    {"aberrant dsp", "https://aberrantdsp.com"},
    {"aberrantdsp", "https://aberrantdsp.com"},
    {"audiomodern", "https://audiomodern.com"},
    {"audiomovers", "https://audiomovers.com"},
    {"audiothing", "https://www.audiothing.net"},
    {"audio thing", "https://www.audiothing.net"},
    {"black salt audio", "https://www.blacksaltaudio.com"},
    {"goodhertz", "https://goodhertz.com"},
    {"mixwave", "https://www.mixwave.com"},
    {"mix wave", "https://www.mixwave.com"},
    {"mixland", "https://mixland.com"},
    {"modalics", "https://modalics.com"},
    {"nuro audio", "https://nuroaudio.com"},
    {"oeksound", "https://oeksound.com"},
    {"safari pedals", "https://safaripedals.com"},
    {"chris hein", "https://www.chrishein.net"},
    {"chrishein", "https://www.chrishein.net"},
    {"tbtech", "https://www.tbtechaudio.com"},
    {"virharmonic", "https://www.virharmonic.com"},
    {"dan dugan sound design", "https://www.dandugan.com"},
    {"dan dugan", "https://www.dandugan.com"},
    {"dandugan", "https://www.dandugan.com"},
    {"liquidsonics", "https://www.liquidsonics.com"},
    {"liquid sonics", "https://www.liquidsonics.com"},
    {"mastering the mix", "https://www.masteringthemix.com"},
    {"masteringthemix", "https://www.masteringthemix.com"},
    {"sir audio tools", "https://www.siraudiotools.com"},
    {"siraudiotools", "https://www.siraudiotools.com"},
    {"relab development", "https://www.relabdevelopment.com"},
    {"relab", "https://www.relabdevelopment.com"},
    {"plugins that knock", "https://pluginsthatknock.com"},
    {"pluginsthatknock", "https://pluginsthatknock.com"},
    {"sauceware x lemonaide", "https://sauceware.com"},
    {"sauceware", "https://sauceware.com"},
    {"lemonaide", "https://www.lemonaide.ai"},
    {"a.o.m.", "https://aom-factory.jp"},
    {"aom factory", "https://aom-factory.jp"},
    {"aom-factory", "https://aom-factory.jp"},
    {"accentize", "https://www.accentize.com"},
    {"acon digital", "https://acondigital.com"},
    {"acondigital", "https://acondigital.com"},
    {"akai professional", "https://www.akaipro.com"},
    {"akai", "https://www.akaipro.com"},
    {"angelicvibes", "https://angelicvibes.com"},
    {"angelic vibes", "https://angelicvibes.com"},
    {"antares", "https://www.antarestech.com"},
    {"antarestech", "https://www.antarestech.com"},
    {"apulsoft", "https://www.apulsoft.ch"},
    {"apul soft", "https://www.apulsoft.ch"},
    {"artonic music", "https://artonicmusic.com"},
    {"artonic", "https://artonicmusic.com"},
    {"bedroom producers blog", "https://bedroomproducersblog.com"},
    {"bedroomproducersblog", "https://bedroomproducersblog.com"},
    {"beyerdynamic", "https://www.beyerdynamic.com"},
    {"black rooster audio", "https://blackroosteraudio.com"},
    {"blackroosteraudio", "https://blackroosteraudio.com"},
    {"bleass", "https://www.bleass.com"},
    {"cherry audio", "https://cherryaudio.com"},
    {"cherryaudio", "https://cherryaudio.com"},
    {"cymatics", "https://cymatics.fm"},
    {"digidesign", "https://www.avid.com"},
    {"dmitry sches", "https://www.dmitrysches.com"},
    {"dmitrysches", "https://www.dmitrysches.com"},
    {"felt instruments", "https://feltinstruments.com"},
    {"feltinstruments", "https://feltinstruments.com"},
    {"future audio workshop", "https://www.futureaudioworkshop.com"},
    {"futureaudioworkshop", "https://www.futureaudioworkshop.com"},
    {"gforce software", "https://www.gforcesoftware.com"},
    {"gforcesoftware", "https://www.gforcesoftware.com"},
    {"hit'n'mix", "https://hitnmix.com"},
    {"hitnmix", "https://hitnmix.com"},
    {"ik multimedia", "https://www.ikmultimedia.com"},
    {"ikmultimedia", "https://www.ikmultimedia.com"},
    {"image-line", "https://www.image-line.com"},
    {"imageline", "https://www.image-line.com"},
    {"initial audio", "https://initialaudio.com"},
    {"initialaudio", "https://initialaudio.com"},
    {"matt tytel", "https://tytel.org"},
    {"matttytel", "https://tytel.org"},
    {"maizesoft", "https://www.maizesoft.com"},
    {"metric halo", "https://mhsecure.com"},
    {"metrichalo", "https://mhsecure.com"},
    {"moog", "https://www.moogmusic.com"},
    {"musik hack", "https://www.musikhack.com"},
    {"musikhack", "https://www.musikhack.com"},
    {"nicky romero", "https://www.nickyromero.com"},
    {"nomad factory", "https://www.nomadfactory.com"},
    {"nomadfactory", "https://www.nomadfactory.com"},
    {"plugin boutique", "https://www.pluginboutique.com"},
    {"pluginboutique", "https://www.pluginboutique.com"},
    {"scaler music", "https://www.scalermusic.com"},
    {"scalermusic", "https://www.scalermusic.com"},
    {"serato", "https://serato.com"},
    {"splice", "https://splice.com"},
    {"solid state logic", "https://www.solidstatelogic.com"},
    {"ssl", "https://www.solidstatelogic.com"},
    {"synchro arts", "https://www.synchroarts.com"},
    {"synchroarts", "https://www.synchroarts.com"},
    {"toneboosters", "https://www.toneboosters.com"},
    {"tone boosters", "https://www.toneboosters.com"},
    {"uvi", "https://www.uvi.net"},
    {"vienna symphonic library", "https://www.vsl.co.at"},
    {"vsl", "https://www.vsl.co.at"},
    {"wesaudio", "https://www.wesaudio.com"},
    {"wes audio", "https://www.wesaudio.com"},
    {"xln audio", "https://www.xlnaudio.com"},
    {"xlnaudio", "https://www.xlnaudio.com"},
    {"510k", "https://510kaudio.com"},
    {"audiolounge soft", "https://www.audiolounge-pro.com"},
    {"audiolounge-pro", "https://www.audiolounge-pro.com"},
    {"hare tech", "https://haretech.com"},
    {"haretech", "https://haretech.com"},
    {"izmar", "https://izmar.audio"},
    {"kalifornia dynamic", "https://kaliforniadynamic.com"},
    {"kaliforniadynamic", "https://kaliforniadynamic.com"},
    {"naturl audio", "https://naturlaudio.com"},
    {"naturl", "https://naturlaudio.com"},
    {"noiseworks", "https://noiseworks.co"},
    {"noise works", "https://noiseworks.co"},
    {"s.k.y. studios", "https://skystudios.com"},
    {"sky studios", "https://skystudios.com"},
    {"skystudios", "https://skystudios.com"},
    {"vital audio", "https://vital.audio"},
    {"vital", "https://vital.audio"},
    {"virtualjv", "https://www.kvraudio.com/news/virtual-jv-plugin-released"},
    {"virtual jv", "https://www.kvraudio.com/news/virtual-jv-plugin-released"},
};

const char kSearchPage[] = "https://duckduckgo.com/?q=";

// Only blanks and tabs are trimmed; line breaks stay part of the name.
bool isTrimmable(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

QString foldName(const QString& name)
{
    const QString lower = name.toLower();
    qsizetype begin = 0;
    qsizetype end = lower.size();
    while (begin < end && isTrimmable(lower.at(begin)))
        ++begin;
    while (end > begin && isTrimmable(lower.at(end - 1)))
        --end;
    return lower.mid(begin, end - begin);
}

} // namespace

const QList<ManufacturerWebsite>& manufacturerWebsiteTable()
{
    return kTable;
}

QUrl webSearchURL(const QString& query)
{
    // Encoding every reserved character keeps the whole text one value of q.
    QByteArray encoded(kSearchPage);
    encoded += QUrl::toPercentEncoding(query);
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

QUrl manufacturerSearchURL(const QString& manufacturer)
{
    return webSearchURL(manufacturer + QStringLiteral(" audio plugin"));
}

QUrl manufacturerWebsiteURL(const QString& manufacturer)
{
    const QString folded = foldName(manufacturer);
    for (const ManufacturerWebsite& row : kTable) {
        if (folded.contains(QLatin1String(row.key)))
            return QUrl(QString::fromLatin1(row.address));
    }
    return manufacturerSearchURL(manufacturer);
}
