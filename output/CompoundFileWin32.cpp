#include "XlsContainer.h"

#include "XlsWorkbook.h"

#include <windows.h>
#include <objbase.h>
#include <ole2.h>

namespace kve::xls {

namespace {

// Releases a COM interface when the scope ends.
template <typename T> struct Released {
    T *p = nullptr;
    ~Released()
    {
        if (p)
            p->Release();
    }
};

[[noreturn]] void fail(const char *call, HRESULT result, qsizetype streamSize)
{
    throw XlsError(QStringLiteral("Не удалось собрать файл книги."),
                   QStringLiteral("ole32 %1 failed (0x%2) for a %3-byte stream")
                       .arg(QLatin1String(call))
                       .arg(quint32(result), 8, 16, QLatin1Char('0'))
                       .arg(streamSize));
}

} // namespace

QByteArray compoundFile(const QString &streamName, const QByteArray &stream)
{
    // The storage is built in memory, so that the file itself is written in one step by
    // writeFileAtomically like on every platform.
    Released<ILockBytes> lockBytes;
    HRESULT hr = CreateILockBytesOnHGlobal(nullptr, TRUE, &lockBytes.p);
    if (FAILED(hr))
        fail("CreateILockBytesOnHGlobal", hr, stream.size());
    {
        Released<IStorage> storage;
        hr = StgCreateDocfileOnILockBytes(lockBytes.p, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                          &storage.p);
        if (FAILED(hr))
            fail("StgCreateDocfileOnILockBytes", hr, stream.size());
        Released<IStream> child;
        hr = storage.p->CreateStream(reinterpret_cast<const wchar_t *>(streamName.utf16()),
                                     STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &child.p);
        if (FAILED(hr))
            fail("IStorage::CreateStream", hr, stream.size());
        ULONG written = 0;
        hr = child.p->Write(stream.constData(), ULONG(stream.size()), &written);
        if (FAILED(hr) || written != ULONG(stream.size()))
            fail("IStream::Write", FAILED(hr) ? hr : E_FAIL, stream.size());
        hr = storage.p->Commit(STGC_DEFAULT);
        if (FAILED(hr))
            fail("IStorage::Commit", hr, stream.size());
    }
    STATSTG stat{};
    hr = lockBytes.p->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr))
        fail("ILockBytes::Stat", hr, stream.size());
    HGLOBAL memory = nullptr;
    hr = GetHGlobalFromILockBytes(lockBytes.p, &memory);
    if (FAILED(hr))
        fail("GetHGlobalFromILockBytes", hr, stream.size());
    const void *data = GlobalLock(memory);
    if (!data)
        fail("GlobalLock", HRESULT_FROM_WIN32(GetLastError()), stream.size());
    QByteArray bytes(static_cast<const char *>(data), qsizetype(stat.cbSize.QuadPart));
    GlobalUnlock(memory);
    if (bytes.isEmpty())
        fail("ILockBytes::Stat", E_FAIL, stream.size());
    return bytes;
}

} // namespace kve::xls
