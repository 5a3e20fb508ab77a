// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/windowcloser.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace settree {

namespace {

// An atom of the X window system by name; 0 where there is none (no X display).
unsigned atomNamed(const char* name) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return 0;
    xcb_connection_t* connection = x11->connection();
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 1, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply)
        return 0;
    const unsigned atom = reply->atom;
    std::free(reply);
    return atom;
}

} // namespace

WindowCloser::WindowCloser(QWidget& window) : window_(window) {
    retry_.setInterval(100);
    connect(&retry_, &QTimer::timeout, this, [this] { carryOutWhenFree(); });
    protocolsAtom_ = atomNamed("WM_PROTOCOLS");
    deleteWindowAtom_ = atomNamed("WM_DELETE_WINDOW");
    if (protocolsAtom_ != 0 && deleteWindowAtom_ != 0)
        qApp->installNativeEventFilter(this);
}

WindowCloser::~WindowCloser() {
    if (qApp)
        qApp->removeNativeEventFilter(this);
}

bool WindowCloser::mustWait() const {
    return work_ > 0 || QApplication::activeModalWidget() != nullptr;
}

bool WindowCloser::TakeCloseRequest() {
    if (mustWait()) {
        pending_ = true;
        if (work_ == 0)
            retry_.start(); // a message box is open: look again once it is gone
        return false;
    }
    pending_ = false;
    retry_.stop();
    return !MayClose || MayClose();
}

void WindowCloser::WorkBegin() {
    ++work_;
}

void WindowCloser::WorkEnd() {
    if (work_ > 0)
        --work_;
    if (work_ == 0 && pending_)
        carryOutWhenFree();
}

void WindowCloser::NoteBlockedCloseRequest() {
    pending_ = true;
    carryOutWhenFree();
}

void WindowCloser::carryOutWhenFree() {
    if (!pending_)
        return;
    if (mustWait()) {
        if (work_ == 0)
            retry_.start();
        return;
    }
    retry_.stop();
    // From the event loop, after the handler that ended the work has returned.
    QTimer::singleShot(0, &window_, [this] {
        if (pending_)
            window_.close();
    });
}

bool WindowCloser::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    if (client->format != 32 || client->type != protocolsAtom_ ||
        client->data.data32[0] != deleteWindowAtom_ || !window_.isVisible() ||
        client->window != static_cast<xcb_window_t>(window_.winId()))
        return false;
    // Not blocked: the window's close event takes the request in the usual way.
    if (QApplication::activeModalWidget() != nullptr || work_ > 0)
        NoteBlockedCloseRequest();
    return false;
}

} // namespace settree
