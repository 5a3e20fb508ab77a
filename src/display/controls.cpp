// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace settree {

QPushButton* MakeButton(const char* name, const QString& caption, QWidget* parent,
                        const QString& hint) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFixedSize(75, 25);
    if (!hint.isEmpty())
        button->setToolTip(hint);
    return button;
}

QLabel* MakeLabel(const char* name, const QString& caption, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QLineEdit* MakeEdit(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QFont HeadingFont() {
    QFont font(QStringLiteral("Calibri"));
    font.setPixelSize(27);
    font.setBold(true);
    return font;
}

void ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                 const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace settree
