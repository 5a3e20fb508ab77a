// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"

#include <QFile>
#include <QLocale>
#include <QMessageBox>
#include <QStringDecoder>
#include <exception>

namespace settree {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("settree"));
    setApplicationVersion(QStringLiteral(SETTREE_VERSION));
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
    QMessageBox box(QMessageBox::Critical, title, BytesToDisplay(message), QMessageBox::Ok, parent);
    box.exec();
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

QString BytesToDisplay(std::string_view bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (!decoder.hasError())
        return text;
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

QString FileNameToQString(const std::string& fileName) {
    return QFile::decodeName(QByteArray(fileName.data(), qsizetype(fileName.size())));
}

std::string QStringToFileName(const QString& fileName) {
    return QFile::encodeName(fileName).toStdString();
}

} // namespace settree
