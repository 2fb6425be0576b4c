#include "graf.h"

#include "AnalysisEdge.h"
#include "HeaveChart.h"
#include "WallClockAxis.h"
#include "param_graf.h"
#include "store/Error.h"
#include "store/MeasurementTable.h"
#include "ui/PdfFile.h"
#include "ui/PrinterChoice.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QImage>
#include <QLocale>
#include <QLineSeries>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <cmath>

namespace {

const QString kTimeFormat = QStringLiteral("hh:mm:ss<br>dd.MM.yy");
constexpr int kMarkerSize = 7;
// Room above and below a value label on the left axis; with less the chart draws "...".
constexpr int kLabelPadding = 12;

QImage redRectangleMarker()
{
    QImage image(kMarkerSize, kMarkerSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::red);
    QPainter painter(&image);
    painter.setPen(QColor(128, 0, 0));
    painter.drawRect(0, 0, kMarkerSize - 1, kMarkerSize - 1);
    return image;
}

} // namespace

TForm3::TForm3(kve::MeasurementTable &table, std::function<QString()> chartChoice, std::function<int()> activeSeries,
               QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint),
      m_table(table),
      m_chartChoice(std::move(chartChoice)),
      m_activeSeries(std::move(activeSeries))
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral(" "));   // no title text (empty would show the program name)
    setAccessibleName(QStringLiteral("График"));
    resize(698, 482);

    Chart1 = new QChart;
    Chart1->legend()->hide();
    Chart1->setBackgroundRoundness(0);
    Chart1->setPlotAreaBackgroundVisible(false);
    Chart1->setMargins(QMargins(8, 24, 8, 4));

    Series1 = new QLineSeries;
    QPen pen(Qt::red);
    pen.setWidth(1);
    Series1->setPen(pen);
    Series1->setColor(Qt::red);
    Series1->setPointLabelsVisible(false);
    Series1->setPointsVisible(false);
    Series1->setMarkerSize(kMarkerSize);
    Chart1->addSeries(Series1);

    m_bottomAxis = new WallClockAxis;
    m_bottomAxis->setTitleText(QStringLiteral("t, мин"));
    m_bottomAxis->setFormat(kTimeFormat);
    m_leftAxis = new QValueAxis;
    m_leftAxis->setMinorTickCount(0);
    // A precision is needed: localized labels take only "%.<n><type>".
    m_leftAxis->setLabelFormat(QStringLiteral("%.6g"));
    m_leftAxis->setTitleText(QStringLiteral("Hf,мм"));
    Chart1->addAxis(m_bottomAxis, Qt::AlignBottom);
    Chart1->addAxis(m_leftAxis, Qt::AlignLeft);
    Series1->attachAxis(m_bottomAxis);
    Series1->attachAxis(m_leftAxis);

    // The title line stands at the right; QChart centres its own title.
    m_title = new QGraphicsSimpleTextItem(Chart1);
    connect(Chart1, &QChart::geometryChanged, this, [this] { kve::runAnalysisStep(this, [&] { placeTitle(); }); });
    // The label step follows the plot area as laid out, not the window's size before it.
    connect(Chart1, &QChart::plotAreaChanged, this, [this] { kve::runAnalysisStep(this, [&] { fitLabelStep(); }); });
    Chart1->setLocalizeNumbers(true);

    Chart1View = new QChartView(Chart1, this);
    Chart1View->setObjectName(QStringLiteral("Chart1"));
    Chart1View->setRenderHint(QPainter::Antialiasing);
    Chart1View->setAccessibleName(QStringLiteral("График Hf,t"));

    CheckBox1 = new QCheckBox(QStringLiteral("Точки данных"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setAccessibleName(CheckBox1->text());
    Button1 = new QPushButton(QStringLiteral("Печать"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAccessibleName(Button1->text());
    Button1->setFixedSize(75, 25);
    Button1->setAutoDefault(false);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(CheckBox1);
    bottom->addStretch();
    bottom->addWidget(Button1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(Chart1View, 1);
    layout->addLayout(bottom);

    connect(CheckBox1, &QCheckBox::toggled, this, [this] { kve::runAnalysisStep(this, [&] { CheckBox1Click(); }); });
    connect(Button1, &QPushButton::clicked, this, [this] { kve::runAnalysisStep(this, [&] { Button1Click(); }); });
}

TForm3::~TForm3() = default;

bool TForm3::tableIsOpen() const
{
    return m_table.isOpen();
}

QString TForm3::titleText() const
{
    return m_title->text();
}

double TForm3::drawnLabelStep() const
{
    return m_leftAxis->tickType() == QValueAxis::TicksDynamic ? m_leftAxis->tickInterval() : 0.0;
}

int TForm3::exec()
{
    m_built = FormShow();
    if (!m_built)
        return QDialog::Rejected;
    return QDialog::exec();
}

void TForm3::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    if (!m_built) {
        m_built = FormShow();
        // A build that stopped must not leave a half-drawn window open.
        if (!m_built)
            QTimer::singleShot(0, this, &QDialog::reject);
    }
}

void TForm3::hideEvent(QHideEvent *event)
{
    m_built = false;
    QDialog::hideEvent(event);
}

void TForm3::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    kve::runAnalysisStep(this, [&] { placeTitle(); });
}

bool TForm3::FormShow()
{
    Chart1View->setVisible(false);
    Series1->clear();
    m_bottomAxis->setFormat(kTimeFormat);
    applyNumberLocale();
    const int series = m_activeSeries ? m_activeSeries() : 1;
    return kve::runAnalysisStep(this, [&] { fill(kve::readHeaveChart(m_table, series, m_chartChoice())); });
}

void TForm3::fill(const kve::HeaveChartData &data)
{
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(data.points.size()));
    for (const kve::HeavePoint &point : data.points)
        points.append(QPointF(WallClockAxis::valueOf(point.time), point.hf));
    Series1->replace(points);
    if (!points.isEmpty()) {
        Chart1View->setVisible(true);
        m_leftAxis->setTitleText(QStringLiteral("Hf,мм"));
    }
    applyAxes(data);
    m_title->setText(data.title);
    placeTitle();
}

void TForm3::applyAxes(const kve::HeaveChartData &data)
{
    if (const std::optional<double> step = kve::desiredHeaveStep(data.minY, data.maxY))
        m_desiredStep = step;

    const auto [low, high] = kve::heaveAxisRange(data.minY, data.maxY);
    m_leftAxis->setRange(low, high);
    if (m_desiredStep) {
        m_leftAxis->setTickType(QValueAxis::TicksDynamic);
        fitLabelStep();
    } else {
        m_leftAxis->setTickType(QValueAxis::TicksFixed);
        m_leftAxis->applyNiceNumbers();
    }

    if (data.points.empty()) {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        m_bottomAxis->setRange(now.addSecs(-60), now.addSecs(60));
        return;
    }
    QDateTime from = data.points.front().time;
    QDateTime to = data.points.back().time;
    if (from == to) {
        from = from.addSecs(-60);
        to = to.addSecs(60);
    }
    m_bottomAxis->setRange(from, to);
}

// The wanted step of 0.2 mm is widened only as far as the labels need room on the axis.
void TForm3::fitLabelStep()
{
    if (!m_desiredStep)
        return;
    // Before the chart is laid out its plot area is not known yet; the window's height is.
    const int plotHeight = Chart1->plotArea().height() > 0 && Chart1View->isVisible()
        ? static_cast<int>(Chart1->plotArea().height())
        : height() - 140;
    const double low = m_leftAxis->min();
    const double high = m_leftAxis->max();
    const int perLabel = int(std::ceil(QFontMetricsF(m_leftAxis->labelsFont()).height())) + kLabelPadding;
    const double step = kve::fittedStep(*m_desiredStep, low, high, qMax(2, plotHeight / perLabel));
    const double anchor = std::floor(low / step) * step;
    // Setting the same values again would lay the chart out again, and call here again.
    if (m_leftAxis->tickInterval() == step && m_leftAxis->tickAnchor() == anchor)
        return;
    m_leftAxis->setTickAnchor(anchor);
    m_leftAxis->setTickInterval(step);
}

// Axis numbers follow the system's decimal separator, like the number texts of the title.
void TForm3::applyNumberLocale()
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    Chart1->setLocale(locale);
}

void TForm3::placeTitle()
{
    const QRectF box = m_title->boundingRect();
    const qreal right = Chart1->size().width() - 10;
    m_title->setPos(qMax<qreal>(0, right - box.width()), 4);
}

void TForm3::CheckBox1Click()
{
    const bool on = CheckBox1->isChecked();
    Series1->setLightMarker(on ? redRectangleMarker() : QImage());
    Series1->setPointsVisible(on);
}

void TForm3::Button1Click()
{
    // The installed printers and "PDF-файл", as the report offers: without a printer the
    // chart still reaches a file.
    kve::PrinterChoiceDialog choice(this);
    if (choice.exec() != QDialog::Accepted)
        return;
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (choice.printsToFile()) {
        const QString path = kve::askPdfFileName(this);
        if (path.isEmpty())
            return;
        m_printer->setPageOrientation(QPageLayout::Landscape);
        QPageLayout layout = m_printer->pageLayout();
        layout.setMargins(QMarginsF());
        kve::writePdfFile(path, layout, m_printer->resolution(), QStringLiteral("График"),
                          [this](QPagedPaintDevice &pdf) { return paintChart(pdf); });
        return;
    }
    m_printer->setOutputFormat(QPrinter::NativeFormat);
    m_printer->setPrinterName(choice.printerName());
    if (!printChart(*m_printer))
        throw kve::Error(QStringLiteral("Не удалось начать печать на принтере \"%1\".").arg(choice.printerName()));
}

bool TForm3::printChart(QPrinter &printer)
{
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setFullPage(true);
    return paintChart(printer);
}

bool TForm3::paintChart(QPagedPaintDevice &device)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    // Measured from the paper's corner, whatever margin the device keeps.
    const int dpi = device.logicalDpiX();
    const QRect paper = device.pageLayout().fullRectPixels(dpi);
    const QRect paint = device.pageLayout().paintRectPixels(dpi);
    painter.translate(paper.topLeft() - paint.topLeft());
    const QRectF target = kve::chartPrintArea(QRectF(QPointF(0, 0), paper.size()));
    Chart1View->render(&painter, target, QRect(), Qt::IgnoreAspectRatio);
    return painter.end();
}

void runChartCommand(TForm4 &dialog, TForm3 &chart)
{
    if (!chart.tableIsOpen())
        return;
    if (dialog.exec() == QDialog::Accepted)
        chart.exec();
}
