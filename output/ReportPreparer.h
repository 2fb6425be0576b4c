#pragma once

#include "PreparedReport.h"
#include "ReportTemplate.h"

namespace kve {
class MeasurementTable;
}

namespace kve::report {

// Prepares the report in two passes over the rows of the table's current view: the
// first counts the pages, the second lays them out with the final texts. Afterwards the
// table's current row is the last row of the view; filter and order are untouched.
PreparedReport prepareReport(const ReportTemplate &t, kve::MeasurementTable &table);

} // namespace kve::report
