#include "station/families.h"

#include "protocol/amp.h"
#include "protocol/orvan.h"
#include "protocol/portables.h"
#include "protocol/tarvo.h"
#include "station/amp_conversation.h"
#include "station/orvan_conversation.h"
#include "station/portables_conversation.h"
#include "station/tarvo_conversation.h"

namespace zel {

namespace {

template <class Conversation>
std::unique_ptr<InstrumentConversation> make(ConversationContext& link) {
    return std::make_unique<Conversation>(link);
}

// The list of most families: the over-mark column is there but hidden.
constexpr ListLayout StandardList{{"Id", "Time", "Over", "Value", "Units", "Status", "Detector"},
                                  {1335, 2265, 1, 1095, 735, 1365, 1335}};

constexpr RecordLayout StandardRecord{
    {"id", "time", "value", "unit", "status", "detector", "over"}};

std::deque<Family> builtInFamilies() {
    std::deque<Family> all;
    Family f;

    f.id = Portables;
    f.caption = QStringLiteral("Portables");
    f.simulatorName = QStringLiteral("portables");
    f.frameRules = portables::Framing;
    f.commands = {.download = true, .clock = true, .calibration = true, .interval = true};
    f.list = StandardList;
    f.record = StandardRecord;
    f.makeConversation = &make<PortablesConversation>;
    all.push_back(f);

    f.id = Tarvo5;
    f.caption = QStringLiteral("Tarvo-5");
    f.simulatorName = QStringLiteral("tarvo5");
    f.frameRules = tarvo::Framing;
    f.commands = {.download = true, .clock = true, .interval = true};
    f.makeConversation = &make<TarvoConversation>;
    all.push_back(f);

    f.id = AmpVessa;
    f.caption = QStringLiteral("Amp + Vessa");
    f.simulatorName = QStringLiteral("amp");
    f.frameRules = amp::Framing;
    f.commands = {.setupDialog = true};
    // The amplifier names no detector.
    f.list.widths[6] = 1;
    f.makeConversation = &make<AmpConversation>;
    all.push_back(f);

    // The Orvan's list and file carry its quantities: americium first, the
    // GM rate as the value, then neutrons, cesium and cobalt, and the count
    // rate in the over-mark's place, whose column it shows. Its messages
    // name each quantity too.
    f.id = Orvan;
    f.caption = QStringLiteral("Orvan");
    f.simulatorName = QStringLiteral("orvan");
    f.frameRules = orvan::Framing;
    f.commands = {.interval = true};
    f.list = {{"Americium", "Time", "CPS", "GM Rate", "Neutrons", "Cesium", "Cobalt"},
              {1335, 2265, 765, 1095, 735, 1365, 1335}};
    // An error report has no quantities; its status stands in the cesium's
    // place.
    f.record = {{orvan::AmericiumName, "time", "value", orvan::NeutronsName, "cesium|status",
                 orvan::CobaltName, orvan::CountRateName}};
    f.readouts = {"Americium", "Cesium", "Cobalt"};
    f.fileColumns = QStringLiteral("Americium,Time,Gamma(%1),Neutrons,Cesium,Cobalt,CPS");
    f.makeConversation = &make<OrvanConversation>;
    all.push_back(f);
    return all;
}

std::deque<Family>& table() {
    static std::deque<Family> all = builtInFamilies();
    return all;
}

} // namespace

QByteArray Family::fileColumnLine(const QString& instrumentUnits) const {
    if (fileColumns.isEmpty())
        return QByteArrayLiteral("-");
    return fileColumns.arg(instrumentUnits).toUtf8();
}

const std::deque<Family>& families() {
    return table();
}

const Family* findFamily(int16_t id) {
    for (const Family& f : table())
        if (f.id == id)
            return &f;
    return nullptr;
}

const Family& familyOrDefault(int16_t id) {
    const Family* f = findFamily(id);
    return f ? *f : table().front();
}

QString familyChoicesText() {
    QStringList choices;
    for (const Family& f : table())
        choices << QStringLiteral("%1 (%2)").arg(f.id).arg(f.caption);
    const QString last = choices.takeLast();
    return choices.isEmpty() ? last
                             : choices.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

bool registerFamily(Family family) {
    if (findFamily(family.id))
        return false;
    table().push_back(std::move(family));
    return true;
}

} // namespace zel
