// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <string_view>

#include "catalog/catalogreaders.h"
#include "model/feedback.h"

class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QWidget;

namespace settree {

class TTextPane;
class TextPaneCommands;

// The catalog's two choosers and its find panel: panels that lie hidden over the main window's
// client area until a catalog button or a chooser's "Find" shows them. The classification
// chooser loads a classification of the index into the tree; the set chooser puts the members of
// a set into the text pane and builds the tree from them; the find panel searches either
// chooser's list and acts on a result as that chooser's "OK" does. The main window's handlers
// forward here.
//
// Failures: a catalog file that cannot be read raises FileError, a set file without a closed
// member block CatalogError; the command ends there, and the steps after the failing one (hiding
// a panel, building the tree) do not run. Errors of a classification load are reported by the
// load itself.
class CatalogChoosers : public QObject {
    Q_OBJECT
public:
    // The window's fields that the choosers read and set; they outlive the choosers.
    struct WindowState {
        ClassificationList& classifications; // owns the classification entries
        const std::string& catalogFile;      // the classification index
        std::string& findMode;               // "PC" or "TREE": the list the find panel searches
        const tmb*& selectedClassification;  // the classification a catalog load reads
        bool& loadFromFile;                  // cleared just before a catalog load starts
    };

    // The panels are made children of overlayParent, whose width places the classification
    // chooser; the set chooser opens at the top right of textPanel. The pane, its commands and
    // the feedback outlive the choosers.
    CatalogChoosers(QWidget& overlayParent, QWidget& textPanel, TTextPane& pane,
                    TextPaneCommands& paneCommands, Feedback& feedback, WindowState state,
                    QObject* parent = nullptr);
    ~CatalogChoosers() override;

    // The tree pane's "Load": with loadFromFile cleared it loads the selected classification
    // without asking for a file. The window supplies it.
    std::function<void()> LoadSelectedClassification;

    // Controls, named as the window's handlers know them.
    QGroupBox* GroupBox2;         // classification chooser
    QComboBox* HTMLComboBox1;     // its list; the items refer to entries of classifications
    QPushButton* Button15;        // "Find"
    QPushButton* Button11;        // "Abort"
    QPushButton* Button10;        // "OK"
    QGroupBox* GroupBox3;         // set chooser
    QComboBox* HTMLComboBox2;     // its list; owns the set entries through the choosers
    QPushButton* Button16;        // "Find"
    QPushButton* Button14;        // "Abort"
    QPushButton* Button13;        // "OK"
    QWidget* Panel5;              // find panel
    QLabel* Label6;               // "Find:"
    QLineEdit* Edit3;             // search box
    QPushButton* Button19;        // "Find"
    QPushButton* Button18;        // "Close"
    QPushButton* Button17;        // "Select"
    QTableWidget* AdvStringGrid1; // results, one row per match under the header "Classification"

    // The classification chooser: read the index when no classification is known yet, then show
    // the chooser at the top right of the client area.
    void OpenClassificationChooser();
    // Its "OK": nothing without a selected item; else select the item's classification, clear
    // loadFromFile, hide the chooser and load it.
    void ConfirmClassification();
    void CloseClassificationChooser();
    // The set chooser: read the set list when the list is empty, then show the chooser at the
    // top right of the text panel.
    void OpenSetChooser();
    // Its "OK": nothing without a selected item; else the set's members into the text pane, the
    // chooser hidden, the tree built from the pane.
    void ConfirmSet();
    void CloseSetChooser();

    // A chooser's "Find": the find panel in mode "PC" (classifications) or "TREE" (sets), its
    // results emptied, the chooser hidden, the focus in the search box, which keeps its text.
    void OpenFindPanel(std::string_view mode);
    // Lists every item of the mode's chooser, in list order, whose whole text contains the
    // search text (ChooserItemMatches). The first match fills the first row.
    void Search();
    // A key released in the search box: Enter searches.
    void SearchBoxKeyUp(QKeyEvent* event);
    // Acts on the current result row as the mode's chooser's "OK" does, then hides the find
    // panel; nothing on a row without an entry.
    void SelectResult();
    void CloseFindPanel();

    // The catalog readers, with the chooser lists filled from what they read. A file that cannot
    // be read raises FileError before anything changes.
    void LoadClassificationIndex();
    void LoadSetList();
    // Replaces the text pane by the members of a set, normalised. A set file without a closed
    // member block raises CatalogError; the pane then holds the members taken before.
    void LoadSetIntoText(const tmb& entry);
    // Empties both lists and the results and releases the entries (the window is closing).
    void FreeEntries();

    // The entry an item of a chooser list carries.
    static const tmb* ItemEntry(const QComboBox& list, int index);
    // The entry a result row carries; none for a row without one.
    const tmb* ResultEntry(int row) const;
    // The folder of the catalog files, ending in a separator.
    std::string CatalogFolder() const;

private:
    // "OK" of a chooser on an entry: the classification selected, loadFromFile cleared, the
    // chooser hidden and the classification loaded; or the set's members into the text pane, the
    // chooser hidden and the tree built from the pane.
    void loadClassification(const tmb& entry);
    void loadSet(const tmb& entry);
    // The header row and one empty result row without an entry, that row current.
    void resetResults();
    static void fillChooser(QComboBox& list, const std::vector<ChooserItem>& items);

    QWidget& overlayParent_;
    QWidget& textPanel_;
    TTextPane& pane_;
    TextPaneCommands& paneCommands_;
    Feedback& feedback_;
    WindowState state_;
    // The entries of the set chooser's items.
    SetList setEntries_;
};

} // namespace settree
