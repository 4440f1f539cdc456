#pragma once
// tarvoset's whole conversation with a Tarvo-5: open the port of "dax.ini",
// send the initialisation request, answer the announcement, report the
// confirmation, and retry every 500 ms before asking the user to try again.
// The window only shows what this tells it and forwards the button clicks.
#include "common/failure.h"
#include "station/port_settings.h"
#include "station/transport.h"
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>

namespace zel {

// Colours of the status text. Default is the window's ordinary text colour.
enum class StatusColour { Default, Blue, Red };

// What tarvoset shows a person. TarvosetWindow implements it; tests record it.
class TarvosetView {
public:
    virtual ~TarvosetView() = default;
    virtual void showStatus(const QString& text, StatusColour colour) = 0; // the status line
    virtual void showHint(const QString& text) = 0;                        // the line below it
    virtual void setInitializeEnabled(bool enabled) = 0;                   // "Initialize"
    virtual void setSetPortEnabled(bool enabled) = 0;                      // "Set Port "
};

// The window's texts.
namespace tarvoset {
inline const QString PortErrorText = QStringLiteral(" Error in Opening Comm. port, Use Set Port ");
inline const QString InitialisedText = QStringLiteral("Tarvo-5 has succesfully initialize");
inline const QString NotConnectedText =
    QStringLiteral("The Tarvo-5 is not Connected, Press 'Initialze' again");
inline const QString HintText = QStringLiteral("Click on 'File/New Report' to start");
inline const QString Caption = QStringLiteral("Set for TARVO-5");
constexpr int16_t DefaultPort = 1;
constexpr int RetryIntervalMs = 500;
// Ticks that repeat the request; the next one reports the failure.
constexpr int16_t RetryLimit = 4;
} // namespace tarvoset

class TarvosetController : public QObject {
    Q_OBJECT
public:
    // `transport` and `file` must outlive the controller. The view may be
    // set later (the window registers itself); until then nothing is shown.
    TarvosetController(Transport& transport, PortSettingsFile& file, TarvosetView* view = nullptr,
                       QObject* parent = nullptr);
    ~TarvosetController() override;

    void setView(TarvosetView* view) { view_ = view; }

    // Window load: read the port settings, open the port and, when it opened,
    // send the first request. `startedByCaller`: the command line was not empty.
    void start(bool startedByCaller);

    // "Initialize": a new attempt with the retry count back at 0.
    void initialize();
    // "Set Port ": call before showing the port dialog. After it closes,
    // whatever the user chose, call initialize().
    void beginSetPort();
    // The port dialog's way to close the port and open another one. When the
    // new port did not open, says why; no port is open then.
    Expected<void> reopenPort(int16_t port, int32_t baud);
    // Window termination: close the port if it is open.
    void shutdown();

    // Writes 02 04 04 03 and (re)arms the retry timer. With no port open it
    // writes nothing and shows the port error instead.
    void sendRequest();
    // Writes one built frame to the open port, nothing else; a frame that
    // does not go out is answered by the retry timer.
    void sendFrame(const QByteArray& frame);
    // Handles the frame held in the receive buffer (index 0 to bufferedBytes - 1,
    // ETX last). Returns the XOR over payload and checksum: 0 when valid.
    int handleFrame();

    PortSettings& settings() { return settings_; }
    const PortSettings& settings() const { return settings_; }
    PortSettingsFile& portSettingsFile() { return file_; }
    Transport& transport() { return transport_; }

    int16_t retryCount() const { return retryCount_; }
    bool startedByCaller() const { return startedByCaller_; }
    int16_t bufferedBytes() const { return bufferFill_; }
    bool isRetrying() const { return retryTimer_.isActive(); }
    const QTimer& retryTimer() const { return retryTimer_; }
    // Tests use it to reach the top of the count without 32767 ticks.
    void setRetryCountForTest(int16_t value) { retryCount_ = value; }

public slots:
    // One 500-ms tick of the retry timer.
    void onRetryTick();
    // The port's receive event: takes every waiting byte and cuts frames.
    void onBytesArrived();

private:
    void onPortLost(const QString& reason);
    Expected<void> openPort(int16_t port, int32_t baud);
    void showPortError();
    void armRetryTimer();
    void status(const QString& text, StatusColour colour);

    static constexpr uint8_t EndByte = 0x03;
    static constexpr int BufferSize = 101;

    Transport& transport_;
    PortSettingsFile& file_;
    TarvosetView* view_ = nullptr;
    PortSettings settings_;
    int16_t retryCount_ = 0;
    bool startedByCaller_ = false;
    std::array<uint8_t, BufferSize> buffer_{};
    int16_t bufferFill_ = 0;
    QTimer retryTimer_;
};

} // namespace zel
