#pragma once

#include <QString>

// What txctl says about a port that another program holds or that will not
// open: the cause and the fix as txctl doctor finds them (link/portdoctor.h),
// in one line, pointing to txctl doctor for the rest.

// The reason for a port that exists and that we may open but whose open
// failed as busy: "port busy (minicom (pid 1234, user bob) has it open; fix:
// close that program ...; txctl doctor PATH says more)".
QString portBusyReason(const QString &devicePath);

// "permission denied (...)" with the cause and the fix.
QString portAccessReason(const QString &devicePath);

// Warns on standard error when another program has the open port open as
// well: it may take the transmitter's bytes.
void warnIfPortShared(const QString &devicePath);

// What to add when the transmitter was not heard: the program that has the
// port open as well, if any, and txctl doctor. "; minicom (pid 1234, user
// bob) has it open as well and may take its bytes; txctl doctor PATH says more".
QString notHeardHint(const QString &devicePath);
