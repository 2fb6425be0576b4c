#pragma once

class QObject;
class QString;
class QAccessibleInterface;

namespace kve {

// What assistive technology is told of a series grid: hidden columns are not showing, the
// column titles carry the sort mark in their description and the title click as their
// actions, and an open note editor is one of the grid's children.
QAccessibleInterface *gridAccessibleFactory(const QString &className, QObject *object);

} // namespace kve
