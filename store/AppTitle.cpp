#include "AppTitle.h"

namespace kve {

namespace {
QString &titleStorage()
{
    static QString title;
    return title;
}
} // namespace

QString applicationTitle() { return titleStorage(); }
void setApplicationTitle(const QString &title) { titleStorage() = title; }

} // namespace kve
