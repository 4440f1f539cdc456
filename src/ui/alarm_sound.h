#pragma once
// The alarm sound: "Notify.wav" of the program folder, played again and
// again from a rising alarm until it is muted. Without an audio device or a
// sound file the alarm is silent; that is never an error.
#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QSoundEffect;
class QTimer;

namespace zel {

class AlarmSound : public QObject {
    Q_OBJECT
public:
    // Looks for "Notify.wav" in the program folder and puts the built-in one
    // there first when it is missing.
    explicit AlarmSound(QObject* parent = nullptr);
    // For tests and other folders: plays `wavPath` as it is.
    AlarmSound(const QString& wavPath, QObject* parent);
    ~AlarmSound() override;

    // Starts the repeating sound; a sound already repeating is not
    // restarted.
    void startRepeating();
    // Lets the sound that is playing end and stops the repetition.
    void mute();

    bool isIdle() const { return idle_; }
    QString file() const { return path_; }

    // Copies a sound to `path` when no file is there: the installed one
    // (`installed`, by default <prefix>/share/zel/Notify.wav beside the
    // program's bin folder) when it exists, else the built-in one. Returns
    // whether a file is there afterwards.
    static bool ensureSoundFile(const QString& path, const QString& installed = installedSound());
    static QString installedSound();

private:
    void setUp();
    QSoundEffect* effect();
    void playOnce();
    void playFinished();

    QString path_;
    QSoundEffect* effect_ = nullptr;
    bool idle_ = true;
    QElapsedTimer lastStart_;
    QTimer* retry_ = nullptr;
};

} // namespace zel
