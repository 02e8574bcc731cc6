#pragma once

// Ctrl-C, SIGTERM and SIGHUP set a flag (and wake the event loop through a
// socket pair) instead of ending the program, so a command can finish what it is
// sending, say "DIS" and close the port. Installed once; harmless to call
// again.
void installInterruptHandler();
// How many interrupts arrived since the handler was installed.
int interruptCount();
// A signal that txctl does not act on within a second ends it at once ("DIS"
// to the open port, "interrupted", the signal's exit status), whatever it
// waits on. While an InterruptHold lives (a write sequence that must not be
// cut, the closing of the port) that waits.
class InterruptHold
{
public:
    InterruptHold();
    ~InterruptHold();
    InterruptHold(const InterruptHold &) = delete;
    InterruptHold &operator=(const InterruptHold &) = delete;
};
// The exit status after an interrupt, as the shell reports a program the
// signal ended: 130 for Ctrl-C (SIGINT), 143 for SIGTERM, 129 for SIGHUP.
int interruptExitStatus();
inline bool interruptRequested()
{
    return interruptCount() > 0;
}
// The descriptor of the open port, which gets the last "DIS" when txctl has
// to end at once; -1 when no port is open.
void setOpenPortForInterrupts(int fd);
