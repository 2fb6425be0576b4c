#include "PdfFile.h"

#include "ReplaceQuestion.h"
#include "store/Error.h"
#include "store/FileNameExtension.h"
#include "store/FileReplacement.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPageLayout>
#include <QPdfWriter>

namespace kve {

QString askPdfFileName(QWidget *parent)
{
    QFileDialog dialog(parent, QStringLiteral("PDF-файл"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("PDF-файл (*.pdf)"));
    // The filter box shows the description alone, as the program's other file dialogs do.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setDefaultSuffix(QString());   // added below, unless the name ends in it already
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Asked below, once the extension is added, so that every name gets the same question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(QString());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString chosen = dialog.selectedFiles().constFirst();
    if (QFileInfo(chosen).fileName().isEmpty() || QFileInfo(chosen).isDir())
        return {};
    const QString path = withExtension(chosen, QStringLiteral(".pdf"));
    return mayReplaceFile(parent, path) ? path : QString();
}

void writePdfFile(const QString &path, const QPageLayout &layout, int resolution, const QString &title,
                  const std::function<bool(QPagedPaintDevice &)> &paint)
{
    // The PDF engine does not look at what its writes return: the file does.
    FileReplacement file(path);
    bool painted = false;
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(layout);
        writer.setResolution(resolution);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("KVE"));
        painted = paint(writer);
    }
    if (!painted)
        throw Error(FileReplacement::failureText(path, QStringLiteral("страницы не удалось нарисовать")),
                    QStringLiteral("painting on the PDF writer failed"));
    file.commit();
}

} // namespace kve
