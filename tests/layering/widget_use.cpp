// Compiles (the qualified header is found) but must fail the logic's link check.
#include <QtWidgets/QWidget>

int layeringProbeUse()
{
    QWidget widget;
    return widget.width();
}
