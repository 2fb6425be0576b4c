#pragma once

#include <QCategoryAxis>
#include <QDateTime>
#include <QString>
#include <QStringList>

// A time axis that reads the instrument's wall clock. Its values are the milliseconds of a
// UTC date-time and its labels are written in UTC too, so the local time zone never moves
// or drops a reading (a date-time axis would label them in local time).
class WallClockAxis : public QCategoryAxis {
    Q_OBJECT
public:
    explicit WallClockAxis(QObject *parent = nullptr);

    // The label format of QDateTime::toString; "<br>" breaks a label into lines.
    void setFormat(const QString &format);
    QString format() const { return m_format; }

    // Labels at both ends and evenly between them (at least 2).
    void setTickCount(int count);
    int tickCount() const { return m_ticks; }

    // From and to as wall-clock times (their fields are taken as they are). The range is
    // widened at the right so that neighbouring labels differ by at least a second.
    void setRange(const QDateTime &from, const QDateTime &to);
    QDateTime from() const;
    QDateTime to() const;

    // The value of a wall-clock time on this axis.
    static qreal valueOf(const QDateTime &time);

private:
    void relabel();

    QString m_format;
    int m_ticks = 5;
    qint64 m_from = 0;
    qint64 m_to = 0;
};
