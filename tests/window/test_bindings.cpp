#include <QtTest>
#include <functional>
#include <memory>

#include "app/mainwindow.h"
#include "model/txsettings.h"
#include "support/editors.h"
#include "support/testutil.h"
#include "ui/mainwindowform.h"

// The editor slots: what each editor writes into the store, and nothing else.
class TestBindings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { window.reset(new MainWindow); }
    void cleanupTestCase() { window.reset(); }
    // Every case starts from the start store, shown in the widgets.
    void init();
    void everyEditorHasItsWidget();
    void plainEditorsChangeExactlyTheirField_data();
    void plainEditorsChangeExactlyTheirField();
    void dualRateEditors_data();
    void dualRateEditors();
    void unknownIndexStoresNothing_data();
    void unknownIndexStoresNothing();
    void fixedChoiceBoxesStoreNothing();
    void switchBoxStoresAChoiceOnly();
    void progMix2MasterStoresChannel();

private:
    std::unique_ptr<MainWindow> window;
};

namespace {

void tick(MainWindow &w)
{
    QVERIFY(QMetaObject::invokeMethod(&w, "ui_Display", Qt::DirectConnection));
}

// A value the widget does not show yet, in its range.
double otherValue(QWidget *widget, EditorField::Kind kind)
{
    switch (kind) {
    case EditorField::Spin: {
        auto *b = static_cast<QSpinBox *>(widget);
        return b->value() != b->maximum() ? b->maximum() : b->minimum();
    }
    case EditorField::DoubleSpin: {
        auto *b = static_cast<QDoubleSpinBox *>(widget);
        return b->value() != b->maximum() ? b->maximum() : b->minimum();
    }
    case EditorField::Combo: {
        auto *b = static_cast<QComboBox *>(widget);
        return (b->currentIndex() + 1) % b->count();
    }
    }
    return 0;
}

// Sets an editor as the user would (its signal fires if the value changes).
void setEditor(QWidget *widget, EditorField::Kind kind, double v)
{
    switch (kind) {
    case EditorField::Spin:
        static_cast<QSpinBox *>(widget)->setValue(int(v));
        break;
    case EditorField::DoubleSpin:
        static_cast<QDoubleSpinBox *>(widget)->setValue(v);
        break;
    case EditorField::Combo:
        static_cast<QComboBox *>(widget)->setCurrentIndex(int(v));
        break;
    }
}

// Names the fields in which two stores differ (for failure messages).
QString diff(const TxSettingsRecord &a, const TxSettingsRecord &b)
{
    QStringList out;
    const int *pa = reinterpret_cast<const int *>(&a);
    const int *pb = reinterpret_cast<const int *>(&b);
    for (size_t i = 0; i < sizeof a / sizeof(int); ++i)
        if (pa[i] != pb[i])
            out << QString("word %1: %2 -> %3").arg(i).arg(pa[i]).arg(pb[i]);
    return out.join(", ");
}

} // namespace

void TestBindings::init()
{
    resetStore();
    tick(*window);
    // The echo of showing the start store leaves it as it was.
    QVERIFY(TxSettings == startSettings());
    QVERIFY(TxLiveData == startLiveData());
}

void TestBindings::everyEditorHasItsWidget()
{
    MainWindow &w = *window;
    QCOMPARE(int(editorFields().size()), 119);
    for (const EditorField &e : editorFields()) {
        QWidget *widget = editorWidget(w, e.name);
        QVERIFY2(widget, e.name);
        const char *cls = e.kind == EditorField::Spin         ? "QSpinBox"
                          : e.kind == EditorField::DoubleSpin ? "QDoubleSpinBox"
                                                              : "QComboBox";
        QVERIFY2(widget->inherits(cls), e.name);
    }
}

void TestBindings::plainEditorsChangeExactlyTheirField_data()
{
    QTest::addColumn<int>("editor");
    for (int i = 0; i < int(editorFields().size()); ++i)
        if (!editorFields()[i].dualRate)
            QTest::newRow(editorFields()[i].name) << i;
}

void TestBindings::plainEditorsChangeExactlyTheirField()
{
    QFETCH(int, editor);
    const EditorField &e = editorFields()[editor];
    MainWindow &w = *window;

    QWidget *widget = editorWidget(w, e.name);
    if (e.kind == EditorField::Combo && static_cast<QComboBox *>(widget)->count() < 2)
        QSKIP("a single choice cannot be changed (see switchBoxStoresAChoiceOnly)");
    const TxSettingsRecord before = TxSettings;
    const TxLiveDataRecord liveBefore = TxLiveData;
    const double v = otherValue(widget, e.kind);
    setEditor(widget, e.kind, v);

    if (e.kind == EditorField::DoubleSpin) {
        QCOMPARE(*e.doubleValue, v);
        // Put the old value back by hand: then nothing else may differ.
        *e.doubleValue = e.doubleValue == &TxSettings.txAlarmVolt   ? before.txAlarmVolt
                         : e.doubleValue == &TxSettings.rxAlarmVolt ? before.rxAlarmVolt
                                                                    : before.extAlarmVolt;
    } else {
        QCOMPARE(*e.value, int(v));
        // Put the old value back by hand: then nothing else may differ.
        const char *field = reinterpret_cast<const char *>(e.value);
        const char *store = reinterpret_cast<const char *>(&TxSettings);
        if (field >= store && field < store + sizeof TxSettings)
            *e.value =
                *reinterpret_cast<const int *>(reinterpret_cast<const char *>(&before) + (field - store));
        else
            *e.value = liveBefore.txVersion;
    }
    QVERIFY2(TxSettings == before, qPrintable(diff(before, TxSettings)));
    QVERIFY(TxLiveData == liveBefore);
}

namespace {

// The D/R arrays get values that tell the channels and positions apart.
void setDrArrays(int ch, int posi)
{
    for (int c = 0; c < 4; ++c) {
        TxSettings.drUp[c] = 11 + c;
        TxSettings.drDown[c] = 21 + c;
        TxSettings.drExpUp[c] = -31 - c;
        TxSettings.drExpDown[c] = 41 + c;
    }
    TxSettings.drCh = ch;
    TxSettings.drPosi = posi;
    if (ch >= 0 && ch <= 3) {
        TxSettings.drUpEdit = TxSettings.drUp[ch];
        TxSettings.drDownEdit = TxSettings.drDown[ch];
        TxSettings.drRateEdit = posi == 0 ? TxSettings.drUp[ch] : TxSettings.drDown[ch];
        TxSettings.drExpEdit = posi == 0 ? TxSettings.drExpUp[ch] : TxSettings.drExpDown[ch];
    } else {
        TxSettings.drUpEdit = 55;
        TxSettings.drDownEdit = 56;
        TxSettings.drRateEdit = 57;
        TxSettings.drExpEdit = 58;
    }
}

using Expect = std::function<void(TxSettingsRecord &)>;

} // namespace

Q_DECLARE_METATYPE(Expect)
Q_DECLARE_METATYPE(std::function<int &()>)

void TestBindings::dualRateEditors_data()
{
    QTest::addColumn<int>("ch");
    QTest::addColumn<int>("posi");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<int>("value");
    QTest::addColumn<Expect>("expect");
    QTest::addColumn<Expect>("afterTick"); // further changes by the next tick's echo

    QTest::newRow("UP1, CH1 UP: rate mirror follows")
        << 0 << 0 << "spinBox_DR_UP1" << 77
        << Expect([](TxSettingsRecord &s) { s.drUpEdit = s.drUp[0] = s.drRateEdit = 77; }) << Expect();
    QTest::newRow("UP1, CH3 DOWN") << 2 << 1 << "spinBox_DR_UP1" << 77
                                   << Expect([](TxSettingsRecord &s) { s.drUpEdit = s.drUp[2] = 77; })
                                   << Expect();
    QTest::newRow("DOWN1, CH2 DOWN: rate mirror follows")
        << 1 << 1 << "spinBox_DR_DOWN1" << 66
        << Expect([](TxSettingsRecord &s) { s.drDownEdit = s.drDown[1] = s.drRateEdit = 66; }) << Expect();
    QTest::newRow("DOWN1, CH4 UP") << 3 << 0 << "spinBox_DR_DOWN1" << 66
                                   << Expect([](TxSettingsRecord &s) { s.drDownEdit = s.drDown[3] = 66; })
                                   << Expect();
    QTest::newRow("RATE, CH4 UP writes drUp")
        << 3 << 0 << "spinBox_DR_RATE" << 80
        << Expect([](TxSettingsRecord &s) { s.drRateEdit = s.drUp[3] = s.drUpEdit = 80; }) << Expect();
    QTest::newRow("RATE, CH1 DOWN writes drDown")
        << 0 << 1 << "spinBox_DR_RATE" << 80
        << Expect([](TxSettingsRecord &s) { s.drRateEdit = s.drDown[0] = s.drDownEdit = 80; }) << Expect();
    QTest::newRow("EXP, CH1 UP") << 0 << 0 << "spinBox_DR_EXP" << -30
                                 << Expect([](TxSettingsRecord &s) { s.drExpEdit = s.drExpUp[0] = -30; })
                                 << Expect();
    QTest::newRow("EXP, CH3 DOWN") << 2 << 1 << "spinBox_DR_EXP" << -30
                                   << Expect([](TxSettingsRecord &s) { s.drExpEdit = s.drExpDown[2] = -30; })
                                   << Expect();
    QTest::newRow("CH1 box selects CH3: mirrors follow")
        << 0 << 0 << "comboBox_DR_CH1" << 2 << Expect([](TxSettingsRecord &s) {
               s.drCh = 2;
               s.drUpEdit = 13;
               s.drDownEdit = 23;
               s.drRateEdit = 13;
               s.drExpEdit = -33;
           })
        << Expect();
    // ...until the next tick: comboBox_DR_CH1 then shows CH3 too, and its
    // echo re-derives the mirrors.
    QTest::newRow("CH2 box selects CH3: mirrors stay")
        << 0 << 0 << "comboBox_DR_CH2" << 2 << Expect([](TxSettingsRecord &s) { s.drCh = 2; })
        << Expect([](TxSettingsRecord &s) {
               s.drUpEdit = 13;
               s.drDownEdit = 23;
               s.drRateEdit = 13;
               s.drExpEdit = -33;
           });
    QTest::newRow("POSI DOWN on CH2: rate and exp from DOWN")
        << 1 << 0 << "comboBox_DR_POSI" << 1 << Expect([](TxSettingsRecord &s) {
               s.drPosi = 1;
               s.drRateEdit = 22;
               s.drExpEdit = 42;
           })
        << Expect();
    QTest::newRow("POSI UP on CH4") << 3 << 1 << "comboBox_DR_POSI" << 0 << Expect([](TxSettingsRecord &s) {
        s.drPosi = 0;
        s.drRateEdit = 14;
        s.drExpEdit = -34;
    }) << Expect();
    // drCh 4 selects no channel: only the mirror itself changes.
    QTest::newRow("UP1, drCh 4") << 4 << 0 << "spinBox_DR_UP1" << 90
                                 << Expect([](TxSettingsRecord &s) { s.drUpEdit = 90; }) << Expect();
    QTest::newRow("DOWN1, drCh 4") << 4 << 1 << "spinBox_DR_DOWN1" << 90
                                   << Expect([](TxSettingsRecord &s) { s.drDownEdit = 90; }) << Expect();
    QTest::newRow("RATE, drCh 4") << 4 << 0 << "spinBox_DR_RATE" << 90
                                  << Expect([](TxSettingsRecord &s) { s.drRateEdit = 90; }) << Expect();
    QTest::newRow("EXP, drCh 4") << 4 << 1 << "spinBox_DR_EXP" << 90
                                 << Expect([](TxSettingsRecord &s) { s.drExpEdit = 90; }) << Expect();
    QTest::newRow("POSI, drCh 4") << 4 << 0 << "comboBox_DR_POSI" << 1
                                  << Expect([](TxSettingsRecord &s) { s.drPosi = 1; }) << Expect();
    QTest::newRow("CH1 box leaves drCh 4 for CH2")
        << 4 << 1 << "comboBox_DR_CH1" << 1 << Expect([](TxSettingsRecord &s) {
               s.drCh = 1;
               s.drUpEdit = 12;
               s.drDownEdit = 22;
               s.drRateEdit = 22;
               s.drExpEdit = 42;
           })
        << Expect();
}

void TestBindings::dualRateEditors()
{
    QFETCH(int, ch);
    QFETCH(int, posi);
    QFETCH(QString, editor);
    QFETCH(int, value);
    QFETCH(Expect, expect);
    QFETCH(Expect, afterTick);
    MainWindow &w = *window;
    setDrArrays(ch, posi);
    tick(w); // widgets show the mirrors; with drCh 4 the channel boxes show no item
    TxSettingsRecord want = TxSettings;
    QVERIFY2(TxSettings == want, "the echo changed the store");
    expect(want);

    QWidget *widget = w.findChild<QWidget *>(editor);
    QVERIFY(widget);
    if (auto *spin = qobject_cast<QSpinBox *>(widget))
        spin->setValue(value);
    else
        static_cast<QComboBox *>(widget)->setCurrentIndex(value);
    QVERIFY2(TxSettings == want, qPrintable(diff(want, TxSettings)));

    // The next tick shows the result; its echo changes nothing more.
    if (afterTick)
        afterTick(want);
    tick(w);
    QVERIFY2(TxSettings == want, qPrintable(diff(want, TxSettings)));
}

void TestBindings::unknownIndexStoresNothing_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("value");
    using F = std::function<int &()>;
    QTest::addColumn<F>("field");
    auto row = [](const char *box, int value, F field) {
        QTest::newRow(QByteArray(box) + " " + QByteArray::number(value)) << QString(box) << value << field;
    };
    row("comboBox_AttiM", 5, [] { return std::ref(TxSettings.attiM); });
    row("comboBox_DR_CH1", 4, [] { return std::ref(TxSettings.drCh); });
    row("comboBox_DR_CH2", 4, [] { return std::ref(TxSettings.drCh); });
    for (int i = 0; i < 4; ++i)
        row(qPrintable(QString("comboBox_AUX%1").arg(5 + i)), 5,
            [i]() -> int & { return TxSettings.aux[i]; });
    for (int v : {1, 2}) {
        row("comboBox_DR_SW1", v, [] { return std::ref(TxSettings.drSw); });
        row("comboBox_DR_SW2", v, [] { return std::ref(TxSettings.drSw); });
    }
    for (int v : {2, 3, 4})
        row("comboBox_DR_POSI", v, [] { return std::ref(TxSettings.drPosi); });
    for (int v : {2, 3, 4, 5})
        row("comboBox_THCURE_MIX", v, [] { return std::ref(TxSettings.thcureMix); });
    for (int m = 0; m < 4; ++m)
        for (int v : {8, 9, 10}) {
            row(qPrintable(QString("comboBox_PRM0%1_Master").arg(m + 1)), v,
                [m]() -> int & { return TxSettings.prm[m].master; });
            row(qPrintable(QString("comboBox_PRM0%1_Slave").arg(m + 1)), v,
                [m]() -> int & { return TxSettings.prm[m].slave; });
        }
}

void TestBindings::unknownIndexStoresNothing()
{
    // Values that pass the range checks but that the box has no item for: the
    // box shows no item, and the transmitter's value stays in the store.
    QFETCH(QString, box);
    QFETCH(int, value);
    using F = std::function<int &()>;
    QFETCH(F, field);
    MainWindow &w = *window;
    if (&field() == &TxSettings.drPosi)
        setDrArrays(1, value); // mirrors of a DOWN position other than 1
    field() = value;
    const TxSettingsRecord before = TxSettings;
    tick(w);
    auto *combo = w.findChild<QComboBox *>(box);
    QVERIFY(combo);
    QCOMPARE(combo->currentIndex(), -1);
    QVERIFY2(TxSettings == before, qPrintable(diff(before, TxSettings)));
    tick(w);
    QVERIFY(TxSettings == before);

    // Once the store holds a value the box has, the box shows it again.
    field() = 0;
    if (&field() == &TxSettings.drPosi)
        setDrArrays(1, 0);
    const TxSettingsRecord valid = TxSettings;
    tick(w);
    QCOMPARE(combo->currentIndex(), 0);
    QVERIFY2(TxSettings == valid, qPrintable(diff(valid, TxSettings)));
}

void TestBindings::fixedChoiceBoxesStoreNothing()
{
    MainWindow &w = *window;
    for (const char *name : fixedChoiceBoxes()) {
        auto *box = w.findChild<QComboBox *>(name);
        QVERIFY2(box, name);
        QCOMPARE(box->count(), 1);
        const TxSettingsRecord before = TxSettings;
        const TxLiveDataRecord liveBefore = TxLiveData;
        box->setCurrentIndex(-1);
        box->setCurrentIndex(0);
        QVERIFY2(TxSettings == before, name);
        QVERIFY2(TxLiveData == liveBefore, name);
    }
}

void TestBindings::switchBoxStoresAChoiceOnly()
{
    // comboBox_DR_SW2 has one item: losing it stores nothing, choosing it
    // stores 0.
    MainWindow &w = *window;
    auto *box = w.form()->comboBox_DR_SW2;
    QCOMPARE(box->count(), 1);
    TxSettings.drSw = 2;
    box->setCurrentIndex(-1);
    QCOMPARE(TxSettings.drSw, 2);
    box->setCurrentIndex(0);
    QCOMPARE(TxSettings.drSw, 0);
}

void TestBindings::progMix2MasterStoresChannel()
{
    MainWindow &w = *window;
    auto *box = w.form()->comboBox_PRM02_Master;
    box->setCurrentIndex(box->findText("CH4"));
    QCOMPARE(TxSettings.prm[1].master, 3);
}

QTEST_MAIN(TestBindings)
#include "test_bindings.moc"
