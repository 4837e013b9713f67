// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window's reports: the Configure entries, the personal data they need,
// and what a logger on this computer hears from the window.

#include "report/pskreporter.h"
#include "report/wsjtxmessage.h"
#include "tests/app/windowfolder.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

using namespace WindowTest;

class TestReportWindow : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    QUdpSocket m_logger;

    QList<quint32> typesHeard()
    {
        QList<quint32> types;
        while (m_logger.hasPendingDatagrams()) {
            const Wsjtx::Reader m(m_logger.receiveDatagram().data());
            if (m.ok() && m.type() != Wsjtx::Heartbeat && m.type() != Wsjtx::Status)
                types.append(m.type());
        }
        return types;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(!prepareWindowFolder(*m_dir).isEmpty());
        m_logger.close();
        QVERIFY(m_logger.bind(QHostAddress::LocalHost, 0));
        store({{"Report/LoggerPort", m_logger.localPort()}});
    }

    void pskReporterNeedsCallAndLocator()
    {
        auto w = std::make_unique<MainWindow>();
        auto* psk = w->findChild<QAction*>(QStringLiteral("reportToPskReporter"));
        QVERIFY(psk);
        QVERIFY(!psk->isChecked());  // off until turned on
        QVERIFY(!w->reportLabel()->isVisibleTo(w.get()));
        // Without a locator it stays off and says why.
        withDialog([psk] { psk->setChecked(true); }, [](QDialog* box) { box->close(); });
        QVERIFY(!psk->isChecked());

        // The personal data dialog takes a valid locator only.
        withDialog([&w] { w->slotPersonalData(); }, [](QDialog* d) {
            d->findChild<QLineEdit*>(QStringLiteral("lineEditCall"))->setText(QStringLiteral("dl1abc"));
            auto* locator = d->findChild<QLineEdit*>(QStringLiteral("lineEditLocator"));
            locator->setText(QStringLiteral("JZ62"));
            d->accept();
            QVERIFY(d->isVisible());  // refused
            locator->setText(QStringLiteral("jo62QM"));
            d->findChild<QLineEdit*>(QStringLiteral("lineEditAntenna"))->setText(QStringLiteral("dipole"));
            d->accept();
        });
        QCOMPARE(w->personalData().locator, QStringLiteral("JO62qm"));
        psk->setChecked(true);
        QVERIFY(psk->isChecked());
        QVERIFY(w->reportLabel()->isVisibleTo(w.get()));
        QCOMPARE(w->pskReporter()->receiver().antenna, QStringLiteral("dipole"));

        // Calls copied by any channel are queued once; the own call never.
        w->reportText(-1, 1000.0, u"cq cq de W1AW W1AW pse k\n");
        w->reportText(7, 1500.0, u"CQ de W1AW W1AW k\ncq de DL1ABC DL1ABC k\n");
        QCOMPARE(w->pskReporter()->queuedSpots(), 1);
        w->close();
        QCOMPARE(Settings().value(QStringLiteral("Report/PskReporter")).toBool(), true);
        QCOMPARE(Settings().value(QStringLiteral("Personal data/locator")).toString(), QStringLiteral("JO62qm"));
    }

    void loggerHearsSavedQsoAndClose()
    {
        auto w = std::make_unique<MainWindow>();
        QTRY_VERIFY_WITH_TIMEOUT(m_logger.hasPendingDatagrams(), 10000);  // the first heartbeat
        field(*w, "editCall")->setText(QStringLiteral("w1aw"));
        w->saveQSO();
        QList<quint32> heard;
        QTRY_VERIFY_WITH_TIMEOUT((heard += typesHeard()).size() >= 2, 10000);
        QCOMPARE(heard, (QList<quint32>{Wsjtx::QsoLogged, Wsjtx::LoggedAdif}));
        w->close();
        heard.clear();
        QTRY_VERIFY_WITH_TIMEOUT((heard += typesHeard()).size() >= 1, 10000);
        QCOMPARE(heard, QList<quint32>{Wsjtx::Close});

        // Turned off, the logger hears Close and then nothing.
        auto again = std::make_unique<MainWindow>();
        auto* logger = again->findChild<QAction*>(QStringLiteral("sendToLogger"));
        QVERIFY(logger->isChecked());
        logger->setChecked(false);
        heard.clear();
        QTRY_VERIFY_WITH_TIMEOUT((heard += typesHeard()).size() >= 1, 10000);
        QCOMPARE(heard, QList<quint32>{Wsjtx::Close});
        field(*again, "editCall")->setText(QStringLiteral("k1abc"));
        again->saveQSO();
        again->close();
        again.reset();
        QCoreApplication::processEvents();
        QCOMPARE(typesHeard(), QList<quint32>());
    }
};

QTEST_MAIN(TestReportWindow)
#include "tst_reportwindow.moc"
