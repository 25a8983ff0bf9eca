#include "platform/wx/Resources.h"

#include "platform/wx/Embedded.h"

#include <wx/arrstr.h>
#include <wx/dialog.h>
#include <wx/filesys.h>
#include <wx/fs_mem.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/panel.h>
#include <wx/xml/xml.h>
#include <wx/xrc/xh_bttn.h>
#include <wx/xrc/xh_chckb.h>
#include <wx/xrc/xh_listb.h>
#include <wx/xrc/xh_panel.h>
#include <wx/xrc/xh_radbt.h>
#include <wx/xrc/xh_stbmp.h>
#include <wx/xrc/xh_stbox.h>
#include <wx/xrc/xh_stlin.h>
#include <wx/xrc/xh_sttxt.h>
#include <wx/xrc/xh_text.h>
#include <wx/xrc/xmlres.h>

#include <gtk/gtk.h>

#include <cstring>

namespace vobrik {

namespace {

bool EndsWith(const char* name, const char* tail) {
    const size_t n = std::strlen(name), t = std::strlen(tail);
    return n >= t && std::strcmp(name + n - t, tail) == 0;
}

void AddProvider(GtkCssProvider* css) {
    if (GdkScreen* screen = gdk_screen_get_default())
        gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

// Controls are sized in dialog units for frames far narrower than the
// theme's: without this, a two-digit day in a 16-unit edit shows one digit,
// and a check box's text runs past its control.
void FitControlsToDialogUnits() {
    static const char* const rules = "entry { padding-left: 3px; padding-right: 3px; }"
                                     "check, radio { margin-left: 0; margin-right: 2px; }";
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, rules, -1, nullptr);
    AddProvider(css);
}

// GTK's built-in theme draws a ticked box or a chosen radio button from an
// SVG picture first, which loads librsvg (0.7 MiB) for one tick; the same
// pictures ship beside them as PNG, drawn pixel for pixel alike. Other
// themes draw their own ticks and are left alone.
void DrawThemeTicksFromPng() {
    static const char* const rules =
        "check:checked { -gtk-icon-source: -gtk-recolor(url("
        "'resource:///org/gtk/libgtk/theme/Adwaita/assets/check-symbolic.symbolic.png')); }"
        "radio:checked { -gtk-icon-source: -gtk-recolor(url("
        "'resource:///org/gtk/libgtk/theme/Adwaita/assets/bullet-symbolic.symbolic.png')); }";
    const char* forced = g_getenv("GTK_THEME");
    gchar* theme = nullptr;
    if (forced == nullptr)
        g_object_get(gtk_settings_get_default(), "gtk-theme-name", &theme, nullptr);
    const bool builtIn = g_str_has_prefix(forced ? forced : theme ? theme : "", "Adwaita");
    g_free(theme);
    if (!builtIn)
        return;
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, rules, -1, nullptr);
    AddProvider(css);
}

// Only the controls the templates use: all of the toolkit's handlers would
// also set up the HTML ones and some eighty others for nothing.
void AddTemplateHandlers() {
    wxXmlResource* resources = wxXmlResource::Get();
    resources->AddHandler(new wxPanelXmlHandler);
    resources->AddHandler(new wxButtonXmlHandler);
    resources->AddHandler(new wxCheckBoxXmlHandler);
    resources->AddHandler(new wxListBoxXmlHandler);
    resources->AddHandler(new wxRadioButtonXmlHandler);
    resources->AddHandler(new wxStaticBitmapXmlHandler);
    resources->AddHandler(new wxStaticBoxXmlHandler);
    resources->AddHandler(new wxStaticLineXmlHandler);
    resources->AddHandler(new wxStaticTextXmlHandler);
    resources->AddHandler(new wxTextCtrlXmlHandler);
}

} // namespace

void RegisterResources() {
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    FitControlsToDialogUnits();
    DrawThemeTicksFromPng();

    if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr)
        wxImage::AddHandler(new wxPNGHandler);
    wxFileSystem::AddHandler(new wxMemoryFSHandler);
    for (size_t i = 0; i < EmbeddedFileCount; ++i) {
        const TEmbeddedFile& file = EmbeddedFiles[i];
        wxMemoryFSHandler::AddFileWithMimeType(file.Name, file.Data, file.Size,
                                               EndsWith(file.Name, ".png") ? "image/png"
                                                                           : "text/xml");
    }

    AddTemplateHandlers();
    for (size_t i = 0; i < EmbeddedFileCount; ++i)
        if (EndsWith(EmbeddedFiles[i].Name, ".xrc"))
            wxXmlResource::Get()->Load(wxString("memory:") + EmbeddedFiles[i].Name);
}

wxPanel* LoadTemplate(wxWindow* parent, int resId) {
    const wxString name = wxString::Format("%d", resId);
    if (wxXmlResource::Get()->GetResourceNode(name) == nullptr)
        return nullptr;
    return wxXmlResource::Get()->LoadPanel(parent, name);
}

namespace {

// The text of a template's own element of that name; empty when it has none.
wxString TemplateElement(int resId, const char* element) {
    const wxXmlNode* node = wxXmlResource::Get()->GetResourceNode(wxString::Format("%d", resId));
    for (const wxXmlNode* child = node ? node->GetChildren() : nullptr; child != nullptr;
         child = child->GetNext())
        if (child->GetType() == wxXML_ELEMENT_NODE && child->GetName() == element)
            return child->GetNodeContent();
    return wxString();
}

} // namespace

wxString TemplateCaption(int resId) {
    return TemplateElement(resId, "title");
}

long TemplateDialogStyle(int resId) {
    static const struct {
        const char* Name;
        long Style;
    } names[] = {
        {"wxCAPTION", wxCAPTION},
        {"wxSYSTEM_MENU", wxSYSTEM_MENU},
        {"wxCLOSE_BOX", wxCLOSE_BOX},
        {"wxSTAY_ON_TOP", wxSTAY_ON_TOP},
        {"wxRESIZE_BORDER", wxRESIZE_BORDER},
    };
    const wxString text = TemplateElement(resId, "dialogstyle");
    if (text.empty())
        return wxDEFAULT_DIALOG_STYLE;
    long style = 0;
    for (wxString word : wxSplit(text, '|')) {
        word.Trim(true).Trim(false);
        for (const auto& name : names)
            if (word == name.Name)
                style |= name.Style;
    }
    return style;
}

wxIconBundle LoadIconGroup(int group) {
    wxIconBundle bundle;
    const std::string prefix = "icon" + std::to_string(group) + "_";
    for (size_t i = 0; i < EmbeddedFileCount; ++i) {
        const TEmbeddedFile& file = EmbeddedFiles[i];
        if (std::strncmp(file.Name, prefix.c_str(), prefix.size()) != 0 ||
            !EndsWith(file.Name, ".png"))
            continue;
        wxMemoryInputStream stream(file.Data, file.Size);
        wxImage image(stream, wxBITMAP_TYPE_PNG);
        if (!image.IsOk())
            continue;
        wxIcon icon;
        icon.CopyFromBitmap(wxBitmap(image));
        bundle.AddIcon(icon);
    }
    return bundle;
}

} // namespace vobrik
