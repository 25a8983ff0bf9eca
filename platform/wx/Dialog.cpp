#include "platform/wx/Window.h"

#include "platform/wx/Accessible.h"
#include "platform/wx/EventSink.h"

#include "platform/CommandSocket.h"
#include "platform/SingleInstance.h"
#include "platform/wx/Application.h"
#include "platform/wx/Controls.h"
#include "platform/wx/FdWatch.h"
#include "platform/wx/Resources.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/timer.h>
#include <wx/toplevel.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <map>

namespace vobrik {

namespace {

// The letter after the single '&' of a label, upper-cased; 0 for none.
wxUniChar MnemonicOf(const wxString& label) {
    for (size_t i = 0; i + 1 < label.length(); ++i) {
        if (label[i] != '&')
            continue;
        if (label[i + 1] != '&')
            return wxToupper(label[i + 1]);
        ++i;
    }
    return 0;
}

// Buttons, check boxes and radio buttons take no letters of their own.
bool TakesNoLetters(wxWindow* window) {
    return dynamic_cast<wxButton*>(window) != nullptr ||
           dynamic_cast<wxCheckBox*>(window) != nullptr ||
           dynamic_cast<wxRadioButton*>(window) != nullptr;
}

// The focus starts on the first control in the template's order that takes
// it, not where the toolkit would put it by position.
void FocusFirstControl(wxWindow* panel) {
    for (wxWindow* control : panel->GetChildren())
        if (control->IsShown() && control->IsEnabled() && control->AcceptsFocusFromKeyboard()) {
            control->SetFocus();
            return;
        }
}

} // namespace

// ---------------------------------------------------------------------------
// TDialog

class TDialog::TShell : public wxDialog {
  public:
    TShell(wxWindow* owner, const wxString& caption, long style)
        : wxDialog(owner, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize, style) {}
};

TDialog::TDialog(TWindow* parent, int resId) : TWindow(parent), ResId(resId) {}

TDialog::~TDialog() {
    if (Shell != nullptr) {
        TShell* shell = Shell;
        Shell = nullptr;
        DetachHandle();
        shell->Destroy();
    }
}

TControl* TDialog::GetControl(int id) const {
    for (TControl* control : Controls)
        if (control->GetId() == id)
            return control;
    return nullptr;
}

wxWindow* TDialog::MakeHandle(wxWindow* parent) {
    if (!WantShell)
        return LoadTemplate(parent, ResId);

    wxWindow* owner = parent != nullptr ? wxGetTopLevelParent(parent) : nullptr;
    auto* shell = new TShell(owner, TemplateCaption(ResId), TemplateDialogStyle(ResId));
    wxPanel* panel = LoadTemplate(shell, ResId);
    if (panel == nullptr) {
        shell->Destroy();
        return nullptr;
    }
    shell->SetClientSize(panel->GetSize());
    // The owner may be hidden in the tray; the screen is always there.
    shell->CentreOnScreen();
    Shell = shell;
    return panel;
}

void TDialog::SetupWindow() {
    wxWindow* panel = GetHandle();
    TEventSink* sink = &Events();
    panel->Bind(wxEVT_BUTTON, &TEventSink::OnCommand, sink);
    panel->Bind(wxEVT_CHECKBOX, &TEventSink::OnCommand, sink);
    panel->Bind(wxEVT_RADIOBUTTON, &TEventSink::OnCommand, sink);
    panel->Bind(wxEVT_LISTBOX, &TEventSink::OnCommand, sink);
    panel->Bind(wxEVT_LISTBOX_DCLICK, &TEventSink::OnCommand, sink);
    panel->Bind(wxEVT_TEXT, &TEventSink::OnCommand, sink);
    if (Shell != nullptr) {
        Shell->Bind(wxEVT_CLOSE_WINDOW, &TEventSink::OnClose, &Events());
        Shell->Bind(wxEVT_CHAR_HOOK, &TEventSink::OnCharHook, &Events());
    }
    TWindow::SetupWindow();
    for (TControl* control : Controls)
        control->Attach(panel);
    TransferData(TTransferDirection::SetData);
    NameControlsForScreenReaders(panel);
    if (Shell == nullptr)
        FocusFirstControl(panel);
}

void TDialog::TransferData(TTransferDirection direction) {
    if (TransferBuffer == nullptr)
        return;
    // The buffer is a struct with one member per control, in construction order.
    auto* buffer = static_cast<unsigned char*>(TransferBuffer);
    size_t offset = 0;
    for (TControl* control : Controls) {
        if (!control->IsTransferEnabled())
            continue;
        const size_t alignment = control->TransferAlignment();
        offset = (offset + alignment - 1) / alignment * alignment;
        offset += control->Transfer(buffer + offset, direction);
    }
}

int TDialog::Execute() {
    WantShell = true;
    Ended = false;
    Result = 0;
    if (!CreateUnder(Parent != nullptr ? Parent->GetHandle() : nullptr))
        return -1;
    FocusFirstControl(GetHandle());
    if (!Ended) {
        Modal = true;
        TModalScope scope;
        Shell->ShowModal();
        Modal = false;
    }
    TShell* shell = Shell;
    Shell = nullptr;
    DetachHandle();
    if (shell != nullptr)
        shell->Destroy();
    WantShell = false;
    return Result;
}

bool TDialog::Create() {
    WantShell = true;
    Ended = false;
    if (!TWindow::Create())
        return false;
    if (Shell != nullptr)
        Shell->Show();
    return true;
}

void TDialog::CloseWindow(int retValue) {
    if (CanClose()) {
        TransferData(TTransferDirection::GetData);
        Destroy(retValue);
    }
}

void TDialog::Destroy(int retValue) {
    Result = retValue;
    Ended = true;
    if (Shell != nullptr) {
        if (Modal) {
            Shell->EndModal(retValue);
            return;
        }
        TShell* shell = Shell;
        Shell = nullptr;
        DetachHandle();
        shell->Destroy();
        return;
    }
    if (!IsWindow())
        return;
    TWindow::Destroy(retValue);
    // A frame's client that has ended takes the frame with it.
    if (auto* frame = dynamic_cast<TFrameWindow*>(Parent); frame != nullptr && frame->IsWindow())
        frame->ClientEnded();
}

void TDialog::EvClose(wxCloseEvent& event) {
    // A dialog box without a close box is left only through its buttons, so a
    // close request from the window manager (Alt+F4) answers nothing.
    if (Shell != nullptr && !Shell->HasFlag(wxCLOSE_BOX) && event.CanVeto()) {
        event.Veto();
        return;
    }
    // The close box of a dialog box is its cancel button.
    SendMessage(WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED), 0);
}

void TDialog::CmOk() {
    CloseWindow(IDOK);
}

void TDialog::CmCancel() {
    // The buffer is brought up to date whatever the answer, so that the caller
    // can read every field after any result.
    TransferData(TTransferDirection::GetData);
    Destroy(IDCANCEL);
}

bool TDialog::Find(TMessage& msg, intptr_t& result) {
    if (msg.Msg == WM_COMMAND && HiWord(msg.WParam) == BN_CLICKED) {
        if (LoWord(msg.WParam) == IDOK) {
            CmOk();
            return true;
        }
        if (LoWord(msg.WParam) == IDCANCEL) {
            CmCancel();
            return true;
        }
    }
    return TWindow::Find(msg, result);
}

void TDialog::ClickButton(int id) {
    wxWindow* button = GetHandle() != nullptr ? GetHandle()->FindWindow(id) : nullptr;
    if (button != nullptr && !button->IsEnabled())
        return;
    SendMessage(WM_COMMAND, MakeWParam(static_cast<unsigned>(id), BN_CLICKED), 0);
}

bool TDialog::PressMnemonic(unsigned key) {
    wxWindow* focus = wxWindow::FindFocus();
    if (!TakesNoLetters(focus) || !GetHandle()->IsDescendant(focus))
        return false;
    // One button with the letter is pressed; among several, the focus moves
    // to the next of them.
    std::vector<wxWindow*> marked;
    size_t next = 0;
    for (wxWindow* child : GetHandle()->GetChildren()) {
        if (child == focus)
            next = marked.size();
        auto* button = dynamic_cast<wxButton*>(child);
        if (button != nullptr && button->IsShown() && button->IsEnabled() &&
            MnemonicOf(button->GetLabel()) == key)
            marked.push_back(button);
    }
    if (marked.size() == 1)
        ClickButton(marked.front()->GetId());
    else if (!marked.empty())
        marked[(next < marked.size() && marked[next] == focus ? next + 1 : next) % marked.size()]
            ->SetFocus();
    return !marked.empty();
}

bool TDialog::PreProcessMsg(TMessage& msg) {
    if (msg.Msg != WM_KEYDOWN || GetHandle() == nullptr)
        return false;
    // With the focus on a button, a plain letter presses the button it marks.
    if ((msg.WParam >= 'A' && msg.WParam <= 'Z') || (msg.WParam >= '0' && msg.WParam <= '9'))
        return PressMnemonic(static_cast<unsigned>(msg.WParam));
    if (msg.WParam == VK_ESCAPE) {
        ClickButton(IDCANCEL);
        return true;
    }
    if (msg.WParam == VK_RETURN) {
        // Enter presses the push button that has the focus, or else the
        // default button.
        wxWindow* focus = wxWindow::FindFocus();
        if (auto* button = dynamic_cast<wxButton*>(focus);
            button != nullptr && GetHandle()->IsDescendant(button)) {
            ClickButton(button->GetId());
            return true;
        }
        auto* top = dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(GetHandle()));
        wxWindow* chosen = top != nullptr ? top->GetDefaultItem() : nullptr;
        if (chosen != nullptr && GetHandle()->IsDescendant(chosen))
            ClickButton(chosen->GetId());
        else if (GetHandle()->FindWindow(IDOK) != nullptr)
            ClickButton(IDOK); // a template without a default button defaults to OK
        return true;
    }
    return false;
}

} // namespace vobrik
