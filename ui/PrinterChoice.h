#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QDialogButtonBox;

namespace kve {

// Fills a printer list with the installed printers, then "PDF-файл" (this platform's
// print-to-file, as Windows always has its PDF printer), and chooses the default printer,
// or "PDF-файл" when there is no printer. An entry's data is the printer's name, empty for
// the PDF file.
void fillPrinterChoice(QComboBox *printers);

// The buttons of a print dialog: "Печать" (default, object name "print") and "Отмена"
// ("cancel"), named for screen readers; the caller connects accepted and rejected.
QDialogButtonBox *makePrintButtons();

// A printer chooser for a print that has nothing else to ask (the chart): the list of
// fillPrinterChoice, "Печать" and "Отмена".
class PrinterChoiceDialog : public QDialog {
    Q_OBJECT
public:
    explicit PrinterChoiceDialog(QWidget *parent = nullptr);

    // The chosen printer's name; empty for "PDF-файл".
    QString printerName() const;
    bool printsToFile() const { return printerName().isEmpty(); }

private:
    QComboBox *m_printers;
};

} // namespace kve
