// The yardstick for the shell's figures: a wxWidgets program that does nothing
// but show one icon in the notification area.

#include <wx/app.h>
#include <wx/bmpbndl.h>
#include <wx/image.h>
#include <wx/taskbar.h>

class TMinimalTrayApp : public wxApp {
  public:
    bool OnInit() override {
        wxImage image(32, 32);
        image.SetRGB(wxRect(0, 0, 32, 32), 200, 20, 20);
        Icon = new wxTaskBarIcon;
        return Icon->SetIcon(wxBitmapBundle(wxBitmap(image)), "minimal");
    }
    int OnExit() override {
        delete Icon;
        return wxApp::OnExit();
    }

  private:
    wxTaskBarIcon* Icon = nullptr;
};

wxIMPLEMENT_APP(TMinimalTrayApp);
