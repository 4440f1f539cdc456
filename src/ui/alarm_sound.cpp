#include "ui/alarm_sound.h"

#include "common/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

// The built-in sound lives in the resources of the static ui library; the
// linker keeps them only when something asks for them by name.
static void initZelResources() {
    Q_INIT_RESOURCE(zel);
}

namespace zel {

namespace {
// A play that ends sooner than this was not a real play (no device, a
// broken file): the next try waits a while instead of spinning.
constexpr int kShortestPlayMs = 100;
constexpr int kRetryDelayMs = 1000;
} // namespace

QString AlarmSound::installedSound() {
    if (!QCoreApplication::instance())
        return {};
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../share/zel/Notify.wav"));
}

bool AlarmSound::ensureSoundFile(const QString& path, const QString& installed) {
    if (QFileInfo::exists(path))
        return true;
    initZelResources();
    const QString source = !installed.isEmpty() && QFileInfo::exists(installed)
                               ? installed
                               : QStringLiteral(":/Notify.wav");
    if (!QFile::copy(source, path))
        return false;
    // Resource files are read-only; the copy should be the user's to replace.
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
    return true;
}

AlarmSound::AlarmSound(QObject* parent) : QObject(parent), path_(programFile("Notify.wav")) {
    setObjectName("frmSound");
    ensureSoundFile(path_);
    setUp();
}

AlarmSound::AlarmSound(const QString& wavPath, QObject* parent) : QObject(parent), path_(wavPath) {
    setObjectName("frmSound");
    setUp();
}

AlarmSound::~AlarmSound() = default;

void AlarmSound::setUp() {
    retry_ = new QTimer(this);
    retry_->setSingleShot(true);
    retry_->setInterval(kRetryDelayMs);
    connect(retry_, &QTimer::timeout, this, [this] {
        if (!idle_)
            playOnce();
    });
}

QSoundEffect* AlarmSound::effect() {
    // The sound is loaded when the first alarm sounds, not at start-up: a
    // window that never alarms never touches the audio system, and start-up
    // stays fast. ZEL_SILENT keeps automated runs away from audio entirely.
    if (!effect_ && !qEnvironmentVariableIsSet("ZEL_SILENT")) {
        effect_ = new QSoundEffect(this);
        effect_->setSource(QUrl::fromLocalFile(path_));
        connect(effect_, &QSoundEffect::playingChanged, this, [this] {
            if (!effect_->isPlaying())
                playFinished();
        });
    }
    return effect_;
}

void AlarmSound::startRepeating() {
    if (!idle_)
        return;
    idle_ = false;
    playOnce();
}

void AlarmSound::mute() {
    idle_ = true;
    retry_->stop();
}

void AlarmSound::playOnce() {
    QSoundEffect* sound = effect();
    if (!sound || sound->status() == QSoundEffect::Error)
        return; // no device or no usable file: the alarm stays silent
    lastStart_.start();
    sound->play();
}

void AlarmSound::playFinished() {
    if (idle_)
        return;
    if (lastStart_.isValid() && lastStart_.elapsed() >= kShortestPlayMs)
        QTimer::singleShot(0, this, [this] {
            if (!idle_)
                playOnce();
        });
    else
        retry_->start();
}

} // namespace zel
