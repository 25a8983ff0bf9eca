#pragma once

// The dialog templates and icon groups built into the program. Templates are
// XRC panels named by their number, with positions and sizes in dialog units;
// icon group N is the set of images resources/iconN_SIZE.png.

#include <wx/iconbndl.h>
#include <wx/string.h>

class wxPanel;
class wxWindow;

namespace vobrik {

// Makes the built-in files readable by the toolkit and loads the templates.
// Called once when the toolkit starts.
void RegisterResources();

// Null when there is no such template.
wxPanel* LoadTemplate(wxWindow* parent, int resId);
// The caption a template carries for the dialog box around it; UTF-8.
wxString TemplateCaption(int resId);
// The toolkit style of the dialog box around a template (its <dialogstyle>,
// e.g. wxCAPTION|wxSTAY_ON_TOP); a caption and a close box when it names none.
long TemplateDialogStyle(int resId);
// Empty when there is no such group.
wxIconBundle LoadIconGroup(int group);

} // namespace vobrik
