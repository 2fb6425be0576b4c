#include "ReportPreview.h"

#include "ReportRenderer.h"
#include "SeriesReport.h"
#include "store/MeasurementTable.h"

#include <QAction>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QShowEvent>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QAction *addCommand(QToolBar *bar, const QString &text, const QIcon &icon, const QList<QKeySequence> &keys)
{
    QAction *a = bar->addAction(icon, text);
    a->setShortcuts(keys);
    a->setToolTip(keys.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, keys.first().toString(QKeySequence::NativeText)));
    if (QWidget *w = bar->widgetForAction(a)) {
        w->setAccessibleName(text);
        // Reachable by Tab, as the buttons of any dialog.
        w->setFocusPolicy(Qt::StrongFocus);
    }
    return a;
}

// The print queue shows the file and the series.
QString jobName(const QString &mainCaption, int series)
{
    return QStringLiteral("%1 Серия №%2").arg(mainCaption).arg(series).trimmed();
}

} // namespace

ReportPreviewDialog::ReportPreviewDialog(const kve::report::PreparedReport &report, QWidget *parent,
                                         const QString &docName)
    : QDialog(parent), m_report(report), m_docName(docName), m_printer(new QPrinter(QPrinter::HighResolution))
{
    setWindowTitle(QStringLiteral("Предварительный просмотр"));
    setModal(true);
    kve::report::setUpPrinter(*m_printer, report);
    m_preview = new QPrintPreviewWidget(m_printer, this);
    m_preview->setAccessibleName(QStringLiteral("Предварительный просмотр"));
    // Every handler is an edge: see runPrintStep.
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this,
            [this](QPrinter *printer) { runPrintStep(this, [&] { kve::report::paintReport(*printer, m_report); }); });

    auto *bar = new QToolBar(this);
    bar->setAccessibleName(QStringLiteral("Панель просмотра"));
    QAction *zoomIn = addCommand(bar, QStringLiteral("Увеличить"), QIcon::fromTheme(QStringLiteral("zoom-in")),
                                 {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    QAction *zoomOut = addCommand(bar, QStringLiteral("Уменьшить"), QIcon::fromTheme(QStringLiteral("zoom-out")),
                                  {QKeySequence(QKeySequence::ZoomOut)});
    QAction *fitWidth = addCommand(bar, QStringLiteral("По ширине"), QIcon::fromTheme(QStringLiteral("zoom-fit-width")),
                                   {QKeySequence(Qt::CTRL | Qt::Key_0)});
    bar->addSeparator();
    QAction *print = addCommand(bar, QStringLiteral("Печать"), QIcon::fromTheme(QStringLiteral("document-print")),
                                {QKeySequence(QKeySequence::Print)});
    QAction *close = addCommand(bar, QStringLiteral("Закрыть"), QIcon::fromTheme(QStringLiteral("window-close")), {});
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(zoomIn, &QAction::triggered, m_preview, [this] { runPrintStep(this, [this] { m_preview->zoomIn(); }); });
    connect(zoomOut, &QAction::triggered, m_preview, [this] { runPrintStep(this, [this] { m_preview->zoomOut(); }); });
    connect(fitWidth, &QAction::triggered, m_preview, [this] { runPrintStep(this, [this] { m_preview->fitToWidth(); }); });
    connect(print, &QAction::triggered, this, [this] { runPrintStep(this, [this] { this->print(); }); });
    connect(close, &QAction::triggered, this, [this] { runPrintStep(this, [this] { reject(); }); });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar);
    layout->addWidget(m_preview);
    resize(1000, 760);
}

void ReportPreviewDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    fitToScreen();
}

void ReportPreviewDialog::fitToScreen()
{
    const QScreen *shown = screen();
    if (!shown)
        return;
    // The frame (title bar and borders) must fit too: take what it adds to the client area.
    const QRect area = shown->availableGeometry();
    const QRect frame = frameGeometry();
    const QSize extra(frame.width() - width(), frame.height() - height());
    const QSize fits(std::min(width(), area.width() - extra.width()), std::min(height(), area.height() - extra.height()));
    if (fits != size())
        resize(fits);
    QRect placed = frameGeometry();
    placed.moveCenter(area.center());
    placed.moveTop(std::max(placed.top(), area.top()));
    placed.moveLeft(std::max(placed.left(), area.left()));
    move(placed.topLeft());
}

ReportPreviewDialog::~ReportPreviewDialog() { delete m_printer; }

void ReportPreviewDialog::print() { printPrepared(this, m_report, m_preview->currentPage() - 1, m_docName); }

void previewSeries(QWidget *parent, SeriesReport &report, kve::MeasurementTable &table, const QString &mainCaption,
                   int series)
{
    if (!table.isOpen())
        return;
    report.fillTitleCells(mainCaption, table, series);
    report.prepare(table);
    ReportPreviewDialog dialog(report.prepared(), parent, jobName(mainCaption, series));
    dialog.exec();
}

void printSeries(QWidget *parent, SeriesReport &report, kve::MeasurementTable &table, const QString &mainCaption,
                 int series)
{
    if (!table.isOpen())
        return;
    report.fillTitleCells(mainCaption, table, series);
    report.prepare(table);
    printPrepared(parent, report.prepared(), -1, jobName(mainCaption, series));
}
