#pragma once

// A ring shown by the desktop's notification service too
// (org.freedesktop.Notifications), where people look on a locked screen,
// another workspace or over a full-screen video: critical urgency, so that
// it shows and stays until answered, with the ring dialog's answers as
// actions. The dialog stays the truth: the notification only mirrors it, and
// goes when the dialog closes. Nothing waits on the bus; without a service
// nothing changes.

#include <functional>
#include <memory>
#include <string>

namespace vobrik {

// A notification of its own, without actions, for what the user must know
// where no window can open (no display); waits at most a second. UTF-8.
void NotifyDesktop(const std::string& summary, const std::string& body);

class TRingNotification {
  public:
    // `answer` runs from the message loop with "valider" or "rappel" when the
    // user picks one of the notification's actions. Texts are UTF-8.
    TRingNotification(const std::string& body, std::function<void(const std::string&)> answer);
    // Withdraws the notification.
    ~TRingNotification();
    TRingNotification(const TRingNotification&) = delete;
    TRingNotification& operator=(const TRingNotification&) = delete;

    struct TState;

  private:
    std::shared_ptr<TState> State;
};

} // namespace vobrik
