// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QTimer>
#include <functional>

class QWidget;

namespace settree {

// The one place where the main window takes a request to close (its close box, "Exit", the
// window system). A request made while work runs (a long load or Refresh, between the busy
// cursor's begin and end) or while a message box of the window is open is kept, not lost, and
// carried out once the work and the message boxes are done. The window system's request that
// arrives while a message box blocks the window never reaches the window's close event (the
// widget library drops it); it is taken here from the window system's own events.
class WindowCloser : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // The window must outlive the closer.
    explicit WindowCloser(QWidget& window);
    ~WindowCloser() override;

    // Asked once for every request that is carried out, the moment it is: true lets the window
    // close. The place for a question about unsaved work; the default closes.
    std::function<bool()> MayClose;

    // From the window's close event: true when the window closes now; false when the request
    // waits for the work or a message box (it is carried out later), or MayClose declined it.
    bool TakeCloseRequest();

    // Work that keeps a request waiting; nests.
    void WorkBegin();
    void WorkEnd();

    // A request the window system made while the window was blocked (see the class comment).
    void NoteBlockedCloseRequest();

    // Whether a request waits.
    bool Pending() const { return pending_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    bool mustWait() const;
    // Carries a waiting request out as soon as nothing keeps it waiting.
    void carryOutWhenFree();

    QWidget& window_;
    int work_ = 0;
    bool pending_ = false;
    QTimer retry_; // while a message box keeps a request waiting
    unsigned protocolsAtom_ = 0;
    unsigned deleteWindowAtom_ = 0;
};

} // namespace settree
