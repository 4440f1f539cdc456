#pragma once

namespace zel {

// Whether a spreadsheet program that opens CSV files can be started here.
class Xl {
public:
    // True when LibreOffice Calc ("localc", "soffice", "libreoffice") or
    // "gnumeric" is on PATH. Starts nothing and reports nothing.
    bool TestExcel() const;
};

} // namespace zel
