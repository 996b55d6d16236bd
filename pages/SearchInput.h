#pragma once
// The two search parameters as the search reads them when it starts: checked before anything is
// disabled, so that a bad text is refused with a message and the window stays as it was.
#include <QString>
#include <cstdint>

inline constexpr int MinSearchRange = 2;
inline constexpr int MaxSearchRange = 255;
// Shorter pauses are not kept anyway: a probe is always followed by at least this much.
inline constexpr int MinProbeDelay = 10;
// A minute per probe; with the highest bound the watchdog time still fits 32 bits.
inline constexpr int MaxProbeDelay = 60000;

struct TSearchInput {
    enum class Field { None, Delay, Range };
    Field refused = Field::None; // the box to focus when the input is refused
    QString message;             // why, for the message box
    std::int32_t delay = 0;      // ProbeDelay, ms
    std::int32_t range = 0;      // SearchRange, the highest address probed
    std::int32_t watchdog = 0;   // WatchdogTime of every step of the search, ms

    bool Accepted() const { return refused == Field::None; }
};

// The caption of the message box that refuses the input.
QString SearchInputCaption();

// Reads the delay (Edit1) and the bound (Edit2). A delay must be a whole number from 1 to
// MaxProbeDelay; 1-9 ms is taken as MinProbeDelay, the pause the search keeps anyway, and the
// watchdog time is computed from the delay in use. The bound must be a whole number from 2 to 255.
TSearchInput CheckSearchInput(const QString& delayText, const QString& rangeText);

// The progress bar's caption before the probe of address at speed.
QString SearchProgressCaption(int address, int speed);
