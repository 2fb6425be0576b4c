#include "device/DownloadProtocol.h"
#include "WireFormat.h"

#include <QtTest>

using Result = DownloadProtocol::Result;
using Command = DownloadProtocol::Command;

class TestDownloadProtocol : public QObject {
    Q_OBJECT

    // Feeds the stream in pieces of `piece` characters (0: whole); returns the last step
    // that asked for something, merged.
    static DownloadProtocol::Step feedAll(DownloadProtocol &p, const QByteArray &stream, int piece = 0)
    {
        DownloadProtocol::Step merged;
        const int n = piece > 0 ? piece : qMax<int>(1, stream.size());
        for (int i = 0; i < stream.size(); i += n) {
            const QByteArray part = stream.mid(i, n);
            const auto s = p.feed(part.constData(), quint32(part.size()));
            merged.send += s.send;
            merged.stopCheckTimer |= s.stopCheckTimer;
            merged.identified |= s.identified;
            if (s.result != Result::None) {
                merged.result = s.result;
                merged.errorText = s.errorText;
            }
        }
        return merged;
    }

    static wire::Identity identityFor(int records)
    {
        wire::Identity id;
        id.series = 1;
        id.counts[0] = quint16(records);
        return id;
    }

    // Identification accepted and archive requested.
    static void identify(DownloadProtocol &p, const wire::Identity &id)
    {
        QCOMPARE(p.requestIdentification(), 'V');
        const auto s = feedAll(p, wire::identification(id));
        QVERIFY(s.identified);
        QCOMPARE(p.requestArchive(), 'N');
    }

private slots:
    void buffersHaveTheirFixedSizes()
    {
        DownloadProtocol p;
        QCOMPARE(p.image().size(), 195001);
        QCOMPARE(DownloadProtocol::kReceiveBufferSize, 385001);
    }

    void pairs_data()
    {
        QTest::addColumn<QByteArray>("chars");
        QTest::addColumn<int>("value");
        QTest::newRow("10") << QByteArray("10") << 1;
        QTest::newRow("?0") << QByteArray("?0") << 15;
        QTest::newRow("0?") << QByteArray("0?") << 240;
        QTest::newRow("??") << QByteArray("??") << 255;
        QTest::newRow("00") << QByteArray("00") << 0;
        QTest::newRow(":;") << QByteArray(":;") << 0xBA;
        QTest::newRow("/0 below range") << QByteArray("/0") << -1;
        QTest::newRow("0@ above range") << QByteArray("0@") << -1;
        QTest::newRow("letter") << QByteArray("x0") << -1;
    }
    void pairs()
    {
        QFETCH(QByteArray, chars);
        QFETCH(int, value);
        const auto b = DownloadProtocol::decodePair(chars.constData());
        QCOMPARE(b.has_value(), value >= 0);
        if (b)
            QCOMPARE(int(*b), value);
    }

    void archivePairsBecomeImageBytes_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("10 ?0 0?") << QByteArray("10?00?") << QByteArray("\x01\x0f\xf0", 3);
    }
    void archivePairsBecomeImageBytes()
    {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, bytes);
        DownloadProtocol p;
        wire::Identity id;
        id.series = 0;
        identify(p, id);
        const auto s = feedAll(p, "S" + data + "P");
        QCOMPARE(s.result, Result::Success);
        QCOMPARE(p.imageLength(), bytes.size());
        QCOMPARE(p.image().left(bytes.size()), bytes);
    }

    void identificationIsDecoded()
    {
        DownloadProtocol p;
        wire::Identity id;
        id.v1 = 7;
        id.v2 = 0;
        id.v3 = 2;
        id.serial = 255;
        id.series = 16;
        for (int s = 0; s < 16; ++s)
            id.counts[s] = quint16(s * 1000 + 7);
        identify(p, id);
        const ArchiveHeader &h = p.header();
        QCOMPARE(h.typeCode, quint8(6));
        QCOMPARE(h.checkCode, quint8(16));
        QCOMPARE(h.softwareVersion, QStringLiteral("02.00.07"));
        QCOMPARE(h.serialNumber, quint8(255));
        QCOMPARE(h.seriesCount, quint8(16));
        for (int s = 0; s < 16; ++s)
            QCOMPARE(h.recordCounts[s], quint16(s * 1000 + 7));
    }

    void versionText()
    {
        QCOMPARE(DownloadProtocol::versionText(3, 12, 1), QStringLiteral("01.12.03"));
        QCOMPARE(DownloadProtocol::versionText(7, 0, 2), QStringLiteral("02.00.07"));
        QCOMPARE(DownloadProtocol::versionText(255, 100, 10), QStringLiteral("10.100.255"));
    }

    void identificationWaitsForAllOfItsCharacters_data()
    {
        QTest::addColumn<int>("piece");
        for (int n : {1, 2, 9, 40, 80, 81})
            QTest::newRow(qPrintable(QString::number(n))) << n;
    }
    void identificationWaitsForAllOfItsCharacters()
    {
        QFETCH(int, piece);
        DownloadProtocol p;
        p.requestIdentification();
        const QByteArray reply = wire::identification(identityFor(3));
        for (int i = 0; i < reply.size(); i += piece) {
            const QByteArray part = reply.mid(i, piece);
            const auto s = p.feed(part.constData(), quint32(part.size()));
            const bool complete = i + part.size() >= 81;
            QCOMPARE(s.identified, complete);
            QCOMPARE(s.result, Result::None);
        }
        QCOMPARE(p.header().recordCounts[0], quint16(3));
        QCOMPARE(p.progress(), 95);
    }

    void wrongInstrument_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("check");
        QTest::newRow("6/15") << 6 << 15;
        QTest::newRow("5/16") << 5 << 16;
        QTest::newRow("0/0") << 0 << 0;
    }
    void wrongInstrument()
    {
        QFETCH(int, type);
        QFETCH(int, check);
        DownloadProtocol p;
        p.requestIdentification();
        wire::Identity id;
        id.type = quint8(type);
        id.check = quint8(check);
        const auto s = feedAll(p, wire::identification(id));
        QCOMPARE(s.result, Result::WrongInstrument);
        QVERIFY(!s.identified);
        QCOMPARE(p.progress(), 20);
        // Ended: nothing more is taken.
        const auto after = feedAll(p, wire::identification(wire::Identity{}));
        QVERIFY(!after.identified);
    }

    void endMarkInIdentificationDoesNotEnd()
    {
        DownloadProtocol p;
        p.requestIdentification();
        const auto s = feedAll(p, wire::identification(identityFor(1)) + "SP" + "P");
        QVERIFY(s.identified);
        QCOMPARE(s.result, Result::None);
        // Also when the marks come first, in the reply's own pieces.
        DownloadProtocol q;
        q.requestIdentification();
        const auto t = feedAll(q, "P" + wire::identification(identityFor(1)).mid(1), 5);
        QCOMPARE(t.result, Result::None);
        QVERIFY(t.identified);
    }

    void charactersBeforeArchiveRequestAreDropped()
    {
        DownloadProtocol p;
        p.requestIdentification();
        feedAll(p, wire::identification(identityFor(1)) + "S0011P");
        QVERIFY(p.receivedCount() > 0);
        p.requestArchive();
        QCOMPARE(p.receivedCount(), 0);
        const QByteArray img = wire::image(1);
        const auto s = feedAll(p, wire::archive(img));
        QCOMPARE(s.result, Result::Success);
        QCOMPARE(p.image().left(img.size()), img);
    }

    void fullArchiveInAnyPieces_data()
    {
        QTest::addColumn<int>("piece");
        QTest::addColumn<int>("garbage");
        QTest::newRow("1") << 1 << 0;
        QTest::newRow("7 with noise") << 7 << 13;
        QTest::newRow("290") << 290 << 0;
        QTest::newRow("4096 with noise") << 4096 << 500;
        QTest::newRow("whole") << 0 << 0;
    }
    void fullArchiveInAnyPieces()
    {
        QFETCH(int, piece);
        QFETCH(int, garbage);
        const int records = 2730;
        DownloadProtocol p;
        identify(p, identityFor(records));
        const QByteArray img = wire::image(records);
        QCOMPARE(img.size(), 65522);
        QByteArray noise;
        for (int i = 0; i < garbage; ++i)
            noise.append("ab\r\n09?;"[i % 8]);
        const auto s = feedAll(p, wire::archive(img, noise), piece);
        QCOMPARE(s.result, Result::Success);
        QCOMPARE(p.progress(), 100);
        QCOMPARE(p.imageLength(), img.size());
        QVERIFY(p.image().left(img.size()) == img);
    }

    void bytesPastTransferKeepEarlierContents()
    {
        DownloadProtocol p;
        identify(p, identityFor(2));
        const QByteArray big = wire::image(2);
        QCOMPARE(feedAll(p, wire::archive(big)).result, Result::Success);
        identify(p, identityFor(1));
        QByteArray small = wire::image(1);
        small[5] = char(0x77);
        QCOMPARE(feedAll(p, wire::archive(small)).result, Result::Success);
        QCOMPARE(p.image().left(small.size()), small);
        QCOMPARE(p.image().mid(small.size(), big.size() - small.size()), big.mid(small.size()));
        QCOMPARE(p.imageLength(), small.size());
    }

    void zFromInstrumentStartsOver_data()
    {
        QTest::addColumn<bool>("endMarkBeforeZ");
        QTest::newRow("plain") << false;
        QTest::newRow("end mark earlier in the piece") << true;
    }
    void zFromInstrumentStartsOver()
    {
        QFETCH(bool, endMarkBeforeZ);
        DownloadProtocol p;
        identify(p, identityFor(2));
        const QByteArray full = wire::archive(wire::image(2));
        QByteArray broken = full.left(full.size() / 2);
        feedAll(p, broken, 10);
        const QByteArray zPiece = endMarkBeforeZ ? QByteArray("P12Z3456") : QByteArray("12Z3456");
        const auto z = p.feed(zPiece.constData(), quint32(zPiece.size()));
        QCOMPARE(z.send, QByteArray("V"));
        QVERIFY(z.stopCheckTimer);
        QCOMPARE(z.result, Result::None);
        QCOMPARE(p.pendingCommand(), Command::Identify);
        QCOMPARE(p.receivedCount(), 0);

        // A few characters after the "Z" never end the download as an archive.
        const auto stray = feedAll(p, "1");
        QCOMPARE(stray.result, Result::None);

        // The instrument answers again; the whole archive follows.
        DownloadProtocol::Step id = feedAll(p, wire::identification(identityFor(2)).mid(1));
        // The stray character took position 0, so the reply is complete.
        QVERIFY(id.identified);
        p.requestArchive();
        const auto done = feedAll(p, full, 33);
        QCOMPARE(done.result, Result::Success);
        QCOMPARE(p.image().left(wire::image(2).size()), wire::image(2));
    }

    void cancelInAnyState_data()
    {
        QTest::addColumn<int>("stage");
        QTest::newRow("waiting") << 0;
        QTest::newRow("identified") << 1;
        QTest::newRow("receiving") << 2;
    }
    void cancelInAnyState()
    {
        QFETCH(int, stage);
        DownloadProtocol p;
        p.requestIdentification();
        if (stage >= 1)
            feedAll(p, wire::identification(identityFor(1)));
        if (stage >= 2) {
            p.requestArchive();
            feedAll(p, "S0000");
        }
        p.cancel();
        QCOMPARE(p.progress(), 0);
        QCOMPARE(p.receivedCount(), 0);
        // A fresh start after the cancel works from scratch.
        identify(p, identityFor(1));
        QCOMPARE(feedAll(p, wire::archive(wire::image(1))).result, Result::Success);
    }

    void badInputEndsWithError_data()
    {
        QTest::addColumn<QByteArray>("identification");
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QString>("textPart");

        const QByteArray goodId = wire::identification(identityFor(1));
        const QByteArray img = wire::image(1);
        const QByteArray goodArchive = wire::archive(img);

        QByteArray badPairId = goodId;
        badPairId[20] = 'x';
        QTest::newRow("bad char in identification") << badPairId << QByteArray() << QStringLiteral("символ");
        wire::Identity bigSerial = identityFor(1);
        bigSerial.serial = 256;
        QTest::newRow("serial 256") << wire::identification(bigSerial) << QByteArray() << QStringLiteral("256");
        wire::Identity manySeries = identityFor(1);
        manySeries.series = 17;
        QTest::newRow("17 series") << wire::identification(manySeries) << QByteArray() << QStringLiteral("17");

        QTest::newRow("no S") << goodId << QByteArray(goodArchive).remove(0, 1) << QStringLiteral("начала");
        QTest::newRow("P before S") << goodId << ("P" + goodArchive) << QStringLiteral("начала");
        QTest::newRow("no data") << goodId << QByteArray("SP") << QStringLiteral("данных");
        QTest::newRow("odd data") << goodId << QByteArray(goodArchive).remove(5, 1) << QStringLiteral("нечетное");
        QByteArray badData = goodArchive;
        badData[9] = 'x';
        QTest::newRow("bad char in archive") << goodId << badData << QStringLiteral("символ");

        const QByteArray tooBig = wire::archive(QByteArray(65536, '\x11'));
        QTest::newRow("65536 bytes") << goodId << tooBig << QStringLiteral("65535");
        QTest::newRow("65535 bytes fit") << goodId << wire::archive(QByteArray(65535, '\x11')) << QString();

        wire::Identity promise = identityFor(2);
        QTest::newRow("header promises more") << wire::identification(promise) << goodArchive << QStringLiteral("не полностью");
        wire::Identity promiseLater = identityFor(1);
        promiseLater.series = 3;
        promiseLater.counts[2] = 1;
        QTest::newRow("later series promised") << wire::identification(promiseLater) << goodArchive << QStringLiteral("не полностью");
        wire::Identity ignoredCount = identityFor(1);
        ignoredCount.counts[5] = 900;   // past seriesCount: not promised
        QTest::newRow("count past series count") << wire::identification(ignoredCount) << goodArchive << QString();

        QTest::newRow("overflow before end mark") << goodId << ("S" + QByteArray(385001, '0')) << QStringLiteral("буфер");
    }
    void badInputEndsWithError()
    {
        QFETCH(QByteArray, identification);
        QFETCH(QByteArray, archive);
        QFETCH(QString, textPart);
        const bool shouldFail = !textPart.isEmpty();

        DownloadProtocol p;
        p.requestIdentification();
        auto s = feedAll(p, identification);
        if (archive.isEmpty()) {
            QCOMPARE(s.result, Result::BadData);
            QVERIFY2(s.errorText.contains(textPart), qPrintable(s.errorText));
            QVERIFY(!s.identified);
            return;
        }
        QVERIFY(s.identified);
        p.requestArchive();
        s = feedAll(p, archive, 4096);
        QCOMPARE(s.result, shouldFail ? Result::BadData : Result::Success);
        if (shouldFail) {
            QVERIFY2(s.errorText.contains(textPart), qPrintable(s.errorText));
            QCOMPARE(p.result(), Result::BadData);
            QVERIFY(p.progress() < 100);
        }
        QCOMPARE(p.image().size(), DownloadProtocol::kMemoryImageSize);
    }

    void receiveBufferBoundary()
    {
        // Exactly 385,001 characters fit; the one after them is refused, never copied.
        DownloadProtocol p;
        identify(p, identityFor(0));
        const QByteArray fill = "S" + QByteArray(DownloadProtocol::kReceiveBufferSize - 1, '0');
        auto s = p.feed(fill.constData(), quint32(fill.size()));
        QCOMPARE(s.result, Result::None);
        QCOMPARE(p.receivedCount(), DownloadProtocol::kReceiveBufferSize);
        s = p.feed("P", 1);
        QCOMPARE(s.result, Result::BadData);
        QVERIFY(s.errorText.contains(QStringLiteral("буфер")));
    }
};

QTEST_GUILESS_MAIN(TestDownloadProtocol)
#include "tst_DownloadProtocol.moc"
