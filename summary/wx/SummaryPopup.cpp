#include "summary/wx/SummaryPopup.h"

#include "core/LocalTime.h"
#include "platform/RecordingDC.h"
#include "platform/Text1252.h"
#include "platform/wx/Accessible.h"
#include "platform/wx/Application.h"
#include "platform/wx/Window.h"
#include "platform/wx/WxDC.h"
#include "platform/wx/WxText.h"

#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/frame.h>
#include <wx/settings.h>

#include <string>

namespace vobrik {

namespace {

wxRect ClientPart(wxRect outer) {
    return outer.Deflate(SummaryFrameThickness);
}

// While the summary is open no reminder rings, and only a click in it closes
// it: settings that would leave no client area, or none on any screen, would
// silence every reminder for good. Such a window opens at the defaults.
void KeepWithinSight(TWindowAttr& attr, int32_t height) {
    if (attr.W <= 2 * SummaryFrameThickness)
        attr.W = SummaryDefaultPlace.W;
    const wxRect client = ClientPart(wxRect(attr.X, attr.Y, attr.W, height));
    for (unsigned i = 0; i < wxDisplay::GetCount(); ++i)
        if (wxDisplay(i).GetGeometry().Intersects(client))
            return;
    attr.X = SummaryDefaultPlace.X;
    attr.Y = SummaryDefaultPlace.Y;
}

class TSummaryPopup : public wxFrame {
  public:
    TSummaryPopup(wxWindow* parent, std::unique_ptr<TResWin> win)
        : Win(std::move(win)), Shell(*this) {
        const TWindowAttr& attr = Win->Attr;
        Create(parent, wxID_ANY, wxString::FromUTF8(ResWinTitle), wxPoint(attr.X, attr.Y),
               wxSize(attr.W, attr.H), wxBORDER_NONE | wxSTAY_ON_TOP | wxFRAME_NO_TASKBAR);
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Client = new wxWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE);
        Client->SetBackgroundStyle(wxBG_STYLE_PAINT);
        PlaceClient();

        Bind(wxEVT_PAINT, &TSummaryPopup::OnFramePaint, this);
        Bind(wxEVT_SIZE, &TSummaryPopup::OnSize, this);
        Bind(wxEVT_CLOSE_WINDOW, &TSummaryPopup::OnClose, this);
        Client->Bind(wxEVT_PAINT, &TSummaryPopup::OnClientPaint, this);
        Client->Bind(wxEVT_LEFT_DOWN, &TSummaryPopup::OnLeftDown, this);
        // A quick second press arrives as a double click; it is a press all the same.
        Client->Bind(wxEVT_LEFT_DCLICK, &TSummaryPopup::OnLeftDown, this);
        Client->Bind(wxEVT_LEFT_UP, &TSummaryPopup::OnLeftUp, this);
    }

    ~TSummaryPopup() override {
        // Gone with its parent, or at the end of the program: the TResWin
        // still tells its owner, if any, before it is freed.
        if (!Gone) {
            Gone = true;
            Win->WindowDestroyed();
        }
        Win.reset();
    }

    TResWin* Open() {
        KeepWithinSight(Win->Attr, Win->SetupHeight());
        Win->SetupWindow(Shell);
        // Opened from a window of the program, it takes the focus as any
        // window shown does, but never from a dialog that waits for an
        // answer, such as the ring. At start-up the main window, shown after
        // it, takes the focus in turn.
        if (TModalScope::Depth() != 0) {
            ShowWithoutActivating();
            return Win.get();
        }
        // The focus is asked for once the window is mapped: the window
        // manager may not give it to one that is only being mapped.
        if (ProgramHasFocus())
            Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
                event.Skip();
                if (event.IsShown())
                    CallAfter([this] {
                        if (!Gone)
                            Raise();
                    });
            });
        Show();
        return Win.get();
    }

    const TResWin* Shows() const { return Gone ? nullptr : Win.get(); }

  private:
    class TShell : public IResWinShell {
      public:
        explicit TShell(TSummaryPopup& popup) : Popup(popup) {}

        TRect GetClientRect() override {
            const wxSize size = Popup.Client->GetClientSize();
            return {0, 0, size.GetWidth(), size.GetHeight()};
        }
        void SetWindowPos(int32_t x, int32_t y, int32_t width, int32_t height) override {
            Popup.SetSize(x, y, width, height, wxSIZE_ALLOW_MINUS_ONE);
            // The client area must follow at once: a paint that grows the
            // window reads it again straight away.
            Popup.PlaceClient();
        }
        void Invalidate() override { Popup.Client->Refresh(false); }
        void DestroyWindow() override {
            Popup.Gone = true;
            Popup.Hide();
            // Freed at the toolkit's next idle time, not inside its own event.
            Popup.Destroy();
        }
        int MessageBox(const char* text, const char* caption, unsigned type) override {
            return Popup.ShowLater(text, caption, type);
        }

      private:
        TSummaryPopup& Popup;
    };

    void PlaceClient() {
        const wxSize outer = GetSize();
        Client->SetSize(ClientPart(wxRect(outer)));
    }

    // A message of the name-day lookup comes in the middle of a paint. It is
    // shown once the paint is over rather than in a nested loop inside it,
    // and only once per window: each repaint would otherwise raise it again.
    int ShowLater(const char* text, const char* caption, unsigned type) {
        if (!MessageShown) {
            MessageShown = true;
            CallAfter([this, text = std::string(text), caption = std::string(caption), type] {
                if (!Gone)
                    MessageBoxOver(this, text.c_str(), caption.c_str(), type);
            });
        }
        return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
    }

    void OnFramePaint(wxPaintEvent&) {
        wxPaintDC dc(this);
        wxRect r(GetSize());
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWFRAME)));
        dc.DrawRectangle(r);
        r.Deflate(1);
        const wxColour light = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT);
        const wxColour shadow = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
        dc.SetPen(wxPen(light));
        dc.DrawLine(r.GetLeft(), r.GetBottom(), r.GetLeft(), r.GetTop());
        dc.DrawLine(r.GetLeft(), r.GetTop(), r.GetRight(), r.GetTop());
        dc.SetPen(wxPen(shadow));
        dc.DrawLine(r.GetRight(), r.GetTop(), r.GetRight(), r.GetBottom());
        dc.DrawLine(r.GetRight(), r.GetBottom(), r.GetLeft() - 1, r.GetBottom());
        r.Deflate(1);
        dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE)));
        dc.DrawRectangle(r);
    }

    void OnClientPaint(wxPaintEvent&) {
        wxPaintDC paint(Client);
        if (Gone)
            return;
        TWxDC dc(paint);
        // What the paint draws is what a screen reader reads of the summary.
        TRecordingDC tap(dc);
        Win->Paint(tap, CurrentTime());
        if (tap.Text() != Spoken) {
            Spoken = tap.Text();
            DescribeForScreenReaders(Client, Utf8FromWindows1252(Spoken), false);
        }
    }

    void OnSize(wxSizeEvent&) {
        PlaceClient();
        Refresh(false);
    }

    void OnLeftDown(wxMouseEvent& event) {
        event.Skip();
        if (!Gone)
            Win->EvLButtonDown({event.GetX(), event.GetY()});
    }

    void OnLeftUp(wxMouseEvent& event) {
        event.Skip();
        if (!Gone)
            Win->EvLButtonUp({event.GetX(), event.GetY()});
    }

    // Alt+F4 or a close request from another program: closed as by a click.
    void OnClose(wxCloseEvent&) {
        if (!Gone)
            Win->CloseWindow(0);
        else
            Destroy();
    }

    std::unique_ptr<TResWin> Win;
    TShell Shell;
    wxWindow* Client = nullptr;
    // Set once the TResWin has let the window go: nothing reaches it after.
    bool Gone = false;
    bool MessageShown = false;
    std::string Spoken; // the text last given to screen readers
};

} // namespace

TResWin* OpenSummaryPopup(std::unique_ptr<TResWin> win, wxWindow* parent) {
    auto* popup = new TSummaryPopup(parent, std::move(win));
    return popup->Open();
}

wxWindow* SummaryPopupWindow(const TResWin& win) {
    for (wxWindow* window : wxTopLevelWindows) {
        auto* popup = dynamic_cast<TSummaryPopup*>(window);
        if (popup != nullptr && popup->Shows() == &win)
            return popup;
    }
    return nullptr;
}

} // namespace vobrik
