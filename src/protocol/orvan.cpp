#include "protocol/orvan.h"

#include "common/datetime.h"
#include "common/text.h"

#include <cmath>

namespace zel {

QByteArray buildOrvanCommand(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size() + 2);
    out.append(char(0x02));
    out.append(text);
    out.append(char(0x03));
    return out;
}

namespace orvan {

double gmFactor(const QString& unitText) {
    return unitText == Sievert ? 0.01 : 1.0;
}

} // namespace orvan

namespace {

constexpr char Etx = 0x03;

// The characters of a reply before its closing ETX. A column is only read
// when the reply really reaches it: the bytes beyond belong to no reply.
class ReplyText {
public:
    explicit ReplyText(const QByteArray& frame)
        : frame_(frame), end_(frame.endsWith(Etx) ? frame.size() - 1 : frame.size()) {}

    bool reaches(const orvan::Column& c) const { return c.first >= 1 && c.last() <= end_; }
    char at(int character) const {
        return character >= 1 && character <= end_ ? frame_.at(character - 1) : 0;
    }
    QByteArray column(const orvan::Column& c) const {
        return reaches(c) ? frame_.mid(c.first - 1, c.length) : QByteArray();
    }
    // The field's number, held to what five characters of digits report:
    // "9E999" or a text that is no finite number is over range and reads as
    // the largest, so it is shown and filed as that, not as 300 digits.
    double number(const orvan::Column& c) const {
        const double v = leadingNumber(QString::fromLatin1(column(c)));
        if (std::abs(v) <= orvan::LargestField)
            return v;
        overRange_ = true;
        return v < 0 ? -orvan::LargestField : orvan::LargestField;
    }
    bool overRange() const { return overRange_; }

private:
    const QByteArray& frame_;
    qsizetype end_;
    mutable bool overRange_ = false;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The reply number: two digits, or -1.
int replyNumber(const ReplyText& text) {
    const QByteArray digits = text.column(orvan::ReplyNumber);
    if (digits.size() != 2 || !isDigit(digits[0]) || !isDigit(digits[1]))
        return -1;
    return (digits[0] - '0') * 10 + (digits[1] - '0');
}

// A field's number as plain decimal text ("00012" gives "12").
// A column's quantity, written as its number reads.
Quantity quantity(const char* name, const ReplyText& text, const orvan::Column& c) {
    const double n = text.number(c);
    return Quantity{QString::fromLatin1(name), shortestText(n), n};
}

} // namespace

namespace orvan {

Reply readReply(const QByteArray& frame) {
    const ReplyText text(frame);
    Reply reply;
    reply.letter = text.at(2);
    reply.number = replyNumber(text);
    if (reply.letter == 'R') {
        if (reply.number == 11 && text.reaches(orvan::UnitsDigit)) {
            // Only a "0" names the sievert.
            reply.unitText = text.number(orvan::UnitsDigit) != 0 ? orvan::Roentgen : orvan::Sievert;
            reply.kind = FrameKind::Connected;
        } else if (reply.number == 19 && text.reaches(orvan::GmRate)) {
            reply.kind = FrameKind::Reading;
        }
    } else if (reply.letter == 'E' && (reply.number == 0 || reply.number == 1)) {
        reply.kind = FrameKind::InstrumentError;
    }
    return reply;
}

Verdict classify(const QByteArray& frame) {
    return {readReply(frame).kind, frame};
}

std::optional<double> countRateOf(const Reading& reading) {
    const Quantity* q = reading.extra(CountRateName);
    if (!q || !std::isfinite(q->number))
        return std::nullopt;
    return q->number;
}

} // namespace orvan

OrvanTimeForm orvanTimeForm(double intervalSeconds, int16_t timeFormat) {
    if (intervalSeconds >= 1)
        return OrvanTimeForm::DateTime;
    return timeFormat == 0 ? OrvanTimeForm::Milliseconds : OrvanTimeForm::SecondsSinceMidnight;
}

TimeStyle orvanTimeStyle(OrvanTimeForm form) {
    switch (form) {
    case OrvanTimeForm::Milliseconds:
        return TimeStyle::WithMilliseconds;
    case OrvanTimeForm::SecondsSinceMidnight:
        return TimeStyle::SecondsOfDay;
    case OrvanTimeForm::DateTime:
    default:
        return TimeStyle::General;
    }
}

namespace orvan {

std::optional<Reading> parseReading(const QByteArray& frame, double gmFactor, const QDateTime& now,
                                    OrvanTimeForm form) {
    const Reply reply = readReply(frame);
    const ReplyText text(frame);
    Reading r;
    r.setTaken(now);
    switch (reply.kind) {
    case FrameKind::Reading: {
        r.timeStyle = orvanTimeStyle(form);
        r.valuePicture = QStringLiteral("0.00");
        r.value = shownNumber(text.number(orvan::GmRate) * gmFactor, r.valuePicture);
        const double counts = shownNumber(text.number(orvan::CountRate), QStringLiteral("0"));
        r.extras = {quantity(orvan::AmericiumName, text, orvan::Americium),
                    quantity(orvan::NeutronsName, text, orvan::Neutrons),
                    quantity(orvan::CesiumName, text, orvan::Cesium),
                    quantity(orvan::CobaltName, text, orvan::Cobalt),
                    Quantity{QString::fromLatin1(orvan::CountRateName),
                             formatPicture(counts, QStringLiteral("0")), counts}};
        // An instrument cannot report such a value: the reading is a fault.
        if (text.overRange())
            r.alarmCode = orvan::OverRangeAlarm;
        return r;
    }
    case FrameKind::InstrumentError:
        // The quantities are there, without numbers, so every report of
        // the instrument names the same ones.
        for (const char* name : {orvan::AmericiumName, orvan::NeutronsName, orvan::CesiumName,
                                 orvan::CobaltName, orvan::CountRateName})
            r.extras.append(Quantity{QString::fromLatin1(name), QString()});
        r.value = 0;
        r.status = reply.number == 0 ? QStringLiteral("Ilgl com") : QStringLiteral("Ilgl Par");
        r.error = r.status;
        return r;
    default:
        return std::nullopt;
    }
}

} // namespace orvan
} // namespace zel
