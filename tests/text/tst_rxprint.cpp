// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Printing the receive pane. The test answers the dialogs and prints to PDF:
// the selection is offered only when there is one, an accepted dialog prints
// the whole text or just the selection, the preview renders the pane, and
// page setup changes the printer that later prints use.

#include "app/settings.h"
#include "text/rxview.h"

#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

class ScriptedRxView : public CRxView
{
public:
    std::function<int(QDialog&)> answer = [](QDialog&) { return int(QDialog::Accepted); };

protected:
    int runDialog(QDialog& dialog) override { return answer(dialog); }
};

} // namespace

class TestRxPrint : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_pdf;

    static void receiveLines(CRxView& pane, int count)
    {
        for (int i = 0; i < count; ++i) {
            for (QChar ch : QStringLiteral("%1 the quick brown fox\n").arg(i))
                pane.slotCharReceived(ch);
        }
    }
    void printToPdf(CRxView& pane) const
    {
        pane.printer().setOutputFormat(QPrinter::PdfFormat);
        pane.printer().setOutputFileName(m_pdf);
    }
    QString pdf() const
    {
        QFile file(m_pdf);
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    }
    int pdfPages() const
    {
        return int(pdf().count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))));
    }

private slots:
    void init()
    {
        Settings::setPath(m_dir.filePath(QStringLiteral("velkora.ini")));
        m_pdf = m_dir.filePath(QStringLiteral("rx.pdf"));
        QFile::remove(m_pdf);
    }

    void printsTheWholeTextOrTheSelection()
    {
        ScriptedRxView pane;
        receiveLines(pane, 200);
        printToPdf(pane);
        bool offered = true;
        QString title;
        pane.answer = [&](QDialog& dialog) {
            auto* print = qobject_cast<QPrintDialog*>(&dialog);
            offered = print && print->testOption(QAbstractPrintDialog::PrintSelection);
            title = dialog.windowTitle();
            return int(QDialog::Rejected);
        };
        pane.slotPrint();
        QCOMPARE(title, QStringLiteral("Print Document"));
        QVERIFY(!offered);
        QVERIFY2(!QFile::exists(m_pdf), "a cancelled dialog printed");

        pane.answer = [](QDialog&) { return int(QDialog::Accepted); };
        pane.slotPrint();
        QVERIFY(pdfPages() > 1);

        QTextCursor selection(pane.document());
        selection.setPosition(10, QTextCursor::KeepAnchor);
        pane.setTextCursor(selection);
        pane.answer = [&](QDialog& dialog) {
            offered = static_cast<QPrintDialog&>(dialog).testOption(QAbstractPrintDialog::PrintSelection);
            pane.printer().setPrintRange(QPrinter::Selection); // the user takes the offer
            return int(QDialog::Accepted);
        };
        pane.slotPrint();
        QVERIFY(offered);
        QCOMPARE(pdfPages(), 1);
    }

    void previewRendersThePane()
    {
        ScriptedRxView pane;
        receiveLines(pane, 200);
        int pages = 0;
        pane.answer = [&](QDialog& dialog) {
            if (auto* preview = dialog.findChild<QPrintPreviewWidget*>()) {
                preview->updatePreview();
                pages = preview->pageCount();
            }
            return int(QDialog::Accepted);
        };
        pane.slotPrintPreview();
        QVERIFY(pages > 1);
    }

    void pageSetupStaysForLaterPrints()
    {
        ScriptedRxView pane;
        receiveLines(pane, 5);
        pane.answer = [&](QDialog& dialog) {
            auto* setup = qobject_cast<QPageSetupDialog*>(&dialog);
            if (!setup || setup->printer() != &pane.printer())
                return int(QDialog::Rejected);
            setup->printer()->setPageOrientation(QPageLayout::Landscape); // the user's choice
            return int(QDialog::Accepted);
        };
        pane.slotPrintSetup();
        printToPdf(pane);
        pane.answer = [](QDialog&) { return int(QDialog::Accepted); };
        pane.slotPrint();
        const QRegularExpressionMatch box =
            QRegularExpression(QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([\\d.]+)\\s+([\\d.]+)"))
                .match(pdf());
        QVERIFY(box.hasMatch());
        QVERIFY(box.captured(1).toDouble() > box.captured(2).toDouble());
    }
};

QTEST_MAIN(TestRxPrint)
#include "tst_rxprint.moc"
