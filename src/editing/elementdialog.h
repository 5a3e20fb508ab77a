// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <string>

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace settree {

class EditHistory;
class TCustomRapidTree;

// The element dialog: a panel over the tree pane in which a new root, a new child of the
// selected node, or a new caption of the selected node is typed. It is not modal: the tree stays
// usable while it is shown, and "OK" acts on the tree as it is at that moment.
class ElementDialog : public QObject {
    Q_OBJECT
public:
    // The panel and its fields; they belong to the window. The panel lies in the same parent as
    // the tree, which must outlive the dialog. editMode is the window's mode field (0 add root,
    // 1 add child, 2 rename).
    struct Controls {
        QGroupBox* panel;
        QLineEdit* name;
        QLineEdit* description;
        QLineEdit* weight;
        QPushButton* ok;
        QPushButton* abort;
    };
    // With a history, each "OK" is a step that can be undone.
    ElementDialog(const Controls& controls, TCustomRapidTree& tree, uint8_t& editMode,
                  EditHistory* history = nullptr, QObject* parent = nullptr);

    // "Add root element": empty fields, weight "1".
    void OpenAddRoot();
    // "Add element to current node": as a new root, titled with the selected node's caption;
    // nothing happens without a selection.
    void OpenAddChild();
    // "Rename/edit" and a double click: the selected node's name, description and weight;
    // nothing happens without a selection.
    void OpenRename();
    // "OK": applies the fields to the tree by the mode, then hides the panel.
    void Ok();
    // "Abort": hides the panel; the fields keep their text.
    void Abort();
    // A mouse press at (x, y) of the tree's viewport: the panel's top-left corner goes to the
    // pointer, moved left or up where it would pass the tree's right or bottom edge.
    void PlaceAt(int x, int y);

private:
    // The text shown in a field, and the bytes it was filled from: a field left as it was
    // gives those bytes back exactly, whatever their encoding.
    struct Field {
        QLineEdit* edit;
        QString shown;
        std::string bytes;
    };
    void fill(Field& field, const std::string& bytes);
    static std::string bytesOf(const Field& field);
    void show(const std::string& title);
    void hide();

    Controls controls_;
    TCustomRapidTree& tree_;
    uint8_t& editMode_;
    EditHistory* history_;
    Field name_;
    Field description_;
    Field weight_;
};

} // namespace settree
