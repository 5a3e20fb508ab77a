// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/elementedit.h"

#include "editing/edithistory.h"
#include "model/caption.h"

namespace settree {

std::string CaptionFromFields(std::string_view name, std::string_view description) {
    const std::string plainName = Trim(Unquote(name));
    if (description.empty())
        return MakeCaption(plainName);
    return MakeCaption(plainName, Trim(Unquote(description)));
}

TFlyNode* ApplyElementFields(TFlyNodes& tree, ElementEditMode mode, std::string_view name,
                             std::string_view description, std::string_view weight,
                             EditHistory* history) {
    const std::string caption = CaptionFromFields(name, description);
    if (mode == ElementEditMode::rename) {
        TFlyNode* node = tree.Selected();
        if (!node)
            return nullptr;
        StepRecorder step(tree, history, "Rename/edit");
        step.SetCaption(node, caption, weight);
        return node;
    }
    const bool root = mode == ElementEditMode::addRoot;
    StepRecorder step(tree, history, root ? "Add root element" : "Add element to current node");
    TFlyNode* node = tree.AddChild(root ? nullptr : tree.Selected(), caption);
    node->SetCells(1, weight);
    step.Added(node);
    return node;
}

std::string ElementDialogTitle(ElementEditMode mode, const TFlyNode* selected) {
    switch (mode) {
    case ElementEditMode::addRoot:
        return "Input new root element:";
    case ElementEditMode::addChild:
        return "New element added to " + (selected ? StripTags(selected->Text()) : std::string()) +
               ":";
    case ElementEditMode::rename:
        break;
    }
    return "Rename element:";
}

} // namespace settree
