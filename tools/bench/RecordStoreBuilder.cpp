#include "RecordStoreBuilder.h"

#include "data/sql/MariaConnection.h"
#include "data/sql/SqlLiteral.h"

#include <QStringList>

namespace kx::bench {

namespace {

// Rows per INSERT ... SELECT: a few tens of megabytes of blobs per statement.
constexpr int kBatch = 2500;
// Photo: a JPEG start marker and 800 times 64 bytes; file: (3000 + n % 400) times 64 bytes.
constexpr int kPhotoHeader = 10;
constexpr int kPhotoRepeat = 800;
constexpr int kFileRepeatBase = 3000;
constexpr int kFileRepeatSpread = 400;
constexpr int kHashBytes = 64;

const QStringList kAdjectives{
    QStringLiteral("Árvíztűrő"), QStringLiteral("Ősi"),     QStringLiteral("Különös"),
    QStringLiteral("Régi"),      QStringLiteral("Új"),      QStringLiteral("Kék"),
    QStringLiteral("Zöld"),      QStringLiteral("Fekete"),  QStringLiteral("Fehér"),
    QStringLiteral("Szép"),      QStringLiteral("Csendes"), QStringLiteral("Hűséges"),
    QStringLiteral("Bátor"),     QStringLiteral("Örök"),    QStringLiteral("Titokzatos"),
    QStringLiteral("Színes"),    QStringLiteral("Éjféli"),  QStringLiteral("Tavaszi"),
    QStringLiteral("Őszi"),      QStringLiteral("Nyári")};
const QStringList kNouns{
    QStringLiteral("tükörfúrógép"), QStringLiteral("kert"),     QStringLiteral("város"),
    QStringLiteral("folyó"),        QStringLiteral("erdő"),     QStringLiteral("hegy"),
    QStringLiteral("ház"),          QStringLiteral("hajó"),     QStringLiteral("könyv"),
    QStringLiteral("levél"),        QStringLiteral("történet"), QStringLiteral("utazás"),
    QStringLiteral("emlék"),        QStringLiteral("álom"),     QStringLiteral("dal"),
    QStringLiteral("kép"),          QStringLiteral("szív"),     QStringLiteral("híd"),
    QStringLiteral("tó"),           QStringLiteral("vár")};
const QStringList kTypes{
    QStringLiteral("Könyv"),   QStringLiteral("Folyóirat"),    QStringLiteral("Cikk"),
    QStringLiteral("Fénykép"), QStringLiteral("Hangfelvétel"), QStringLiteral("Kézirat"),
    QStringLiteral("Térkép"),  QStringLiteral("Oklevél"),      QStringLiteral("Levél"),
    QStringLiteral("Plakát"),  QStringLiteral("Újságkivágás"), QStringLiteral("Jegyzőkönyv")};
const QStringList kCategories{QStringLiteral("Irodalom"),     QStringLiteral("Történelem"),
                              QStringLiteral("Földrajz"),     QStringLiteral("Művészet"),
                              QStringLiteral("Zene"),         QStringLiteral("Tudomány"),
                              QStringLiteral("Vallás"),       QStringLiteral("Gyermekirodalom"),
                              QStringLiteral("Helytörténet"), QStringLiteral("Néprajz"),
                              QStringLiteral("Műszaki"),      QStringLiteral("Egészségügy"),
                              QStringLiteral("Gazdaság"),     QStringLiteral("Sport"),
                              QStringLiteral("Szépirodalom")};
const QStringList kRecorders{QStringLiteral("Kovács Éva"),     QStringLiteral("Szabó Gábor"),
                             QStringLiteral("Tóth Ildikó"),    QStringLiteral("Nagy Péter"),
                             QStringLiteral("Horváth Zsófia"), QStringLiteral("Varga Ödön"),
                             QStringLiteral("Kiss Ágnes"),     QStringLiteral("Molnár Ünige"),
                             QStringLiteral("Németh Lőrinc"),  QStringLiteral("Farkas Réka")};
const QStringList kKeywords{
    QStringLiteral("régiség"),    QStringLiteral("gyűjtemény"), QStringLiteral("ritkaság"),
    QStringLiteral("ajándék"),    QStringLiteral("örökség"),    QStringLiteral("családi"),
    QStringLiteral("kézzel írt"), QStringLiteral("dedikált"),   QStringLiteral("első kiadás"),
    QStringLiteral("sérült"),     QStringLiteral("felújított"), QStringLiteral("múzeumi"),
    QStringLiteral("iskolai"),    QStringLiteral("egyházi"),    QStringLiteral("fővárosi")};
const QStringList kLibraries{QStringLiteral("Országos Széchényi Könyvtár"),
                             QStringLiteral("Fővárosi Szabó Ervin Könyvtár"),
                             QStringLiteral("Debreceni Egyetemi Könyvtár"),
                             QStringLiteral("Somogyi-könyvtár, Szeged"),
                             QStringLiteral("Petőfi Irodalmi Múzeum"),
                             QStringLiteral("Magyar Nemzeti Levéltár"),
                             QStringLiteral("Néprajzi Múzeum"),
                             QStringLiteral("saját gyűjtemény")};
const QStringList kShelfMarks{QStringLiteral("ÁB"), QStringLiteral("ÉK"), QStringLiteral("ŐZ"),
                              QStringLiteral("ÜT"), QStringLiteral("CS"), QStringLiteral("GY")};
const QStringList kMonths{
    QStringLiteral("január"),  QStringLiteral("február"),   QStringLiteral("március"),
    QStringLiteral("április"), QStringLiteral("május"),     QStringLiteral("június"),
    QStringLiteral("július"),  QStringLiteral("augusztus"), QStringLiteral("szeptember"),
    QStringLiteral("október"), QStringLiteral("november"),  QStringLiteral("december")};
const QStringList kOpenings{
    QStringLiteral("A darab jó állapotban van, a borítója kissé kopott."),
    QStringLiteral("Egy hagyatékból került elő, pontos eredete ismeretlen."),
    QStringLiteral("Az árverésen vásárolt tétel gondos tisztításon esett át."),
    QStringLiteral("A lapok szélén ceruzás jegyzetek és aláhúzások láthatók."),
    QStringLiteral("Kölcsönzés előtt a kezelő engedélye szükséges."),
    QStringLiteral("A tételről digitális másolat készült a kutatók számára.")};
const QStringList kMiddles{
    QStringLiteral("Tartalma főként a környék múltjáról és szokásairól szól."),
    QStringLiteral("Több fejezete a vízszabályozás történetét tárgyalja."),
    QStringLiteral("Szerzője ismert helyi tanító volt, aki évtizedekig gyűjtött."),
    QStringLiteral("A szöveget korabeli fényképek és rajzok egészítik ki."),
    QStringLiteral("Különösen értékesek a kézzel színezett mellékletek.")};
const QStringList kClosings{QStringLiteral("Őrzési helye a második emeleti raktár."),
                            QStringLiteral("Állapotát évente ellenőrizni kell."),
                            QStringLiteral("Kiállításon legutóbb tavaly szerepelt."),
                            QStringLiteral("Restaurálása a jövő évre tervezett."),
                            QStringLiteral("Másolata az olvasóteremben kérhető.")};
// File names' extensions and their type labels, index for index.
const QStringList kExtensions{
    QStringLiteral(".pdf"), QStringLiteral(".docx"), QStringLiteral(".jpg"), QStringLiteral(".zip"),
    QStringLiteral(".msg"), QStringLiteral(".txt"),  QStringLiteral(".xlsx")};
const QStringList kFileTypes{QStringLiteral("Adobe Acrobat"), QStringLiteral("MS Word"),
                             QStringLiteral("Jpeg kép"),      QStringLiteral("Zip tömörítvény"),
                             QStringLiteral("Üzenet"),        QStringLiteral("TEXT"),
                             QStringLiteral("MS Excel")};

// ELT(1 + (index) % n, 'w1', ..., 'wn'): one of the words, chosen on the server by index.
QString pick(const QString& index, const QStringList& words) {
    QStringList literals;
    for (const QString& w : words)
        literals << sqlLiteral(w);
    // One arg() call for all parts, so nothing inserted is read as a placeholder again.
    return QStringLiteral("ELT(1 + (%1) % %2, %3)")
        .arg(index, QString::number(words.size()), literals.join(QStringLiteral(", ")));
}

// The title of record seq: adjective and noun by the low digits, volume by the rest, so no
// two records share one.
QString titleExpression() {
    return QStringLiteral("CONCAT(%1, ' ', %2, ', ', seq DIV %3 + 1, '. kötet')")
        .arg(pick(QStringLiteral("seq"), kAdjectives),
             pick(QStringLiteral("seq DIV %1").arg(kAdjectives.size()), kNouns),
             QString::number(kAdjectives.size() * kNouns.size()));
}

QString insertStatement(int from, int to) {
    const QString phrase = sqlLiteral(RecordStoreBuilder::searchPhrase());
    const QStringList values{
        titleExpression(),
        // Uneven groups, so the grouped counts have a clear most frequent and rarest value.
        pick(QStringLiteral("FLOOR(SQRT(seq % 144))"), kTypes),
        pick(QStringLiteral("FLOOR(SQRT(seq % 225))"), kCategories),
        QStringLiteral("CONCAT_WS(', ', %1, %2, %3, IF(seq % 200 = 37, %4, NULL))")
            .arg(pick(QStringLiteral("seq"), kKeywords),
                 pick(QStringLiteral("seq DIV 7 + 3"), kKeywords),
                 pick(QStringLiteral("seq DIV 49 + 7"), kKeywords), phrase),
        QStringLiteral("CONCAT(%1, ', jelzet: ', seq % 997, '/', %2)")
            .arg(pick(QStringLiteral("seq DIV 11"), kLibraries),
                 pick(QStringLiteral("seq"), kShelfMarks)),
        QStringLiteral("CONCAT(1950 + seq % 74, '. ', %1, ' ', 1 + seq % 28, '.')")
            .arg(pick(QStringLiteral("seq DIV 74"), kMonths)),
        pick(QStringLiteral("FLOOR(SQRT(seq % 100))"), kRecorders),
        QStringLiteral("CONCAT_WS(' ', %1, %2, IF(seq % 200 = 137, CONCAT('A kötetben egy ', "
                       "%3, ' nevű vidéki tanya is szerepel.'), NULL), %4)")
            .arg(pick(QStringLiteral("seq"), kOpenings),
                 pick(QStringLiteral("seq DIV 5"), kMiddles), phrase,
                 pick(QStringLiteral("seq DIV 25"), kClosings)),
        QStringLiteral("IF(seq % 10 = 0, CONCAT(UNHEX('FFD8FFE000104A464946'), "
                       "REPEAT(UNHEX(SHA2(seq, 512)), %1)), NULL)")
            .arg(kPhotoRepeat),
        QStringLiteral("IF(seq % 20 = 5, CONCAT(%1, '_', seq, %2), NULL)")
            .arg(pick(QStringLiteral("seq DIV 3"), kNouns),
                 pick(QStringLiteral("seq DIV 20"), kExtensions)),
        QStringLiteral("IF(seq % 20 = 5, %1, NULL)")
            .arg(pick(QStringLiteral("seq DIV 20"), kFileTypes)),
        QStringLiteral("IF(seq % 20 = 5, %1 * (%2 + seq % %3), NULL)")
            .arg(kHashBytes)
            .arg(kFileRepeatBase)
            .arg(kFileRepeatSpread),
        QStringLiteral("IF(seq % 20 = 5, REPEAT(UNHEX(SHA2(CONCAT('fájl', seq), 512)), "
                       "%1 + seq % %2), NULL)")
            .arg(kFileRepeatBase)
            .arg(kFileRepeatSpread)};
    return QStringLiteral("INSERT INTO tbl_Data (CIM, TIP, KAT, KSZO, HIV, DATUM, FELVEV, LEIRAS, "
                          "FOTO, FNEV, FTIP, FMER, FILE) SELECT %1 FROM seq_%2_to_%3")
        .arg(values.join(QStringLiteral(", ")), QString::number(from), QString::number(to));
}

} // namespace

RecordStoreBuilder::RecordStoreBuilder(MariaConnection& conn) : m_conn(conn) {}

QString RecordStoreBuilder::searchPhrase() {
    return QStringLiteral("gyöngyvirág");
}

QString RecordStoreBuilder::title(int n) {
    const int a = n % int(kAdjectives.size());
    const int b = (n / int(kAdjectives.size())) % int(kNouns.size());
    const int volume = n / int(kAdjectives.size() * kNouns.size()) + 1;
    return QStringLiteral("%1 %2, %3. kötet").arg(kAdjectives[a], kNouns[b]).arg(volume);
}

StoreShape RecordStoreBuilder::build(int records) {
    StoreShape shape;
    for (int from = 1; from <= records; from += kBatch)
        m_conn.execute(insertStatement(from, std::min(records, from + kBatch - 1)));
    shape.records = records;
    for (int seq = 1; seq <= records; ++seq) {
        if (seq % 10 == 0) {
            ++shape.photos;
            shape.blobBytes += kPhotoHeader + qint64(kPhotoRepeat) * kHashBytes;
        }
        if (seq % 20 == 5) {
            ++shape.files;
            shape.blobBytes += qint64(kHashBytes) * (kFileRepeatBase + seq % kFileRepeatSpread);
        }
    }
    return shape;
}

} // namespace kx::bench
