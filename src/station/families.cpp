#include "station/families.h"

#include "station/amp_conversation.h"
#include "station/orvan_conversation.h"
#include "station/portables_conversation.h"
#include "station/tarvo_conversation.h"

namespace zel {

namespace {

// The built-in families, in the order the window offers them. A family's
// row is made in its own conversation file.
std::deque<Family> builtInFamilies() {
    return {portablesFamily(), tarvoFamily(), ampFamily(), orvanFamily()};
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
