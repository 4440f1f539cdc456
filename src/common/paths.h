#pragma once
#include <QString>

namespace zel {

// The program folder: $ZEL_HOME when set; else the folder of the executable
// when it is writable; else $XDG_DATA_HOME/zel (~/.local/share/zel). It is
// created when missing. zel and tarvoset resolve it the same way.
QString programFolder();

// Path of a file in the program folder.
QString programFile(const QString& name);

// The settings file "Zel.ini": $XDG_CONFIG_HOME/zel/Zel.ini
// (~/.config/zel/Zel.ini); the folder is created when missing.
QString settingsFilePath();

// "dax.ini" in the program folder.
QString portSettingsFilePath();

} // namespace zel
