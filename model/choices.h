#pragma once

#include <QStringList>

// The names of enumerated values as the window's combo boxes show them, in
// the order of the values (index 0 first). The window's pages and the
// settings catalogue both take them from here. Each is built on first use, so
// tables made during static initialisation may copy them safely.
const QStringList &norRevNames();     // NOR, REV
const QStringList &offOnNames();      // OFF, ON
const QStringList &auxSourceNames();  // SwA, SwB, VrA, VrB, NULL
const QStringList &ch1to4Names();     // CH1..CH4
const QStringList &ch1to8Names();     // CH1..CH8
const QStringList &swaNames();        // SWA
const QStringList &upDownNames();     // UP, DOWN
const QStringList &attiSourceNames(); // CH5..CH8, OFF
const QStringList &mixStateNames();   // INH, OFF, ON
