#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <iterator>
#include <vector>

#include "support/waiting.h"

class MainWindow;
class PtyPair;

// Puts the store and the live values back to their start values.
void resetStore();

// Closes every modal message box that appears while it lives and records its
// title and text, so tests can check what the user was told.
class MessageBoxCatcher : public QObject
{
    Q_OBJECT
public:
    MessageBoxCatcher();
    ~MessageBoxCatcher() override;
    QList<QPair<QString, QString>> boxes; // (title, text) in the order shown
    int count() const { return boxes.size(); }
    QString lastText() const { return boxes.isEmpty() ? QString() : boxes.last().second; }
    // Exactly one box was shown: READ's note that no whole set came and
    // nothing was changed.
    bool onlyNotWholeNote() const
    {
        return count() == 1 && boxes[0].first == "Note" &&
               lastText().startsWith("The settings did not arrive whole (frames") &&
               lastText().endsWith(". Nothing was changed.");
    }

private:
    void poll();
    QTimer timer;
};

// The transmitter's side of a pseudo-terminal, driven by the test event by
// event: records what the tool sends, answers each "RR" with planned writes,
// and pulls the plug when told to. The window's own pauses and nested loops
// serve it exactly as they serve a transmitter.
class FarEnd : public QObject
{
public:
    explicit FarEnd(PtyPair &p);

    QByteArray received;
    // Chunks written one per write after the next "RR" (each waits for the
    // tool's "WWW" answer to the one before, or 50 ms).
    std::deque<QByteArray> onRead;
    // When set, the chunks written after every "RR" instead, by its number
    // (the first is 1).
    std::function<std::vector<QByteArray>(int ask)> answer;
    // Called right before chunk `index` (counted from 0 over every chunk
    // written) goes out.
    std::function<void(int index)> beforeWrite;
    // Pulls the plug as soon as this holds for what was received.
    std::function<bool(const QByteArray &)> cutWhen;
    // Pulls the plug after this many chunks (-1: never).
    int cutAfterChunks = -1;
    bool cut = false;
    int written = 0;
    int asks = 0; // the "RR"s received

    int answers() const { return received.count('W') / 3; }
    bool idle() const { return cut || (queue.empty() && answers() >= written); }

    // Writes now, one chunk per write, paced like the planned answers.
    void send(const std::vector<QByteArray> &chunks);
    void pullPlug();

private:
    void readable();
    void writeNext();

    PtyPair &pty;
    QTimer poll;
    QTimer pace;
    std::deque<QByteArray> queue;
    QElapsedTimer sinceWrite;
    int scanFrom = 0;
};

// Collects what the tool writes to the master side of pty while the event
// loop runs, for ms milliseconds or until `done` returns true.
QByteArray readWhile(PtyPair &pty, int ms, const std::function<bool(const QByteArray &)> &done = nullptr);

// The port list the window sees: exactly these names (instead of the system's).
void setTestPorts(const QStringList &ports);

// Clicks the open/close button of the window (whatever it reads).
void clickOpen(MainWindow &w);

// Answers the next file dialog that opens with `path`, typed into its name
// field as a user would (selectFile() is ignored while that field has the
// focus), then accepted from the dialog's own loop.
void answerNextFileDialog(const QString &path);

// Every message the Qt log receives while it lives.
class LogCatcher
{
public:
    LogCatcher();
    ~LogCatcher();
    QStringList messages() const;
    bool contains(const QString &part) const;
};
