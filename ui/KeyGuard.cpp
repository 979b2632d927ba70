#include "ui/KeyGuard.h"

#include "platform/InputClock.h"

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/eventfilter.h>

#include <chrono>
#include <cstdint>

namespace {

bool IsKey(const wxEvent& e) {
    const wxEventType t = e.GetEventType();
    return t == wxEVT_CHAR_HOOK || t == wxEVT_KEY_DOWN || t == wxEVT_CHAR || t == wxEVT_KEY_UP;
}

bool IsReturn(const wxKeyEvent& e) {
    return e.GetKeyCode() == WXK_RETURN || e.GetKeyCode() == WXK_NUMPAD_ENTER;
}

// Times are the events' own, on the clock the X server (or compositor)
// stamps them with: a program busy for a moment does not take keys that
// were queued meanwhile for new ones. Where the closing moment is not
// known on that clock, the program's own clock stands in.
class KeyGuard : public wxEventFilter {
  public:
    // Out of wxWidgets' list before it goes: the program may end with a
    // guard on.
    ~KeyGuard() override { Stop(); }

    static KeyGuard& Instance() {
        static KeyGuard guard;
        return guard;
    }

    void BoxClosed(std::uint32_t at, bool returnHeld) {
        m_closedAt = at;
        m_closedLocal = Clock::now();
        m_held = returnHeld;
        m_lastReturn = at;
        if (!m_on) {
            m_on = true;
            wxEvtHandler::AddFilter(this);
        }
    }

    int FilterEvent(wxEvent& e) override {
        if (!IsKey(e)) {
            return Event_Skip;
        }
        const auto& key = static_cast<const wxKeyEvent&>(e);
        const auto t = static_cast<std::uint32_t>(key.GetTimestamp());
        if (t == 0) {
            return Event_Skip; // made by the program, not typed
        }
        // Signed difference: the clock wraps after 49 days.
        const long sinceClose = m_closedAt != 0
                                    ? static_cast<long>(static_cast<std::int32_t>(t - m_closedAt))
                                    : static_cast<long>(Ms(Clock::now() - m_closedLocal));
        const bool fresh = sinceClose <= kKeyGuardMs;
        if (m_held && IsReturn(key)) {
            if (e.GetEventType() == wxEVT_KEY_UP) {
                m_held = false; // let go: what comes now is a new press
                return Event_Processed;
            }
            const long gap = m_lastReturn != 0
                                 ? static_cast<long>(static_cast<std::int32_t>(t - m_lastReturn))
                                 : 0;
            if (gap <= kRepeatGapMs) {
                m_lastReturn = t;
                return Event_Processed; // the held key's repeat
            }
            m_held = false; // its release was lost with the box: a new press
        }
        if (fresh) {
            return Event_Processed;
        }
        if (!m_held) {
            Stop();
        }
        return Event_Skip;
    }

  private:
    using Clock = std::chrono::steady_clock;
    // Longer than a key's delay before it repeats (660 ms in X by default).
    static constexpr long kRepeatGapMs = 900;

    static long long Ms(Clock::duration d) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
    }
    void Stop() {
        if (m_on) {
            m_on = false;
            wxEvtHandler::RemoveFilter(this);
        }
    }

    bool m_on = false;
    bool m_held = false;
    std::uint32_t m_closedAt = 0;
    std::uint32_t m_lastReturn = 0;
    Clock::time_point m_closedLocal{};
};

} // namespace

void KeyGuardModalBoxClosed(const wxDialog* box) {
    const wxWindow* owner = box != nullptr ? box->GetParent() : nullptr;
    if (owner == nullptr && wxTheApp != nullptr) {
        owner = wxTheApp->GetTopWindow();
    }
    KeyGuard::Instance().BoxClosed(platform::InputClockNow(owner), platform::ReturnHeldDown());
}

void KeyGuardBoxClosed(const wxWindow* owner, const wxKeyEvent* closingKey) {
    std::uint32_t at = platform::InputClockNow(owner);
    if (at == 0 && closingKey != nullptr) {
        at = static_cast<std::uint32_t>(closingKey->GetTimestamp());
    }
    const bool held = closingKey != nullptr ? IsReturn(*closingKey) : platform::ReturnHeldDown();
    KeyGuard::Instance().BoxClosed(at, held);
}
