#pragma once

#include <QStringList>
#include <vector>

class MainWindow;
class QWidget;

// Every editor of the window that has a slot, with the field of the store it
// edits and shows (as the tests see it, written out independently of the
// program's own tables).
struct EditorField {
    enum Kind { Spin, DoubleSpin, Combo };
    const char *name; // objectName
    Kind kind;
    int *value;          // Spin and Combo
    double *doubleValue; // DoubleSpin
    // One of the six D/R editors that work through the channel and position
    // selection (comboBox_DR_CH1, comboBox_DR_POSI, spinBox_DR_UP1,
    // spinBox_DR_DOWN1, spinBox_DR_RATE, spinBox_DR_EXP).
    bool dualRate;
};

const std::vector<EditorField> &editorFields();

// The boxes without a slot: one fixed choice each.
const std::vector<const char *> &fixedChoiceBoxes();

QWidget *editorWidget(MainWindow &w, const char *name);

// Fills the store with values that every editor of the window can show (in
// its range, an item it has), that differ from the start values, and that
// differ between seeds 1 and 2; the D/R mirrors agree with the arrays of the
// selected channel and position. Also sets every live value.
void setDistinctValues(MainWindow &w, int seed);

// The editors whose shown value differs from the store, as "name shows X,
// store Y".
QStringList editorsOffStore(MainWindow &w);
