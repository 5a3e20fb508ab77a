// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers of the main window's tests: folders and files as bytes, and the modal message boxes a
// command opens, answered and kept.

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <fstream>
#include <string>
#include <vector>

namespace settree::testing {

// The folder name inside dir, made when missing; ends in a separator.
inline std::string subfolder(const QTemporaryDir& dir, const char* name) {
    const std::string path = dir.path().toStdString() + "/" + name + "/";
    QDir().mkpath(QString::fromStdString(path));
    return path;
}

inline void writeFile(const std::string& name, const std::string& content) {
    std::ofstream out(name, std::ios::binary);
    out << content;
}

// Answers every modal message box that opens while it lives, keeping what it saw.
class MessageBoxCatcher {
public:
    MessageBoxCatcher() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.push_back(box->text());
                plain.push_back(box->textFormat() == Qt::PlainText);
                titles.push_back(box->windowTitle());
                buttons.push_back(static_cast<int>(box->buttons().size()));
                box->done(QMessageBox::Ok);
            }
        });
        timer_.start();
    }
    QStringList texts;
    QStringList titles;
    std::vector<bool> plain; // the text shown as it is, not read as markup
    std::vector<int> buttons;

private:
    QTimer timer_;
};

} // namespace settree::testing
