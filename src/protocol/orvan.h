#pragma once
// Orvan codec: the command frame.
#include <QByteArray>

namespace zel {

// STX, command text ("G11", "G19"), ETX.
QByteArray buildOrvanCommand(const QByteArray& text);

} // namespace zel
