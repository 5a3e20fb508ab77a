// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/elementdialog.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "display/displaytext.h"
#include "editing/elementedit.h"
#include "model/caption.h"
#include "view/trapidtree.h"

namespace settree {

ElementDialog::ElementDialog(const Controls& controls, TCustomRapidTree& tree, uint8_t& editMode,
                             EditHistory* history, QObject* parent)
    : QObject(parent), controls_(controls), tree_(tree), editMode_(editMode),
      history_(history), name_{controls.name, {}, {}},
      description_{controls.description, {}, {}}, weight_{controls.weight, {}, {}} {
    // Enter in a field confirms, as the "OK" button does.
    for (QLineEdit* edit : {controls_.name, controls_.description, controls_.weight})
        connect(edit, &QLineEdit::returnPressed, controls_.ok, &QPushButton::click);
}

void ElementDialog::fill(Field& field, const std::string& bytes) {
    field.bytes = bytes;
    field.shown = BytesToDisplay(bytes);
    field.edit->setText(field.shown);
}

std::string ElementDialog::bytesOf(const Field& field) {
    const QString text = field.edit->text();
    if (text == field.shown)
        return field.bytes;
    return text.toUtf8().toStdString();
}

void ElementDialog::show(const std::string& title) {
    controls_.panel->setTitle(BytesToDisplay(title));
    controls_.panel->show();
    controls_.panel->raise();
    // The typing goes to the name field. A double click opens the dialog in the middle of the
    // tree's own press, which takes the focus afterwards: the field takes it once that is done.
    QMetaObject::invokeMethod(
        controls_.name,
        [edit = controls_.name] {
            if (edit->isVisible()) {
                edit->setFocus(Qt::OtherFocusReason);
                edit->selectAll();
            }
        },
        Qt::QueuedConnection);
}

void ElementDialog::OpenAddRoot() {
    editMode_ = static_cast<uint8_t>(ElementEditMode::addRoot);
    fill(name_, {});
    fill(description_, {});
    fill(weight_, "1");
    show(ElementDialogTitle(ElementEditMode::addRoot, nullptr));
}

void ElementDialog::OpenAddChild() {
    const TFlyNode* selected = tree_.Selected();
    if (!selected)
        return;
    editMode_ = static_cast<uint8_t>(ElementEditMode::addChild);
    fill(name_, {});
    fill(description_, {});
    fill(weight_, "1");
    show(ElementDialogTitle(ElementEditMode::addChild, selected));
}

void ElementDialog::OpenRename() {
    const TFlyNode* selected = tree_.Selected();
    if (!selected)
        return;
    editMode_ = static_cast<uint8_t>(ElementEditMode::rename);
    const CaptionParts parts = SplitCaption(selected->Text());
    fill(name_, parts.name);
    fill(description_, parts.description);
    fill(weight_, std::string(selected->Cells(1)));
    show(ElementDialogTitle(ElementEditMode::rename, selected));
}

void ElementDialog::Ok() {
    const auto mode = static_cast<ElementEditMode>(editMode_);
    ApplyElementFields(tree_.Items(), mode, bytesOf(name_), bytesOf(description_), bytesOf(weight_),
                       history_);
    hide();
}

void ElementDialog::Abort() {
    hide();
}

void ElementDialog::hide() {
    // Typing in the dialog ends back in the tree.
    if (controls_.panel->isAncestorOf(QApplication::focusWidget()))
        tree_.setFocus(Qt::OtherFocusReason);
    controls_.panel->hide();
}

void ElementDialog::PlaceAt(int x, int y) {
    const QPoint press = tree_.viewport()->mapTo(&tree_, QPoint(x, y));
    const int width = controls_.panel->width();
    const int height = controls_.panel->height();
    int left = tree_.x() + press.x();
    int top = tree_.y() + press.y();
    if (press.x() + width > tree_.width())
        left = tree_.x() + tree_.width() - width;
    if (press.y() + height > tree_.height())
        top = tree_.y() + tree_.height() - height;
    controls_.panel->move(left, top);
}

} // namespace settree
