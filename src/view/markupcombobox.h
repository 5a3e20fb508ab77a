// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QSize>

namespace settree {

// A drop-down list whose items show their colour markup rendered, in the list and in the box
// itself. The list opens at a fixed size.
class MarkupComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit MarkupComboBox(QWidget* parent = nullptr);

    // Size of the opened list; empty: the widget library's own.
    QSize DropDownSize() const { return dropDownSize_; }
    void SetDropDownSize(QSize size) { dropDownSize_ = size; }

    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize dropDownSize_;
};

} // namespace settree
