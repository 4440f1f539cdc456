#include "setup/tarvoset_controller.h"

#include "protocol/tarvo.h"
#include <algorithm>
#include <limits>
#include <optional>

namespace zel {

namespace {
// The request is always these four bytes: payload 04, checksum 04.
const QByteArray RequestBytes = QByteArray::fromRawData("\x02\x04\x04\x03", 4);
// Payload bytes of an announcement that the acknowledgement echoes: the
// type byte is byte 1, so bytes 2 to 4 must be there.
constexpr int AnnounceMinPayload = 4;
} // namespace

TarvosetController::TarvosetController(Transport& transport, PortSettingsFile& file,
                                       TarvosetView* view, QObject* parent)
    : QObject(parent), transport_(transport), file_(file), view_(view) {
    retryTimer_.setInterval(tarvoset::RetryIntervalMs);
    retryTimer_.setSingleShot(false);
    connect(&retryTimer_, &QTimer::timeout, this, &TarvosetController::onRetryTick);
    connect(&transport_, &Transport::bytesArrived, this, &TarvosetController::onBytesArrived);
    connect(&transport_, &Transport::portLost, this, &TarvosetController::onPortLost);
}

TarvosetController::~TarvosetController() {
    retryTimer_.stop();
    disconnect(&transport_, nullptr, this, nullptr);
}

void TarvosetController::start(bool startedByCaller) {
    retryCount_ = 0;
    startedByCaller_ = startedByCaller;
    bufferFill_ = 0;

    settings_.Port = tarvoset::DefaultPort;
    if (!file_.readPort(settings_, tarvoset::DefaultPort))
        settings_.Port = 0; // an empty value reads as the number 0
    file_.readBaudRate(settings_);

    if (openPort(settings_.Port, settings_.BaudRate)) {
        sendRequest();
    } else {
        showPortError();
    }
}

Expected<void> TarvosetController::openPort(int16_t port, int32_t baud) {
    settings_.OpenPort = 0;
    // There is no COM0 or below: such a number (an empty or garbled "Port")
    // names no device, so do not guess one.
    if (port < 1)
        return fail(Failure::Kind::NotFound, QStringLiteral("Port %1 does not exist.").arg(port));
    const QString device = file_.deviceFor(port);
    if (!transport_.open(device, baud))
        return fail(Failure::Kind::Other,
                    QStringLiteral("%1: %2").arg(device, transport_.lastError()));
    settings_.OpenPort = port;
    bufferFill_ = 0; // bytes of a frame from the old port mean nothing now
    return {};
}

Expected<void> TarvosetController::reopenPort(int16_t port, int32_t baud) {
    if (transport_.isOpen())
        transport_.close();
    settings_.OpenPort = 0;
    return openPort(port, baud);
}

void TarvosetController::shutdown() {
    retryTimer_.stop();
    if (transport_.isOpen())
        transport_.close();
    settings_.OpenPort = 0;
}

void TarvosetController::initialize() {
    retryCount_ = 0;
    sendRequest();
}

void TarvosetController::beginSetPort() {
    // Whoever started us asked for the hint before the user took over the
    // port choice; after that it is no longer the caller's flow.
    startedByCaller_ = false;
}

void TarvosetController::sendRequest() {
    if (settings_.OpenPort == 0 || !transport_.isOpen()) {
        // Nothing to write to: keep telling the user where to go instead of
        // counting retries on a port that is not there.
        retryTimer_.stop();
        showPortError();
        return;
    }
    transport_.write(RequestBytes);
    armRetryTimer();
}

void TarvosetController::sendFrame(const QByteArray& frame) {
    if (settings_.OpenPort != 0 && transport_.isOpen())
        transport_.write(frame);
}

void TarvosetController::onRetryTick() {
    // The count stops at the top of its range rather than wrapping to a
    // negative number, so a long-forgotten window keeps its failure text.
    if (retryCount_ < std::numeric_limits<int16_t>::max())
        ++retryCount_;
    if (retryCount_ > tarvoset::RetryLimit) {
        status(tarvoset::NotConnectedText, StatusColour::Red);
        return;
    }
    sendRequest();
    if (retryTimer_.isActive()) // still counting: the port is there
        status(QString::number(retryCount_), StatusColour::Default);
}

void TarvosetController::onBytesArrived() {
    const QByteArray bytes = transport_.readAll();
    for (const char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        if (bufferFill_ > 99) {
            bufferFill_ = 0;
            break;
        }
        buffer_[static_cast<size_t>(bufferFill_)] = b;
        ++bufferFill_;
        if (b == EndByte) {
            const int result = handleFrame();
            bufferFill_ = 0;
            if (result != 0)
                break;
        }
    }
}

int TarvosetController::handleFrame() {
    retryTimer_.stop();

    const int count = std::clamp<int>(bufferFill_, 0, BufferSize);
    // A lone end byte is an empty frame: nothing to check, type 0, ignored.
    if (count < 2)
        return 0;

    QByteArray frame(reinterpret_cast<const char*>(buffer_.data()), count);
    // Whatever came first stands for the STX; it is never looked at, so a
    // stray byte in front cannot shift where the payload begins.
    frame[0] = static_cast<char>(tarvo::STX);
    const std::optional<QByteArray> work = tarvo::unescapeFrame(frame);
    // An escape with no meaning cannot be checked: treat it as a bad frame.
    if (!work)
        return 0x100;
    const int m = static_cast<int>(work->size());
    const int last = m - 2; // payload and checksum: indexes 1 .. m - 2
    const int check = last >= 1 ? tarvo::xorRange(*work, last) : 0;
    if (check != 0)
        return check;

    const auto at = [&](int i) { return static_cast<uint8_t>(work->at(i)); };
    const uint8_t type = m >= 2 ? at(1) : 0;
    const int payloadLength = m - 3; // payload at 1 .. m - 3

    if (type == tarvo::TypeAnnounce) {
        // An announcement too short to carry bytes 2 and 4 would be answered
        // with bytes that never arrived; leave it unanswered like any
        // message we do not understand.
        if (payloadLength < AnnounceMinPayload)
            return 0;
        sendFrame(tarvo::buildTarvoFrame(tarvo::acknowledgePayload(at(2), at(4))));
        armRetryTimer();
    } else if (type == tarvo::TypeInitialised) {
        status(tarvoset::InitialisedText, StatusColour::Blue);
        if (view_) {
            view_->setInitializeEnabled(false);
            view_->setSetPortEnabled(false);
            if (startedByCaller_)
                view_->showHint(tarvoset::HintText);
        }
    }
    return 0;
}

void TarvosetController::onPortLost(const QString&) {
    retryTimer_.stop();
    if (transport_.isOpen())
        transport_.close();
    settings_.OpenPort = 0;
    bufferFill_ = 0;
    showPortError();
}

void TarvosetController::showPortError() {
    status(tarvoset::PortErrorText, StatusColour::Red);
}

void TarvosetController::armRetryTimer() {
    // Enabling a running timer leaves its rhythm alone.
    if (!retryTimer_.isActive())
        retryTimer_.start();
}

void TarvosetController::status(const QString& text, StatusColour colour) {
    if (view_)
        view_->showStatus(text, colour);
}

} // namespace zel
