// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

namespace settree {

// The editor's application object. An exception that escapes an event handler reaches the
// default error report instead of ending the program: its own message is shown in a
// one-button message box, and the user goes on working.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// The default error report: a one-button message box with the failure's own message, over the
// active window.
void ShowErrorReport(const std::string& message);

// Runs work and hands any exception it raises to the default error report. Handlers are
// connected through this, because the widget library is built without exception support and an
// exception must not unwind through its frames.
void RunReportingErrors(const std::function<void()>& work);

// The decimal separator of the user's regional settings, "." when it is not one ASCII byte. Read
// on the first call, which program entry makes at start; later changes of the settings do not
// count.
char UserDecimalSeparator();

} // namespace settree
