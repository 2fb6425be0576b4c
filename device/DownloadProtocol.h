#pragma once

#include "ArchiveHeader.h"

#include <QByteArray>
#include <QString>
#include <optional>

// The instrument's side of a download as a state machine without windows: pieces of the
// received stream go in; what to send, what the dialog must do, the progress and the
// result come out. The receive buffer and the memory image are allocated once and reused
// by every download; nothing is ever copied past either.
class DownloadProtocol {
public:
    static constexpr int kReceiveBufferSize = 385001;
    static constexpr int kMemoryImageSize = 195001;
    static constexpr int kMaxImageBytes = 65535;
    static constexpr int kIdentificationLength = 81;
    // The codes are judged once more than this many characters are in.
    static constexpr int kCodesJudgedAfter = 8;
    static constexpr quint8 kTypeCode = 6;
    static constexpr quint8 kCheckCode = 16;

    enum class Command { Identify, Archive };   // "V", "N"
    enum class Result { None, Success, WrongInstrument, BadData };

    // What one piece asks of the dialog.
    struct Step {
        QByteArray send;                 // bytes to send now
        bool stopCheckTimer = false;     // the 3000 ms check is no longer needed
        bool identified = false;         // accepted: show the header, start the pause
        Result result = Result::None;    // the download ended with this
        QString errorText;               // for BadData: what went wrong, for the operator
    };

    DownloadProtocol();

    // Empties the receive buffer and forgets the marks seen.
    void reset();
    // Starts (again) with an identification request, progress back at 0; returns the byte
    // to send.
    char requestIdentification();
    // The pause after identification is over: everything received so far is dropped and
    // the archive is requested; returns the byte to send.
    char requestArchive();
    // The operator cancelled.
    void cancel();

    Step feed(const char *data, quint32 size);

    Command pendingCommand() const { return m_pending; }
    Result result() const { return m_result; }
    int progress() const { return m_progress; }
    void setProgress(int value) { m_progress = value; }
    int receivedCount() const { return m_received; }

    const ArchiveHeader &header() const { return m_header; }
    const QByteArray &image() const { return m_image; }
    // Image bytes of the last complete transfer.
    int imageLength() const { return m_imageLength; }

    // A pair of characters "lo hi" (each "0".."?") as one byte; nothing if either is off.
    static std::optional<quint8> decodePair(const char *p);
    // Whether the type and check codes (positions 1 to 4 of the identification reply) name
    // the instrument; codes that are no pairs name another instrument.
    static bool isExpectedInstrument(const char *reply);
    // Reads the 81-character identification reply. Texts of malformed replies come back
    // in `error`; the codes are not judged here.
    static std::optional<ArchiveHeader> decodeIdentification(const char *reply, QString *error = nullptr);
    // Version bytes as the operator sees them: third.second.first, two digits each.
    static QString versionText(quint8 first, quint8 second, quint8 third);

private:
    Step fail(Step step, const QString &text);
    void finishArchive(Step &step);

    QByteArray m_buffer;     // ReceiveBuffer
    QByteArray m_image;      // MemoryImage
    ArchiveHeader m_header;
    int m_received = 0;
    int m_startMark = -1;    // first "S" of the archive reply
    int m_endMark = -1;      // first "P" after it
    int m_imageLength = 0;
    bool m_identified = false;
    Command m_pending = Command::Identify;
    Result m_result = Result::None;
    int m_progress = 0;
};
