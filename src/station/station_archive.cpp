#include "station/station_archive.h"

#include "station/families.h"
#include "station/station.h"
#include "station/station_view.h"

#include <QPointer>
#include <utility>

namespace zel {

StationArchive::StationArchive(Station& station, const QString& archivePath,
                               const QString& workingFilePath, int keepDays, Report report)
    : station_(station), report_(std::move(report)) {
    ArchiveWriterOptions options;
    options.archivePath = archivePath;
    options.keepDays = keepDays;
    writer_ = std::make_unique<ArchiveWriter>(std::move(options));
    // Messages come from the writer's thread; they are told on ours.
    writer_->setMessageHandler([this, guard = QPointer<StationArchive>(this)](const QString& text) {
        QMetaObject::invokeMethod(
            this,
            [this, guard, text] {
                if (!guard || !report_)
                    return;
                report_(text, writer_->status().waitingForDisk || !writer_->status().open);
            },
            Qt::QueuedConnection);
    });
    // Before anything new is filed: what the working file holds now is
    // caught up, what is filed from here on is handed over as it comes.
    writer_->catchUp(workingFilePath, station.family().caption);

    connect(&station, &Station::readingFiled, this, &StationArchive::fileReading);
    connect(&station, &Station::writeFailed, this, &StationArchive::noteWriteFailed);
    connect(&station, &Station::collectionStarted, this,
            [this] { writer_->record(ArchiveEventKind::CollectionStarted); });
    connect(&station, &Station::collectionStopped, this,
            [this] { writer_->record(ArchiveEventKind::CollectionStopped); });
    connect(&station, &Station::lostContactRaised, this,
            [this] { writer_->record(ArchiveEventKind::ContactLost); });
    connect(&station, &Station::contactBack, this,
            [this] { writer_->record(ArchiveEventKind::ContactBack); });
    connect(&station, &Station::portLost, this,
            [this](const QString& reason) { writer_->record(ArchiveEventKind::PortLost, reason); });
    connect(&station, &Station::portBack, this,
            [this] { writer_->record(ArchiveEventKind::PortBack); });
}

StationArchive::~StationArchive() {
    // The writer's thread may still post a message: it finds no handler.
    writer_->setMessageHandler({});
}

void StationArchive::fileReading(const Reading& reading, AlarmLevel level) {
    const MeasurementRecord* row = station_.rowBeingFiled();
    if (!row)
        return;
    if (std::exchange(workingFileFull_, false))
        writer_->record(ArchiveEventKind::DiskBack);
    FiledReading filed;
    filed.reading = reading;
    filed.record = *row;
    filed.columnLine = station_.fileColumnLine();
    filed.family = station_.family().caption;
    // Lost contact is no reading's level: a reading ends it.
    filed.alarmLevel = level == AlarmLevel::LostContact ? AlarmLevelUnknown : int8_t(level);
    filed.source = station_.downloading() ? ReadingSource::Download : ReadingSource::Online;
    writer_->file(filed);
}

void StationArchive::noteWriteFailed(const QString& reason) {
    if (!std::exchange(workingFileFull_, true))
        writer_->record(ArchiveEventKind::DiskFull, reason);
}

} // namespace zel
