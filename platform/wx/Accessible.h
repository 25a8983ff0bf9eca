#pragma once

// What a screen reader hears of the dialogs: the toolkit names a control
// only from its own label, and the templates place the text that names an
// edit or a list beside it, as a static text.

#include <string>

class wxWindow;

namespace vobrik {

// Names each edit and list of the panel after the static text (or radio
// button, or button) just left of it, with the text just right of it after " … " when
// there is one ("Rappel tous les … jour(s)"), else after the group box around
// it; links each to its label ("labelled by"). A hidden radio button that
// stands for "none checked" is kept out of a screen reader's way.
void NameControlsForScreenReaders(wxWindow* panel);

// Gives a window a role and a text (UTF-8) a screen reader reads: an alert,
// announced as it appears with the text as its description, or a static text
// named by it.
void DescribeForScreenReaders(wxWindow* window, const std::string& text, bool alert);

} // namespace vobrik
