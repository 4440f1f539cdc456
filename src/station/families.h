#pragma once
// The instrument families in one table: everything the program needs to know
// about a family that is not a conversation's behaviour is one row, and the
// conversation is made by the row's factory. Each family's conversation file
// makes its own row; families.cpp only lists them. Adding a family is its
// codec, its conversation with its row, its simulator and one line in the
// list (see "Adding a family" in docs/architecture.md).
#include "data/record_layout.h"
#include "protocol/receiver.h"

#include <QByteArray>
#include <QString>
#include <deque>
#include <memory>

namespace zel {

class InstrumentConversation;
class ConversationContext;

// The commands a family offers; the window shows only those.
struct FamilyCommands {
    bool download = false;    // "Get Data": the instrument keeps a log
    bool clock = false;       // "Send Time": the instrument has a clock to set
    bool calibration = false; // the calibration record can be asked for
    bool interval = false;    // "Set Interval": on-line readings are polled
    bool setupDialog = false; // "Setup Device": the amplifier's parameters
};

// The captions above the three details of the large read-outs: the id,
// the status and the detector. Empty keeps the window's own caption.
struct ReadoutCaptions {
    const char* id = nullptr;
    const char* status = nullptr;
    const char* detector = nullptr;
};

// The list of most families: the over-mark column is there but hidden.
inline constexpr ListLayout StandardList{
    {"Id", "Time", "Over", "Value", "Units", "Status", "Detector"},
    {1335, 2265, 1, 1095, 735, 1365, 1335}};

// The record of most families: the reading's fields in their own places.
inline constexpr RecordLayout StandardRecord{
    {"id", "time", "value", "unit", "status", "detector", "over"}};

struct Family {
    int16_t id = 0;        // the number stored as "InsType" in Zel.ini
    QString caption;       // the option in the window, the name in messages
    QString simulatorName; // the word zel-sim knows the family by
    FrameRules frameRules;
    FamilyCommands commands;
    ListLayout list = StandardList;
    // Which of the reading's fields and quantities the list and the file
    // write in each of their seven places.
    RecordLayout record = StandardRecord;
    ReadoutCaptions readouts;
    // The column line of a data file's header; `%1` takes the unit the
    // instrument named. Empty: the plain "-" line.
    QString fileColumns;
    std::unique_ptr<InstrumentConversation> (*makeConversation)(ConversationContext&) = nullptr;

    // The header column line for a file, with the instrument's unit filled in.
    QByteArray fileColumnLine(const QString& instrumentUnits) const;
};

// The factory of a row: the family's conversation on `link`.
template <class Conversation>
std::unique_ptr<InstrumentConversation> makeConversationOf(ConversationContext& link) {
    return std::make_unique<Conversation>(link);
}

// Every family, in the order the window offers them.
const std::deque<Family>& families();
// The family with `id`; null when there is none.
const Family* findFamily(int16_t id);
// The family with `id`, or the first one: an unknown number in Zel.ini
// falls back to it, as the window always has.
const Family& familyOrDefault(int16_t id);
// "0 (Portables), 1 (Tarvo-5), 2 (Amp + Vessa) or 3 (Orvan)": what a
// settings check says may be chosen.
QString familyChoicesText();
// Adds a family after the built-in ones (a test's own instrument); false
// when its id is taken. Rows never move, so a reference to one stays good.
bool registerFamily(Family family);

} // namespace zel
