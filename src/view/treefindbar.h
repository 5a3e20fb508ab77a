// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QFrame>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>

#include "model/flynode.h"
#include "model/treewalk.h"

class QLabel;
class QLineEdit;
class QToolButton;

namespace settree {

class TCustomRapidTree;

// A small bar over the tree pane that finds elements by their name or description. Typing finds
// the first element from the selected one on whose name or description contains the text, letter
// case aside (non-ASCII letters too); "next" and "previous" go on from there, around the ends.
// A found element is selected, its ancestors opened and its row scrolled into view. On a large
// tree the search runs in short slices between the window's events, so it never holds the window.
class TreeFindBar : public QFrame {
    Q_OBJECT
public:
    // parent: the pane that holds the tree; the bar keeps to the tree's top right corner.
    TreeFindBar(TCustomRapidTree& tree, QWidget* parent);

    // Shows the bar with the field's text selected and the focus in it.
    void Open();
    // Hides the bar and gives the focus back to the tree.
    void Close();
    // The next or the previous element that matches, from the selected one on.
    void FindNext();
    void FindPrevious();

    QLineEdit* Field() const { return field_; }
    // "", "Searching", or "Not found".
    QString Status() const;
    // True while a search goes on between the window's events.
    bool Searching() const { return walk_ != nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void start(bool forward, bool includeSelected);
    void runSlice();
    void stop(const QString& status);
    void place();
    bool matches(const TFlyNode& node) const;

    TCustomRapidTree& tree_;
    QLineEdit* field_;
    QToolButton* previous_;
    QToolButton* next_;
    QToolButton* close_;
    QLabel* status_;

    // The search under way, and the timer of its next slice.
    std::unique_ptr<TreeWalk> walk_;
    QTimer slice_;
    uint64_t version_ = 0;
    bool forward_ = true;
    // The text looked for: letters a to z in lower case when it is plain ASCII (asciiNeedle_),
    // else the text itself, compared case-insensitively with each part decoded.
    std::string asciiNeedle_;
    QString needle_;
    bool ascii_ = true;
};

} // namespace settree
