#include "ColourDialog.h"

namespace kve {

ColourDialog::ColourDialog(QWidget *parent) : QColorDialog(Qt::black, parent) {}

void ColourDialog::done(int result)
{
    if (result == QDialog::Accepted)
        m_chosen = currentColor();
    QColorDialog::done(result);
    // The next showing starts from the colour chosen, not the one left picked.
    if (result != QDialog::Accepted)
        setCurrentColor(m_chosen);
}

} // namespace kve
