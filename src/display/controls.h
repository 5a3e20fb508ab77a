// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The window's controls are made with these, so that each carries its name as objectName (tests
// and readers find it by that name) and the buttons share one size.

#include <QFont>
#include <QMessageBox>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace settree {

// Height of a header strip above a pane or panel.
inline constexpr int kBarHeight = 41;

// A button 75 by 25 with a caption and, when given, a hint shown as its tool tip.
QPushButton* MakeButton(const char* name, const QString& caption, QWidget* parent,
                        const QString& hint = QString());
QLabel* MakeLabel(const char* name, const QString& caption, QWidget* parent);
QLineEdit* MakeEdit(const char* name, QWidget* parent);
// A message box with one OK button. Its text is shown as it is: a name in it such as "P<br>Q" is
// not taken as markup.
void ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                 const QString& text);
// The font of the headings of the header strips: Calibri 27 pixels, bold.
QFont HeadingFont();

} // namespace settree
