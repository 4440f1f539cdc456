#pragma once

namespace zel {

// True when a spreadsheet program that opens CSV files is on PATH:
// LibreOffice Calc ("localc", "soffice", "libreoffice") or "gnumeric".
// Starts nothing and reports nothing.
bool spreadsheetProgramAvailable();

} // namespace zel
