// SPDX-License-Identifier: GPL-3.0-or-later
#include "textpane/utf8question.h"

#include <QMessageBox>
#include <QPushButton>

#include "display/displaytext.h"
#include "model/utf8.h"

namespace settree {

bool AskWriteAsUtf8(QWidget* parent, const QString& question) {
    QMessageBox box(QMessageBox::Question, parent ? parent->window()->windowTitle() : QString(),
                    question, QMessageBox::NoButton, parent);
    QPushButton* utf8 = box.addButton(QStringLiteral("Write as UTF-8"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setTextFormat(Qt::PlainText); // the file's name is shown as it is
    box.setDefaultButton(utf8);
    box.exec();
    return box.clickedButton() == utf8;
}

bool OneEncodingForFile(std::string& bytes, const std::string& fileName, const Utf8Question& ask) {
    if (!HoldsBothEncodings(bytes))
        return true;
    if (!ask(QStringLiteral("The text for %1 holds characters in two encodings, UTF-8 and "
                            "Latin-1, and a file holds one. Write the file as UTF-8?")
                 .arg(FileNameToQString(fileName))))
        return false;
    bytes = ToUtf8(bytes);
    return true;
}

bool LinesForLatin1File(TextLines& lines, const std::string& fileName, const Utf8Question& ask) {
    TextLines latin1(lines.size());
    bool fits = true;
    for (size_t i = 0; i < lines.size() && fits; ++i)
        fits = Utf8ToLatin1(lines[i], latin1[i]);
    if (fits) {
        lines = std::move(latin1);
        return true;
    }
    return ask(QStringLiteral("The text holds characters that Latin-1, the encoding of the text "
                              "as it was loaded, cannot store. Write %1 as UTF-8?")
                   .arg(FileNameToQString(fileName)));
}

} // namespace settree
