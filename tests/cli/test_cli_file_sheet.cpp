#include <QtTest>

#include <QPdfWriter>

#include "cli/draw/sheet.h"
#include "file/settingsjson.h"
#include "model/catalogue.h"
#include "model/curvegeometry.h"
#include "support/stores.h"

// The printable sheet as laid out: every setting's caption and value, the
// curves with the window's geometry, and everything inside the printable area
// of A4 and Letter on at most two pages.
class TestCliFileSheet : public QObject
{
    Q_OBJECT
private slots:
    void everySettingOnce_data();
    void everySettingOnce();
    void curvesUseTheWindowsGeometry();
    void heading();
    void everyTextFits();
    void pdfPages_data();
    void pdfPages();
};

namespace {

SheetHeading fileHeading()
{
    return {"model.txt", false, -1, QDateTime(QDate(2026, 5, 1), QTime(9, 30), Qt::UTC), "txctl 9.9"};
}

TxSettingsRecord model(int seed)
{
    if (seed == 0) {
        TxSettingsRecord s = startSettings();
        restData(s);
        restData2(s);
        return s;
    }
    QRandomGenerator g(seed);
    return catalogueValuesOnly(randomInRangeSettings(g));
}

std::vector<SheetText> allTexts(const SheetDocument &doc)
{
    std::vector<SheetText> texts;
    for (const SheetPage &p : doc.pages)
        texts.insert(texts.end(), p.texts.begin(), p.texts.end());
    return texts;
}

} // namespace

void TestCliFileSheet::everySettingOnce_data()
{
    QTest::addColumn<int>("seed");
    QTest::newRow("factory") << 0;
    for (int seed : {1, 2, 3, 4, 5})
        QTest::newRow(qPrintable(QString("random %1").arg(seed))) << seed;
}

void TestCliFileSheet::everySettingOnce()
{
    QFETCH(int, seed);
    const TxSettingsRecord s = model(seed);
    const SheetDocument doc = layoutSheet(s, fileHeading());
    QVERIFY(doc.pages.size() >= 1 && doc.pages.size() <= 2);
    const std::vector<SheetText> texts = allTexts(doc);
    QStringList shown;
    for (const SheetText &t : texts)
        shown << t.text;
    for (const SettingInfo &info : settingsCatalogue()) {
        int values = 0;
        for (const SheetText &t : texts)
            if (t.key == info.key) {
                ++values;
                QCOMPARE(t.text, settingValueText(info, s));
                QCOMPARE(t.style, SheetText::Value);
            }
        QVERIFY2(values == 1, qPrintable(info.path()));
        QVERIFY2(shown.contains(info.page) && shown.contains(info.group), qPrintable(info.path()));
        // BASIC names a setting by its row ("CH3:") and column ("L").
        const bool captioned =
            shown.contains(info.caption) ||
            (info.page == "BASIC" && shown.contains(info.caption.section(' ', 0, 0)) &&
             (!info.caption.contains(' ') || shown.contains(info.caption.section(' ', 1))));
        QVERIFY2(captioned, qPrintable(info.path()));
    }
    // Everything inside the area that prints on both papers.
    for (const SheetPage &p : doc.pages) {
        const QRectF area(0, 0, kSheetWidth, kSheetHeight);
        for (const SheetText &t : p.texts)
            QVERIFY2(area.contains(t.rect), qPrintable(t.text));
        for (const SheetCurve &c : p.curves)
            QVERIFY(area.contains(c.rect));
        for (const QRectF &r : p.boxes)
            QVERIFY(area.contains(r));
    }
}

void TestCliFileSheet::curvesUseTheWindowsGeometry()
{
    const TxSettingsRecord s = model(17);
    const SheetDocument doc = layoutSheet(s, fileHeading());
    std::vector<SheetCurve> curves;
    for (const SheetPage &p : doc.pages)
        curves.insert(curves.end(), p.curves.begin(), p.curves.end());
    QCOMPARE(int(curves.size()), 9);
    QCOMPARE(curves[0].kind, SheetCurve::Throttle);
    QCOMPARE(curves[0].size, 300);
    QCOMPARE(curves[0].throttle, throttlePoints(s.thcure, 300, 300));
    // Then CH1 UP, CH1 DOWN, CH2 UP, ...
    for (int ch = 0; ch < 4; ++ch) {
        for (int down = 0; down < 2; ++down) {
            const SheetCurve &c = curves[size_t(1 + 2 * ch + down)];
            QCOMPARE(c.kind, SheetCurve::DualRate);
            QCOMPARE(c.size, 280);
            const DrCurve want = down ? drCurve(s.drDown[ch], s.drExpDown[ch], 280, 280)
                                      : drCurve(s.drUp[ch], s.drExpUp[ch], 280, 280);
            const DrCurve &got = c.dualRate;
            QCOMPARE(got.lowerStart, want.lowerStart);
            QCOMPARE(got.lowerC1, want.lowerC1);
            QCOMPARE(got.lowerC2, want.lowerC2);
            QCOMPARE(got.centre, want.centre);
            QCOMPARE(got.upperStart, want.upperStart);
            QCOMPARE(got.upperC1, want.upperC1);
            QCOMPARE(got.upperC2, want.upperC2);
            QVERIFY2(c.title.startsWith(QString("CH%1 %2:").arg(ch + 1).arg(down ? "DOWN" : "UP")),
                     qPrintable(c.title));
        }
    }
}

void TestCliFileSheet::heading()
{
    QStringList fromFile;
    for (const SheetText &t : allTexts(layoutSheet(model(0), fileHeading())))
        fromFile << t.text;
    QVERIFY(fromFile.contains("File: model.txt"));
    QVERIFY(fromFile.contains("Printed 2026-05-01 09:30 UTC by txctl 9.9"));
    QVERIFY(!fromFile.join('\n').contains("TX Version"));

    SheetHeading port = fileHeading();
    port.source = "/dev/ttyUSB0";
    port.fromPort = true;
    port.txVersion = 46;
    QStringList fromPort;
    for (const SheetText &t : allTexts(layoutSheet(model(0), port)))
        fromPort << t.text;
    QVERIFY(fromPort.contains("Port: /dev/ttyUSB0    TX Version: 46"));
    QVERIFY(fromPort.contains("TX Version:") && fromPort.contains("46"));
}

void TestCliFileSheet::everyTextFits()
{
    // Every setting at its widest text, and a file name of 200 characters.
    TxSettingsRecord s = model(0);
    for (const SettingInfo &info : settingsCatalogue()) {
        int widest = info.lower;
        for (int v = info.lower; v <= info.upper; ++v)
            if (settingValueText(info, v).size() > settingValueText(info, widest).size())
                widest = v;
        setSettingValue(info, s, widest);
    }
    SheetHeading h = fileHeading();
    h.source = "glider-" + QString("long-name-").repeated(19) + "end.txt";
    const SheetDocument doc = layoutSheet(s, h);
    QBuffer nowhere;
    QPdfWriter pdf(&nowhere);
    pdf.setResolution(72);
    for (const SheetPage &p : doc.pages) {
        // Where each text's ink goes, by its width and alignment.
        std::vector<QRectF> inked;
        for (const SheetText &t : p.texts) {
            QFont f = sheetFont(t.style);
            f.setPointSizeF(f.pointSizeF() * t.scale);
            const double w = QFontMetricsF(f, &pdf).horizontalAdvance(t.text);
            QVERIFY2(w <= t.rect.width() + 0.01 && t.scale >= 0.8, qPrintable(t.text));
            const double x = t.align & Qt::AlignRight     ? t.rect.right() - w
                             : t.align & Qt::AlignHCenter ? t.rect.center().x() - w / 2
                                                          : t.rect.left();
            inked.push_back(QRectF(x, t.rect.top(), w, t.rect.height()).adjusted(0, 0.5, 0, -0.5));
        }
        for (size_t i = 0; i < inked.size(); ++i)
            for (size_t j = i + 1; j < inked.size(); ++j)
                QVERIFY2(!inked[i].intersects(inked[j]),
                         qPrintable(p.texts[i].text + " | " + p.texts[j].text));
        QVERIFY(p.texts.back().text.startsWith("Page ") && p.texts[p.texts.size() - 2].text.contains("…"));
    }
}

void TestCliFileSheet::pdfPages_data()
{
    QTest::addColumn<QString>("paper");
    QTest::addColumn<QByteArray>("mediaBox");
    QTest::newRow("A4") << "A4" << QByteArray("/MediaBox [0 0 595.000000 842.000000]");
    QTest::newRow("Letter") << "Letter" << QByteArray("/MediaBox [0 0 612.000000 792.000000]");
}

void TestCliFileSheet::pdfPages()
{
    QFETCH(QString, paper);
    QFETCH(QByteArray, mediaBox);
    const SheetDocument doc = layoutSheet(model(3), fileHeading());
    const QByteArray pdf = renderSheetPdf(doc, paper, "test");
    QVERIFY(pdf.startsWith("%PDF-"));
    QCOMPARE(pdf.count("/Type /Page\n"), int(doc.pages.size()));
    QCOMPARE(pdf.count(mediaBox), int(doc.pages.size()));
}

QTEST_MAIN(TestCliFileSheet)
#include "test_cli_file_sheet.moc"
