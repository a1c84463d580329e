#include "card/CardFolder.h"

#include "common/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <utility>

namespace kelm {

namespace {

const QString cardSuffix = QStringLiteral(".card");
const QString recordName = QStringLiteral("reader.state");
// A card's text is about 4 KB and the record a few lines; anything much bigger is not ours.
constexpr qint64 MaxCardBytes = 64 * 1024;
constexpr qint64 MaxRecordBytes = 4 * 1024;

void setError(QString* error, const QString& message)
{
    if (error) {
        *error = message;
    }
}

} // namespace

CardFolder::CardFolder(QString path)
    : m_path(std::move(path))
{
}

bool CardFolder::create(QString* error) const
{
    // The cards hold the installation's card key and every issued card number: a new folder is its
    // owner's alone. A folder another process made in the meantime is taken as it is.
    const QFileInfo folder(m_path);
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    if (folder.isDir()
        || (QDir().mkpath(folder.absolutePath()) && (QDir().mkdir(m_path, ownerOnly) || QFileInfo(m_path).isDir()))) {
        return true;
    }
    setError(error, QStringLiteral("cannot create the card folder %1").arg(QDir::toNativeSeparators(m_path)));
    return false;
}

std::optional<std::uint32_t> CardFolder::newCard(QString* error) const
{
    if (!create(error)) {
        return std::nullopt;
    }
    // 0 and FFFFFFFF look like a reader's failure in a log rather than a card.
    std::uint32_t serial = 0;
    do {
        serial = QRandomGenerator::system()->generate();
    } while (serial == 0 || serial == 0xFFFFFFFFU || contains(serial));
    if (!save(MifareCard::blank(serial), error)) {
        return std::nullopt;
    }
    return serial;
}

std::vector<std::uint32_t> CardFolder::cards() const
{
    std::vector<std::uint32_t> serials;
    static const QRegularExpression cardName(QStringLiteral("^([0-9A-F]{8})\\.card$"));
    const QStringList names = QDir(m_path).entryList({ QStringLiteral("*") + cardSuffix }, QDir::Files);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = cardName.match(name);
        if (match.hasMatch()) {
            serials.push_back(*parseSerial(match.captured(1)));
        }
    }
    std::sort(serials.begin(), serials.end());
    return serials;
}

bool CardFolder::contains(std::uint32_t serial) const
{
    return QFile::exists(cardFile(serial));
}

QString CardFolder::cardFile(std::uint32_t serial) const
{
    return QDir(m_path).filePath(serialText(serial) + cardSuffix);
}

std::optional<MifareCard> CardFolder::load(std::uint32_t serial, QString* error) const
{
    const QString fileName = cardFile(serial);
    QString problem;
    const std::optional<QByteArray> text = RegularFile::read(fileName, MaxCardBytes, &problem);
    if (!text) {
        setError(error,
            QStringLiteral("no card %1 in %2 (%3)").arg(serialText(serial), QDir::toNativeSeparators(m_path), problem));
        return std::nullopt;
    }
    std::optional<MifareCard> card = MifareCard::fromText(QString::fromUtf8(*text), &problem);
    if (!card) {
        setError(error, QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(fileName), problem));
        return std::nullopt;
    }
    if (card->serial() != serial) {
        setError(error,
            QStringLiteral("%1 holds the card %2").arg(QDir::toNativeSeparators(fileName), serialText(card->serial())));
        return std::nullopt;
    }
    return card;
}

bool CardFolder::save(const MifareCard& card, QString* error) const
{
    return writeFile(cardFile(card.serial()), card.toText().toUtf8(), error);
}

bool CardFolder::place(std::uint32_t serial, QString* error)
{
    if (!contains(serial)) {
        setError(error, QStringLiteral("no card %1 in %2").arg(serialText(serial), QDir::toNativeSeparators(m_path)));
        return false;
    }
    ReaderRecord record = readRecord();
    record.serial = serial;
    record.halted = false;
    ++record.placements;
    return writeRecord(record, error);
}

bool CardFolder::remove(QString* error)
{
    ReaderRecord record = readRecord();
    if (!record.serial) {
        return true;
    }
    record.serial.reset();
    record.halted = false;
    return writeRecord(record, error);
}

std::optional<CardFolder::Placement> CardFolder::onReader() const
{
    const ReaderRecord record = readRecord();
    if (!record.serial) {
        return std::nullopt;
    }
    return Placement { *record.serial, record.halted, record.placements };
}

bool CardFolder::setHalted(bool halted, QString* error)
{
    ReaderRecord record = readRecord();
    if (!record.serial) {
        setError(error, QStringLiteral("no card lies on the reader"));
        return false;
    }
    if (record.halted == halted) {
        return true;
    }
    record.halted = halted;
    return writeRecord(record, error);
}

QString CardFolder::serialText(std::uint32_t serial)
{
    return QStringLiteral("%1").arg(serial, 8, 16, QLatin1Char('0')).toUpper();
}

std::optional<std::uint32_t> CardFolder::parseSerial(const QString& text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{1,8}$"));
    if (!hex.match(text).hasMatch()) {
        return std::nullopt;
    }
    return text.toUInt(nullptr, 16);
}

// A record that cannot be read or understood means no card on the reader: the next place() writes a
// sound one.
CardFolder::ReaderRecord CardFolder::readRecord() const
{
    ReaderRecord record;
    const std::optional<QByteArray> text = RegularFile::read(QDir(m_path).filePath(recordName), MaxRecordBytes);
    if (!text) {
        return record;
    }
    const QStringList lines = QString::fromUtf8(*text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QStringList words = line.simplified().split(QLatin1Char(' '));
        if (words.size() != 2) {
            continue;
        }
        if (words[0] == QLatin1String("card")) {
            record.serial = parseSerial(words[1]);
        } else if (words[0] == QLatin1String("halted")) {
            record.halted = words[1] == QLatin1String("yes");
        } else if (words[0] == QLatin1String("placement")) {
            record.placements = words[1].toULongLong();
        }
    }
    return record;
}

bool CardFolder::writeRecord(const ReaderRecord& record, QString* error) const
{
    const QString text = QStringLiteral("card %1\nhalted %2\nplacement %3\n")
                             .arg(record.serial ? serialText(*record.serial) : QStringLiteral("none"),
                                 record.halted ? QStringLiteral("yes") : QStringLiteral("no"))
                             .arg(record.placements);
    return writeFile(QDir(m_path).filePath(recordName), text.toUtf8(), error);
}

bool CardFolder::writeFile(const QString& fileName, const QByteArray& contents, QString* error) const
{
    // QSaveFile writes through a link to the link's target, renaming its new file over whatever that
    // is, anywhere. The folder's files are the folder's own: a link is replaced, its target left alone.
    if (QFileInfo(fileName).isSymLink() && !QFile::remove(fileName)) {
        setError(error, QStringLiteral("cannot replace the link %1").arg(QDir::toNativeSeparators(fileName)));
        return false;
    }
    // QSaveFile gives the file it replaces that file's mode; a new one is its owner's alone.
    const bool replacing = QFileInfo::exists(fileName);
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly)
        && (replacing || file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        && file.write(contents) == contents.size() && file.commit()) {
        return true;
    }
    setError(error, QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(fileName), file.errorString()));
    return false;
}

} // namespace kelm
