#pragma once
// The names the per-user settings store files a program's entries under
// (the graph's placement, for one): one organisation for all the programs
// of the station, and each program's own name.
#include <QCoreApplication>

namespace zel {

inline void setProgramIdentity(const QString& application) {
    QCoreApplication::setOrganizationName(QStringLiteral("Zel"));
    QCoreApplication::setApplicationName(application);
}

} // namespace zel
