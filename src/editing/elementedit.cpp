// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/elementedit.h"

#include "model/caption.h"

namespace settree {

std::string CaptionFromFields(std::string_view name, std::string_view description) {
    const std::string plainName = Trim(Unquote(name));
    if (description.empty())
        return MakeCaption(plainName);
    return MakeCaption(plainName, Trim(Unquote(description)));
}

TFlyNode* ApplyElementFields(TFlyNodes& tree, ElementEditMode mode, std::string_view name,
                             std::string_view description, std::string_view weight) {
    const std::string caption = CaptionFromFields(name, description);
    TFlyNode* node = nullptr;
    switch (mode) {
    case ElementEditMode::addRoot:
        node = tree.AddChild(nullptr, caption);
        break;
    case ElementEditMode::addChild:
        node = tree.AddChild(tree.Selected(), caption);
        break;
    case ElementEditMode::rename:
        node = tree.Selected();
        if (!node)
            return nullptr;
        node->SetText(caption);
        break;
    }
    node->SetCells(1, weight);
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
