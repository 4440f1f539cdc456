#pragma once
// The Amp + Vessa conversation: the meter sends readings on its own once
// started. Set-up commands go out one at a time, each waiting half a second
// for the reply that confirms it; the parameter block is kept here for the
// set-up dialog, which only shows it and forwards the user's commands.
#include "protocol/amp.h"
#include "station/instrument_conversation.h"
#include <QMetaObject>
#include <QTimer>

namespace zel {

struct Family;

// The Amp + Vessa row of the family table.
Family ampFamily();

// The open set-up dialog, told what the meter answered.
class AmpSetupListener {
public:
    virtual ~AmpSetupListener() = default;
    // A parameter block arrived and is in params().
    virtual void parametersArrived(bool fiveThresholds) = 0;
    // The dialog's own status line (the interval confirmation; emptied
    // before each command).
    virtual void setupStatus(const QString& text) = 0;
};

class AmpConversation final : public InstrumentConversation {
public:
    explicit AmpConversation(ConversationContext& link);
    ~AmpConversation() override;

    void testConnection() override {}
    void finishStartup() override;
    void onChosen() override;
    void startOnline() override;
    void stopOnline() override {}
    // The window's Stop leaves the meter sending; the end of collection does
    // not.
    void onCollectionEnds() override { sendStop(); }
    void onReplyTimeout() override {}
    Verdict classify(const QByteArray& frame) const override { return amp::classify(frame); }
    void onFrame(const Verdict& verdict) override;
    std::optional<Reading> parseReading(const QByteArray& bytes) const override;
    void noteReading(const QByteArray& bytes, const Reading& reading) override;
    bool offersDownload() const override { return false; }
    bool rangesUnits() const override { return false; }

    // --- the meter's commands ---------------------------------------------
    void sendStop();
    void sendStart();
    void requestParameters();
    // The typed text is read as a number (none gives 0) in the unit the user
    // sees. A value the command cannot carry is not sent: the refusal says
    // why.
    amp::Refusal sendThreshold(int index, const QString& text);
    amp::Refusal sendBackground(const QString& text);
    amp::Refusal sendInterval(const QString& text);
    amp::Refusal sendSerialNumber(const QString& text);
    void sendBaud(int baudIndex);
    void sendOptions(bool dose, bool latch, bool buzzer, uint8_t typeCode, uint8_t unitsCode);

    // --- what the meter told -----------------------------------------------
    const AmpParams& params() const { return params_; }
    int16_t unitsFlag() const { return unitsFlag_; }
    QString meterName() const { return meterName_; }
    bool fiveThresholds() const { return fiveThresholds_; }
    int16_t awaitedReply() const { return awaited_; }

    // --- unit scale -----------------------------------------------------------
    // "ConvertUnits": 1 shows values in the large unit.
    int16_t convertUnits() const;
    void setConvertUnits(int16_t convertUnits);
    QString unitsText() const;

    // One set-up dialog at a time listens; null when none is open.
    void setListener(AmpSetupListener* listener) { listener_ = listener; }

    // Start-up stops the meter while its parameters are read and starts it
    // again three seconds later.
    QTimer sendStartTimer;
    void onSendStartTimer();

private:
    // The reply that confirms a set-up command (the contact is confirmed).
    void takeSetupReply(const QByteArray& frame);
    void send(const amp::Command& command, bool clearsSetupStatus = true);
    bool send(const amp::Encoded& encoded, amp::Command (*build)(const QByteArray&));

    AmpParams params_;
    int16_t unitsFlag_ = 0;
    QString meterName_ = QStringLiteral("Amp");
    bool fiveThresholds_ = false;
    int16_t awaited_ = -1;
    QString lastId_;
    AmpSetupListener* listener_ = nullptr;
};

} // namespace zel
