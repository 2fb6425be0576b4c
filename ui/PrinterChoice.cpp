#include "PrinterChoice.h"

#include "ErrorBox.h"
#include "store/Error.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>

namespace kve {

void fillPrinterChoice(QComboBox *printers)
{
    const QList<QPrinterInfo> installed = QPrinterInfo::availablePrinters();
    const QString defaultName = QPrinterInfo::defaultPrinterName();
    int selected = -1;
    for (const QPrinterInfo &p : installed) {
        if (p.printerName() == defaultName)
            selected = printers->count();
        const QString shown = p.description().isEmpty() || p.description() == p.printerName()
                                  ? p.printerName()
                                  : QStringLiteral("%1 (%2)").arg(p.printerName(), p.description());
        printers->addItem(shown, p.printerName());
    }
    // No printer name of its own.
    printers->addItem(QStringLiteral("PDF-файл"), QString());
    printers->setCurrentIndex(selected >= 0 ? selected : (installed.isEmpty() ? printers->count() - 1 : 0));
}

QDialogButtonBox *makePrintButtons()
{
    auto *buttons = new QDialogButtonBox;
    QPushButton *ok = buttons->addButton(QStringLiteral("Печать"), QDialogButtonBox::AcceptRole);
    QPushButton *cancel = buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("print"));
    cancel->setObjectName(QStringLiteral("cancel"));
    for (QPushButton *b : {ok, cancel})
        b->setAccessibleName(b->text());
    ok->setDefault(true);
    return buttons;
}

PrinterChoiceDialog::PrinterChoiceDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Печать"));
    setModal(true);
    m_printers = new QComboBox;
    m_printers->setObjectName(QStringLiteral("printers"));
    fillPrinterChoice(m_printers);
    auto *label = new QLabel(QStringLiteral("&Принтер:"));
    label->setBuddy(m_printers);
    m_printers->setAccessibleName(QStringLiteral("Принтер"));

    QDialogButtonBox *buttons = makePrintButtons();
    const auto guarded = [this](auto step) {
        return [this, step] { runGuarded(step, [this](const QString &text) { showErrorBox(this, text); }); };
    };
    connect(buttons, &QDialogButtonBox::accepted, this, guarded([this] { accept(); }));
    connect(buttons, &QDialogButtonBox::rejected, this, guarded([this] { reject(); }));

    auto *row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_printers, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

QString PrinterChoiceDialog::printerName() const { return m_printers->currentData().toString(); }

} // namespace kve
