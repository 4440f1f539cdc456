#include "data/data_files.h"

#include "common/safe_file.h"

#include <QDateTime>
#include <QFileInfo>
#include <limits>

namespace zel {

DataStore::DataStore(QString workingPath) : working_(std::move(workingPath)) {}

QByteArray DataStore::currentHeader() const {
    if (headerProvider)
        return headerProvider();
    return headerLines(Legend{}, QString());
}

void DataStore::forgetReadings() {
    series_.clear();
    readingCount_ = 0;
}

Expected<void> DataStore::openNewTempFile(const QByteArray& header) {
    if (auto started = working_.startNew(header); !started) {
        // The old file is still whole: keep appending to it rather than
        // losing the next readings.
        (void)working_.openAppend();
        return started;
    }
    forgetReadings();
    return {};
}

Expected<int32_t> DataStore::readDb(const QString& path) {
    working_.close();
    const QString source = path.isEmpty() ? working_.path() : path;
    Expected<int32_t> counted = readDataFile(source, series_, isSameFile(source, working_.path()));
    if (counted)
        readingCount_ = *counted;
    // A channel that cannot be opened again is tried again, and its failure
    // told, by the next appendReading.
    if (!working_.exists())
        (void)working_.startNew(currentHeader());
    else
        (void)working_.openAppend();
    passOnNotice();
    return counted;
}

void DataStore::takeReading(double dayCount, double value) {
    if (readingCount_ < std::numeric_limits<int32_t>::max())
        ++readingCount_;
    series_.append(dayCount, value);
    unsaved = true;
}

Expected<void> DataStore::appendReading(const MeasurementRecord& r) {
    if (!pendingHeader_.isEmpty())
        if (auto begun = beginAnewUnder(pendingHeader_); !begun)
            return begun;
    auto written = working_.appendReading(r);
    passOnNotice();
    return written;
}

Expected<void> DataStore::saveToFile(const QString& path, const QString& commonFilePath,
                                     const QByteArray& freshHeader) {
    working_.close();
    auto keepWorking = [&](Failure why) -> Expected<void> {
        (void)working_.openAppend();
        return tl::unexpected(std::move(why));
    };
    // Restarting the working file would wipe the very copy just made.
    for (const QString& target : {path, commonFilePath})
        if (isSameFile(target, working_.path()))
            return keepWorking(
                {Failure::Kind::Refused,
                 QStringLiteral("%1 is the working file and cannot be saved onto itself")
                     .arg(target)});
    for (const QString& target : {path, commonFilePath})
        if (auto copied = safeCopy(working_.path(), target); !copied)
            return keepWorking(copied.error());
    if (auto started = working_.startNew(freshHeader); !started)
        return keepWorking({started.error().kind,
                            QStringLiteral("The data was saved, but a new working file could "
                                           "not be started: %1")
                                .arg(started.error().text)});
    unsaved = false;
    return {};
}

Expected<void> DataStore::ensureWorkingFile() {
    if (working_.exists()) {
        // Count the header's line ends: a file with fewer than eight holds no
        // reading, and appending to it would turn readings into header lines.
        // A file we cannot read is never replaced: it may hold readings.
        QFile file(working_.path());
        if (!file.open(QIODevice::ReadOnly))
            return reopenAppend();
        int lineEnds = 0;
        BoundedLineReader reader(file);
        QByteArray line;
        bool overlong = false;
        bool terminated = false;
        while (lineEnds < HeaderLineCount && reader.next(line, overlong, terminated) && terminated)
            ++lineEnds;
        file.close();
        if (lineEnds >= HeaderLineCount)
            return reopenAppend();
    }
    working_.close();
    return working_.startNew(currentHeader());
}

bool DataStore::workingFileHoldsReadings() const {
    QFile file(working_.path());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    BoundedLineReader reader(file);
    QByteArray line;
    bool overlong = false;
    bool terminated = false;
    for (int i = 0; i < HeaderLineCount; ++i)
        if (!reader.next(line, overlong, terminated) || !terminated)
            return false;
    return reader.next(line, overlong, terminated);
}

Expected<void> DataStore::reopenAppend() {
    auto opened = working_.openAppend();
    passOnNotice();
    return opened;
}

void DataStore::passOnNotice() {
    if (!noticeHandler)
        return;
    const QString notice = working_.takeNotice();
    if (!notice.isEmpty())
        noticeHandler(notice);
}

QByteArray DataStore::workingColumnLine() const {
    QFile file(working_.path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return columnLineOf(file);
}

Expected<void> DataStore::reopenAppendUnder(const QByteArray& header) {
    const QByteArray have = workingColumnLine();
    // A file without a whole header holds no reading to protect; one we
    // cannot read is never replaced (appending to it fails and says why).
    if (have.isEmpty() || have == headerColumnLine(header)) {
        pendingHeader_.clear();
        return reopenAppend();
    }
    pendingHeader_ = header;
    return beginAnewUnder(header);
}

Expected<void> DataStore::beginAnewUnder(const QByteArray& header) {
    working_.close();
    const QFileInfo info(working_.path());
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QByteArray oldColumns = workingColumnLine();
    FileError why;
    QString kept;
    for (int n = 1; n <= 100; ++n) {
        kept = QStringLiteral("%1/%2-%3%4.csv")
                   .arg(info.absolutePath(), info.completeBaseName(), stamp,
                        n == 1 ? QString() : QStringLiteral("-%1").arg(n));
        if (renameWithoutReplacing(working_.path(), kept, &why))
            break;
        kept.clear();
        if (!QFileInfo::exists(why.path))
            break; // not a name taken: a reason of its own
    }
    if (kept.isEmpty())
        return fail(why.kind, QStringLiteral("%1 was begun for other columns and cannot be kept "
                                             "under a new name: %2")
                                  .arg(working_.path(), why.message()));
    if (auto started = working_.startNew(header); !started) {
        // The readings go back where they were; nothing is appended to them.
        renameWithoutReplacing(kept, working_.path(), nullptr);
        return started;
    }
    pendingHeader_.clear();
    forgetReadings();
    if (noticeHandler)
        noticeHandler(QStringLiteral("%1 holds readings under the columns \"%2\", not \"%3\" "
                                     "that this instrument writes now. It is kept whole as %4; "
                                     "new readings go to a new %5.")
                          .arg(working_.path(), QString::fromUtf8(oldColumns),
                               QString::fromUtf8(headerColumnLine(header)), kept, info.fileName()));
    return {};
}

} // namespace zel
