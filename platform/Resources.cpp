#include "platform/Resources.h"

#include "platform/Embedded.h"

#include <wx/filesys.h>
#include <wx/fs_mem.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/panel.h>
#include <wx/xml/xml.h>
#include <wx/xrc/xmlres.h>

#include <cstring>

namespace vobrik {

namespace {

bool EndsWith(const char* name, const char* tail) {
    const size_t n = std::strlen(name), t = std::strlen(tail);
    return n >= t && std::strcmp(name + n - t, tail) == 0;
}

} // namespace

void RegisterResources() {
    static bool registered = false;
    if (registered)
        return;
    registered = true;

    if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr)
        wxImage::AddHandler(new wxPNGHandler);
    wxFileSystem::AddHandler(new wxMemoryFSHandler);
    for (size_t i = 0; i < EmbeddedFileCount; ++i) {
        const TEmbeddedFile& file = EmbeddedFiles[i];
        wxMemoryFSHandler::AddFileWithMimeType(file.Name, file.Data, file.Size,
                                               EndsWith(file.Name, ".png") ? "image/png"
                                                                           : "text/xml");
    }

    wxXmlResource::Get()->InitAllHandlers();
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

wxString TemplateCaption(int resId) {
    const wxXmlNode* node = wxXmlResource::Get()->GetResourceNode(wxString::Format("%d", resId));
    for (const wxXmlNode* child = node ? node->GetChildren() : nullptr; child != nullptr;
         child = child->GetNext())
        if (child->GetType() == wxXML_ELEMENT_NODE && child->GetName() == "title")
            return child->GetNodeContent();
    return wxString();
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
