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

template <class Conversation> std::unique_ptr<InstrumentConversation> make(Station& station) {
    return std::make_unique<Conversation>(station);
}

// The list of most families: the over-mark column is there but hidden.
constexpr ListLayout StandardList{{"Id", "Time", "Over", "Value", "Units", "Status", "Detector"},
                                  {1335, 2265, 1, 1095, 735, 1365, 1335}};

constexpr MessageFields StandardMessage{
    {"instrument", "time", "value", "units", "status", "detector", nullptr}, false};

std::deque<Family> builtInFamilies() {
    std::deque<Family> all;
    all.push_back(Family{Portables,
                         QStringLiteral("Portables"),
                         QStringLiteral("portables"),
                         portables::Framing,
                         {.download = true, .clock = true, .calibration = true, .interval = true},
                         StandardList,
                         {},
                         QString(),
                         StandardMessage,
                         &make<PortablesConversation>});
    all.push_back(Family{Tarvo5,
                         QStringLiteral("Tarvo-5"),
                         QStringLiteral("tarvo5"),
                         tarvo::Framing,
                         {.download = true, .clock = true, .interval = true},
                         StandardList,
                         {},
                         QString(),
                         StandardMessage,
                         &make<TarvoConversation>});
    // The amplifier names no detector.
    ListLayout ampList = StandardList;
    ampList.widths[6] = 1;
    all.push_back(Family{AmpVessa,
                         QStringLiteral("Amp + Vessa"),
                         QStringLiteral("amp"),
                         amp::Framing,
                         {.setupDialog = true},
                         ampList,
                         {},
                         QString(),
                         StandardMessage,
                         &make<AmpConversation>});
    // The Orvan's fields carry its quantities: americium in the id, the GM
    // rate as the value, neutrons, cesium and cobalt, and the count rate in
    // the over-mark, whose column it shows.
    all.push_back(
        Family{Orvan,
               QStringLiteral("Orvan"),
               QStringLiteral("orvan"),
               orvan::Framing,
               {.interval = true},
               {{"Americium", "Time", "CPS", "GM Rate", "Neutrons", "Cesium", "Cobalt"},
                {1335, 2265, 765, 1095, 735, 1365, 1335}},
               {"Americium", "Cesium", "Cobalt"},
               QStringLiteral("Americium,Time,Gamma(%1),Neutrons,Cesium,Cobalt,CPS"),
               {{"americium", "time", "value", "neutrons", "cesium", "cobalt", "cps"}, true},
               &make<OrvanConversation>});
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
