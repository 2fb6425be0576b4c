#pragma once

#include "ReportTemplate.h"

#include <QString>

namespace kve::report {

// The printed text of a stored field text. A number format reads the text with a comma
// (or the system separator) and prints it with a comma; a text that is not a number
// prints as stored; a text of blanks prints nothing.
QString formatReportValue(const QString &stored, ValueFormat format);

} // namespace kve::report
