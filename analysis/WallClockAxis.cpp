#include "WallClockAxis.h"

#include <QTimeZone>

namespace {

QDateTime asUtc(const QDateTime &time)
{
    return QDateTime(time.date(), time.time(), Qt::UTC);
}

} // namespace

WallClockAxis::WallClockAxis(QObject *parent) : QCategoryAxis(parent)
{
    setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const qint64 now = asUtc(QDateTime::currentDateTime()).toMSecsSinceEpoch();
    m_from = now - 60000;
    m_to = now + 60000;
    relabel();
}

void WallClockAxis::setFormat(const QString &format)
{
    if (format == m_format)
        return;
    m_format = format;
    relabel();
}

void WallClockAxis::setTickCount(int count)
{
    m_ticks = qMax(2, count);
    relabel();
}

qreal WallClockAxis::valueOf(const QDateTime &time)
{
    return qreal(asUtc(time).toMSecsSinceEpoch());
}

void WallClockAxis::setRange(const QDateTime &from, const QDateTime &to)
{
    m_from = asUtc(from).toMSecsSinceEpoch();
    m_to = qMax(m_from, asUtc(to).toMSecsSinceEpoch());
    relabel();
}

QDateTime WallClockAxis::from() const
{
    return QDateTime::fromMSecsSinceEpoch(m_from, Qt::UTC);
}

QDateTime WallClockAxis::to() const
{
    return QDateTime::fromMSecsSinceEpoch(m_to, Qt::UTC);
}

void WallClockAxis::relabel()
{
    // Labels a second apart at least: two equal labels would be one category.
    const qint64 least = qint64(m_ticks - 1) * 1000;
    if (m_to - m_from < least)
        m_to = m_from + least;
    for (const QString &label : categoriesLabels())
        remove(label);
    setStartValue(qreal(m_from));
    const double step = double(m_to - m_from) / (m_ticks - 1);
    for (int i = 0; i < m_ticks; ++i) {
        const qint64 at = i == m_ticks - 1 ? m_to : m_from + qint64(step * i);
        append(QDateTime::fromMSecsSinceEpoch(at, Qt::UTC).toString(m_format), qreal(at));
    }
    QCategoryAxis::setRange(qreal(m_from), qreal(m_to));
}
