#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "cli/args.h"
#include "cli/port/port_link.h"
#include "cli/source/history.h"
#include "model/txsettings.h"

// The settings to and from the transmitter as the commands move them: with
// progress on standard error, the window's pauses between its buttons, the
// history kept before anything is overwritten, and Ctrl-C honoured between
// steps.

// Closes the link after an interrupt, says "txctl: interrupted; WHAT" and
// returns the signal's exit status.
int interrupted(PortLink &link, const QString &what = QString());

// Reads the settings over an open link with progress on standard error,
// after the window's button lock ("RR" never follows "OK" or a WRITE sooner
// in the window).
bool readWithProgress(PortLink &link, int timeout, bool quiet, QString *error);

// Reads the settings from the transmitter on `port` the way `txctl read`
// does (a whole set, validated as the window validates them), waiting at most
// timeoutMs for it. On failure returns false with a one-line reason in
// *error, "interrupted" after a signal.
bool readFromPort(const QString &port, bool quiet, TxSettingsRecord &settings, TxLiveDataRecord &live,
                  QString *error, int timeoutMs = kDefaultTimeoutS * 1000);

// What write and reset keep in the history: the settings they replace
// (unless told not to) and what they sent.
struct Backup {
    bool wanted = true;
    HistoryEvent event = HistoryEvent::BeforeWrite;
    HistoryEvent after = HistoryEvent::Written;
    int timeoutMs = kDefaultTimeoutS * 1000;
    const char *command = "write";
    // Makes the settings to send from those the transmitter holds, once they
    // are read and kept (write --only and --keep; needs `wanted`). A refusal
    // returns false with the reason in *error, and nothing is sent.
    std::function<bool(const TxSettingsRecord &held, TxSettingsRecord &s, QString *error)> fromHeld;
};

// The --no-backup option of write and reset.
QCommandLineOption noBackupOption();

// What openAndWrite came to.
enum class WriteOutcome {
    Written,     // every step went out and is in the history; the link is still open
    Failed,      // refused or failed, the reason told: exit with kExitError
    Interrupted, // a signal ended it, told: exit with interruptExitStatus()
};

// The exit status that ends a command after `outcome` (kExitOk after Written).
int exitStatusOf(WriteOutcome outcome);

// Opens `port` and sends the write sequence for `s` after the window's button
// lock, as its WRITE and RESET do, once the transmitter has been heard: it
// streams live frames whenever its port is open, so silence means nobody is
// there (switched off, the wrong port) and nothing is sent. Unless told not
// to, it first reads the settings the transmitter holds into the history;
// when that fails, nothing is sent. A signal before the first line cancels
// (nothing sent, the backup kept); after it, the write is finished first. A
// write that went out whole is kept in the history as `backup.after`,
// interrupted or not.
WriteOutcome openAndWrite(PortLink &link, const QString &port, TxSettingsRecord &s, bool quiet,
                          const Backup &backup);

// Adds an entry to the history; a failure is told but changes no outcome.
void keepInHistory(HistoryEvent event, const QString &port, const TxSettingsRecord &s);

// One line per setting of `s` that a settings line cannot carry as it is:
// "PATH: HOLDER holds 25.0 V, a settings file can hold at most 23.9 V" and
// `then` with what the line gets ("saved 23.9 V").
QStringList lineCarryProblems(const TxSettingsRecord &s, const QString &holder, const QString &then);
