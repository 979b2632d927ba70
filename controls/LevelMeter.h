// A horizontal peak meter, -60 to 0 dBFS: green to -12, yellow to -3, red
// above, a peak-hold mark and a clip mark at the right end.
#pragma once

#include <wx/window.h>

#include <chrono>

class CLevelMeter : public wxWindow {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr double kFloorDb = -60.0;
    static constexpr double kHoldSeconds = 1.5;
    static constexpr double kClipSeconds = 3.0;

    CLevelMeter(wxWindow* parent, wxWindowID id);

    // The peak of the last interval (0..32768; -1 for no audio) at `now`.
    void SetPeak(int peak, Clock::time_point now);
    // Back to an empty meter.
    void Reset();

    double LevelDb() const { return m_levelDb; }
    bool ClipLit() const { return m_clipLit; }

    bool AcceptsFocus() const override { return false; }
    bool AcceptsFocusFromKeyboard() const override { return false; }

    // Width of the clip mark at the right end, in pixels.
    static int ClipMarkWidth(int height) { return height; }

  protected:
    wxSize DoGetBestSize() const override { return wxSize(60, 10); }

  private:
    void OnPaint(wxPaintEvent&);
    // What a screen reader reads: the level, at most twice a second.
    void TellLevel(Clock::time_point now);
    int XOf(double db, int barWidth) const;
    int BarWidth() const;

    struct Drawn {
        int lit = 0, hold = 0;
        bool clip = false;
        bool operator==(const Drawn& o) const {
            return lit == o.lit && hold == o.hold && clip == o.clip;
        }
    };
    Drawn m_drawn;

    double m_levelDb = kFloorDb;
    double m_holdDb = kFloorDb;
    Clock::time_point m_holdAt{};
    Clock::time_point m_clipAt{};
    Clock::time_point m_dataAt{};
    int m_lastPeak = -1;
    bool m_clipLit = false;
    static constexpr double kTellSeconds = 0.5;
    Clock::time_point m_toldAt{};
    long m_toldTenths = 1; // above any level: nothing told yet
};

// 20 log10(peak / full scale), never below the meter's floor.
double PeakToDb(int peak);
