// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"

#include <QIcon>
#include <QLocale>
#include <QMessageBox>
#include <exception>

#include "display/controls.h"
#include "display/displaytext.h"

namespace settree {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("settree"));
    setApplicationVersion(QStringLiteral(SETTREE_VERSION));
    // The installed desktop entry and icon, when there are any.
    setDesktopFileName(QStringLiteral("settree"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("settree")));
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowErrorReport(error.what());
    } catch (...) {
        ShowErrorReport("Unknown failure");
    }
    return false;
}

void ShowErrorReport(const std::string& message) {
    QWidget* parent = QApplication::activeWindow();
    const QString title = parent && !parent->windowTitle().isEmpty()
                              ? parent->windowTitle()
                              : QApplication::applicationDisplayName();
    ShowMessage(parent, QMessageBox::Critical, title, BytesToDisplay(message));
}

void RunReportingErrors(const std::function<void()>& work) {
    try {
        work();
    } catch (const std::exception& error) {
        ShowErrorReport(error.what());
    } catch (...) {
        ShowErrorReport("Unknown failure");
    }
}

char UserDecimalSeparator() {
    static const char separator = [] {
        const QString point = QLocale::system().decimalPoint();
        if (point.size() == 1 && point.at(0).unicode() > 32 && point.at(0).unicode() < 127)
            return static_cast<char>(point.at(0).unicode());
        return '.';
    }();
    return separator;
}

} // namespace settree
