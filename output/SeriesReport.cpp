#include "SeriesReport.h"

#include "ReportPreparer.h"
#include "store/MeasurementTable.h"

SeriesReport::SeriesReport() : m_template(kve::report::seriesReportTemplate()) {}

bool SeriesReport::setCellText(const QString &name, const QString &text)
{
    kve::report::TemplateCell *c = m_template.cell(name);
    if (!c)
        return false;
    c->text = text;
    return true;
}

QString SeriesReport::cellText(const QString &name) const
{
    const kve::report::TemplateCell *c = m_template.cell(name);
    return c ? c->text : QString();
}

void SeriesReport::fillTitleCells(const QString &mainCaption, const kve::MeasurementTable &table, int series)
{
    // An empty view has no current row: the serial number is then left out.
    QString serial;
    if (table.isOpen() && !table.eof())
        serial = table.fieldText(QStringLiteral("A"));
    setCellText(QStringLiteral("Memo19"), mainCaption + QStringLiteral("  Серийный №") + serial);
    setCellText(QStringLiteral("Memo12"), QStringLiteral("Серия №") + QString::number(series));
}

const kve::report::PreparedReport &SeriesReport::prepare(kve::MeasurementTable &table)
{
    m_prepared = kve::report::prepareReport(m_template, table);
    return m_prepared;
}
