#include "about.h"

#include <QStringList>
#include <vector>

#include <windows.h>

namespace kve {

namespace {

QString resourceString(const std::vector<char> &block, const QString &path)
{
    void *value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), reinterpret_cast<const wchar_t *>(path.utf16()), &value, &length) || !value)
        return {};
    // The length counts characters, with the closing zero.
    const auto *text = static_cast<const char16_t *>(value);
    qsizetype n = 0;
    while (n < qsizetype(length) && text[n] != 0)
        ++n;
    return QString::fromUtf16(text, n);
}

} // namespace

// Read from the program file itself, as any Windows program's properties show it; a file
// without a resource gives an empty block, which the box shows as version 0.0.0.0.
VersionResource programVersionResource()
{
    VersionResource resource;
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n == 0)
            return resource;
        if (n < path.size())
            break;
        path.resize(path.size() * 2);
    }
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.data(), &handle);
    if (size == 0)
        return resource;
    std::vector<char> block(size);
    if (!GetFileVersionInfoW(path.data(), 0, size, block.data()))
        return resource;

    void *translation = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translation, &length) && translation)
        resource.translation = QByteArray(static_cast<const char *>(translation), qsizetype(length));
    const QString key = translationKey(resource);
    if (key.isEmpty())
        return resource;
    const QString table = QStringLiteral("\\StringFileInfo\\") + key + QLatin1Char('\\');
    for (const char *name : {"CompanyName", "FileDescription", "FileVersion", "ProductName", "ProductVersion"}) {
        const QString value = resourceString(block, table + QLatin1String(name));
        if (!value.isEmpty())
            resource.strings[table + QLatin1String(name)] = value;
    }
    return resource;
}

} // namespace kve
