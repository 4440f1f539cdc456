#include "protocol/orvan.h"

#include "common/datetime.h"
#include "common/text.h"

#include <algorithm>
#include <charconv>
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

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The characters of a reply before its closing ETX. A column is only read
// when the reply really reaches it: the bytes beyond belong to no reply.
// Columns are read in place: a reading comes with every poll, and copying
// each field into its own array cost more than the rest of its parsing.
class ReplyText {
public:
    explicit ReplyText(const QByteArray& frame)
        : frame_(frame), end_(frame.endsWith(Etx) ? frame.size() - 1 : frame.size()) {}

    bool reaches(const orvan::Column& c) const { return c.first >= 1 && c.last() <= end_; }
    char at(int character) const {
        return character >= 1 && character <= end_ ? frame_.at(character - 1) : 0;
    }
    QByteArrayView column(const orvan::Column& c) const {
        return reaches(c) ? QByteArrayView(frame_.constData() + c.first - 1, c.length)
                          : QByteArrayView();
    }
    // The field's number, held to what five characters of digits report:
    // "9E999" or a text that is no finite number is over range and reads as
    // the largest, so it is shown and filed as that, not as 300 digits.
    double number(const orvan::Column& c) const {
        const double v =
            digitsOnly(column(c)) ? wholeNumber(column(c)) : leadingNumberOfBytes(column(c));
        if (std::abs(v) <= orvan::LargestField)
            return v;
        overRange_ = true;
        return v < 0 ? -orvan::LargestField : orvan::LargestField;
    }
    bool overRange() const { return overRange_; }

private:
    // A field of digits alone (what a working instrument sends) is summed
    // up directly; it is the same number the general reading gives.
    static bool digitsOnly(QByteArrayView field) {
        return !field.isEmpty() && std::all_of(field.begin(), field.end(), isDigit);
    }
    static double wholeNumber(QByteArrayView digits) {
        int64_t n = 0;
        for (char d : digits)
            n = n * 10 + (d - '0');
        return double(n);
    }

    const QByteArray& frame_;
    qsizetype end_;
    mutable bool overRange_ = false;
};

// The reply number: two digits, or -1.
int replyNumber(const ReplyText& text) {
    const QByteArrayView digits = text.column(orvan::ReplyNumber);
    if (digits.size() != 2 || !isDigit(digits[0]) || !isDigit(digits[1]))
        return -1;
    return (digits[0] - '0') * 10 + (digits[1] - '0');
}

// Every field a working instrument sends is a whole number of at most five
// digits. Such a number is exact in every form it is written in, so its
// texts and its rounding are written directly, without the general
// formatter's digit strings; any other field takes the general way.
bool isWhole(double n) {
    return n == std::trunc(n);
}

// The shortest text of a field's number.
QString fieldText(double n) {
    if (!isWhole(n))
        return shortestText(n);
    char digits[24];
    const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, int64_t(n));
    return QString::fromLatin1(digits, r.ptr - digits);
}

// A field's number as the reading shows it with `picture`. "+ 0.0" turns a
// "-0" field into the 0 that reading the shown text back gives.
double shownField(double n, const QString& picture) {
    return isWhole(n) ? n + 0.0 : shownNumber(n, picture);
}

// The GM rate as shown with two places: a whole count of microroentgen, or
// of hundredths of a microsievert, already is exact at two places (the
// number nearest n / 100 is what the text "n/100" reads back as).
double shownGmRate(double n, double gmFactor, const QString& picture) {
    if (isWhole(n) && gmFactor == 1.0)
        return n + 0.0;
    if (isWhole(n) && gmFactor == 0.01)
        return n / 100.0 + 0.0;
    return shownNumber(n * gmFactor, picture);
}

// The names of the quantities, made once: a reading carries all five.
struct QuantityNames {
    QString americium = QString::fromLatin1(orvan::AmericiumName);
    QString neutrons = QString::fromLatin1(orvan::NeutronsName);
    QString cesium = QString::fromLatin1(orvan::CesiumName);
    QString cobalt = QString::fromLatin1(orvan::CobaltName);
    QString countRate = QString::fromLatin1(orvan::CountRateName);
};

const QuantityNames& quantityNames() {
    static const QuantityNames names;
    return names;
}

// A column's quantity, written as its number reads.
Quantity quantity(const QString& name, const ReplyText& text, const orvan::Column& c) {
    const double n = text.number(c);
    return Quantity{name, fieldText(n), n};
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
        r.value = shownGmRate(text.number(orvan::GmRate), gmFactor, r.valuePicture);
        const double counts = shownField(text.number(orvan::CountRate), QStringLiteral("0"));
        const QuantityNames& names = quantityNames();
        r.extras = {quantity(names.americium, text, orvan::Americium),
                    quantity(names.neutrons, text, orvan::Neutrons),
                    quantity(names.cesium, text, orvan::Cesium),
                    quantity(names.cobalt, text, orvan::Cobalt),
                    Quantity{names.countRate, fieldText(counts), counts}};
        // An instrument cannot report such a value: the reading is a fault.
        if (text.overRange())
            r.alarmCode = orvan::OverRangeAlarm;
        return r;
    }
    case FrameKind::InstrumentError: {
        // The quantities are there, without numbers, so every report of
        // the instrument names the same ones.
        const QuantityNames& names = quantityNames();
        for (const QString* name :
             {&names.americium, &names.neutrons, &names.cesium, &names.cobalt, &names.countRate})
            r.extras.append(Quantity{*name, QString()});
        r.value = 0;
        r.status = reply.number == 0 ? QStringLiteral("Ilgl com") : QStringLiteral("Ilgl Par");
        r.error = r.status;
        return r;
    }
    default:
        return std::nullopt;
    }
}

} // namespace orvan
} // namespace zel
