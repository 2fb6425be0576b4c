#pragma once

#include <QColor>
#include <QColorDialog>

namespace kve {

// The main window's colour dialog: it opens with the colour last chosen in it (black
// before the first choice); a colour picked and then cancelled is not kept.
class ColourDialog : public QColorDialog {
    Q_OBJECT
public:
    explicit ColourDialog(QWidget *parent = nullptr);

    QColor lastChosen() const { return m_chosen; }

    void done(int result) override;

private:
    QColor m_chosen = Qt::black;
};

} // namespace kve
