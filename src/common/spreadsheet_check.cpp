#include "common/spreadsheet_check.h"

#include <QStandardPaths>
#include <QString>

namespace zel {

bool spreadsheetProgramAvailable() {
    for (const char* name : {"localc", "soffice", "libreoffice", "gnumeric"}) {
        if (!QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty())
            return true;
    }
    return false;
}

} // namespace zel
