#pragma once

#include "PreparedReport.h"
#include "PrintPageOrder.h"

#include <QString>

class QPrinter;

namespace kve::report {

// Prints the pages of the choice on the printer as it is set up (paper, orientation),
// one sheet per page, copies and collation made here, so the print server gets one
// plain job of exactly those sheets. False with a reason when the choice names no page
// of the report or the printer cannot start. A PDF file (the printer's PDF format and
// output file) replaces an old one only when whole; if it cannot be written, throws
// kve::Error with the file and the system's reason, and the old file stays.
bool printReport(QPrinter &printer, const PreparedReport &report, const PrintChoice &choice,
                 QString *error = nullptr);

} // namespace kve::report
