#include "about.h"

#include "store/AppTitle.h"

#ifndef KVE_VERSION
#error "KVE_VERSION is defined by the build"
#endif

namespace kve {

// This platform's program files carry no version resource: the same block is compiled in.
VersionResource programVersionResource()
{
    VersionResource resource;
    resource.addTranslation(0x0419, 0x04E3);
    const QString table = QStringLiteral("\\StringFileInfo\\041904E3\\");
    resource.strings[table + QStringLiteral("CompanyName")] = QStringLiteral("Dorvatek");
    resource.strings[table + QStringLiteral("FileDescription")] = kDeviceType;
    resource.strings[table + QStringLiteral("FileVersion")] = QStringLiteral(KVE_VERSION);
    resource.strings[table + QStringLiteral("ProductName")] = QStringLiteral("KVE");
    resource.strings[table + QStringLiteral("ProductVersion")] = QStringLiteral(KVE_VERSION);
    return resource;
}

} // namespace kve
