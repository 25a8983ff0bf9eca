#pragma once

// Windows, frames and dialogs in the class library's shape, over wxWidgets.
// A TWindow is the program's object; the toolkit window it stands for exists
// between Create and Destroy. Children are owned by their parent and are
// deleted with it.

#include "platform/Win.h"
#include "platform/wx/InertCalls.h"
#include "platform/wx/WxText.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class wxCloseEvent;
class wxTimer;
class wxWindow;

namespace vobrik {

class TApplication;
class TControl;
class TEventSink;

class TWindow : public TInertCalls {
  public:
    explicit TWindow(TWindow* parent = nullptr, const char* title = nullptr);
    virtual ~TWindow();
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    TWindow* Parent;
    // Window-creation attributes; frames read the style when they are created.
    struct {
        uint32_t Style = 0;
        uint32_t ExStyle = 0;
    } Attr;

    TApplication* GetApplication() const;
    wxWindow* GetHandle() const { return Handle; }
    bool IsWindow() const { return Handle != nullptr; }
    // Windows-1252.
    const std::string& GetCaption() const { return Title; }

    // Creates the toolkit window, then runs SetupWindow. False on failure.
    virtual bool Create();
    // Runs once the window and its children exist.
    virtual void SetupWindow();
    virtual void Destroy(int retValue = 0);
    virtual bool CanClose();
    virtual void CloseWindow(int retValue = 0);
    // Sees keyboard messages before the window does; true when it used them.
    virtual bool PreProcessMsg(TMessage& msg);
    // Looks the message up in the window's response table and runs the handler.
    virtual bool Find(TMessage& msg, intptr_t& result);

    intptr_t SendMessage(unsigned msg, uintptr_t wParam = 0, intptr_t lParam = 0);
    // Gives whether the window was visible before.
    bool ShowWindow(int cmdShow);
    bool IsWindowVisible() const;
    bool IsIconic() const;
    // Whether the window manager may minimise the top-level window, as the
    // minimise box of its style says; changed while it is on screen too.
    void AllowMinimize(bool allow);
    void BringWindowToTop();
    void SetForegroundWindow();

    // A repeating timer that sends WM_TIMER with the id to this window. Gives
    // the id, or 0 when the window does not exist.
    unsigned SetTimer(unsigned id, unsigned milliseconds);
    bool KillTimer(unsigned id);

    // The toolkit sends its messages here.
    intptr_t HandleMessage(TMessage msg);

    // Creates the toolkit window under the given parent window, then runs
    // SetupWindow. A frame creates its client this way.
    bool CreateUnder(wxWindow* parent);

  protected:
    // Makes the toolkit window as a child of parent (none for a top-level one).
    virtual wxWindow* MakeHandle(wxWindow* parent);
    // Binds this object to a toolkit window; an owned one is destroyed with it.
    void AttachHandle(wxWindow* handle, bool owned);
    // Forgets the toolkit window, which is left to whoever destroys it.
    void DetachHandle();
    // The receiver of the toolkit's events for the current window.
    TEventSink& Events();
    // A close request from the window system.
    virtual void EvClose(wxCloseEvent& event);

    std::vector<TWindow*> Children;
    std::string Title;

  private:
    friend class TEventSink;
    void OnHandleDestroyed();

    wxWindow* Handle = nullptr;
    bool OwnsHandle = false;
    std::unique_ptr<TEventSink> Sink;
    std::map<unsigned, std::unique_ptr<wxTimer>> Timers;
};

// A top-level window with a title bar, holding one client window.
class TFrameWindow : public TWindow {
  public:
    // Takes ownership of the client.
    TFrameWindow(TWindow* parent, const char* title, TWindow* client = nullptr,
                 bool shrinkToClient = false);
    ~TFrameWindow() override;

    TWindow* GetClientWindow() const { return ClientWnd.get(); }
    void SetClientWindow(TWindow* client);
    void SetShrinkToClient(bool on) { ShrinkToClient = on; }
    // Icons of an icon group; the big one shows in task lists, the small one
    // in the title bar.
    void SetIcon(int iconGroup);
    void SetIconSm(int iconGroup);

    void SetupWindow() override;
    void Destroy(int retValue = 0) override;
    bool PreProcessMsg(TMessage& msg) override;
    // Called when the client dialog has ended: the frame closes in turn.
    virtual void ClientEnded();

  protected:
    wxWindow* MakeHandle(wxWindow* parent) override;
    void EvClose(wxCloseEvent& event) override;

  private:
    void ApplyIcons();

    std::unique_ptr<TWindow> ClientWnd;
    bool ShrinkToClient;
    int BigIcon = 0;
    int SmallIcon = 0;
    class TFinder;
    std::unique_ptr<TFinder> Finder;
};

// A frame that may carry decorations; the program uses none of them.
class TDecoratedFrame : public TFrameWindow {
  public:
    TDecoratedFrame(TWindow* parent, const char* title, TWindow* client,
                    bool trackMenuSelection = false)
        : TFrameWindow(parent, title, client), TrackMenuSelection(trackMenuSelection) {}

  private:
    bool TrackMenuSelection;
};

enum class TTransferDirection { GetData, SetData };

// A window built from a dialog template of resources/, found by its number.
// It runs modally (Execute), modeless (Create), or as a frame's client.
class TDialog : public TWindow {
  public:
    TDialog(TWindow* parent, int resId);
    ~TDialog() override;

    int GetResId() const { return ResId; }
    // Runs the dialog modally and gives the value it was ended with.
    virtual int Execute();

    // The record with one member per transfer-enabled control, in the order
    // the controls were constructed, laid out as the compiler lays out a
    // struct. Not owned.
    void SetTransferBuffer(void* buffer) { TransferBuffer = buffer; }
    void TransferData(TTransferDirection direction);

    void SetupWindow() override;
    void CloseWindow(int retValue = 0) override;
    void Destroy(int retValue = 0) override;
    bool PreProcessMsg(TMessage& msg) override;
    bool Find(TMessage& msg, intptr_t& result) override;

    void CmOk();
    void CmCancel();
    // The control with this id, among the dialog's own control objects.
    TControl* GetControl(int id) const;

    // Modeless, in a dialog box of its own.
    bool Create() override;

  protected:
    wxWindow* MakeHandle(wxWindow* parent) override;
    void EvClose(wxCloseEvent& event) override;
    // As a click on the button would: nothing if it is disabled.
    void ClickButton(int id);

  private:
    friend class TControl;
    // A plain letter; true when it pressed a button.
    bool PressMnemonic(unsigned key);

    int ResId;
    void* TransferBuffer = nullptr;
    std::vector<TControl*> Controls; // construction order
    class TShell;
    TShell* Shell = nullptr; // the dialog box around a modal or modeless dialog
    bool WantShell = false;
    bool Modal = false;
    bool Ended = false;
    int Result = 0;
};

// Whether any window of the program has the keyboard focus.
bool ProgramHasFocus();

} // namespace vobrik
