// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalogchoosers.h"

#include <QBoxLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "display/controls.h"
#include "display/displaytext.h"
#include "model/textfile.h"
#include "model/utf8.h"
#include "textpane/textpanecommands.h"
#include "textpane/ttextpane.h"
#include "view/markupcombobox.h"
#include "view/markupitemdelegate.h"

namespace settree {

namespace {

// An item of a chooser list or a result row carries its entry in this role, and a chooser item
// its text as bytes in the next.
constexpr int kEntryRole = Qt::UserRole;
constexpr int kBytesRole = Qt::UserRole + 1;

constexpr int kListWidth = 649;
constexpr int kDropDownHeight = 200;
constexpr int kResultRowHeight = 21;

QVariant entryData(const tmb* entry) {
    return QVariant::fromValue(const_cast<void*>(static_cast<const void*>(entry)));
}

const tmb* entryOf(const QVariant& data) {
    return static_cast<const tmb*>(data.value<void*>());
}

QGroupBox* makeChooser(const char* name, const QString& caption, QComboBox*& list,
                       const char* listName, QPushButton*& find, const char* findName,
                       QPushButton*& abort, const char* abortName, QPushButton*& ok,
                       const char* okName, QWidget* parent) {
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setAutoFillBackground(true);
    box->resize(686, 92);
    auto* markupList = new MarkupComboBox(box);
    markupList->setObjectName(QString::fromLatin1(listName));
    markupList->setGeometry(16, 24, kListWidth, 22);
    markupList->SetDropDownSize(QSize(kListWidth, kDropDownHeight));
    list = markupList;
    find = MakeButton(findName, QObject::tr("Find"), box);
    abort = MakeButton(abortName, QObject::tr("Abort"), box);
    ok = MakeButton(okName, QObject::tr("OK"), box);
    find->move(424, 56);
    abort->move(507, 56);
    ok->move(590, 56);
    box->hide();
    return box;
}

} // namespace

CatalogChoosers::CatalogChoosers(QWidget& overlayParent, QWidget& textPanel, TTextPane& pane,
                                 TextPaneCommands& paneCommands, Feedback& feedback,
                                 WindowState state, QObject* parent)
    : QObject(parent), overlayParent_(overlayParent), textPanel_(textPanel), pane_(pane),
      paneCommands_(paneCommands), feedback_(feedback), state_(state) {
    GroupBox2 = makeChooser("GroupBox2", tr(" Select Tessaroc classification (.PC -> .TREE):  "),
                            HTMLComboBox1, "HTMLComboBox1", Button15, "Button15", Button11,
                            "Button11", Button10, "Button10", &overlayParent);
    GroupBox3 = makeChooser("GroupBox3", tr(" Select Tessaroc classification (.TREE -> .PC):  "),
                            HTMLComboBox2, "HTMLComboBox2", Button16, "Button16", Button14,
                            "Button14", Button13, "Button13", &overlayParent);

    auto* panel = new QFrame(&overlayParent);
    panel->setObjectName(QStringLiteral("Panel5"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setAutoFillBackground(true);
    panel->resize(785, 537);
    Panel5 = panel;

    auto* bar = new QWidget(Panel5);
    bar->setObjectName(QStringLiteral("Panel6"));
    bar->setFixedHeight(kBarHeight);
    Label6 = MakeLabel("Label6", tr("Find:"), bar);
    Label6->setFont(HeadingFont());
    Edit3 = MakeEdit("Edit3", bar);
    Button19 = MakeButton("Button19", tr("Find"), bar);
    Button18 = MakeButton("Button18", tr("Close"), bar);
    Button17 = MakeButton("Button17", tr("Select"), bar);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(8, 0, 8, 0);
    barLayout->addWidget(Label6);
    barLayout->addWidget(Edit3, 1);
    barLayout->addWidget(Button19);
    barLayout->addWidget(Button18);
    barLayout->addWidget(Button17);

    // The header row is the grid's own header; the result rows lie below it.
    AdvStringGrid1 = new QTableWidget(1, 1, Panel5);
    AdvStringGrid1->setObjectName(QStringLiteral("AdvStringGrid1"));
    AdvStringGrid1->setHorizontalHeaderLabels({tr("Classification")});
    AdvStringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    AdvStringGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    AdvStringGrid1->verticalHeader()->hide();
    AdvStringGrid1->verticalHeader()->setMinimumSectionSize(1);
    AdvStringGrid1->verticalHeader()->setDefaultSectionSize(kResultRowHeight);
    AdvStringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    AdvStringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    AdvStringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    AdvStringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    AdvStringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    AdvStringGrid1->setItemDelegate(new MarkupItemDelegate(AdvStringGrid1));
    AdvStringGrid1->setWordWrap(false);
    resetResults();

    auto* layout = new QVBoxLayout(Panel5);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(AdvStringGrid1, 1);
    Panel5->hide();
}

CatalogChoosers::~CatalogChoosers() = default;

// ---- Classification chooser ----

void CatalogChoosers::OpenClassificationChooser() {
    if (state_.classifications.Empty())
        LoadClassificationIndex();
    GroupBox2->move(overlayParent_.width() - GroupBox2->width(), 0);
    GroupBox2->show();
    GroupBox2->raise();
}

void CatalogChoosers::ConfirmClassification() {
    const int index = HTMLComboBox1->currentIndex();
    if (index < 0)
        return;
    loadClassification(*ItemEntry(*HTMLComboBox1, index));
}

void CatalogChoosers::loadClassification(const tmb& entry) {
    state_.selectedClassification = &entry;
    state_.loadFromFile = false;
    GroupBox2->hide();
    LoadSelectedClassification();
}

void CatalogChoosers::CloseClassificationChooser() {
    GroupBox2->hide();
}

// ---- Set chooser ----

void CatalogChoosers::OpenSetChooser() {
    if (HTMLComboBox2->count() == 0)
        LoadSetList();
    // At the top right of the text panel, on whichever side the panel stands.
    GroupBox3->move(textPanel_.geometry().right() + 1 - GroupBox3->width(), 0);
    GroupBox3->show();
    GroupBox3->raise();
}

void CatalogChoosers::ConfirmSet() {
    const int index = HTMLComboBox2->currentIndex();
    if (index < 0)
        return;
    loadSet(*ItemEntry(*HTMLComboBox2, index));
}

void CatalogChoosers::loadSet(const tmb& entry) {
    LoadSetIntoText(entry);
    GroupBox3->hide();
    paneCommands_.Refresh();
}

void CatalogChoosers::CloseSetChooser() {
    GroupBox3->hide();
}

// ---- Find panel ----

void CatalogChoosers::OpenFindPanel(std::string_view mode) {
    state_.findMode = std::string(mode);
    resetResults();
    Panel5->show();
    Panel5->raise();
    (mode == "TREE" ? GroupBox3 : GroupBox2)->hide();
    Edit3->setFocus(Qt::OtherFocusReason);
}

void CatalogChoosers::resetResults() {
    AdvStringGrid1->clearContents();
    AdvStringGrid1->setRowCount(1);
    AdvStringGrid1->setCurrentCell(0, 0);
}

void CatalogChoosers::Search() {
    resetResults();
    const QComboBox& source = state_.findMode == "TREE" ? *HTMLComboBox2 : *HTMLComboBox1;
    const QString search = Edit3->text();
    // The search text as bytes in each encoding an item can be shown in.
    std::string searchUtf8;
    std::string searchLatin1;
    DisplayToBytes(search, true, searchUtf8);
    const bool latin1 = DisplayToBytes(search, false, searchLatin1);
    int filled = 0;
    for (int i = 0; i < source.count(); ++i) {
        const QByteArray item = source.itemData(i, kBytesRole).toByteArray();
        const std::string_view bytes(item.constData(), static_cast<size_t>(item.size()));
        const bool utf8 = IsValidUtf8(bytes);
        if (!utf8 && !latin1)
            continue;
        if (!ChooserItemMatches(bytes, utf8 ? searchUtf8 : searchLatin1))
            continue;
        if (filled > 0)
            AdvStringGrid1->setRowCount(filled + 1);
        auto* cell = new QTableWidgetItem(source.itemText(i));
        cell->setData(kEntryRole, source.itemData(i, kEntryRole));
        AdvStringGrid1->setItem(filled, 0, cell);
        ++filled;
    }
    AdvStringGrid1->setCurrentCell(0, 0);
}

void CatalogChoosers::SearchBoxKeyUp(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        Search();
}

const tmb* CatalogChoosers::ResultEntry(int row) const {
    const QTableWidgetItem* cell = row < 0 ? nullptr : AdvStringGrid1->item(row, 0);
    return cell ? entryOf(cell->data(kEntryRole)) : nullptr;
}

void CatalogChoosers::SelectResult() {
    const tmb* entry = ResultEntry(AdvStringGrid1->currentRow());
    if (!entry)
        return;
    if (state_.findMode == "TREE")
        loadSet(*entry);
    else
        loadClassification(*entry);
    Panel5->hide();
}

void CatalogChoosers::CloseFindPanel() {
    Panel5->hide();
}

// ---- Readers ----

std::string CatalogChoosers::CatalogFolder() const {
    return ExtractFilePath(state_.catalogFile);
}

const tmb* CatalogChoosers::ItemEntry(const QComboBox& list, int index) {
    return entryOf(list.itemData(index, kEntryRole));
}

void CatalogChoosers::fillChooser(QComboBox& list, const std::vector<ChooserItem>& items) {
    list.clear();
    for (const ChooserItem& item : items) {
        list.addItem(BytesToDisplay(item.Text), entryData(item.Entry));
        list.setItemData(list.count() - 1,
                         QByteArray(item.Text.data(), static_cast<qsizetype>(item.Text.size())),
                         kBytesRole);
    }
    list.setCurrentIndex(-1);
}

void CatalogChoosers::LoadClassificationIndex() {
    settree::LoadClassificationIndex(state_.catalogFile, state_.classifications, feedback_);
    // Listed anew from the whole list: an entry replaced by a later one of the same name is gone.
    fillChooser(*HTMLComboBox1, ClassificationItems(state_.classifications));
}

void CatalogChoosers::LoadSetList() {
    settree::LoadSetList(CatalogFolder(), setEntries_, feedback_);
    fillChooser(*HTMLComboBox2, setEntries_.Items());
}

void CatalogChoosers::LoadSetIntoText(const tmb& entry) {
    TextLines lines = pane_.Lines();
    try {
        settree::LoadSetIntoText(entry, CatalogFolder(), lines, feedback_);
    } catch (const CatalogError&) {
        pane_.SetLines(lines); // the members taken before the scan ran out
        throw;
    }
    pane_.SetLines(lines);
}

void CatalogChoosers::FreeEntries() {
    // The results and the classification items refer to entries: they go first.
    resetResults();
    HTMLComboBox1->clear();
    state_.classifications.Clear();
    HTMLComboBox2->clear();
    setEntries_.Clear();
}

} // namespace settree
