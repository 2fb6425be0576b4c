// Must not compile: logic code has no widget headers on its include path.
#include <QWidget>

int layeringProbeInclude()
{
    return 0;
}
