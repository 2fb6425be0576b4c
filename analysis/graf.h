#pragma once

#include "WallClockAxis.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QGraphicsSimpleTextItem;
class QPagedPaintDevice;
class QPrinter;
class QPushButton;
class TForm4;

QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;
QT_END_NAMESPACE

namespace kve {
class MeasurementTable;
struct HeaveChartData;
}

// The chart window: Hf of the active series (or of the measurement chosen in the chart
// dialog) against time, rebuilt at every showing, with printing.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    // The chart dialog is asked for its choice at every showing; it may be created later.
    TForm3(kve::MeasurementTable &table, std::function<QString()> chartChoice, std::function<int()> activeSeries,
           QWidget *parent = nullptr);
    ~TForm3() override;

    // Builds the chart first; a build that fails is reported and the window is not shown.
    int exec() override;

    bool tableIsOpen() const;

    QChartView *chartView() const { return Chart1View; }
    QChart *chart() const { return Chart1; }
    QLineSeries *lineSeries() const { return Series1; }
    QValueAxis *leftAxis() const { return m_leftAxis; }
    WallClockAxis *bottomAxis() const { return m_bottomAxis; }
    QCheckBox *pointsBox() const { return CheckBox1; }
    QPushButton *printButton() const { return Button1; }
    QString titleText() const;
    // The label step of the left axis as wanted by the data (no value until a series with
    // a spread of 1 mm or more was drawn) and as drawn.
    std::optional<double> desiredLabelStep() const { return m_desiredStep; }
    double drawnLabelStep() const;

    // Prints the chart as one page: landscape, stretched over the page less 4 % margins.
    // False when the printer cannot start.
    bool printChart(QPrinter &printer);
    // Paints the chart as one page of the device, stretched over the page less 4 % margins.
    bool paintChart(QPagedPaintDevice &device);

public slots:
    // Fills the chart from the table; false (after the error box) when a row cannot be read.
    bool FormShow();
    void CheckBox1Click();
    // Asks for the printer or "PDF-файл" and prints the chart there.
    void Button1Click();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void fill(const kve::HeaveChartData &data);
    void applyAxes(const kve::HeaveChartData &data);
    void placeTitle();
    void fitLabelStep();
    void applyNumberLocale();

    kve::MeasurementTable &m_table;
    std::function<QString()> m_chartChoice;
    std::function<int()> m_activeSeries;
    QChartView *Chart1View;
    QChart *Chart1;
    QLineSeries *Series1;
    QValueAxis *m_leftAxis;
    WallClockAxis *m_bottomAxis;
    QGraphicsSimpleTextItem *m_title;
    QCheckBox *CheckBox1;
    QPushButton *Button1;
    std::unique_ptr<QPrinter> m_printer;   // the program's printer, made on first print
    std::optional<double> m_desiredStep;
    bool m_built = false;
};

// The chart command: the chart dialog, then on OK the chart window, both modal.
// With no table open nothing is shown.
void runChartCommand(TForm4 &dialog, TForm3 &chart);
