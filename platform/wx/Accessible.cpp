#include "platform/wx/Accessible.h"

#include <wx/button.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/window.h>

#include <gtk/gtk.h>

#include <cstdlib>

namespace vobrik {

namespace {

// How far a label may stand from what it names, in pixels.
constexpr int Gap = 12;

AtkObject* AccessibleOf(wxWindow* window) {
    GtkWidget* widget = window->GetHandle();
    // A list's rows live in the tree view inside its scrolled window.
    if (dynamic_cast<wxListBox*>(window) != nullptr && GTK_IS_BIN(widget) &&
        gtk_bin_get_child(GTK_BIN(widget)) != nullptr)
        widget = gtk_bin_get_child(GTK_BIN(widget));
    return widget != nullptr ? gtk_widget_get_accessible(widget) : nullptr;
}

bool SameRow(const wxRect& a, const wxRect& b) {
    const int centre = a.y + a.height / 2;
    return centre >= b.y - 2 && centre <= b.y + b.height + 2;
}

// What may name the control to its right: a text, or the button or radio
// button whose answer the control completes ("Rappel dans" [1]).
bool IsLabel(wxWindow* window) {
    return dynamic_cast<wxStaticText*>(window) != nullptr ||
           dynamic_cast<wxRadioButton*>(window) != nullptr ||
           dynamic_cast<wxButton*>(window) != nullptr;
}

// The label that ends just left of the control, or starts just right of it.
wxWindow* LabelBeside(wxWindow* panel, const wxRect& control, bool left) {
    wxWindow* best = nullptr;
    int bestGap = Gap + 1;
    for (wxWindow* child : panel->GetChildren()) {
        const wxRect r = child->GetRect();
        const int gap = left ? control.x - (r.x + r.width) : r.x - (control.x + control.width);
        if (child->IsShown() && IsLabel(child) && (left || dynamic_cast<wxStaticText*>(child)) &&
            gap >= -2 && gap < bestGap && SameRow(r, control)) {
            best = child;
            bestGap = gap;
        }
    }
    return best;
}

wxWindow* BoxAround(wxWindow* panel, const wxRect& control) {
    for (wxWindow* child : panel->GetChildren())
        if (dynamic_cast<wxStaticBox*>(child) != nullptr && child->GetRect().Contains(control))
            return child;
    return nullptr;
}

void Link(AtkObject* control, wxWindow* label) {
    AtkObject* text = AccessibleOf(label);
    if (text == nullptr)
        return;
    AtkRelationSet* relations = atk_object_ref_relation_set(control);
    atk_relation_set_add_relation_by_type(relations, ATK_RELATION_LABELLED_BY, text);
    g_object_unref(relations);
    relations = atk_object_ref_relation_set(text);
    atk_relation_set_add_relation_by_type(relations, ATK_RELATION_LABEL_FOR, control);
    g_object_unref(relations);
}

void Forget(AtkObject* control, AtkRelationType type) {
    AtkRelationSet* relations = atk_object_ref_relation_set(control);
    if (AtkRelation* old = atk_relation_set_get_relation_by_type(relations, type))
        atk_relation_set_remove(relations, old);
    g_object_unref(relations);
}

void Name(wxWindow* panel, wxWindow* control) {
    AtkObject* accessible = AccessibleOf(control);
    if (accessible == nullptr)
        return;
    const wxRect rect = control->GetRect();
    wxWindow* left = LabelBeside(panel, rect, true);
    wxWindow* right = LabelBeside(panel, rect, false);
    wxWindow* box = left == nullptr && right == nullptr ? BoxAround(panel, rect) : nullptr;
    wxString name;
    if (left != nullptr)
        name = wxStripMenuCodes(left->GetLabel());
    if (right != nullptr)
        name += (name.empty() ? wxString() : wxString::FromUTF8(" … ")) +
                wxStripMenuCodes(right->GetLabel());
    if (box != nullptr)
        name = wxStripMenuCodes(box->GetLabel());
    if (name.empty())
        return;
    atk_object_set_name(accessible, name.utf8_str());
    // Only the labels beside it: the toolkit may have linked a group box.
    Forget(accessible, ATK_RELATION_LABELLED_BY);
    for (wxWindow* label : {left, right, box})
        if (label != nullptr)
            Link(accessible, label);
}

} // namespace

void NameControlsForScreenReaders(wxWindow* panel) {
    for (wxWindow* child : panel->GetChildren()) {
        if (dynamic_cast<wxTextCtrl*>(child) != nullptr ||
            dynamic_cast<wxListBox*>(child) != nullptr)
            Name(panel, child);
        else if (dynamic_cast<wxRadioButton*>(child) != nullptr && !child->IsShown())
            if (AtkObject* hidden = AccessibleOf(child))
                atk_object_set_role(hidden, ATK_ROLE_REDUNDANT_OBJECT);
    }
}

void DescribeForScreenReaders(wxWindow* window, const std::string& text, bool alert) {
    AtkObject* accessible = window != nullptr ? AccessibleOf(window) : nullptr;
    if (accessible == nullptr)
        return;
    if (alert) {
        atk_object_set_role(accessible, ATK_ROLE_ALERT);
        atk_object_set_description(accessible, text.c_str());
    } else {
        atk_object_set_role(accessible, ATK_ROLE_STATIC);
        atk_object_set_name(accessible, text.c_str());
    }
}

} // namespace vobrik
