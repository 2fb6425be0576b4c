#pragma once

#include "PreparedReport.h"
#include "ReportTemplate.h"

#include <QString>

namespace kve {
class MeasurementTable;
}

// The report object of one series: the template, its title cells and the last prepared
// pages. The main window holds sixteen of them, frReport1..frReport16.
class SeriesReport {
public:
    SeriesReport();

    kve::report::ReportTemplate &reportTemplate() { return m_template; }
    const kve::report::ReportTemplate &reportTemplate() const { return m_template; }

    // The whole text of a template cell, found by name; false when there is none.
    bool setCellText(const QString &name, const QString &text);
    QString cellText(const QString &name) const;

    // Memo19 := caption + "  Серийный №" + field A of the table's current row;
    // Memo12 := "Серия №" + series.
    void fillTitleCells(const QString &mainCaption, const kve::MeasurementTable &table, int series);

    // Prepares the pages from the table's current view and keeps them.
    const kve::report::PreparedReport &prepare(kve::MeasurementTable &table);
    const kve::report::PreparedReport &prepared() const { return m_prepared; }

private:
    kve::report::ReportTemplate m_template;
    kve::report::PreparedReport m_prepared;
};
