// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/treefindbar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "display/displaytext.h"
#include "model/caption.h"
#include "view/trapidtree.h"

namespace settree {

namespace {

// Nodes visited between two looks at the clock, and the time a slice may take.
constexpr size_t kNodesPerLook = 4096;
constexpr qint64 kSliceMilliseconds = 8;

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool containsAsciiNoCase(std::string_view text, std::string_view lowerNeedle) {
    if (lowerNeedle.size() > text.size())
        return false;
    const char first = lowerNeedle.front();
    const size_t last = text.size() - lowerNeedle.size();
    for (size_t i = 0; i <= last; ++i) {
        if (lowerAscii(text[i]) != first)
            continue;
        size_t k = 1;
        while (k < lowerNeedle.size() && lowerAscii(text[i + k]) == lowerNeedle[k])
            ++k;
        if (k == lowerNeedle.size())
            return true;
    }
    return false;
}

QToolButton* makeToolButton(const char* name, const QString& text, const QString& hint,
                            QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(text);
    button->setToolTip(hint);
    button->setAutoRaise(true);
    return button;
}

} // namespace

TreeFindBar::TreeFindBar(TCustomRapidTree& tree, QWidget* parent) : QFrame(parent), tree_(tree) {
    setObjectName(QStringLiteral("TreeFindBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("TreeFindField"));
    field_->setPlaceholderText(tr("Find element"));
    field_->setClearButtonEnabled(true);
    field_->setMinimumWidth(180);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("TreeFindStatus"));
    previous_ = makeToolButton("TreeFindPrevious", QStringLiteral("\u25b2"),
                               tr("Previous match (Shift+F3)"), this);
    next_ = makeToolButton("TreeFindNext", QStringLiteral("\u25bc"), tr("Next match (F3)"), this);
    close_ = makeToolButton("TreeFindClose", QStringLiteral("\u2715"), tr("Close (Esc)"), this);
    layout->addWidget(field_, 1);
    layout->addWidget(status_);
    layout->addWidget(previous_);
    layout->addWidget(next_);
    layout->addWidget(close_);

    connect(field_, &QLineEdit::textEdited, this, [this] { start(true, true); });
    connect(field_, &QLineEdit::returnPressed, this, &TreeFindBar::FindNext);
    connect(previous_, &QToolButton::clicked, this, &TreeFindBar::FindPrevious);
    connect(next_, &QToolButton::clicked, this, &TreeFindBar::FindNext);
    connect(close_, &QToolButton::clicked, this, &TreeFindBar::Close);
    slice_.setSingleShot(true);
    slice_.setInterval(0);
    connect(&slice_, &QTimer::timeout, this, &TreeFindBar::runSlice);
    tree_.installEventFilter(this);
    hide();
}

QString TreeFindBar::Status() const {
    return status_->text();
}

void TreeFindBar::place() {
    resize(std::min(360, std::max(tree_.width() - 8, 0)), sizeHint().height());
    const int scrollBar =
        tree_.verticalScrollBar()->isVisible() ? tree_.verticalScrollBar()->width() : 0;
    move(tree_.x() + std::max(0, tree_.width() - width() - scrollBar - 4), tree_.y() + 4);
}

bool TreeFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &tree_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move) &&
        isVisible())
        place();
    return QFrame::eventFilter(watched, event);
}

void TreeFindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Close();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & Qt::ShiftModifier)) {
        FindPrevious();
        return;
    }
    QFrame::keyPressEvent(event);
}

void TreeFindBar::Open() {
    place();
    show();
    raise();
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
}

void TreeFindBar::Close() {
    stop(QString());
    hide();
    tree_.setFocus(Qt::OtherFocusReason);
}

void TreeFindBar::FindNext() {
    if (!isVisible())
        Open();
    start(true, false);
}

void TreeFindBar::FindPrevious() {
    if (!isVisible())
        Open();
    start(false, false);
}

void TreeFindBar::start(bool forward, bool includeSelected) {
    walk_.reset();
    const QString text = field_->text();
    if (text.isEmpty()) {
        stop(QString());
        return;
    }
    ascii_ = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128; });
    asciiNeedle_.clear();
    if (ascii_)
        for (const QChar c : text)
            asciiNeedle_ += lowerAscii(static_cast<char>(c.unicode()));
    needle_ = text;
    forward_ = forward;
    const TFlyNodes& tree = tree_.Items();
    version_ = tree.StructureVersion();
    walk_ = std::make_unique<TreeWalk>(tree, tree.Selected(), forward, includeSelected);
    status_->setText(tr("Searching"));
    runSlice();
}

bool TreeFindBar::matches(const TFlyNode& node) const {
    const CaptionViews parts = SplitCaptionViews(node.Text());
    for (const std::string_view part : {parts.name, parts.description}) {
        if (part.empty())
            continue;
        if (ascii_ ? containsAsciiNoCase(part, asciiNeedle_)
                   : BytesToDisplay(part).contains(needle_, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void TreeFindBar::runSlice() {
    if (!walk_)
        return;
    TFlyNodes& tree = tree_.Items();
    if (tree.StructureVersion() != version_) {
        // The tree changed between two slices: the search begins again where the user is.
        start(forward_, true);
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const auto match = [this](const TFlyNode& node) { return matches(node); };
    while (!walk_->Done()) {
        if (TFlyNode* found = walk_->Next(match, kNodesPerLook)) {
            walk_.reset();
            tree.SetSelected(found);
            tree_.ScrollToSelected();
            stop(QString());
            return;
        }
        if (clock.elapsed() >= kSliceMilliseconds) {
            slice_.start();
            return;
        }
    }
    stop(tr("Not found"));
}

void TreeFindBar::stop(const QString& status) {
    walk_.reset();
    slice_.stop();
    status_->setText(status);
}

} // namespace settree
