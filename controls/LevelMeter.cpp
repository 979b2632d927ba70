#include "controls/LevelMeter.h"

#include "platform/Accessibility.h"
#include "platform/InputLevel.h"

#include <wx/dcbuffer.h>
#include <wx/intl.h>

#include <algorithm>
#include <cmath>

namespace {

const wxColour kGreen(0x2E, 0xB8, 0x3A);
const wxColour kYellow(0xF2, 0xC8, 0x1D);
const wxColour kRed(0xE0, 0x23, 0x23);
const wxColour kUnlit(0xD8, 0xD8, 0xD8);
const wxColour kClipOff(0xF0, 0xC8, 0xC8);
const wxColour kFrame(0x50, 0x50, 0x50);
const wxColour kHold(0x20, 0x20, 0x20);

} // namespace

double PeakToDb(int peak) {
    if (peak <= 0) {
        return CLevelMeter::kFloorDb;
    }
    const double db = 20.0 * std::log10(static_cast<double>(peak) / wavein::kFullScale);
    return std::max(db, CLevelMeter::kFloorDb);
}

CLevelMeter::CLevelMeter(wxWindow* parent, wxWindowID id)
    : wxWindow(parent, id, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CLevelMeter::OnPaint, this);
    platform::SetAccessibleName(this, _("Input level"), _("Peak level of the input, in dBFS"));
    platform::ExposeValue(this, kFloorDb, 0.0);
    TellLevel(Clock::now());
}

void CLevelMeter::TellLevel(Clock::time_point now) {
    const long tenths = std::lround(m_levelDb * 10);
    if (tenths == m_toldTenths ||
        (m_toldTenths <= 0 &&
         std::chrono::duration<double>(now - m_toldAt).count() < kTellSeconds)) {
        return;
    }
    m_toldTenths = tenths;
    m_toldAt = now;
    platform::SetAccessibleValue(this, tenths / 10.0,
                                 wxString::Format(_("%.0f dB"), tenths / 10.0));
}

void CLevelMeter::SetPeak(int peak, Clock::time_point now) {
    // Blocks come about every 100 ms, like the polls: an interval that saw
    // none keeps the last level a moment rather than flicker to the floor.
    if (peak < 0 && std::chrono::duration<double>(now - m_dataAt).count() < 0.35) {
        peak = m_lastPeak;
    } else if (peak >= 0) {
        m_dataAt = now;
        m_lastPeak = peak;
    }
    const double db = PeakToDb(peak);
    m_levelDb = db;
    if (db >= m_holdDb || std::chrono::duration<double>(now - m_holdAt).count() > kHoldSeconds) {
        m_holdDb = db;
        m_holdAt = now;
    }
    if (peak >= wavein::kFullScale - 1) {
        m_clipAt = now;
        m_clipLit = true;
    } else if (m_clipLit && std::chrono::duration<double>(now - m_clipAt).count() > kClipSeconds) {
        m_clipLit = false;
    }
    TellLevel(now);
    // Repainted only when a pixel would change: a steady level costs nothing.
    const int barW = BarWidth();
    const Drawn now3{XOf(m_levelDb, barW), XOf(m_holdDb, barW), m_clipLit};
    if (!(now3 == m_drawn)) {
        m_drawn = now3;
        Refresh(false);
    }
}

int CLevelMeter::BarWidth() const {
    const wxSize size = GetClientSize();
    const int h = std::max(4, std::min(size.y, size.y * 2 / 3));
    return std::max(1, size.x - ClipMarkWidth(h) - 3);
}

void CLevelMeter::Reset() {
    m_levelDb = m_holdDb = kFloorDb;
    m_clipLit = false;
    m_lastPeak = -1;
    m_drawn = Drawn{};
    m_toldTenths = 1; // said at once
    TellLevel(Clock::now());
    Refresh(false);
}

int CLevelMeter::XOf(double db, int barWidth) const {
    const double f = (std::clamp(db, kFloorDb, 0.0) - kFloorDb) / -kFloorDb;
    return static_cast<int>(std::lround(f * barWidth));
}

void CLevelMeter::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
    dc.Clear();
    const int h = std::max(4, std::min(size.y, size.y * 2 / 3));
    const int top = (size.y - h) / 2;
    const int clipW = ClipMarkWidth(h);
    const int barW = BarWidth();
    // A right-to-left window's meter fills from the right, as GTK's level
    // bar does (the toolkit mirrors the drawing itself only in later
    // versions).
    const bool flip = GetLayoutDirection() == wxLayout_RightToLeft &&
                      dc.GetLayoutDirection() != wxLayout_RightToLeft;
    auto box = [&](int x, int y, int w, int hh) {
        dc.DrawRectangle(flip ? size.x - x - w : x, y, w, hh);
    };

    // Frame, then the unlit bar, then the lit zones up to the level.
    dc.SetPen(wxPen(kFrame));
    dc.SetBrush(wxBrush(kUnlit));
    box(0, top, barW + 2, h);
    const int inner = h - 2;
    const int lit = XOf(m_levelDb, barW);
    const int x12 = XOf(-12.0, barW);
    const int x3 = XOf(-3.0, barW);
    dc.SetPen(*wxTRANSPARENT_PEN);
    auto zone = [&](int from, int to, const wxColour& c) {
        to = std::min(to, lit);
        if (to > from) {
            dc.SetBrush(wxBrush(c));
            box(1 + from, top + 1, to - from, inner);
        }
    };
    zone(0, x12, kGreen);
    zone(x12, x3, kYellow);
    zone(x3, barW, kRed);
    if (m_holdDb > kFloorDb) {
        const int hx = std::clamp(XOf(m_holdDb, barW), 1, barW);
        dc.SetBrush(wxBrush(kHold));
        box(hx - 1, top + 1, 2, inner);
    }

    dc.SetPen(wxPen(kFrame));
    dc.SetBrush(wxBrush(m_clipLit ? kRed : kClipOff));
    box(size.x - clipW, top, clipW, h);
}
