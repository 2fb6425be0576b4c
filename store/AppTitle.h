#pragma once

#include <QString>

namespace kve {

// The application title (what Windows shows on the taskbar). Kept apart from window
// captions; on Linux the window manager only sees the main window's caption.
QString applicationTitle();
void setApplicationTitle(const QString &title);

// The device type string.
inline const QString kDeviceType = QStringLiteral("ЖОРД-ЗР7");

} // namespace kve
