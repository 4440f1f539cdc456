#include "protocol/orvan.h"

namespace zel {

QByteArray buildOrvanCommand(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size() + 2);
    out.append(char(0x02));
    out.append(text);
    out.append(char(0x03));
    return out;
}

} // namespace zel
